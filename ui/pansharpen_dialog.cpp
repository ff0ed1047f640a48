#include "ui/pansharpen_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "fusion/registration/register_run.h"
#include "imaging/sensor_gains.h"
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
    if (m_delivery) ShowDelivery();
    if (m_panInfo) ShowInputInfo();
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
    ApplyOptionChoice(PanSharpenOptions(), m_job, option, value, ProgramHost());
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
    connect(group.CheckButton(), &QPushButton::clicked, this, [this] { OnCheckAlignment(); });
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
    // The format list serves one multi-band MS file, no-data values the files' own for now.
    m_delivery->FormatList()->setEnabled(false);
    m_delivery->NoDataList()->setEnabled(false);
    m_delivery->NoDataField()->setEnabled(false);
}

std::vector<std::string> PanSharpenDialog::AlignmentMsPaths() const
{
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
    QString msText = line(m_msDescription, m_msInfo);
    if (m_panDescription) {
        const RasterDescription* described = m_msDescription ? &*m_msDescription : nullptr;
        const QString expected = ToQt(ExpectedMsText(*m_panDescription, described, kFourBandRatio));
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
