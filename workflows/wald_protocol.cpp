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

// A fresh folder under the system's temporary folder, removed with its contents on every path.
class WorkFolder {
public:
    WorkFolder()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "lumesta-quality-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) m_path = pattern;
    }
    ~WorkFolder()
    {
        std::error_code ignored;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

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

QualityRow FailedRow(const FusionMethodEntry& method, int bands)
{
    QualityRow row;
    row.method = method.name;
    row.label = method.label;
    row.reduced =
        ReducedMetrics{kNaN, kNaN, kNaN, kNaN, kNaN, std::vector<double>(bands, kNaN), {}};
    return row;
}

// The method's bands as keepFolder/METHOD.tif in the sample type of the user's MS.
bool KeepMethod(const std::string& keepFolder, const FusionMethodEntry& method,
                const std::vector<BandSource>& fused, SampleType type, Host& host)
{
    if (keepFolder.empty()) return true;
    std::vector<std::vector<double>> bands;
    if (!ReadFused(fused, bands, host)) return false;
    const std::string path = keepFolder + "/" + method.name + ".tif";
    if (WriteSampleTiff(path, fused[0].layout.width, fused[0].layout.height, bands, type)) {
        return true;
    }
    host.ShowMessage("Cannot write " + path + ".");
    return false;
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

bool WriteDegradedScene(const DegradedScene& scene, const std::string& folder, SampleType panType,
                        SampleType msType, Host& host)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const std::string panPath = folder + "/pan.tif";
    const std::string msPath = folder + "/ms.tif";
    if (!WriteSampleTiff(panPath, scene.panWidth, scene.panHeight, {scene.pan}, panType)) {
        host.ShowMessage("Cannot write " + panPath + ".");
        return false;
    }
    if (!WriteSampleTiff(msPath, scene.panWidth / scene.ratio, scene.panHeight / scene.ratio,
                         scene.ms, msType)) {
        std::remove(panPath.c_str());
        host.ShowMessage("Cannot write " + msPath + ".");
        return false;
    }
    return true;
}

std::string MethodStepName(const FusionMethodEntry& method)
{
    return "Fusing with " + method.label + " and measuring";
}

RunOutcome RunMethods(const DegradedScene& scene,
                      const std::vector<const FusionMethodEntry*>& methods,
                      const std::vector<BandSource>& reference, const std::string& keepFolder,
                      Host& host, const std::function<bool()>& pump, std::vector<QualityRow>& rows)
{
    const int bands = static_cast<int>(reference.size());
    for (std::size_t m = 0; m < methods.size(); ++m) {
        const FusionMethodEntry* method = methods[m];
        host.BeginRunStep(1 + m);
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
            rows.push_back(FailedRow(*method, bands));
            continue;
        }
        std::vector<std::unique_ptr<BandStream>> fusedStreams, referenceStreams;
        if (!OpenBandStreams(fused, host, fusedStreams) ||
            !OpenBandStreams(reference, host, referenceStreams)) {
            return RunOutcome::Stopped;
        }
        QualityRow row;
        row.method = method->name;
        row.label = method->label;
        if (!ComputeReducedMetrics(StreamPointers(fusedStreams), StreamPointers(referenceStreams),
                                   scene.ratio, pump, row.reduced)) {
            return pump() ? RunOutcome::Stopped : RunOutcome::Cancelled;
        }
        if (!KeepMethod(keepFolder, *method, fused, reference[0].layout.type, host))
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
