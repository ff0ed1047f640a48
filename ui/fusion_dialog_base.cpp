#include "ui/fusion_dialog_base.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <string>

#include "fusion/fusion_method.h"
#include "ui/dialog_keys.h"
#include "ui/dialog_parts.h"
#include "ui/text.h"
#include "ui/tool_dialog_host.h"

namespace lumesta {
namespace {

const QPoint kOpenPosition(550, 60);

}  // namespace

PanSharpenDialogBase::PanSharpenDialogBase(const QString& title,
                                           const std::vector<QString>& bandLabels,
                                           RunCounters& counters, Host& host, QWidget* parent)
    : ToolDialog(counters, host, parent)
{
    setWindowTitle(title);

    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);

    QWidget* pan = MakePanGroup();
    QWidget* bands = MakeBandGroup(bandLabels);
    QWidget* parameters = MakeParameterGroup();
    QWidget* outputs = MakeOutputGroup();
    LayOutColumn(this, {pan, bands, parameters, outputs, m_progress, MakeToolButtons(this)});
    BindFileFields();
    SetTips();
}

void PanSharpenDialogBase::SetTips()
{
    static const char* const kBandOptions[] = {"--blue PATH", "--green PATH", "--red PATH",
                                               "--nir PATH"};
    SetTip(m_pan, "The high-resolution pan band (type, paste or drop a path), or a .bif batch file",
           "--pan PATH");
    SetTip(m_panBrowse, "Chooses the pan band or a .bif batch file", "--pan PATH");
    SetTip(m_width, "Width of the pan band in pixels (typed for a headerless matrix)", "--width N");
    SetTip(m_height, "Height of the pan band in pixels (typed for a headerless matrix)",
           "--height N");
    for (int band = 0; band < BandCount(); ++band) {
        SetTip(m_bandList[band], "The entry used for this colour (drop a file here to choose it)",
               "--select LIST");
        SetTip(m_bandBrowse[band], "Chooses this multispectral band", kBandOptions[band]);
    }
    SetTip(m_resampling,
           "How the multispectral bands are brought to the pan's size: set by the method",
           "follows --method");
    SetTip(m_more, "Spatial filter and colour adjustments", "--filter, --filter-bands, --adjust");
    SetTip(m_suffix, "Added to each multispectral file name to name its fused band",
           "--suffix TEXT");
    SetTip(m_bmp, "The stretched colour picture written by the run (type, paste or drop a path)",
           "--bmp PATH");
    SetTip(m_bmpBrowse, "Names the colour picture; nothing is written before OK", "--bmp PATH");
    SetTip(m_displayBmp, "Shows the picture once the run has finished", "--display");
    SetTip(m_colourMatch, "Keeps the colours close to those of the inputs", "--colour-match");
    SetTip(m_qualityLine, "Appends the full-resolution quality of the result to the report",
           "--quality");
    SetTip(m_stretch, "Histogram cutoffs and nonlinear stretching of the picture",
           "--cutoffs, --nonlinear");
    SetButtonTips(*this, "pansharpen (pansharpen-etm for Landsat ETM+)");
}

void PanSharpenDialogBase::BindFileFields()
{
    BindPathField(*m_pan, [this](const QString& path) {
        if (!IsRunning() && path != m_pan->property("shown").toString()) OnPanChosen(path);
    });
    for (int band = 0; band < BandCount(); ++band) {
        AcceptFileDrops(*m_bandList[band], [this, band](const QString& path) {
            if (!IsRunning()) OnBandChosen(band, path);
        });
    }
    BindPathField(*m_bmp, [this](const QString& path) {
        if (!IsRunning()) OnBmpChosen(path);
    });
}

QWidget* PanSharpenDialogBase::MakePanGroup()
{
    auto* group = new QGroupBox("Input High Resolution Panchromatic Band", this);
    m_pan = new QLineEdit(group);
    m_pan->setMinimumWidth(360);
    m_panBrowse = MakeBrowseButton(group);
    QHBoxLayout* sizes = MakeSizeRow(group, m_width, m_height);

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
        const BandRow row = AddBandRow(*grid, band, bandLabels[band], 30, group);
        connect(row.browse, &QPushButton::clicked, this, [this, band] { OnBrowseBand(band); });
        m_bandList.push_back(row.list);
        m_bandBrowse.push_back(row.browse);
    }
    return group;
}

QWidget* PanSharpenDialogBase::MakeParameterGroup()
{
    auto* group = new QGroupBox("Key Parameters", this);
    m_method = new QComboBox(group);
    m_resampling = new QComboBox(group);
    m_resampling->addItem(ResamplingLabel(FusionMethod::Optimisation1));
    // Wide enough for every method's resampling.
    std::size_t widest = 0;
    for (const FusionMethodRow& row : FusionMethods())
        widest = std::max(widest, std::string(ResamplingLabel(row.method)).size());
    m_resampling->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_resampling->setMinimumContentsLength(static_cast<int>(widest));
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
    m_stretch = MakeStretchButton(group);
    m_qualityLine = new QCheckBox("Add a quality line (D_lambda, D_s, QNR) to the report", group);

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
    grid->addWidget(m_qualityLine, 3, 0, 1, 3);

    connect(m_bmpBrowse, &QPushButton::clicked, this, [this] { OnBrowseBmp(); });
    connect(m_stretch, &QPushButton::clicked, this, [this] { OnStretch(); });
    return group;
}

