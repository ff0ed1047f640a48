#include "workflows/quality_runs.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <limits>
#include <memory>

#include "assess/quality_kernels.h"
#include "core/run_steps.h"
#include "core/time_stamp.h"
#include "imaging/band_window.h"
#include "imaging/interpolator23.h"
#include "imaging/sensor_gains.h"
#include "raster/output/band_file_writer.h"
#include "workflows/quality_inputs.h"
#include "workflows/quality_outputs.h"
#include "workflows/wald_protocol.h"

namespace lumesta {
namespace {

const std::string kCancelled = "\r\nCancelled\r\n\r\n";
const char kDegradeStep[] = "Degrading the scene";
const std::string kUnsuccessful = "\r\nUnsuccessful\r\n";

// A per-block map as a float GeoTIFF, written a block row at a time while the metrics go.
class BlockMapFile {
public:
    // Opens the writer of path (staged through outputs) for grid; nothing to do without a path.
    // False after the writer's message.
    // geo: the measured image's; the map's pixels are its blocks.
    bool Open(const std::string& path, BlockGrid grid, const Georeference& geo,
              QualityOutputs& outputs, Host& host)
    {
        if (path.empty()) return true;
        BandFileSpec spec;
        spec.format = BandFileFormat::GeoTiff;
        spec.width = static_cast<int>(grid.columns);
        spec.height = static_cast<int>(grid.rows);
        spec.bands = 1;
        spec.type = SampleType::Float32;
        spec.noData = std::numeric_limits<double>::quiet_NaN();  // blocks left out
        spec.geo = geo.Regridded(static_cast<int>(grid.columns * kQualityBlock),
                                 static_cast<int>(grid.rows * kQualityBlock),
                                 static_cast<int>(grid.columns), static_cast<int>(grid.rows));
        if (grid.rows <= 0 || grid.columns <= 0) {
            host.ShowMessage("Cannot write " + path + ".");
            return false;
        }
        const std::string staged = outputs.Stage(path, host);
        if (staged.empty()) return false;
        m_writer = OpenBandFileWriter(spec, {staged}, path, host);
        return m_writer != nullptr;
    }
    BlockRowSink Sink()
    {
        if (!m_writer) return {};
        return [this](const std::vector<double>& row) {
            const double* band = row.data();
            return m_writer->WriteRows(&band, 1);
        };
    }
    bool Finish() { return !m_writer || m_writer->Finish({}) == RunOutcome::Finished; }

private:
    std::unique_ptr<BandFileWriter> m_writer;
};

// Every file the job reads.
std::vector<std::string> InputFilesOf(const QualityJob& job)
{
    std::vector<std::string> inputs(job.fused.begin(), job.fused.end());
    inputs.insert(inputs.end(), job.reference.begin(), job.reference.end());
    inputs.insert(inputs.end(), job.ms.begin(), job.ms.end());
    inputs.push_back(job.pan);
    return inputs;
}

bool ConfirmMap(const std::string& path, QualityOutputs& outputs, Host& host)
{
    return path.empty() || outputs.Confirm({path}, host);
}

// A metric the inputs leave undefined: its message. True when every metric is defined.
bool Defined(const std::string& undefined, Host& host)
{
    if (undefined.empty()) return true;
    host.ShowMessage(undefined);
    return false;
}

RunOutcome MeasureReduced(const QualityJob& job, const QualityInputs& in, QualityOutputs& outputs,
                          Host& host, const QualityPump& pump, std::vector<QualityRow>& rows)
{
    if (!ConfirmMap(job.mapPath, outputs, host)) return RunOutcome::Stopped;
    std::vector<std::unique_ptr<BandWindowSource>> fused, reference;
    if (!OpenBandWindows(in.fused, in.fusedNoData, host, fused) ||
        !OpenBandWindows(in.reference, in.referenceNoData, host, reference)) {
        return RunOutcome::Stopped;
    }
    std::vector<std::unique_ptr<RowWindowSource>> cropped;
    std::vector<RowWindowSource*> f = WindowPointers(fused), r = WindowPointers(reference);
    if (job.cut > 0) {
        for (auto* list : {&f, &r}) {
            for (RowWindowSource*& source : *list) {
                cropped.push_back(std::make_unique<CroppedWindowSource>(
                    *source, job.cut, job.cut, source->Width() - 2 * job.cut,
                    source->Height() - 2 * job.cut));
                source = cropped.back().get();
            }
        }
    }
    BlockMapFile map;
    // The map starts where the cut leaves the image.
    Georeference geo = BandGeoreference(in.fused[0]);
    const MapPoint corner = geo.PixelToMap(job.cut, job.cut);
    geo.originX = corner.x;
    geo.originY = corner.y;
    if (!map.Open(job.mapPath, ReducedMapGrid(f[0]->Width(), f[0]->Height()), geo, outputs, host))
        return RunOutcome::Stopped;
    QualityRow row;
    const auto start = std::chrono::steady_clock::now();
    if (!ComputeReducedMetrics(f, r, job.ratio, pump, host, row.reduced, map.Sink())) {
        return pump() ? RunOutcome::Stopped : RunOutcome::Cancelled;
    }
    if (!Defined(row.reduced.undefined, host)) return RunOutcome::Stopped;
    row.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!map.Finish()) return RunOutcome::Stopped;
    rows.push_back(row);
    return RunOutcome::Finished;
}

RunOutcome MeasureFull(const QualityJob& job, const QualityInputs& in, QualityOutputs& outputs,
                       Host& host, const QualityPump& pump, std::vector<QualityRow>& rows)
{
    if (!ConfirmMap(job.mapPath, outputs, host)) return RunOutcome::Stopped;
    std::vector<std::unique_ptr<BandWindowSource>> fused, ms, pans;
    const std::vector<std::optional<double>> panNoData(2, in.panNoData);
    if (!OpenBandWindows(in.fused, in.fusedNoData, host, fused) ||
        !OpenBandWindows(in.ms, in.msNoData, host, ms) ||
        !OpenBandWindows({in.pan, in.pan}, panNoData, host, pans)) {
        return RunOutcome::Stopped;
    }
    BlockMapFile map;
    if (!map.Open(job.mapPath, FullMapGrid(BandWidth(in.pan), BandHeight(in.pan)),
                  BandGeoreference(in.pan), outputs, host)) {
        return RunOutcome::Stopped;
    }
    QualityRow row;
    const auto start = std::chrono::steady_clock::now();
    if (!ComputeFullMetrics(WindowPointers(fused), WindowPointers(ms), *pans[0], *pans[1],
                            job.ratio, in.sensor.pan, pump, host, row.full, map.Sink())) {
        return pump() ? RunOutcome::Stopped : RunOutcome::Cancelled;
    }
    if (!Defined(row.full.undefined, host)) return RunOutcome::Stopped;
    row.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!map.Finish()) return RunOutcome::Stopped;
    rows.push_back(row);
    return RunOutcome::Finished;
}

