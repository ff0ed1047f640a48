#include "ui/pansharpen_dialog_base.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "ui/file_chooser.h"
#include "ui/text.h"
#include "ui/tool_dialog_host.h"

namespace lumesta {
namespace {

const QPoint kOpenPosition(550, 60);
// Widths and heights are typed as plain decimal numbers of at most nine digits.
constexpr int kMaxTypedSize = 999999999;

QPushButton* MakeBrowseButton(QWidget* parent)
{
    auto* button = new QPushButton("...", parent);
    button->setFixedWidth(button->fontMetrics().horizontalAdvance("....") + 16);
    button->setAutoDefault(false);
    return button;
}

QLineEdit* MakeSizeField(QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setValidator(new QIntValidator(0, kMaxTypedSize, field));
    field->setMaximumWidth(field->fontMetrics().horizontalAdvance("0000000000") + 12);
    return field;
}

void ShowText(QLineEdit* field, const QString& text)
{
    if (field->text() != text) field->setText(text);
}

}  // namespace

PanSharpenDialogBase::PanSharpenDialogBase(const QString& title,
                                           const std::vector<QString>& bandLabels,
                                           RunCounters& counters, Host& host, QWidget* parent)
    : QDialog(parent), m_counters(counters), m_host(host)
{
    setWindowTitle(title);

    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MakePanGroup());
    layout->addWidget(MakeBandGroup(bandLabels));
    layout->addWidget(MakeParameterGroup());
    layout->addWidget(MakeOutputGroup());
    layout->addWidget(m_progress);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QWidget* PanSharpenDialogBase::MakePanGroup()
{
    auto* group = new QGroupBox("Input High Resolution Panchromatic Band", this);
    m_pan = new QLineEdit(group);
    m_pan->setReadOnly(true);
    m_pan->setMinimumWidth(360);
    m_panBrowse = MakeBrowseButton(group);
    m_width = MakeSizeField(group);
    m_height = MakeSizeField(group);

    auto* sizes = new QHBoxLayout;
    sizes->addWidget(new QLabel("Width", group));
    sizes->addWidget(m_width);
    sizes->addSpacing(24);
    sizes->addWidget(new QLabel("Height", group));
    sizes->addWidget(m_height);
    sizes->addStretch();

    auto* grid = new QGridLayout(group);
    grid->addWidget(m_pan, 0, 0);
    grid->addWidget(m_panBrowse, 0, 1);
    grid->addLayout(sizes, 1, 0, 1, 2);

    connect(m_panBrowse, &QPushButton::clicked, this, [this] { OnBrowsePan(); });
    return group;
}

QWidget* PanSharpenDialogBase::MakeBandGroup(const std::vector<QString>& bandLabels)
{
    auto* group = new QGroupBox("Input Low Resolution Multispectral Bands", this);
    auto* grid = new QGridLayout(group);
    grid->setColumnStretch(1, 1);
    for (int band = 0; band < static_cast<int>(bandLabels.size()); ++band) {
        auto* list = new QComboBox(group);
        list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        list->setMinimumContentsLength(30);
        auto* browse = MakeBrowseButton(group);
        auto* label = new QLabel(bandLabels[band], group);
        label->setBuddy(list);
        grid->addWidget(label, band, 0);
        grid->addWidget(list, band, 1);
        grid->addWidget(browse, band, 2);
        connect(browse, &QPushButton::clicked, this, [this, band] { OnBrowseBand(band); });
        m_bandList.push_back(list);
        m_bandBrowse.push_back(browse);
    }
    return group;
}

QWidget* PanSharpenDialogBase::MakeParameterGroup()
{
    auto* group = new QGroupBox("Key Parameters", this);
    m_method = new QComboBox(group);
    m_method->addItems({"Optimisation 1", "Optimisation 2"});
    m_resampling = new QComboBox(group);
    m_resampling->addItem("Improved Bilinear");
    m_more = new QPushButton("More >>", group);
    m_more->setAutoDefault(false);

    auto* row = new QHBoxLayout(group);
    row->addWidget(new QLabel("Methods", group));
    row->addWidget(m_method);
    row->addSpacing(16);
    row->addWidget(new QLabel("Resampling", group));
    row->addWidget(m_resampling);
    row->addStretch();
    row->addWidget(m_more);

    connect(m_more, &QPushButton::clicked, this, [this] { OnMore(); });
    return group;
}

QWidget* PanSharpenDialogBase::MakeOutputGroup()
{
    auto* group = new QGroupBox("Output Pan-Sharpened Colour Images", this);
    m_suffix = new QLineEdit(group);
    m_bmp = new QLineEdit(group);
    m_bmpBrowse = MakeBrowseButton(group);
    m_displayBmp = new QCheckBox("Display BMP", group);
    m_colourMatch = new QCheckBox("Colours match with those of inputs closely", group);
    m_stretch = new QPushButton(">>", group);
    m_stretch->setAutoDefault(false);
    m_stretch->setFixedWidth(m_stretch->fontMetrics().horizontalAdvance(">>") + 24);

    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel("Bands:", group), 0, 0);
    auto* suffixRow = new QHBoxLayout;
    suffixRow->addWidget(new QLabel("Add suffix to input MS file names", group));
    suffixRow->addWidget(m_suffix);
    grid->addLayout(suffixRow, 0, 1);
    grid->addWidget(new QLabel("24-bit BMP", group), 1, 0);
    grid->addWidget(m_bmp, 1, 1);
    grid->addWidget(m_bmpBrowse, 1, 2);
    auto* flagRow = new QHBoxLayout;
    flagRow->addWidget(m_displayBmp);
    flagRow->addSpacing(16);
    flagRow->addWidget(m_colourMatch);
    flagRow->addStretch();
    flagRow->addWidget(m_stretch);
    grid->addLayout(flagRow, 2, 0, 1, 3);

