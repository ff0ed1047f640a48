#include "ui/combine_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "batch/batch_jobs.h"
#include "composite/combine_batch.h"
#include "composite/combine_browse.h"
#include "composite/combine_options.h"
#include "composite/combine_run.h"
#include "ui/dialog_keys.h"
#include "ui/dialog_parts.h"
#include "ui/stretch_params_dialog.h"
#include "ui/text.h"

namespace lumesta {
namespace {

const char* const kBandLabels[3] = {"Blue Band", "Green Band", "Red Band"};

QString TitleOf(CombineDepth depth)
{
    return depth == CombineDepth::Sixteen ? "Band Combination (For 16-bit data)"
                                          : "Band Combination (For 8-bit data)";
}

}  // namespace

BandCombinationDialog::BandCombinationDialog(CombineDepth depth, RunCounters& counters, Host& host,
                                             QWidget* parent)
    : ToolDialog(counters, host, parent), m_job(depth)
{
    setWindowTitle(TitleOf(depth));
    QDialogButtonBox* buttons = MakeToolButtons(this);
    LayOutColumn(this, {MakeInputGroup(), MakeOutputGroup(), buttons});
    SetTips();
    ShowJob();
}

void BandCombinationDialog::SetTips()
{
    static const char* const kBandOptions[] = {"--blue PATH (a .bif batch file too)",
                                               "--green PATH", "--red PATH"};
    for (int band = kCompositeBlue; band <= kCompositeRed; ++band) {
        SetTip(m_bandList[band], "The entry shown in this colour (drop a file here to choose it)",
               "--select B,G,R");
        SetTip(m_bandBrowse[band], "Chooses the band for this colour", kBandOptions[band]);
    }
    SetTip(m_width, "Width in pixels (typed for a headerless matrix)", "--width N");
    SetTip(m_height, "Height in pixels (typed for a headerless matrix)", "--height N");
    SetTip(m_bmp, "The colour composite written by the run (type, paste or drop a path)",
           "--bmp PATH");
    SetTip(m_bmpBrowse, "Names the colour composite; nothing is written before OK", "--bmp PATH");
    SetTip(m_displayBmp, "Shows the composite once the run has finished", "--display");
    SetTip(m_stretch, "Histogram cutoffs and nonlinear stretching", "--cutoffs, --nonlinear");
    SetTip(m_geoTiff, "Also writes a GeoTIFF composite for GeoTIFF inputs", "--geotiff");
    SetButtonTips(*this, m_job.depth == CombineDepth::Sixteen ? "combine" : "combine8");
}

QWidget* BandCombinationDialog::MakeInputGroup()
{
    auto* group = new QGroupBox("Input Blue / Green / Red Bands", this);
    auto* grid = new QGridLayout(group);
    grid->setColumnStretch(1, 1);
    for (int band = kCompositeBlue; band <= kCompositeRed; ++band) {
        const BandRow row = AddBandRow(*grid, band, kBandLabels[band], 36, group);
        m_bandList[band] = row.list;
        m_bandBrowse[band] = row.browse;
        connect(m_bandBrowse[band], &QPushButton::clicked, this,
                [this, band] { OnBrowseBand(band); });
        AcceptFileDrops(*m_bandList[band], [this, band](const QString& path) {
            if (!IsRunning()) OnBandChosen(band, path);
        });
        connect(m_bandList[band], qOverload<int>(&QComboBox::activated), this,
                [this, band](int index) { SelectCombineBand(m_job, band, index); });
    }

    grid->addLayout(MakeSizeRow(group, m_width, m_height), 3, 0, 1, 3);
    connect(m_width, &QLineEdit::textEdited, this, [this] { TakeSizeFields(); });
    connect(m_height, &QLineEdit::textEdited, this, [this] { TakeSizeFields(); });
    return group;
}

QWidget* BandCombinationDialog::MakeOutputGroup()
{
    auto* group = new QGroupBox("Output Colour Composite", this);
    m_bmp = new QLineEdit(group);
    m_bmpBrowse = MakeBrowseButton(group);
    m_displayBmp = new QCheckBox("Display BMP", group);
    m_stretch = MakeStretchButton(group);
    m_geoTiff =
        new QCheckBox("For inputs in GeoTIFF, also produce a composite in this format?", group);

    auto* grid = new QGridLayout(group);
    grid->setColumnStretch(1, 1);
    grid->addWidget(new QLabel("24-bit BMP", group), 0, 0);
    grid->addWidget(m_bmp, 0, 1);
    grid->addWidget(m_bmpBrowse, 0, 2);
    auto* flagRow = new QHBoxLayout;
    flagRow->addWidget(m_displayBmp);
    flagRow->addStretch();
    flagRow->addWidget(new QLabel("Image Stretching:", group));
    flagRow->addWidget(m_stretch);
    grid->addLayout(flagRow, 1, 0, 1, 3);
    grid->addWidget(m_geoTiff, 2, 0, 1, 3);

    connect(m_bmp, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_job.bmpPath = ToEngine(text); });
    connect(m_bmpBrowse, &QPushButton::clicked, this, [this] { OnBrowseBmp(); });
    BindPathField(*m_bmp, [this](const QString& path) {
        if (!IsRunning()) OnBmpChosen(path);
    });
    connect(m_displayBmp, &QCheckBox::clicked, this, [this](bool on) { m_job.displayBmp = on; });
    connect(m_geoTiff, &QCheckBox::clicked, this, [this](bool on) { m_job.geoTiffOutput = on; });
    connect(m_stretch, &QPushButton::clicked, this, [this] { OnStretch(); });
    return group;
}

