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
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "composite/combine_batch.h"
#include "composite/combine_browse.h"
#include "composite/combine_run.h"
#include "ui/dialog_parts.h"
#include "ui/file_chooser.h"
#include "ui/stretch_params_dialog.h"
#include "ui/text.h"
#include "ui/tool_run_guard.h"

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
    : QDialog(parent),
      m_job(depth),
      m_counters(counters),
      m_host(host),
      m_guard(new ToolRunGuard(*this))
{
    setWindowTitle(TitleOf(depth));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MakeInputGroup());
    layout->addWidget(MakeOutputGroup());
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    ShowJob();
}

bool BandCombinationDialog::IsRunning() const
{
    return m_guard->IsRunning();
}

QWidget* BandCombinationDialog::MakeInputGroup()
{
    auto* group = new QGroupBox("Input Blue / Green / Red Bands", this);
    auto* grid = new QGridLayout(group);
    grid->setColumnStretch(1, 1);
    for (int band = kCompositeBlue; band <= kCompositeRed; ++band) {
        m_bandList[band] = new QComboBox(group);
        m_bandList[band]->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        m_bandList[band]->setMinimumContentsLength(36);
        m_bandBrowse[band] = MakeBrowseButton(group);
        auto* label = new QLabel(kBandLabels[band], group);
        label->setBuddy(m_bandList[band]);
        grid->addWidget(label, band, 0);
        grid->addWidget(m_bandList[band], band, 1);
        grid->addWidget(m_bandBrowse[band], band, 2);
        connect(m_bandBrowse[band], &QPushButton::clicked, this,
                [this, band] { OnBrowseBand(band); });
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
    m_displayBmp = new QCheckBox("Display BMP in Microsoft Paint", group);
    m_stretch = new QPushButton(">>", group);
    m_stretch->setAutoDefault(false);
    m_stretch->setFixedWidth(m_stretch->fontMetrics().horizontalAdvance(">>") + 24);
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
        QComboBox* list = m_bandList[band];
        const QSignalBlocker blocker(list);
        list->clear();
        for (const std::string& entry : m_job.bandLists[band]) list->addItem(ToQt(entry));
        const int index = m_job.selectedIndex[band];
        list->setCurrentIndex(index < list->count() ? index : -1);
        m_bandBrowse[band]->setEnabled(band == kCompositeBlue ||
                                       (single && m_job.browseEnabled[band]));
    }
    ShowText(m_width, QString::number(m_job.width));
    ShowText(m_height, QString::number(m_job.height));
    ShowText(m_bmp, ToQt(m_job.bmpPath));
    m_displayBmp->setChecked(m_job.displayBmp);
    m_geoTiff->setChecked(m_job.geoTiffOutput);
    for (QWidget* control :
         {static_cast<QWidget*>(m_width), static_cast<QWidget*>(m_height),
          static_cast<QWidget*>(m_bmp), static_cast<QWidget*>(m_bmpBrowse),
          static_cast<QWidget*>(m_displayBmp), static_cast<QWidget*>(m_geoTiff)}) {
        control->setEnabled(single);
    }
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
    const QString path = ChooseFileToOpen(this, filter);
    if (!path.isEmpty()) OnBandChosen(band, path);
}

void BandCombinationDialog::OnBandChosen(int band, const QString& path)
{
    if (band == kCompositeBlue) {
        BrowseCombineBlue(m_job, ToEngine(path), m_host);
    } else {
        BrowseCombineBand(m_job, band, ToEngine(path), m_host);
    }
    ShowJob();
}

void BandCombinationDialog::OnBrowseBmp()
{
    static const char kBmpFilter[] = "24-Bit BMP File (*.bmp)|*.bmp|All Files (*.*)|*.*||";
    if (IsRunning()) return;
    const QString path = ChooseFileToSave(this, kBmpFilter, "bmp", ToQt(m_job.bmpPath));
    if (!path.isEmpty()) OnBmpChosen(path);
}

void BandCombinationDialog::OnBmpChosen(const QString& path)
{
    m_job.bmpPath = ToEngine(path);
    ShowJob();
}

void BandCombinationDialog::OnStretch()
{
    if (IsRunning()) return;
    CStretchParamsDlg stretch(m_host, this);
    if (stretch.exec() == QDialog::Accepted) m_job.stretch = stretch.Params();
}

RunOutcome BandCombinationDialog::RunBatch()
{
    const BatchOutcome outcome = RunBandCombinationBatch(m_job, m_counters, m_host);
    return outcome == BatchOutcome::Completed ? RunOutcome::Finished : RunOutcome::Stopped;
}

void BandCombinationDialog::accept()
{
    if (IsRunning()) return;
    if (m_job.batchMode) {
        const RunOutcome outcome = m_guard->Run(m_host, [this] { return RunBatch(); });
        ShowJob();
        if (outcome == RunOutcome::Finished) QDialog::accept();
        return;
    }
    if (!CheckIntegerFields({m_width, m_height}, m_host)) return;
    TakeSizeFields();
    const std::int32_t reportsBefore = m_counters.Get(Tool::BandCombination);
    m_guard->Run(m_host, [this] { return RunBandCombination(m_job, m_counters, m_host); });
    ShowJob();
    // No report block means the run stopped on a validation message: the user corrects the
    // fields and tries again.
    if (m_counters.Get(Tool::BandCombination) == reportsBefore) return;
    QDialog::accept();
}

void BandCombinationDialog::reject()
{
    if (IsRunning()) return;
    QDialog::reject();
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
