#include "ui/pansharpen_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "fusion/registration/register_run.h"
#include "imaging/sensor_gains.h"
#include "raster/file_name.h"
#include "raster/placement.h"
#include "ui/delivery_group.h"
#include "ui/dialog_keys.h"
#include "ui/dialog_parts.h"
#include "ui/input_summary.h"
#include "ui/more_params_dialog.h"
#include "ui/option_choice.h"
#include "ui/text.h"
#include "ui/tool_dialog_host.h"

namespace lumesta {
namespace {

// The blocks "Check alignment" splits the scene into, along each side.
constexpr int kAlignmentGrid = 4;
// Pan pixels per MS pixel of the tool's four-band runs.
constexpr int kFourBandRatio = 4;

QLabel* InfoLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    label->setFont(font);
    return label;
}

// The method list's last entry: --method auto.
const char kBestForScene[] = "Best for this scene";

}  // namespace

PanSharpenDialog::PanSharpenDialog(RunCounters& counters, Host& host, QWidget* parent,
                                   const std::string& sensor)
    : PanSharpenJobDialog("Pan-Sharpening Module (For 16-bit data)", counters, host, parent)
{
    // The list keeps the width of "Optimisation 1"; its popup shows the longer names whole.
    MethodList()->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    MethodList()->setMinimumContentsLength(static_cast<int>(std::string("Optimisation 1").size()));
    MethodList()->addItem(kBestForScene);
    // Choosing a method sets its default filter; "More >>" may choose another afterwards. "Best
    // for this scene" ranks the methods when the run starts, and the chosen one brings its
    // default filter unless "More >>" chose one after it.
    connect(MethodList(), qOverload<int>(&QComboBox::activated), this, [this](int index) {
        if (static_cast<std::size_t>(index) == m_methods.size()) {
            m_job.autoMethod.requested = true;
            m_job.autoMethod.filterType = m_job.filterType;
            m_job.autoMethod.filterFlags = m_job.filterFlags;
            ShowJob();
            return;
        }
        ChooseMethod(m_job, MethodRowOf(m_methods[static_cast<std::size_t>(index)]));
        ShowJob();
    });
    AddSensorList(sensor);
    m_openedSensor = m_job.sensor;
    AddMsFileRow();
    AddInputInfo();
    AddDeliveryGroup();
    ShowJob();
}

void PanSharpenDialog::ChooseSensor(const std::string& sensor)
{
    if (!FindSensor(sensor)) return;
    m_job.sensor = sensor;
    ShowJob();
}

void PanSharpenDialog::ShowJob()
{
    PanSharpenJobDialog::ShowJob();
    if (m_sensor) m_sensor->setCurrentText(ToQt(m_job.sensor));
    // The input lines first: the picture's band boxes go up to the file's band count.
    if (m_panInfo) ShowInputInfo();
    if (m_msFile) ShowMsFile();
    if (m_delivery) ShowDelivery();
}

void PanSharpenDialog::ResetJob()
{
    m_job = PanSharpenJob();
    m_job.sensor = m_openedSensor;
    ShowJob();
}

// The Sensor list follows the Methods list in the Key Parameters row.
void PanSharpenDialog::AddSensorList(const std::string& sensor)
{
    QWidget* group = MethodList()->parentWidget();
    m_sensor = new QComboBox(group);
    for (const SensorGains& known : KnownSensors()) {
        m_sensor->addItem(known.name);
        if (sensor == known.name) m_sensor->setCurrentIndex(m_sensor->count() - 1);
    }
    m_job.sensor = KnownSensors()[static_cast<std::size_t>(m_sensor->currentIndex())].name;
    connect(m_sensor, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        m_job.sensor = KnownSensors()[static_cast<std::size_t>(index)].name;
    });
    auto* row = static_cast<QHBoxLayout*>(group->layout());
    const int at = row->indexOf(MethodList()) + 1;
    row->insertSpacing(at, 16);
    row->insertWidget(at + 1, new QLabel("Sensor", group));
    row->insertWidget(at + 2, m_sensor);
    SetTip(m_sensor, "The sensor whose MTF the detail-injection methods match", "--sensor NAME");
}