    connect(m_bmpBrowse, &QPushButton::clicked, this, [this] { OnBrowseBmp(); });
    connect(m_stretch, &QPushButton::clicked, this, [this] { OnStretch(); });
    return group;
}

void PanSharpenDialogBase::ShowPan(const std::string& name, int width, int height,
                                   bool inputsEnabled)
{
    ShowText(m_pan, ToQt(name));
    ShowText(m_width, QString::number(width));
    ShowText(m_height, QString::number(height));
    m_width->setEnabled(inputsEnabled);
    m_height->setEnabled(inputsEnabled);
}

void PanSharpenDialogBase::ShowBand(int band, const std::vector<std::string>& entries, int index,
                                    bool listEnabled, bool browseEnabled)
{
    QComboBox* list = m_bandList[band];
    const QSignalBlocker blocker(list);
    list->clear();
    for (const std::string& entry : entries) list->addItem(ToQt(entry));
    list->setCurrentIndex(index < list->count() ? index : -1);
    list->setEnabled(listEnabled);
    m_bandBrowse[band]->setEnabled(browseEnabled);
}

void PanSharpenDialogBase::ShowOutputs(int method, int resampling, const std::string& suffix,
                                       const std::string& bmpName, bool displayBmp,
                                       bool colourMatch)
{
    m_method->setCurrentIndex(method);
    m_resampling->setCurrentIndex(resampling);
    ShowText(m_suffix, ToQt(suffix));
    ShowText(m_bmp, ToQt(bmpName));
    m_displayBmp->setChecked(displayBmp);
    m_colourMatch->setChecked(colourMatch);
}

void PanSharpenDialogBase::OnBrowsePan()
{
    static const char kPanFilter[] =
        "ENVI (*.img), Idrisi32 (*.rst), GeoTIFF (*.tif)|*.img;*.rst;*.tif|Generic Image Matrix "
        "(*.*)|*.*|Ascii Batch Input File (*.bif)|*.bif||";
    if (m_running) return;
    const QString path = ChooseFileToOpen(this, kPanFilter);
    if (!path.isEmpty()) OnPanChosen(path);
}

