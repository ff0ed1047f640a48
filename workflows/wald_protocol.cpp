#include "workflows/wald_protocol.h"

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>

#include "imaging/band_window.h"
#include "workflows/degraded_scene.h"

namespace lumesta {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

QualityRow FailedRow(const FusionMethodEntry& method, int bands)
{
    QualityRow row;
    row.method = method.name;
    row.label = method.label;
    row.reduced.ergas = row.reduced.sam = row.reduced.q2n = row.reduced.q = row.reduced.scc = kNaN;
    row.reduced.qBands.assign(static_cast<std::size_t>(bands), kNaN);
    return row;
}

BandFileSpec SpecOf(BandFileFormat format, std::int64_t width, std::int64_t height, int bands,
                    SampleType type, std::optional<double> noData, const Georeference& geo)
{
    BandFileSpec spec;
    spec.geo = geo;
    spec.format = format;
    spec.width = static_cast<int>(width);
    spec.height = static_cast<int>(height);
    spec.bands = bands;
    spec.type = type;
    spec.noData = noData;
    return spec;
}

// Where the degraded band lies: the input's ground, its pixels ratio times as large.
Georeference DegradedGeoreference(const BandSource& source, int ratio)
{
    const std::int64_t width = BandWidth(source);
    const std::int64_t height = BandHeight(source);
    return BandGeoreference(source)
        .Regridded(static_cast<int>(width), static_cast<int>(height),
                   static_cast<int>(width / ratio), static_cast<int>(height / ratio));
}

std::string InFolder(const std::string& folder, const std::string& name)
{
    return folder + (!folder.empty() && folder.back() == '/' ? "" : "/") + name;
}

// A writer of finalPath's files, staged through outputs (its folder made when missing).
std::unique_ptr<BandFileWriter> OpenResult(const BandFileSpec& spec, const std::string& finalPath,
                                           QualityOutputs& outputs, Host& host)
{
    std::vector<std::string> staged;
    for (const std::string& path : BandFilePaths(spec.format, finalPath)) {
        staged.push_back(outputs.Stage(path, host));
        if (staged.back().empty()) return nullptr;
    }
    return OpenBandFileWriter(spec, staged, finalPath, host);
}

// The samples the methods' files hold: those of the tools, or the inputs' for one multi-band file.
SampleType MethodType(const std::vector<const FusionMethodEntry*>& methods, SampleType inputType)
{
    return !methods.empty() && methods[0]->bands != 0 ? methods[0]->sampleType : inputType;
}

// The method's fused bands as keepFolder/METHOD.tif, a row at a time.
bool KeepMethod(const std::string& keepFolder, const FusionMethodEntry& method,
                const std::vector<BandSource>& fused, SampleType type, const Georeference& geo,
                QualityOutputs& outputs, Host& host)
{
    if (keepFolder.empty()) return true;
    std::vector<std::unique_ptr<BandWindowSource>> sources;
    if (!OpenBandWindows(fused, {}, host, sources)) return false;
    const std::int64_t width = BandWidth(fused[0]);
    const std::int64_t height = BandHeight(fused[0]);
    // The result lies on the reference's grid.
    const auto writer = OpenResult(SpecOf(BandFileFormat::GeoTiff, width, height,
                                          static_cast<int>(fused.size()), type, std::nullopt, geo),
                                   KeptResultPath(keepFolder, method), outputs, host);
    if (!writer) return false;
    std::vector<std::vector<double>> rows(fused.size(),
                                          std::vector<double>(static_cast<std::size_t>(width)));
    std::vector<const double*> pointers;
    for (const auto& row : rows) pointers.push_back(row.data());
    for (std::int64_t y = 0; y < height; ++y) {
        for (std::size_t k = 0; k < sources.size(); ++k) {
            if (!sources[k]->ReadRow(y, 0, width, rows[k].data())) return false;
        }
        if (!writer->WriteRows(pointers.data(), 1)) return false;
    }
    return writer->Finish({}) == RunOutcome::Finished;
}

}  // namespace

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

