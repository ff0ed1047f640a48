#include "fusion/delivery/delivery_run.h"

#include <ctime>
#include <memory>
#include <new>

#include "core/run_files.h"
#include "core/wait_cursor.h"
#include "fusion/delivery/delivery_picture.h"
#include "fusion/delivery/delivery_scene.h"
#include "fusion/injection/injection_fusion.h"
#include "fusion/injection/injection_model.h"
#include "fusion/report/delivery_sections.h"
#include "fusion/registration/run_registration.h"
#include "fusion/report/report_sections.h"
#include "raster/file_name.h"
#include "raster/output/band_file_writer.h"
#include "raster/world_file.h"

namespace lumesta {
namespace {

const std::string kUnsuccessful = "\r\nUnsuccessful\r\n";
const std::string kStepUnsuccessful = "\r\n\r\nUnsuccessful\r\n";
const std::string kCancelled = "\r\nCancelled\r\n\r\n";
const std::string kFinished = "\tFinished\r\n";
const std::string kReadFailure = "Error: Integer/Binary - ReadDataBlock for Step 1";
const std::string kFuseReadFailure = "Error: Integer/Binary - ReadDataBlockPart";

// Asks once before existing results are replaced; they are replaced only when the run has
// finished.
bool ConfirmReplacing(const DeliveryScene& scene, Host& host)
{
    std::vector<std::string> targets = scene.outputFiles;
    targets.push_back(scene.bmpPath);
    bool anyExists = false;
    for (const auto& target : targets) anyExists = anyExists || FileExists(target);
    return !anyExists || host.AskYesNo(scene.outputPath +
                                       "\nor the other outputs of this run already exist.\nDo "
                                       "you want to overwrite?");
}

InjectionInputs EngineInputs(const PanSharpenJob& job, const DeliveryScene& scene)
{
    InjectionInputs inputs;
    inputs.method = job.method;
    inputs.width = scene.pan->Description().width;
    inputs.height = scene.pan->Description().height;
    inputs.ratio = scene.placement.ratio;
    inputs.type = scene.type;
    inputs.pan = {scene.pan, 0};
    for (int k = 0; k < scene.bands; ++k) inputs.ms.push_back({scene.ms, k});
    inputs.msGains = scene.msGains;
    inputs.panGain = scene.panGain;
    inputs.tempBeside = scene.outputPath;
    inputs.shiftX = scene.shiftX;
    inputs.shiftY = scene.shiftY;
    inputs.panNoData = scene.panNoData;
    inputs.msNoData = scene.msNoData;
    inputs.panMask = scene.panMask;
    inputs.msMask = scene.msMask;
    return inputs;
}

BandFileSpec ResultSpec(const DeliveryScene& scene)
{
    const RasterDescription& pan = scene.pan->Description();
    BandFileSpec spec;
    spec.format = *BandFileFormatNamed(scene.format);
    spec.width = pan.width;
    spec.height = pan.height;
    spec.bands = scene.bands;
    spec.type = scene.type;
    spec.bandNames = scene.bandNames;
    spec.geo = pan.geo;
    if (scene.marksNoData) spec.noData = scene.OutputNoData();
    return spec;
}

template <typename T>
bool WriteStrip(BandFileWriter& writer, const FusedStrip& strip)
{
    std::vector<const T*> bands;
    for (const void* band : strip.bands) bands.push_back(static_cast<const T*>(band));
    return writer.WriteRows(bands.data(), static_cast<int>(strip.rowCount));
}

class DeliveryRun {
public:
    DeliveryRun(PanSharpenJob& job, DeliveryScene& scene, RunLog& log, RunProgress& progress,
                Host& host)
        : m_job(job), m_scene(scene), m_log(log), m_progress(progress), m_host(host)
    {
    }
    RunOutcome Run();

private:
    bool Pump()
    {
        m_host.PumpPendingMessages();
        return !(m_host.IsCancelled() || m_progress.IsCancelled());
    }
    StepResult Fit();
    StepResult OpenOutputs();
    StepResult Fuse();
    StepResult FinishResult();
    RunOutcome Fail(StepResult result);