// Below the four band rows: one MS file of any band count, and its picture's bands.
void PanSharpenDialog::AddMsFileRow()
{
    QWidget* group = BandList(0)->parentWidget();
    auto* grid = static_cast<QGridLayout*>(group->layout());
    const int row = grid->rowCount();
    m_msFile = new QLineEdit(group);
    m_msBrowse = MakeBrowseButton(group);
    auto* label = new QLabel("M&ultiband MS file", group);
    label->setBuddy(m_msFile);
    grid->addWidget(label, row, 0);
    grid->addWidget(m_msFile, row, 1);
    grid->addWidget(m_msBrowse, row, 2);
    static const char* const kChannels[] = {"Picture red: band ", "Picture green: band ",
                                            "Picture blue: band "};
    auto* bands = new QHBoxLayout;
    for (int channel = 0; channel < 3; ++channel) {
        auto* spin = new QSpinBox(group);
        spin->setRange(0, 16);
        spin->setPrefix(kChannels[channel]);
        // 0: the picture's usual bands for the file (5, 3, 2 for eight-band WorldView, else 3,
        // 2, 1).
        spin->setSpecialValueText(QString(kChannels[channel]).section(':', 0, 0) + ": usual");
        m_pictureBands[channel] = spin;
        bands->addWidget(spin);
        connect(spin, qOverload<int>(&QSpinBox::valueChanged), this,
                [this] { TakePictureBands(); });
        SetTip(spin, "The MS band shown in this colour of the picture (the usual bands when none)",
               "--rgb R,G,B");
    }
    bands->addStretch();
    grid->addLayout(bands, row + 1, 1, 1, 2);
    SetTip(m_msFile,
           "One MS file of 3 to 16 bands, every band fused by a detail-injection method into one "
           "multi-band file (type, paste or drop a path)",
           "--ms PATH");
    SetTip(m_msBrowse, "Chooses one multi-band MS file", "--ms PATH");
    BindPathField(*m_msFile, [this](const QString& path) {
        if (!IsRunning() && ToEngine(path) != m_job.delivery.msPath) OnMsFileChosen(path);
    });
    connect(m_msBrowse, &QPushButton::clicked, this, [this] {
        static const char kMsFilter[] =
            "Multi-band images (*.tif;*.tiff;*.img;*.jp2;*.vrt;*.ntf;*.nitf)|*.tif;*.tiff;*.img;"
            "*.jp2;*.vrt;*.ntf;*.nitf|All Files (*.*)|*.*||";
        BrowseToOpen(
            kMsFilter, [this](const QString& path) { OnMsFileChosen(path); },
            ToQt(m_job.delivery.msPath));
    });
}

void PanSharpenDialog::OnMsFileChosen(const QString& path)
{
    if (IsRunning()) return;
    if (path.trimmed().isEmpty()) {
        // Back to the four band rows; the no-data choices serve them too.
        DeliveryJob cleared;
        cleared.noData = m_job.delivery.noData;
        cleared.panNoData = m_job.delivery.panNoData;
        cleared.msNoData = m_job.delivery.msNoData;
        m_job.delivery = cleared;
        ShowJob();
        return;
    }
    // The four band rows give way: a fresh job's MS choices, the rest of the job kept.
    const PanSharpenJob fresh;
    m_job.bandLists = fresh.bandLists;
    m_job.selectedIndex = fresh.selectedIndex;
    m_job.selection = fresh.selection;
    m_job.msPath = fresh.msPath;
    m_job.msExt = fresh.msExt;
    m_job.msBandCount = fresh.msBandCount;
    m_job.msHeaderType = fresh.msHeaderType;
    m_job.groupFolder = fresh.groupFolder;
    m_job.bluePath = fresh.bluePath;
    m_job.browseEnabled = fresh.browseEnabled;
    const ApplyResult result =
        ApplyOptionChoice(PanSharpenOptions(), m_job, "--ms", ToEngine(path), ProgramHost(), {"--bmp"});
    if (result.status == ApplyStatus::WrongCommandLine) ProgramHost().ShowMessage(result.text);
    ShowJob();
}

