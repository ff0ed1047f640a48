#include "workflows/quality_runs.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>

#include "core/time_stamp.h"
#include "imaging/band_stream.h"
#include "imaging/interpolator23.h"
#include "imaging/sensor_gains.h"
#include "raster/sample_tiff_writer.h"
#include "workflows/quality_outputs.h"
#include "workflows/wald_protocol.h"

namespace lumesta {
namespace {

const std::string kCancelled = "\r\nCancelled\r\n\r\n";
const std::string kUnsuccessful = "\r\nUnsuccessful\r\n";

std::string SizeText(std::int64_t width, std::int64_t height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

// The inputs of a job, resolved into bands.
struct QualityInputs {
    std::vector<BandSource> fused;
    std::vector<BandSource> reference;
    std::vector<BandSource> ms;
    BandSource pan;
    SensorGains sensor{};
};

bool SameSize(const std::vector<BandSource>& bands)
{
    for (const BandSource& band : bands) {
        if (band.layout.width != bands[0].layout.width ||
            band.layout.height != bands[0].layout.height) {
            return false;
        }
    }
    return true;
}

bool CheckBandSizes(const std::vector<BandSource>& bands, const std::string& what, Host& host)
{
    if (SameSize(bands)) return true;
    host.ShowMessage("The " + what + " bands differ in size.");
    return false;
}

bool ResolvePan(const std::string& path, const GenericSize& generic, Host& host, BandSource& pan)
{
    std::vector<BandSource> bands;
    if (!ResolveBands({path}, generic, host, bands)) return false;
    pan = bands[0];
    return true;
}

// The MS must be 1/ratio of the pan (and, for the protocol, have sides that are multiples of it).
bool CheckPanAndMs(const QualityInputs& in, int ratio, bool protocol, Host& host)
{
    const RasterLayout& pan = in.pan.layout;
    const RasterLayout& ms = in.ms[0].layout;
    if (pan.width % ratio != 0 || pan.height % ratio != 0) {
        host.ShowMessage("The pan's sides (" + SizeText(pan.width, pan.height) +
                         ") are not multiples of the ratio " + std::to_string(ratio) + ".");
        return false;
    }
    if (ms.width * ratio != pan.width || ms.height * ratio != pan.height) {
        host.ShowMessage("The MS bands (" + SizeText(ms.width, ms.height) + ") are not 1/" +
                         std::to_string(ratio) + " of the pan (" + SizeText(pan.width, pan.height) +
                         ").");
        return false;
    }
    if (protocol && (ms.width % ratio != 0 || ms.height % ratio != 0)) {
        host.ShowMessage("The MS bands' sides (" + SizeText(ms.width, ms.height) +
                         ") are not multiples of the ratio " + std::to_string(ratio) + ".");
        return false;
    }
    return true;
}

bool CheckPair(const std::vector<BandSource>& a, const std::vector<BandSource>& b,
               const std::string& what, Host& host)
{
    if (a.size() != b.size()) {
        host.ShowMessage("The fused image has " + std::to_string(a.size()) + " bands, the " + what +
                         " " + std::to_string(b.size()) + ".");
        return false;
    }
    return true;
}

bool ResolveInputs(const QualityJob& job, Host& host, QualityInputs& in)
{
    if (!IsPowerOfTwo(job.ratio)) {
        host.ShowMessage("The ratio " + std::to_string(job.ratio) +
                         " is not a power of two (2, 4, 8, ...).");
        return false;
    }
    const auto sensor = FindSensor(job.sensor);
    if (!sensor) {
        host.ShowMessage("Unknown sensor " + job.sensor + " (known: " + SensorNames() + ").");
        return false;
    }
    in.sensor = *sensor;
    const GenericSize& g = job.generic;
    if (job.protocol == QualityProtocol::Reduced) {
        if (!ResolveBands(job.fused, g, host, in.fused) ||
            !ResolveBands(job.reference, g, host, in.reference) ||
            !CheckBandSizes(in.fused, "fused", host) ||
            !CheckBandSizes(in.reference, "reference", host) ||
            !CheckPair(in.fused, in.reference, "reference", host)) {
            return false;
        }
        const RasterLayout& f = in.fused[0].layout;
        const RasterLayout& r = in.reference[0].layout;
        if (f.width != r.width || f.height != r.height) {
            host.ShowMessage("The fused image (" + SizeText(f.width, f.height) +
                             ") and the reference (" + SizeText(r.width, r.height) +
                             ") differ in size.");
            return false;
        }
        if (2 * static_cast<std::int64_t>(job.cut) >= std::min(f.width, f.height)) {
            host.ShowMessage("A border cut of " + std::to_string(job.cut) + " leaves no pixels.");
            return false;
        }
        return true;
    }
    // A headerless MS is typed with the pan's size: it is 1/ratio of it.
    const GenericSize msSize{g.width / job.ratio, g.height / job.ratio, g.bytes};
    if (!ResolvePan(job.pan, g, host, in.pan) || !ResolveBands(job.ms, msSize, host, in.ms) ||
        !CheckBandSizes(in.ms, "MS", host)) {
        return false;
    }
    if (job.protocol != QualityProtocol::Full) return CheckPanAndMs(in, job.ratio, true, host);
    if (!ResolveBands(job.fused, g, host, in.fused) || !CheckBandSizes(in.fused, "fused", host) ||
        !CheckPair(in.fused, in.ms, "MS", host) || !CheckPanAndMs(in, job.ratio, false, host)) {
        return false;
    }
    const RasterLayout& f = in.fused[0].layout;
    if (f.width != in.pan.layout.width || f.height != in.pan.layout.height) {
        host.ShowMessage("The fused image (" + SizeText(f.width, f.height) + ") and the pan (" +
                         SizeText(in.pan.layout.width, in.pan.layout.height) + ") differ in size.");
        return false;
    }
    return true;
}

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

bool WriteMap(const BlockMap& map, const std::string& path, QualityOutputs& outputs, Host& host)
{
    if (path.empty()) return true;
    const std::string staged = outputs.Stage(path, host);
    if (staged.empty()) return false;
    if (map.rows > 0 && map.columns > 0 &&
        WriteSampleTiff(staged, map.columns, map.rows, {map.values}, SampleType::Float32)) {
        return true;
    }
    host.ShowMessage("Cannot write " + path + ".");
    return false;
}

RunOutcome MeasureReduced(const QualityJob& job, const QualityInputs& in, QualityOutputs& outputs,
                          Host& host, const QualityPump& pump, std::vector<QualityRow>& rows)
{
    if (!ConfirmMap(job.mapPath, outputs, host)) return RunOutcome::Stopped;
    std::vector<std::unique_ptr<BandStream>> fused, reference;
    if (!OpenBandStreams(in.fused, host, fused) ||
        !OpenBandStreams(in.reference, host, reference)) {
        return RunOutcome::Stopped;
    }
    std::vector<std::unique_ptr<RowStream>> cropped;
    std::vector<RowStream*> f = StreamPointers(fused), r = StreamPointers(reference);
    if (job.cut > 0) {
        for (auto* list : {&f, &r}) {
            for (RowStream*& stream : *list) {
                cropped.push_back(std::make_unique<CropStream>(*stream, job.cut, job.cut,
                                                               stream->Width() - 2 * job.cut,
                                                               stream->Height() - 2 * job.cut));
                stream = cropped.back().get();
            }
        }
    }
    QualityRow row;
    const auto start = std::chrono::steady_clock::now();
    if (!ComputeReducedMetrics(f, r, job.ratio, pump, row.reduced)) {
        return pump() ? RunOutcome::Stopped : RunOutcome::Cancelled;
    }
    if (!row.reduced.undefined.empty()) {
        host.ShowMessage(row.reduced.undefined);
        return RunOutcome::Stopped;
    }
    row.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WriteMap(row.reduced.q2nMap, job.mapPath, outputs, host)) return RunOutcome::Stopped;
    rows.push_back(row);
    return RunOutcome::Finished;
}

RunOutcome MeasureFull(const QualityJob& job, const QualityInputs& in, QualityOutputs& outputs,
                       Host& host, const QualityPump& pump, std::vector<QualityRow>& rows)
{
    if (!ConfirmMap(job.mapPath, outputs, host)) return RunOutcome::Stopped;
    std::vector<std::unique_ptr<BandStream>> fused, ms, pans;
    if (!OpenBandStreams(in.fused, host, fused) || !OpenBandStreams(in.ms, host, ms) ||
        !OpenBandStreams({in.pan, in.pan}, host, pans)) {
        return RunOutcome::Stopped;
    }
    QualityRow row;
    const auto start = std::chrono::steady_clock::now();
    if (!ComputeFullMetrics(StreamPointers(fused), StreamPointers(ms), *pans[0], *pans[1],
                            job.ratio, in.sensor.pan, pump, row.full)) {
        return pump() ? RunOutcome::Stopped : RunOutcome::Cancelled;
    }
    if (!row.full.undefined.empty()) {
        host.ShowMessage(row.full.undefined);
        return RunOutcome::Stopped;
    }
    row.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WriteMap(row.full.qnrMap, job.mapPath, outputs, host)) return RunOutcome::Stopped;
    rows.push_back(row);
    return RunOutcome::Finished;
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
// (a band of mean 0, no gradient, no whole block): found by measuring the reference against
// itself, before any method fuses. False after the message naming the metric, or a cancel.
bool ReferenceDefinesMetrics(const std::vector<BandSource>& reference, int ratio, Host& host,
                             const QualityPump& pump)
{
    std::vector<std::unique_ptr<BandStream>> first, second;
    if (!OpenBandStreams(reference, host, first) || !OpenBandStreams(reference, host, second))
        return false;
    ReducedMetrics self;
    if (!ComputeReducedMetrics(StreamPointers(first), StreamPointers(second), ratio, pump, self))
        return false;
    if (self.undefined.empty()) return true;
    host.ShowMessage(self.undefined);
    return false;
}

RunOutcome RunProtocol(const QualityJob& job, const QualityInputs& in, QualityOutputs& outputs,
                       Host& host, const QualityPump& pump, std::vector<QualityRow>& rows)
{
    std::vector<const FusionMethodEntry*> methods;
    if (job.protocol == QualityProtocol::Wald &&
        !SelectFusionMethods(static_cast<int>(in.ms.size()), job.ratio, job.methods, host,
                             methods)) {
        return RunOutcome::Stopped;
    }
    const std::string& folder =
        job.protocol == QualityProtocol::Degrade ? job.outFolder : job.keepFolder;
    if (!outputs.Confirm(ProtocolOutputs(folder, methods), host)) return RunOutcome::Stopped;
    if (job.protocol == QualityProtocol::Wald &&
        !ReferenceDefinesMetrics(in.ms, job.ratio, host, pump)) {
        return pump() ? RunOutcome::Stopped : RunOutcome::Cancelled;
    }
    DegradedScene scene;
    if (!DegradeScene(in.pan, in.ms, job.ratio, in.sensor, host, scene)) return RunOutcome::Stopped;
    scene.registerChoice = job.registerChoice;
    if (!pump()) return RunOutcome::Cancelled;
    if (!folder.empty() && !WriteDegradedScene(scene, folder, in.pan.layout.type,
                                               in.ms[0].layout.type, outputs, host)) {
        return RunOutcome::Stopped;
    }
    if (job.protocol == QualityProtocol::Degrade) return RunOutcome::Finished;
    return RunMethods(scene, methods, in.ms, job.keepFolder, outputs, host, pump, rows);
}

}  // namespace

RunOutcome RunQuality(const QualityJob& job, RunCounters& counters, Host& host,
                      std::vector<QualityRow>& rows)
{
    rows.clear();
    QualityInputs inputs;
    if (!ResolveInputs(job, host, inputs)) return RunOutcome::Stopped;
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
            outcome = MeasureReduced(job, inputs, outputs, host, pump, rows);
            break;
        case QualityProtocol::Full:
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
