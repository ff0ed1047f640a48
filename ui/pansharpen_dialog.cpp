#include "ui/pansharpen_dialog.h"

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

#include "fusion/pansharpen_browse.h"
#include "fusion/pansharpen_run.h"
#include "ui/file_chooser.h"
#include "ui/more_params_dialog.h"
#include "ui/stretch_params_dialog.h"
#include "ui/text.h"
#include "ui/tool_dialog_host.h"

namespace lumesta {
namespace {

const char* const kBandLabels[4] = {"Blue Band", "Green Band", "Red Band", "NIR Band"};
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

PanSharpenDialog::PanSharpenDialog(RunCounters& counters, Host& host, QWidget* parent)
    : QDialog(parent), m_counters(counters), m_host(host)
{
    setWindowTitle("Pan-Sharpening Module (For 16-bit data)");

    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MakePanGroup());
    layout->addWidget(MakeBandGroup());
    layout->addWidget(MakeParameterGroup());
    layout->addWidget(MakeOutputGroup());
    layout->addWidget(m_progress);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    ShowJob();
}

QWidget* PanSharpenDialog::MakePanGroup()
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
    connect(m_width, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_job.width = text.toInt(); });
    connect(m_height, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_job.height = text.toInt(); });
    return group;
}

QWidget* PanSharpenDialog::MakeBandGroup()
{
    auto* group = new QGroupBox("Input Low Resolution Multispectral Bands", this);
    auto* grid = new QGridLayout(group);
    for (int band = kBlue; band <= kNir; ++band) {
        m_bandList[band] = new QComboBox(group);
        m_bandList[band]->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        m_bandList[band]->setMinimumContentsLength(30);
        m_bandBrowse[band] = MakeBrowseButton(group);
        auto* label = new QLabel(kBandLabels[band], group);
        label->setBuddy(m_bandList[band]);
        grid->addWidget(label, band, 0);
        grid->addWidget(m_bandList[band], band, 1);
        grid->addWidget(m_bandBrowse[band], band, 2);
        grid->setColumnStretch(1, 1);
        connect(m_bandBrowse[band], &QPushButton::clicked, this, [this, band] { OnBrowseBand(band); });
        connect(m_bandList[band], qOverload<int>(&QComboBox::activated), this,
                [this, band](int index) { SelectBand(m_job, band, index); });
    }
    return group;
}

QWidget* PanSharpenDialog::MakeParameterGroup()
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

    connect(m_method, qOverload<int>(&QComboBox::activated), this,
            [this](int index) { m_job.method = index; });
    connect(m_resampling, qOverload<int>(&QComboBox::activated), this,
            [this](int index) { m_job.resampling = index; });
    connect(m_more, &QPushButton::clicked, this, [this] { OnMore(); });
    return group;
}

QWidget* PanSharpenDialog::MakeOutputGroup()
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

    connect(m_suffix, &QLineEdit::textEdited, this, [this](const QString& text) {
        SetSuffix(m_job, ToEngine(text));
        ShowText(m_bmp, ToQt(m_job.bmpName));
    });
    connect(m_bmp, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_job.bmpName = ToEngine(text); });
    connect(m_bmpBrowse, &QPushButton::clicked, this, [this] { OnBrowseBmp(); });
    connect(m_displayBmp, &QCheckBox::clicked, this, [this](bool on) { m_job.displayBmp = on; });
    connect(m_colourMatch, &QCheckBox::clicked, this, [this](bool on) { m_job.colourMatch = on; });
    connect(m_stretch, &QPushButton::clicked, this, [this] { OnStretch(); });
    return group;
}

void PanSharpenDialog::ShowJob()
{
    ShowText(m_pan, ToQt(m_job.panName));
    ShowText(m_width, QString::number(m_job.width));
    ShowText(m_height, QString::number(m_job.height));
    const bool inputsEnabled = !m_job.batchMode;
    m_width->setEnabled(inputsEnabled);
    m_height->setEnabled(inputsEnabled);
    for (int band = kBlue; band <= kNir; ++band) {
        const QSignalBlocker blocker(m_bandList[band]);
        m_bandList[band]->clear();
        for (const std::string& entry : m_job.bandLists[band]) m_bandList[band]->addItem(ToQt(entry));
        const int index = m_job.selectedIndex[band];
        m_bandList[band]->setCurrentIndex(index < m_bandList[band]->count() ? index : -1);
        m_bandList[band]->setEnabled(inputsEnabled);
        m_bandBrowse[band]->setEnabled(inputsEnabled && (band == kBlue || m_job.browseEnabled[band]));
    }
    m_method->setCurrentIndex(m_job.method);
    m_resampling->setCurrentIndex(m_job.resampling);
    ShowText(m_suffix, ToQt(m_job.suffix));
    ShowText(m_bmp, ToQt(m_job.bmpName));
    m_displayBmp->setChecked(m_job.displayBmp);
    m_colourMatch->setChecked(m_job.colourMatch);
}

void PanSharpenDialog::OnPanChosen(const QString& path)
{
    BrowsePan(m_job, ToEngine(path), m_host);
    ShowJob();
}