void PanSharpenDialog::OnBandChosen(int band, const QString& path)
{
    // A Blue band brings the four band rows back in place of the multiband file.
    if (band == 0 && !path.isEmpty() && m_job.delivery.Active()) {
        m_job.delivery.msPath.clear();
        m_job.delivery.outputFormat.clear();
        m_job.delivery.rgb = {};
    }
    PanSharpenJobDialog::OnBandChosen(band, path);
}

void PanSharpenDialog::TakePictureBands()
{
    if (m_filling) return;
    std::array<int, 3> rgb{};
    for (int channel = 0; channel < 3; ++channel) rgb[channel] = m_pictureBands[channel]->value();
    if (std::find(rgb.begin(), rgb.end(), 0) != rgb.end()) {
        m_job.delivery.rgb = {};
        return;
    }
    ApplyChoice("--rgb", std::to_string(rgb[0]) + "," + std::to_string(rgb[1]) + "," +
                             std::to_string(rgb[2]));
}

void PanSharpenDialog::ShowMsFile()
{
    const bool active = m_job.delivery.Active();
    ShowText(m_msFile, ToQt(m_job.delivery.msPath));
    m_msFile->setEnabled(!m_job.batchMode);
    m_msBrowse->setEnabled(!m_job.batchMode);
    const int bands = active && m_msDescription && m_describedMs == m_job.delivery.msPath
                          ? m_msDescription->bands
                          : 16;
    m_filling = true;
    for (int channel = 0; channel < 3; ++channel) {
        QSpinBox* spin = m_pictureBands[channel];
        spin->setMaximum(std::max(bands, 1));
        spin->setValue(m_job.delivery.rgb[channel]);
        spin->setEnabled(active);
    }
    m_filling = false;
    // With the multiband file, the band rows below Blue stand aside, and so do the four-band
    // run's filter, colour adjustments, colour matching and quality line, which it does not take.
    ColourMatchBox()->setEnabled(!active);
    for (QPushButton* button : MethodList()->parentWidget()->findChildren<QPushButton*>()) {
        if (QString(button->text()).remove('&') == "More >>") button->setEnabled(!active);
    }
    if (!active) return;
    for (int band = 1; band < BandCount(); ++band) {
        BandList(band)->setEnabled(false);
        BandBrowse(band)->setEnabled(false);
    }
    QualityLineBox()->setEnabled(false);
}

// A compact line under the pan and under the MS bands: what the image model reads of them.
void PanSharpenDialog::AddInputInfo()
{
    QWidget* panGroup = PanField()->parentWidget();
    m_panInfo = InfoLabel(panGroup);
    auto* panGrid = static_cast<QGridLayout*>(panGroup->layout());
    panGrid->addWidget(m_panInfo, panGrid->rowCount(), 0, 1, panGrid->columnCount());
    QWidget* bandGroup = BandList(0)->parentWidget();
    m_msInfo = InfoLabel(bandGroup);
    auto* bandGrid = static_cast<QGridLayout*>(bandGroup->layout());
    bandGrid->addWidget(m_msInfo, bandGrid->rowCount(), 0, 1, bandGrid->columnCount());
}

// The Delivery group follows the Key Parameters.
void PanSharpenDialog::AddDeliveryGroup()
{
    m_delivery = new DeliveryGroup(this);
    auto* column = static_cast<QVBoxLayout*>(layout());
    column->insertWidget(column->indexOf(MethodList()->parentWidget()) + 1, m_delivery);
    BindDelivery();
}

void PanSharpenDialog::ApplyChoice(const std::string& option, const std::string& value)
{
    // The options that only mean something with the multiband file see it.
    ApplyOptionChoice(PanSharpenOptions(), m_job, option, value, ProgramHost(), {"--ms"});
}