void BandCombinationDialog::TakeSizeFields()
{
    m_job.width = IntegerIn(m_width);
    m_job.height = IntegerIn(m_height);
}

void BandCombinationDialog::ShowJob()
{
    // A batch file supplies the inputs and outputs: only the Blue browse and the colour
    // selectors stay in use.
    const bool single = !m_job.batchMode;
    for (int band = kCompositeBlue; band <= kCompositeRed; ++band) {
        ShowEntries(m_bandList[band], m_job.bandLists[band], m_job.selectedIndex[band]);
        m_bandBrowse[band]->setEnabled(band == kCompositeBlue ||
                                       (single && m_job.browseEnabled[band]));
    }
    ShowText(m_width, QString::number(m_job.width));
    ShowText(m_height, QString::number(m_job.height));
    ShowText(m_bmp, ToQt(m_job.bmpPath));
    m_displayBmp->setChecked(m_job.displayBmp);
    m_geoTiff->setChecked(m_job.geoTiffOutput);
    SetAllEnabled({m_width, m_height, m_bmp, m_bmpBrowse, m_displayBmp, m_geoTiff}, single);
}

JobCommand BandCombinationDialog::Command() const
{
    const auto& options = CombineOptions(m_job.depth);
    return {options.tool.name, options.CommandLine(m_job)};
}

void BandCombinationDialog::Restore(const JobCommand& command)
{
    m_job = RememberedJob(CombineOptions(m_job.depth), command.arguments,
                          BandCombinationJob(m_job.depth));
    ShowJob();
}

void BandCombinationDialog::ResetJob()
{
    m_job = BandCombinationJob(m_job.depth);
    ShowJob();
}