WorkFolder::WorkFolder()
{
    std::error_code ignored;
    std::string pattern =
        (std::filesystem::temp_directory_path(ignored) / "lumesta-quality-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) m_path = pattern;
}

WorkFolder::~WorkFolder()
{
    std::error_code ignored;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
}

bool MakeDegradedScene(const BandSource& pan, std::optional<double> panNoData,
                       const std::vector<BandSource>& ms, std::optional<double> msNoData, int ratio,
                       const SensorGains& sensor,
                       const std::vector<const FusionMethodEntry*>& methods,
                       const std::string& sceneFolder, const std::string& keptFolder,
                       QualityOutputs& outputs, const QualityPump& pump, Host& host,
                       DegradedScene& scene)
{
    scene = DegradedScene{};
    scene.ratio = ratio;
    scene.bands = static_cast<int>(ms.size());
    scene.sensor = sensor;
    scene.panWidth = BandWidth(pan) / ratio;
    scene.panHeight = BandHeight(pan) / ratio;
    scene.folder = sceneFolder;
    const std::int64_t msWidth = scene.panWidth / ratio;
    const std::int64_t msHeight = scene.panHeight / ratio;
    const SampleType panType = pan.layout.type;
    const SampleType msType = ms[0].layout.type;
    DegradationTargets targets;
    std::vector<std::unique_ptr<BandFileWriter>> writers;
    const Georeference panGeo = DegradedGeoreference(pan, ratio);
    const Georeference msGeo = DegradedGeoreference(ms[0], ratio);
    // Pixels a file's own mask leaves out are written as 0: declared so when no value is.
    const std::optional<double> panFileNoData =
        panNoData ? panNoData : (HasOwnMask(pan) ? std::optional<double>(0) : std::nullopt);
    const std::optional<double> msFileNoData =
        msNoData ? msNoData : (HasOwnMask(ms[0]) ? std::optional<double>(0) : std::nullopt);
    auto add = [&](BandFileFormat format, const std::string& path, bool isPan) {
        const BandFileSpec spec =
            SpecOf(format, isPan ? scene.panWidth : msWidth, isPan ? scene.panHeight : msHeight,
                   isPan ? 1 : scene.bands, isPan ? panType : msType,
                   isPan ? panFileNoData : msFileNoData,
                   isPan ? panGeo : msGeo);
        // The methods' own files belong to the run; the kept ones go through the run's outputs.
        writers.push_back(format == BandFileFormat::Envi
                              ? OpenBandFileWriter(spec, BandFilePaths(format, path), path, host)
                              : OpenResult(spec, path, outputs, host));
        if (!writers.back()) return false;
        (isPan ? targets.pan : targets.ms).push_back(writers.back().get());
        return true;
    };
    const bool oneFile = !methods.empty() && methods[0]->bands == 0;
    if (!sceneFolder.empty() && !oneFile) {
        targets.toolFolder = sceneFolder;
        targets.toolType = MethodType(methods, msType);
    }
    if ((!sceneFolder.empty() && oneFile &&
         (!add(BandFileFormat::Envi, MultiBandPanFile(sceneFolder), true) ||
          !add(BandFileFormat::Envi, MultiBandMsFile(sceneFolder), false))) ||
        (!keptFolder.empty() &&
         (!add(BandFileFormat::GeoTiff, DegradedPanPath(keptFolder), true) ||
          !add(BandFileFormat::GeoTiff, DegradedMsPath(keptFolder), false)))) {
        return false;
    }
    if (!DegradeIntoFiles(pan, panNoData, ms, msNoData, ratio, sensor, targets, pump, host))
        return false;
    for (auto& writer : writers) {
        const RunOutcome outcome = writer->Finish(pump);
        if (outcome != RunOutcome::Finished) return false;
    }
    return true;
}

std::string MethodStepName(const FusionMethodEntry& method)
{
    return "Fusing with " + method.label + " and measuring";
}

RunOutcome RunMethods(const DegradedScene& scene,
                      const std::vector<const FusionMethodEntry*>& methods,
                      const std::vector<BandSource>& reference,
                      const std::vector<std::optional<double>>& referenceNoData,
                      const std::string& keepFolder, QualityOutputs& outputs, Host& host,
                      const QualityPump& pump, std::vector<QualityRow>& rows)
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
        // What the degradation and the previous method freed goes back to the system before the
        // method's run takes its own, so the peak stays that of the largest stage.
        malloc_trim(0);
        const RunOutcome outcome = method->fuse(scene, work.Path(), host, fused);
        malloc_trim(0);
        if (outcome == RunOutcome::Cancelled || !pump()) return RunOutcome::Cancelled;
        if (outcome != RunOutcome::Finished) {
            rows.push_back(FailedRow(*method, bands));
            continue;
        }
        std::vector<std::unique_ptr<BandWindowSource>> fusedSources, referenceSources;
        if (!OpenBandWindows(fused, {}, host, fusedSources) ||
            !OpenBandWindows(reference, referenceNoData, host, referenceSources)) {
            return RunOutcome::Stopped;
        }
        QualityRow row;
        row.method = method->name;
        row.label = method->label;
        if (!ComputeReducedMetrics(WindowPointers(fusedSources), WindowPointers(referenceSources),
                                   scene.ratio, pump, host, row.reduced)) {
            return pump() ? RunOutcome::Stopped : RunOutcome::Cancelled;
        }
        if (!row.reduced.undefined.empty()) {
            host.ShowMessage(row.reduced.undefined);
            return RunOutcome::Stopped;
        }
        if (!KeepMethod(keepFolder, *method, fused, reference[0].layout.type,
                        BandGeoreference(reference[0]), outputs, host))
            return RunOutcome::Stopped;
        row.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        rows.push_back(row);
    }
    // When no method could fuse the scene there is nothing to report.
    const bool anyMeasured = std::any_of(
        rows.begin(), rows.end(), [](const QualityRow& row) { return !std::isnan(row.reduced.q); });
    return anyMeasured || methods.empty() ? RunOutcome::Finished : RunOutcome::Stopped;
}

}  // namespace lumesta
