#include "workflows/wald_protocol.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>

#include "imaging/mtf_filter.h"
#include "raster/sample_tiff_writer.h"

namespace lumesta {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string InFolder(const std::string& folder, const std::string& name)
{
    return folder + (!folder.empty() && folder.back() == '/' ? "" : "/") + name;
}

bool DegradeBand(const BandSource& source, double gain, int ratio, Host& host,
                 std::vector<double>& out)
{
    BandStream band(source.layout, source.band);
    if (!band.Open(host)) return false;
    MtfFilterStream degraded(band, MtfGaussian(gain, ratio), ratio, ratio / 2);
    out = ReadAllRows(degraded);
    return !degraded.Failed();
}

bool ReadFused(const std::vector<BandSource>& fused, std::vector<std::vector<double>>& bands,
               Host& host)
{
    std::vector<std::unique_ptr<BandStream>> streams;
    if (!OpenBandStreams(fused, host, streams)) return false;
    bands.clear();
    for (auto& stream : streams) {
        bands.push_back(ReadAllRows(*stream));
        if (stream->Failed()) return false;
    }
    return true;
}

QualityRow FailedRow(const std::string& method, int bands)
{
    QualityRow row;
    row.method = method;
    row.reduced =
        ReducedMetrics{kNaN, kNaN, kNaN, kNaN, kNaN, std::vector<double>(bands, kNaN), {}, {}};
    return row;
}

// Writes the bands under the staged name of path; false after "Cannot write PATH.".
bool WriteStaged(const std::string& path, std::int64_t width, std::int64_t height,
                 const std::vector<std::vector<double>>& bands, SampleType type,
                 QualityOutputs& outputs, Host& host)
{
    const std::string staged = outputs.Stage(path, host);
    if (staged.empty()) return false;
    if (WriteSampleTiff(staged, width, height, bands, type)) return true;
    host.ShowMessage("Cannot write " + path + ".");
    return false;
}

// The method's bands as its kept result in the sample type of the user's MS.
bool KeepMethod(const std::string& keepFolder, const FusionMethodEntry& method,
                const std::vector<BandSource>& fused, SampleType type, QualityOutputs& outputs,
                Host& host)
{
    if (keepFolder.empty()) return true;
    std::vector<std::vector<double>> bands;
    if (!ReadFused(fused, bands, host)) return false;
    return WriteStaged(KeptResultPath(keepFolder, method), fused[0].layout.width,
                       fused[0].layout.height, bands, type, outputs, host);
}

}  // namespace

bool DegradeScene(const BandSource& pan, const std::vector<BandSource>& ms, int ratio,
                  const SensorGains& sensor, Host& host, DegradedScene& scene)
{
    scene = DegradedScene{};
    scene.ratio = ratio;
    scene.sensor = sensor;
    scene.panWidth = pan.layout.width / ratio;
    scene.panHeight = pan.layout.height / ratio;
    if (!DegradeBand(pan, sensor.pan, ratio, host, scene.pan)) return false;
    for (std::size_t k = 0; k < ms.size(); ++k) {
        scene.ms.emplace_back();
        const double gain = sensor.ms[std::min<std::size_t>(k, sensor.ms.size() - 1)];
        if (!DegradeBand(ms[k], gain, ratio, host, scene.ms.back())) return false;
    }
    return true;
}

std::string DegradedPanPath(const std::string& folder)
{
    return InFolder(folder, "pan.tif");
}

std::string DegradedMsPath(const std::string& folder)
{
    return InFolder(folder, "ms.tif");
}

std::string KeptResultPath(const std::string& folder, const FusionMethodEntry& method)
{
    return InFolder(folder, method.name + ".tif");
}

bool WriteDegradedScene(const DegradedScene& scene, const std::string& folder, SampleType panType,
                        SampleType msType, QualityOutputs& outputs, Host& host)
{
    return WriteStaged(DegradedPanPath(folder), scene.panWidth, scene.panHeight, {scene.pan},
                       panType, outputs, host) &&
           WriteStaged(DegradedMsPath(folder), scene.panWidth / scene.ratio,
                       scene.panHeight / scene.ratio, scene.ms, msType, outputs, host);
}

RunOutcome RunMethods(const DegradedScene& scene,
                      const std::vector<const FusionMethodEntry*>& methods,
                      const std::vector<BandSource>& reference, const std::string& keepFolder,
                      QualityOutputs& outputs, Host& host, const std::function<bool()>& pump,
                      std::vector<QualityRow>& rows)
{
    const int bands = static_cast<int>(reference.size());
    for (const FusionMethodEntry* method : methods) {
        const auto start = std::chrono::steady_clock::now();
        WorkFolder work;
        if (work.Path().empty()) {
            host.ShowMessage("Cannot create a temporary folder.");
            return RunOutcome::Stopped;
        }
        std::vector<BandSource> fused;
        const RunOutcome outcome = method->fuse(scene, work.Path(), host, fused);
        if (outcome == RunOutcome::Cancelled || !pump()) return RunOutcome::Cancelled;
        if (outcome != RunOutcome::Finished) {
            rows.push_back(FailedRow(method->name, bands));
            continue;
        }
        std::vector<std::unique_ptr<BandStream>> fusedStreams, referenceStreams;
        if (!OpenBandStreams(fused, host, fusedStreams) ||
            !OpenBandStreams(reference, host, referenceStreams)) {
            return RunOutcome::Stopped;
        }
        QualityRow row;
        row.method = method->name;
        if (!ComputeReducedMetrics(StreamPointers(fusedStreams), StreamPointers(referenceStreams),
                                   scene.ratio, pump, row.reduced)) {
            return pump() ? RunOutcome::Stopped : RunOutcome::Cancelled;
        }
        if (!row.reduced.undefined.empty()) {
            host.ShowMessage(row.reduced.undefined);
            return RunOutcome::Stopped;
        }
        if (!KeepMethod(keepFolder, *method, fused, reference[0].layout.type, outputs, host))
            return RunOutcome::Stopped;
        row.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        rows.push_back(row);
    }
    // When no method could fuse the scene there is nothing to report.
    const bool anyMeasured = std::any_of(rows.begin(), rows.end(), [](const QualityRow& row) {
        return !std::isnan(row.reduced.q);
    });
    return anyMeasured || methods.empty() ? RunOutcome::Finished : RunOutcome::Stopped;
}

}  // namespace lumesta