void PanSharpenDialogBase::ShowPan(const std::string& name, int width, int height,
                                   bool inputsEnabled)
{
    ShowText(m_pan, ToQt(name));
    m_pan->setProperty("shown", ToQt(name));
    ShowText(m_width, QString::number(width));
    ShowText(m_height, QString::number(height));
    m_width->setEnabled(inputsEnabled);
    m_height->setEnabled(inputsEnabled);
}

void PanSharpenDialogBase::ShowBand(int band, const std::vector<std::string>& entries, int index,
                                    bool listEnabled, bool browseEnabled)
{
    ShowEntries(m_bandList[band], entries, index);
    m_bandList[band]->setEnabled(listEnabled);
    m_bandBrowse[band]->setEnabled(browseEnabled);
}

void PanSharpenDialogBase::ShowOutputs(int method, const char* resampling,
                                       const std::string& suffix, const std::string& bmpName,
                                       bool displayBmp, bool colourMatch, bool qualityLine)
{
    m_method->setCurrentIndex(method);
    // The method decides the resampling: the list holds the one the run will use.
    if (m_resampling->count() != 1 || m_resampling->itemText(0) != resampling) {
        m_resampling->clear();
        m_resampling->addItem(resampling);
    }
    ShowText(m_suffix, ToQt(suffix));
    ShowText(m_bmp, ToQt(bmpName));
    m_displayBmp->setChecked(displayBmp);
    m_colourMatch->setChecked(colourMatch);
    m_qualityLine->setChecked(qualityLine);
}

void PanSharpenDialogBase::OnBrowsePan()
{
    static const char kPanFilter[] =
        "ENVI (*.img), Idrisi32 (*.rst), GeoTIFF (*.tif)|*.img;*.rst;*.tif|Generic Image Matrix "
        "(*.*)|*.*|Ascii Batch Input File (*.bif)|*.bif||";
    BrowseToOpen(
        kPanFilter, [this](const QString& path) { OnPanChosen(path); }, m_pan->text());
}

void PanSharpenDialogBase::OnBrowseBand(int band)
{
    static const char kBlueFilter[] =
        "ENVI (*.img), Idrisi32 (*.rst, *.rgf), GeoTIFF (*.tif)|*.img;*.rst;*.rgf;*.tif|Generic "
        "Image Matrix (*.*)|*.*||";
    static const char kOtherBandFilter[] =
        "ENVI (*.img), Idrisi32 (*.rst), GeoTIFF (*.tif)|*.img;*.rst;*.tif|Generic Image Matrix "
        "(*.*)|*.*||";
    if (IsRunning()) return;
    if (band != 0 && !BlueChosen()) {
        // Refused before any chooser opens: the engine shows its message and changes nothing.
        OnBandChosen(band, QString());
        return;
    }
    BrowseToOpen(
        band == 0 ? kBlueFilter : kOtherBandFilter,
        [this, band](const QString& path) { OnBandChosen(band, path); }, CurrentBandPath(band));
}

void PanSharpenDialogBase::OnBrowseBmp()
{
    static const char kBmpFilter[] = "24-Bit BMP File (*.bmp)|*.bmp|All Files (*.*)|*.*||";
    BrowseToSave(kBmpFilter, "BMP", m_bmp->text(),
                 [this](const QString& path) { OnBmpChosen(path); });
}

bool PanSharpenDialogBase::ReadSizeFields()
{
    if (!CheckIntegerFields({m_width, m_height}, ProgramHost())) return false;
    TakeSize(IntegerIn(m_width), IntegerIn(m_height));
    return true;
}

void PanSharpenDialogBase::accept()
{
    if (IsRunning()) return;
    ToolDialogHost host(ProgramHost(), *m_progress);
    if (InBatchMode()) {
        // The dialog closes once the whole batch file is processed and stays armed after a stop.
        const RunOutcome outcome = RunGuarded(
            [this] {
                return RunBatchJobs(ProgramHost()) ? RunOutcome::Finished : RunOutcome::Stopped;
            },
            &host);
        if (outcome == RunOutcome::Finished) QDialog::accept();
        ShowJob();
        return;
    }
    if (!ReadSizeFields()) return;
    // A stop (a message, a declined overwrite) or a cancel keeps the dialog with the user's
    // fields, for another go.
    const RunOutcome outcome = RunGuarded([this] { return RunJob(ProgramHost()); }, &host);
    ShowJob();
    if (outcome == RunOutcome::Finished) QDialog::accept();
}

void PanSharpenDialogBase::ShowBatchMode(bool batch)
{
    SetAllEnabled({m_width, m_height, m_bmp, m_bmpBrowse, m_displayBmp, m_suffix, m_qualityLine}, !batch);
}

void PanSharpenDialogBase::showEvent(QShowEvent* event)
{
    ToolDialog::showEvent(event);
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