// The scene's no-data value for the degraded files: that of the inputs' first band.
std::optional<double> FirstOf(const std::vector<std::optional<double>>& values)
{
    return values.empty() ? std::nullopt : values[0];
}

// The progress window's steps: the degradation (writing the degraded scene's files), then each
// method's fusion and measurement (RunMethods begins those).
void AnnounceProtocolSteps(const std::vector<const FusionMethodEntry*>& methods, Host& host)
{
    RunSteps steps(host);
    steps.Add(kDegradeStep, 1);
    for (const FusionMethodEntry* method : methods) steps.Add(MethodStepName(*method), 2);
    steps.Announce();
    steps.Begin(kDegradeStep);
}

// The files the protocol writes in its folder: the degraded scene, and with --keep each
// method's result.
std::vector<std::string> ProtocolOutputs(const std::string& folder,
                                         const std::vector<const FusionMethodEntry*>& methods)
{
    if (folder.empty()) return {};
    std::vector<std::string> paths{DegradedPanPath(folder), DegradedMsPath(folder)};
    for (const FusionMethodEntry* method : methods)
        paths.push_back(KeptResultPath(folder, *method));
    return paths;
}

// The metrics every method's result is measured with, left undefined by the reference alone
// (a band of mean 0, no gradient, no whole block, no data everywhere): found by measuring the
// reference against itself, before any method fuses. False after the message naming the metric,
// or a cancel.
bool ReferenceDefinesMetrics(const QualityInputs& in, int ratio, Host& host,
                             const QualityPump& pump)
{
    std::vector<std::unique_ptr<BandWindowSource>> first, second;
    if (!OpenBandWindows(in.ms, in.msNoData, host, first) ||
        !OpenBandWindows(in.ms, in.msNoData, host, second)) {
        return false;
    }
    ReducedMetrics self;
    return ComputeReducedMetrics(WindowPointers(first), WindowPointers(second), ratio, pump, host,
                                 self) &&
           Defined(self.undefined, host);
}