void BandCombinationDialog::OnBrowseBand(int band)
{
    static const char kBlueFilter16[] =
        "ENVI (*.img), Idrisi32 (*.rst), GeoTIFF (*.tif)|*.img;*.rst;*.tif|Generic Image Matrix "
        "(*.*)|*.*|Ascii Batch Input File (*.bif)|*.bif||";
    static const char kBlueFilter8[] =
        "ENVI (*.img), Idrisi32 (*.rst, *.rgf), GeoTIFF (*.tif)|*.img;*.rst;*.rgf;*.tif|Generic "
        "Image Matrix (*.*)|*.*|Ascii Batch Input File (*.bif)|*.bif||";
    static const char kOtherBandFilter[] =
        "ENVI (*.img), Idrisi32 (*.rst), GeoTIFF (*.tif)|*.img;*.rst;*.tif|Generic Image Matrix "
        "(*.*)|*.*||";
    if (IsRunning()) return;
    if (band != kCompositeBlue && m_job.selection[kCompositeBlue].empty()) {
        // Refused before any chooser opens: the engine shows its message and changes nothing.
        OnBandChosen(band, QString());
        return;
    }
    const char* filter = band != kCompositeBlue                 ? kOtherBandFilter
                         : m_job.depth == CombineDepth::Sixteen ? kBlueFilter16
                                                                : kBlueFilter8;
    const std::string& current =
        band == kCompositeBlue && !m_job.bluePath.empty() ? m_job.bluePath : m_job.bandPath[band];
    BrowseToOpen(
        filter, [this, band](const QString& path) { OnBandChosen(band, path); }, ToQt(current));
}

void BandCombinationDialog::OnBandChosen(int band, const QString& path)
{
    if (band == kCompositeBlue) {
        BrowseCombineBlue(m_job, ToEngine(path), ProgramHost());
    } else {
        BrowseCombineBand(m_job, band, ToEngine(path), ProgramHost());
    }
    ShowJob();
}

void BandCombinationDialog::OnBrowseBmp()
{
    static const char kBmpFilter[] = "24-Bit BMP File (*.bmp)|*.bmp|All Files (*.*)|*.*||";
    BrowseToSave(kBmpFilter, "bmp", ToQt(m_job.bmpPath),
                 [this](const QString& path) { OnBmpChosen(path); });
}

void BandCombinationDialog::OnBmpChosen(const QString& path)
{
    ChooseCombineBmp(m_job, ToEngine(path), ProgramHost());
    ShowJob();
}

void BandCombinationDialog::OnStretch()
{
    if (IsRunning()) return;
    CStretchParamsDlg stretch(ProgramHost(), this);
    if (stretch.exec() == QDialog::Accepted) m_job.stretch = stretch.Params();
}

RunOutcome BandCombinationDialog::RunBatch()
{
    const BatchOutcome outcome = RunBandCombinationBatch(m_job, Counters(), ProgramHost());
    if (outcome == BatchOutcome::Cancelled) return RunOutcome::Cancelled;
    return outcome == BatchOutcome::Completed ? RunOutcome::Finished : RunOutcome::Stopped;
}

void BandCombinationDialog::accept()
{
    if (IsRunning()) return;
    if (m_job.batchMode) {
        const RunOutcome outcome = RunGuarded([this] { return RunBatch(); });
        ShowJob();
        if (outcome == RunOutcome::Finished) QDialog::accept();
        return;
    }
    if (!CheckIntegerFields({m_width, m_height}, ProgramHost())) return;
    TakeSizeFields();
    // A stop (a message, a declined overwrite) or a cancel keeps the dialog with the user's
    // fields, for another go.
    const RunOutcome outcome =
        RunGuarded([this] { return RunBandCombination(m_job, Counters(), ProgramHost()); });
    ShowJob();
    if (outcome == RunOutcome::Finished) QDialog::accept();
}

CBandCombination16Dlg::CBandCombination16Dlg(RunCounters& counters, Host& host, QWidget* parent)
    : BandCombinationDialog(CombineDepth::Sixteen, counters, host, parent)
{
}

CBandCombination8Dlg::CBandCombination8Dlg(RunCounters& counters, Host& host, QWidget* parent)
    : BandCombinationDialog(CombineDepth::Eight, counters, host, parent)
{
}

}  // namespace lumesta