void PanSharpenDialog::BindDelivery()
{
    DeliveryGroup& group = *m_delivery;
    connect(group.RegisterList(), qOverload<int>(&QComboBox::activated), this, [this](int index) {
        // A given offset starts at the one the job has, else at none.
        if (index == 2 && m_job.registerChoice.mode != RegisterMode::Given) {
            ShowText(m_delivery->DxField(), "0");
            ShowText(m_delivery->DyField(), "0");
        }
        ApplyChoice("--register", m_delivery->RegisterText());
        ShowJob();
    });
    for (QLineEdit* field : {group.DxField(), group.DyField()}) {
        connect(field, &QLineEdit::textEdited, this, [this] {
            const std::string text = m_delivery->RegisterText();
            if (!text.empty()) ApplyChoice("--register", text);
        });
    }
    connect(group.FormatList(), qOverload<int>(&QComboBox::activated), this, [this] {
        const std::string format = m_delivery->FormatText();
        if (format.empty()) {
            m_job.delivery.outputFormat.clear();
        } else {
            ApplyChoice("--format", format);
        }
        ShowJob();
    });
    connect(group.NoDataList(), qOverload<int>(&QComboBox::activated), this, [this](int index) {
        if (index == 2 && !(m_job.delivery.noData.given && !m_job.delivery.noData.none))
            ShowText(m_delivery->NoDataField(), "0");
        TakeNoData();
        ShowJob();
    });
    connect(group.NoDataField(), &QLineEdit::textEdited, this, [this] { TakeNoData(); });
    connect(group.CheckButton(), &QPushButton::clicked, this, [this] { OnCheckAlignment(); });
}

void PanSharpenDialog::TakeNoData()
{
    std::string text;
    if (!m_delivery->NoDataText(text)) return;
    if (text.empty()) {
        m_job.delivery.noData = NoDataChoice();
    } else {
        ApplyChoice("--nodata", text);
    }
}

void PanSharpenDialog::ShowDelivery()
{
    m_delivery->ShowRegister(m_job.registerChoice);
    // Methods 1 and 2 never register; the batch file's jobs take their own inputs.
    const bool registers = m_job.autoMethod.requested || InjectsDetail(m_job.method);
    m_delivery->RegisterList()->setEnabled(registers);
    m_delivery->DxField()->setEnabled(registers && m_job.registerChoice.mode == RegisterMode::Given);
    m_delivery->DyField()->setEnabled(m_delivery->DxField()->isEnabled());
    m_delivery->CheckButton()->setEnabled(!m_job.batchMode);
    // The format is that of the multiband file's result; a batch file's jobs keep their own
    // no data.
    m_delivery->ShowFormat(m_job.delivery.outputFormat);
    m_delivery->FormatList()->setEnabled(m_job.delivery.Active());
    const NoDataChoice& noData = m_job.delivery.noData;
    m_delivery->ShowNoData(noData.given, noData.none, noData.value);
    m_delivery->NoDataList()->setEnabled(!m_job.batchMode);
    m_delivery->NoDataField()->setEnabled(!m_job.batchMode && noData.given && !noData.none);
}

std::vector<std::string> PanSharpenDialog::AlignmentMsPaths() const
{
    if (m_job.delivery.Active()) return {m_job.delivery.msPath};
    std::vector<std::string> paths;
    for (const std::string& path : m_job.msPath) {
        if (!path.empty() && std::find(paths.begin(), paths.end(), path) == paths.end())
            paths.push_back(path);
    }
    return paths;
}