RunOutcome RunProtocol(const QualityJob& job, const QualityInputs& in, QualityOutputs& outputs,
                       Host& host, const QualityPump& pump, std::vector<QualityRow>& rows)
{
    std::vector<const FusionMethodEntry*> methods;
    const bool wald = job.protocol == QualityProtocol::Wald;
    if (wald && !SelectFusionMethods(static_cast<int>(in.ms.size()), job.ratio, job.methods, host,
                                     methods)) {
        return RunOutcome::Stopped;
    }
    const std::string& kept = wald ? job.keepFolder : job.outFolder;
    if (!outputs.Confirm(ProtocolOutputs(kept, methods), host)) return RunOutcome::Stopped;
    AnnounceProtocolSteps(methods, host);
    if (wald && !ReferenceDefinesMetrics(in, job.ratio, host, pump))
        return pump() ? RunOutcome::Stopped : RunOutcome::Cancelled;
    // The files the methods fuse, for the protocol only.
    std::unique_ptr<WorkFolder> scenes = wald ? std::make_unique<WorkFolder>() : nullptr;
    if (scenes && scenes->Path().empty()) {
        host.ShowMessage("Cannot create a temporary folder.");
        return RunOutcome::Stopped;
    }
    const std::string sceneFolder = scenes ? scenes->Path() : std::string();
    DegradedScene scene;
    if (!MakeDegradedScene(in.pan, in.panNoData, in.ms, FirstOf(in.msNoData), job.ratio, in.sensor,
                           methods, sceneFolder, kept, outputs, pump, host, scene)) {
        return pump() ? RunOutcome::Stopped : RunOutcome::Cancelled;
    }
    scene.registerChoice = job.registerChoice;
    if (!pump()) return RunOutcome::Cancelled;
    if (!wald) return RunOutcome::Finished;
    return RunMethods(scene, methods, in.ms, in.msNoData, job.keepFolder, outputs, host, pump,
                      rows);
}

// A measurement's one step, for the progress window.
void AnnounceMeasuring(Host& host)
{
    static const char kMeasureStep[] = "Measuring the fused image";
    RunSteps steps(host);
    steps.Add(kMeasureStep, 1);
    steps.Announce();
    steps.Begin(kMeasureStep);
}

}  // namespace

RunOutcome RunQuality(const QualityJob& given, RunCounters& counters, Host& host,
                      std::vector<QualityRow>& rows)
{
    rows.clear();
    QualityInputs inputs;
    if (!ResolveQualityInputs(given, host, inputs)) {
        // The log still shows the run that stopped: its opening and closing lines.
        RunLog log(counters, host);
        WriteQualityReportHead(given, log);
        log.Append(kUnsuccessful);
        return RunOutcome::Stopped;
    }
    QualityJob job = given;
    job.ratio = inputs.ratio;  // a georeferenced pair's own
    RunLog log(counters, host);
    const std::time_t start = std::time(nullptr);
    WriteQualityReportHead(job, log);
    const auto progress = host.OpenProgress(std::string(), ProgressOwner::ToolDialog);
    const QualityPump pump = [&progress] {
        progress->PumpMessages(true);
        return !progress->IsCancelled();
    };
    QualityOutputs outputs(InputFilesOf(job));
    RunOutcome outcome = RunOutcome::Finished;
    switch (job.protocol) {
        case QualityProtocol::Reduced:
            AnnounceMeasuring(host);
            outcome = MeasureReduced(job, inputs, outputs, host, pump, rows);
            break;
        case QualityProtocol::Full:
            AnnounceMeasuring(host);
            outcome = MeasureFull(job, inputs, outputs, host, pump, rows);
            break;
        default:
            outcome = RunProtocol(job, inputs, outputs, host, pump, rows);
            break;
    }
    if (outcome == RunOutcome::Finished && !outputs.Commit(host)) outcome = RunOutcome::Stopped;
    if (outcome == RunOutcome::Cancelled) {
        log.Append(kCancelled);
    } else if (outcome == RunOutcome::Stopped) {
        log.Append(kUnsuccessful);
    } else {
        WriteQualityReportEnd(job, rows, start, log);
    }
    return outcome;
}

}  // namespace lumesta