    PanSharpenJob& m_job;
    DeliveryScene& m_scene;
    RunLog& m_log;
    RunProgress& m_progress;
    Host& m_host;
    RunFiles m_files;  // every file of the run; only a finished run keeps its outputs
    std::unique_ptr<InjectionModel> m_model;
    std::unique_ptr<BandFileWriter> m_writer;
    std::unique_ptr<DeliveryPicture> m_picture;
    std::string m_stagedBmp;
};

RunOutcome DeliveryRun::Fail(StepResult result)
{
    m_writer.reset();
    m_picture.reset();
    m_model.reset();
    m_files.RemoveNow();
    if (result == StepResult::Cancelled) {
        m_log.Append(kCancelled);
        return RunOutcome::Cancelled;
    }
    m_log.Append(kStepUnsuccessful);
    return RunOutcome::Stopped;
}

// Step 1: the scene's valid area, the degraded pan and the method's fit at MS scale.
StepResult DeliveryRun::Fit()
{
    m_model = std::make_unique<InjectionModel>(EngineInputs(m_job, m_scene));
    if (!Pump()) return StepResult::Cancelled;
    const StepResult result =
        FitInjectionModel(*m_model, kReadFailure, m_host, [this] { return Pump(); });
    if (result == StepResult::Ok) m_log.Append("...");
    return result;
}

// The result and the picture under names of the run's own, and the picture's bands' file.
StepResult DeliveryRun::OpenOutputs()
{
    BandFileSpec spec = ResultSpec(m_scene);
    m_writer = OpenStagedBandFileWriter(spec, m_scene.outputPath, m_files, m_host);
    if (!m_writer) return StepResult::Failed;
    if (m_job.protocolRun) return StepResult::Ok;  // no picture
    m_stagedBmp = m_files.StageOutput(m_scene.bmpPath);
    const std::string bands = m_files.CreateTemp(m_scene.outputPath);
    if (m_stagedBmp.empty() || bands.empty()) {
        m_host.ShowMessage(RunFiles::kCannotWriteOutput);
        return StepResult::Failed;
    }
    const RasterDescription& pan = m_scene.pan->Description();
    m_picture = std::make_unique<DeliveryPicture>(
        m_scene.type, pan.width, pan.height,
        m_scene.marksNoData ? std::optional<double>(m_scene.OutputNoData()) : std::nullopt);
    return m_picture->Open(bands, m_host) ? StepResult::Ok : StepResult::Failed;
}

// Step 2: the fused strips go to the result and the picture's bands as they come.
StepResult DeliveryRun::Fuse()
{
    const std::array<int, 3>& rgb = m_scene.rgb;
    const FusedRowsSink sink = [this, &rgb](const FusedStrip& strip) {
        bool written = false;
        if (strip.type == SampleType::UInt8) {
            written = WriteStrip<std::uint8_t>(*m_writer, strip);
        } else if (strip.type == SampleType::UInt16) {
            written = WriteStrip<std::uint16_t>(*m_writer, strip);
        } else {
            written = WriteStrip<std::int16_t>(*m_writer, strip);
        }
        if (!m_picture) return written;
        return written && m_picture->Take({strip.bands[static_cast<std::size_t>(rgb[2])],
                                           strip.bands[static_cast<std::size_t>(rgb[1])],
                                           strip.bands[static_cast<std::size_t>(rgb[0])]},
                                          strip.rowCount, m_host);
    };
    const StepResult result = FuseInjectedImage(*m_model, sink, {0, 0, 0}, 0, kFuseReadFailure,
                                                m_progress, m_host, [this] { return Pump(); });
    m_model.reset();  // its buffers and temporary file are not needed any more
    return result;
}

// Step 3: the result's files completed (the COG's tiles and overviews copied).
StepResult DeliveryRun::FinishResult()
{
    const RunOutcome outcome = m_writer->Finish([this] { return Pump(); });
    m_writer.reset();
    if (outcome == RunOutcome::Finished) return StepResult::Ok;
    return outcome == RunOutcome::Cancelled ? StepResult::Cancelled : StepResult::Failed;
}

RunOutcome DeliveryRun::Run()
{
    const std::time_t start = std::time(nullptr);
    m_log.Append("\r\n(e) Analytical Steps \r\n");
    m_log.Append("    Step 1: .");
    StepResult result = Fit();
    if (result != StepResult::Ok) return Fail(result);
    m_log.Append(kFinished);
    if ((result = OpenOutputs()) != StepResult::Ok) return Fail(result);
    m_log.Append("    Step 2: ......");
    if ((result = Fuse()) != StepResult::Ok) return Fail(result);
    m_log.Append(kFinished);
    const std::time_t postProcessing = std::time(nullptr);
    m_log.Append("    Step 3: ......");
    if ((result = FinishResult()) != StepResult::Ok) return Fail(result);
    m_log.Append("\tFinished (" + FormatLabel(m_scene.format) + " output)\r\n");
    if (m_picture) {
        m_log.Append("    Step 4: ......");
        result = m_picture->Write(m_stagedBmp, m_job.stretch, m_progress,
                                  [this] { return Pump(); }, m_host);
        if (result != StepResult::Ok) return Fail(result);
        m_log.Append("\tFinished (24-bit BMP output)\r\n");
        m_picture->Close();
    }
    m_files.RemoveTemporaries();
    if (!m_files.Commit()) {
        m_host.ShowMessage(RunFiles::kCannotWriteOutput);
        return Fail(StepResult::Failed);
    }
    // The picture lies on the pan's grid: it takes the pan's place on the ground.
    if (m_picture) WriteWorldFilesFromInput(m_scene.bmpPath, m_job.panPath);
    WriteReportEnd(m_log, start, postProcessing, std::time(nullptr));
    if (m_job.displayBmp) m_host.OpenInViewer(ViewerKind::Picture, m_scene.bmpPath);
    return RunOutcome::Finished;
}

}  // namespace

RunOutcome RunDelivery(PanSharpenJob& job, RunCounters& counters, Host& host)
{
    WaitCursorScope busy(host);
    try {
        DeliveryScene scene;
        if (!OpenDeliveryScene(job, scene, host)) return RunOutcome::Stopped;
        const RunRegistration registration =
            RegisterRun(EngineInputs(job, scene), job.registerChoice, scene.placement.offsetX,
                        scene.placement.offsetY, [&host] {
                            host.PumpPendingMessages();
                            return host.IsCancelled();
                        });
        if (!registration.readError.empty()) {
            host.ShowMessage(registration.readError);
            return RunOutcome::Stopped;
        }
        SetSceneShift(scene, registration.shiftX, registration.shiftY);
        scene.registrationLine = registration.reportLine;
        RunLog log(counters, host);
        const auto progress = OpenPanSharpeningReport(log, host);
        WriteDeliverySections(job, scene, log);
        if (!ConfirmReplacing(scene, host)) {
            log.Append(kUnsuccessful);
            return RunOutcome::Stopped;
        }
        return DeliveryRun(job, scene, log, *progress, host).Run();
    } catch (const std::bad_alloc&) {
        host.ShowMessage("Error: reading image file - Cannot allocate memory");
        host.AppendLog(kStepUnsuccessful);
        return RunOutcome::Stopped;
    }
}

}  // namespace lumesta