void PanSharpenDialogBase::OnBrowseBand(int band)
{
    static const char kBlueFilter[] =
        "ENVI (*.img), Idrisi32 (*.rst, *.rgf), GeoTIFF (*.tif)|*.img;*.rst;*.rgf;*.tif|Generic "
        "Image Matrix (*.*)|*.*||";
    static const char kOtherBandFilter[] =
        "ENVI (*.img), Idrisi32 (*.rst), GeoTIFF (*.tif)|*.img;*.rst;*.tif|Generic Image Matrix "
        "(*.*)|*.*||";
    if (m_running) return;
    if (band != 0 && !BlueChosen()) {
        // Refused before any chooser opens: the engine shows its message and changes nothing.
        OnBandChosen(band, QString());
        return;
    }
    const QString path = ChooseFileToOpen(this, band == 0 ? kBlueFilter : kOtherBandFilter);
    if (!path.isEmpty()) OnBandChosen(band, path);
}

void PanSharpenDialogBase::OnBrowseBmp()
{
    static const char kBmpFilter[] = "24-Bit BMP File (*.bmp)|*.bmp|All Files (*.*)|*.*||";
    if (m_running) return;
    const QString path = ChooseFileToSave(this, kBmpFilter, "BMP", "*.bmp");
    if (!path.isEmpty()) OnBmpChosen(path);
}

bool PanSharpenDialogBase::ReadSizeFields()
{
    static const std::string kNotAnInteger = "Please enter an integer.";
    for (QLineEdit* field : {m_width, m_height}) {
        if (field->hasAcceptableInput()) continue;
        m_host.ShowMessage(kNotAnInteger);
        field->setFocus();
        field->selectAll();
        return false;
    }
    TakeSize(m_width->text().toInt(), m_height->text().toInt());
    return true;
}

void PanSharpenDialogBase::accept()
{
    if (m_running) return;
    if (InBatchMode()) {
        // The dialog closes once the whole batch file is processed and stays armed after a stop.
        if (Run(true)) QDialog::accept();
        ShowJob();
        return;
    }
    if (!ReadSizeFields()) return;
    const std::int32_t reportsBefore = m_counters.Get(Tool::PanSharpening);
    Run(false);
    ShowJob();
    // No report block means the run stopped on a validation message: the user corrects the
    // fields and tries again.
    if (m_counters.Get(Tool::PanSharpening) == reportsBefore) return;
    QDialog::accept();
}

void PanSharpenDialogBase::ShowBatchMode(bool batch)
{
    for (QWidget* control : {static_cast<QWidget*>(m_width), static_cast<QWidget*>(m_height),
                             static_cast<QWidget*>(m_bmp), static_cast<QWidget*>(m_bmpBrowse),
                             static_cast<QWidget*>(m_displayBmp), static_cast<QWidget*>(m_suffix)}) {
        control->setEnabled(!batch);
    }
}

void PanSharpenDialogBase::reject()
{
    if (m_running) return;
    QDialog::reject();
}

bool PanSharpenDialogBase::Run(bool batch)
{
    static const std::string kUnexpectedFailure = "The run stopped on an unexpected error: ";
    m_running = true;
    qApp->installEventFilter(this);
    ToolDialogHost host(m_host, *m_progress);
    bool completed = false;
    try {
        completed = batch ? RunBatchJobs(host) : (RunJob(host), true);
    } catch (const std::exception& error) {
        m_host.ShowMessage(kUnexpectedFailure + error.what());
    } catch (...) {
        m_host.ShowMessage(kUnexpectedFailure + "unknown");
    }
    qApp->removeEventFilter(this);
    m_running = false;
    return completed;
}

// While a run pumps, the user's clicks and keys on this dialog are dropped: nothing may change
// the job or start a second run under the running one. Other windows (the progress window with
// its Cancel button) get theirs.
bool PanSharpenDialogBase::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_running || !watched->isWidgetType()) return QDialog::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::Shortcut:
            if (static_cast<QWidget*>(watched)->window() == this) return true;
            break;
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
}

void PanSharpenDialogBase::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_placed) return;
    m_placed = true;
    QPoint place = kOpenPosition;
    // On a screen too small for the usual place the dialog is kept fully visible.
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        place.setX(
            std::max(area.left(), std::min(place.x(), area.right() - frameGeometry().width())));
        place.setY(
            std::max(area.top(), std::min(place.y(), area.bottom() - frameGeometry().height())));
    }
    move(place);
}

}  // namespace lumesta