void PanSharpenDialog::OnBandChosen(int band, const QString& path)
{
    if (band == kBlue) {
        BrowseBlue(m_job, ToEngine(path), m_host);
    } else {
        BrowseOtherBand(m_job, band, ToEngine(path), m_host);
    }
    ShowJob();
}

void PanSharpenDialog::OnBmpChosen(const QString& path)
{
    ChooseBmp(m_job, ToEngine(path));
    ShowJob();
}

void PanSharpenDialog::OnBrowsePan()
{
    static const char kPanFilter[] =
        "ENVI (*.img), Idrisi32 (*.rst), GeoTIFF (*.tif)|*.img;*.rst;*.tif|Generic Image Matrix "
        "(*.*)|*.*|Ascii Batch Input File (*.bif)|*.bif||";
    if (m_running) return;
    const QString path = ChooseFileToOpen(this, kPanFilter);
    if (!path.isEmpty()) OnPanChosen(path);
}

void PanSharpenDialog::OnBrowseBand(int band)
{
    static const char kBlueFilter[] =
        "ENVI (*.img), Idrisi32 (*.rst, *.rgf), GeoTIFF (*.tif)|*.img;*.rst;*.rgf;*.tif|Generic "
        "Image Matrix (*.*)|*.*||";
    static const char kOtherBandFilter[] =
        "ENVI (*.img), Idrisi32 (*.rst), GeoTIFF (*.tif)|*.img;*.rst;*.tif|Generic Image Matrix "
        "(*.*)|*.*||";
    if (m_running) return;
    if (band != kBlue && m_job.selection[kBlue].empty()) {
        // Refused before any chooser opens; the engine shows its message and changes nothing.
        BrowseOtherBand(m_job, band, std::string(), m_host);
        return;
    }
    const QString path = ChooseFileToOpen(this, band == kBlue ? kBlueFilter : kOtherBandFilter);
    if (!path.isEmpty()) OnBandChosen(band, path);
}

void PanSharpenDialog::OnBrowseBmp()
{
    static const char kBmpFilter[] = "24-Bit BMP File (*.bmp)|*.bmp|All Files (*.*)|*.*||";
    if (m_running) return;
    const QString path = ChooseFileToSave(this, kBmpFilter, "BMP", "*.bmp");
    if (!path.isEmpty()) OnBmpChosen(path);
}

void PanSharpenDialog::OnMore()
{
    if (m_running) return;
    MoreParamsDialog more(m_host, this);
    if (more.exec() == QDialog::Accepted) more.CopyTo(m_job);
}

void PanSharpenDialog::OnStretch()
{
    if (m_running) return;
    CStretchParamsDlg stretch(m_host, this);
    if (stretch.exec() == QDialog::Accepted) m_job.stretch = stretch.Params();
}

bool PanSharpenDialog::ReadSizeFields()
{
    static const std::string kNotAnInteger = "Please enter an integer.";
    for (QLineEdit* field : {m_width, m_height}) {
        if (field->hasAcceptableInput()) continue;
        m_host.ShowMessage(kNotAnInteger);
        field->setFocus();
        field->selectAll();
        return false;
    }
    m_job.width = m_width->text().toInt();
    m_job.height = m_height->text().toInt();
    return true;
}

void PanSharpenDialog::accept()
{
    if (m_running || !ReadSizeFields()) return;
    const std::int32_t reportsBefore = m_counters.Get(Tool::PanSharpening);
    Run();
    ShowJob();
    // No report block means the run stopped on a validation message: the user corrects the
    // fields and tries again.
    if (m_counters.Get(Tool::PanSharpening) == reportsBefore) return;
    QDialog::accept();
}

void PanSharpenDialog::reject()
{
    if (m_running) return;
    QDialog::reject();
}

RunOutcome PanSharpenDialog::Run()
{
    static const std::string kUnexpectedFailure = "The run stopped on an unexpected error: ";
    m_running = true;
    qApp->installEventFilter(this);
    ToolDialogHost host(m_host, *m_progress);
    RunOutcome outcome = RunOutcome::Stopped;
    try {
        outcome = RunPanSharpen(m_job, m_counters, host);
    } catch (const std::exception& error) {
        m_host.ShowMessage(kUnexpectedFailure + error.what());
    } catch (...) {
        m_host.ShowMessage(kUnexpectedFailure + "unknown");
    }
    qApp->removeEventFilter(this);
    m_running = false;
    return outcome;
}

// While a run pumps, the user's clicks and keys on this dialog are dropped: nothing may change
// the job or start a second run under the running one. Other windows (the progress window with
// its Cancel button) get theirs.
bool PanSharpenDialog::eventFilter(QObject* watched, QEvent* event)
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

void PanSharpenDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_placed) return;
    m_placed = true;
    QPoint place = kOpenPosition;
    // On a screen too small for the usual place the dialog is kept fully visible.
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        place.setX(std::max(area.left(), std::min(place.x(), area.right() - frameGeometry().width())));
        place.setY(std::max(area.top(), std::min(place.y(), area.bottom() - frameGeometry().height())));
    }
    move(place);
}

}  // namespace lumesta