void PanSharpenDialog::ShowInputInfo()
{
    const std::string pan = m_job.batchMode ? std::string() : m_job.panPath;
    const std::vector<std::string> msPaths = AlignmentMsPaths();
    const std::string ms = msPaths.empty() ? std::string() : msPaths.front();
    std::string panError;
    std::string msError;
    if (pan != m_describedPan) {
        m_describedPan = pan;
        m_panDescription = DescribeInput(pan, panError);
        m_panInfo->setProperty("error", ToQt(panError));
    }
    if (ms != m_describedMs) {
        m_describedMs = ms;
        m_msDescription = DescribeInput(ms, msError);
        m_msInfo->setProperty("error", ToQt(msError));
    }
    const auto line = [](const std::optional<RasterDescription>& description, QLabel* label) {
        if (description) return ToQt(InputSummary(*description));
        return label->property("error").toString();
    };
    m_panInfo->setText(m_job.batchMode ? QString("Batch file: each job's inputs are read when it runs")
                                       : line(m_panDescription, m_panInfo));
    // The MS line names its file: the Blue band's or the multiband file's.
    QString msText = line(m_msDescription, m_msInfo);
    if (!ms.empty() && !msText.isEmpty()) msText = ToQt(FileNameOf(ms)) + ": " + msText;
    // The multiband file's bands by name, for choosing the picture's.
    if (m_job.delivery.Active() && m_msDescription && !m_msDescription->bandNames.empty()) {
        QStringList names;
        for (std::size_t band = 0; band < m_msDescription->bandNames.size(); ++band)
            names << QString("%1 %2").arg(band + 1).arg(ToQt(m_msDescription->bandNames[band]));
        msText += "\nBands: " + names.join(", ");
    }
    if (m_panDescription) {
        const RasterDescription* described = m_msDescription ? &*m_msDescription : nullptr;
        const int ratio = m_job.delivery.Active() ? m_job.delivery.ratio : kFourBandRatio;
        const QString expected = ToQt(ExpectedMsText(*m_panDescription, described, ratio));
        msText = msText.isEmpty() ? expected : msText + "\n" + expected;
    }
    m_msInfo->setText(msText);
    m_msInfo->setVisible(!msText.isEmpty());
    m_panInfo->setVisible(!m_panInfo->text().isEmpty());
    // An alignment measured on other inputs no longer says anything.
    const std::string key = pan + "\n" + ms;
    if (m_alignment && key != m_alignmentKey) {
        m_alignment.reset();
        m_delivery->AlignmentLabel()->clear();
    }
}

void PanSharpenDialog::OnCheckAlignment()
{
    if (IsRunning()) return;
    RegisterJob job;
    job.pan = m_job.panPath;
    job.ms = AlignmentMsPaths();
    job.sensor = m_job.sensor;
    job.grid = kAlignmentGrid;
    job.noData = m_job.delivery.noData;
    job.panNoData = m_job.delivery.panNoData;
    job.msNoData = m_job.delivery.msNoData;
    if (m_job.batchMode || job.pan.empty() || job.ms.empty()) {
        ProgramHost().ShowMessage("Choose the pan and the MS bands before checking their alignment.");
        return;
    }
    QLabel* label = m_delivery->AlignmentLabel();
    label->setText("Checking the alignment\u2026 (Escape stops it)");
    RegistrationEstimate estimate;
    MsPlacement placement;
    int msWidth = 0;
    int msHeight = 0;
    ToolDialogHost host(ProgramHost(), *ProgressBar());
    const RunOutcome outcome = RunInspection(
        [&] {
            Host& worker = ProgramHost();
            const RunOutcome run = RunRegister(job, worker, estimate);
            if (run != RunOutcome::Finished) return run;
            // Where the blocks lie on the pan: the placement the estimate was made on.
            std::string error;
            const auto pan = DescribeInput(job.pan, error);
            const auto ms = DescribeInput(job.ms.front(), error);
            if (!pan || !ms || !PlaceMsOnPan(*pan, *ms, 0, placement, error)) {
                worker.ShowMessage(error);
                return RunOutcome::Stopped;
            }
            msWidth = ms->width;
            msHeight = ms->height;
            return RunOutcome::Finished;
        },
        &host);
    ProgressBar()->setValue(0);
    if (outcome != RunOutcome::Finished) {
        label->setText(outcome == RunOutcome::Cancelled ? "The alignment check was stopped."
                                                        : QString());
        return;
    }
    m_alignment = ArrowsOnPan(estimate, placement, msWidth, msHeight, kAlignmentGrid, job.pan);
    m_alignmentKey = job.pan + "\n" + job.ms.front();
    label->setText("MS offset on the pan: " + ToQt(AlignmentText(*m_alignment)));
    if (m_alignmentViewer) m_alignmentViewer(*m_alignment);
}

void PanSharpenDialog::OnMore()
{
    if (IsRunning()) return;
    MoreParamsDialog more(ProgramHost(), this);
    if (more.exec() == QDialog::Accepted) more.CopyTo(m_job);
}

}  // namespace lumesta
