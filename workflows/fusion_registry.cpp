#include "workflows/fusion_registry.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "core/run_log.h"
#include "fusion/fusion_browse.h"
#include "fusion/fusion_run.h"
#include "fusion/outputs/fusion_outputs.h"
#include "raster/file_name.h"
#include "workflows/degraded_scene.h"

namespace lumesta {
namespace {

// A progress display that shows nothing and reports the outer host's cancel.
class SilentProgress : public RunProgress {
public:
    explicit SilentProgress(Host& outer) : m_outer(outer) {}
    void SetRange(int, int, int) override {}
    void SetPosition(int) override {}
    void SetStatusText(const std::string&) override {}
    void PumpMessages(bool) override { m_outer.PumpPendingMessages(); }
    bool IsCancelled() const override { return m_outer.IsCancelled(); }

private:
    Host& m_outer;
};

// The host a protocol fusion runs under: messages reach the user, the report block, the progress
// display and the error-stream diagnostics do not, questions are answered Yes (the work folder
// is fresh), Cancel is the outer run's.
class ProtocolHost : public Host {
public:
    explicit ProtocolHost(Host& outer) : m_outer(outer) {}
    void ShowMessage(const std::string& text) override { m_outer.ShowMessage(text); }
    bool AskYesNo(const std::string&) override { return true; }
    void AppendLog(const std::string&) override {}
    void PumpPendingMessages() override { m_outer.PumpPendingMessages(); }
    bool IsCancelled() const override { return m_outer.IsCancelled(); }
    std::unique_ptr<RunProgress> OpenProgress(const std::string&, ProgressOwner) override
    {
        return std::make_unique<SilentProgress>(m_outer);
    }
    void OpenInViewer(ViewerKind, const std::string&) override {}
    void SetBusyCursor(bool) override {}

private:
    Host& m_outer;
};

// Links (or, across file systems, copies) every file of the scene into folder.
bool TakeScene(const DegradedScene& scene, const std::string& folder, Host& host)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(scene.folder, error)) {
        const auto target = std::filesystem::path(folder) / entry.path().filename();
        std::filesystem::create_hard_link(entry.path(), target, error);
        if (error) std::filesystem::copy_file(entry.path(), target, error);
        if (error) break;
    }
    if (!error) return true;
    host.ShowMessage("Cannot write " + folder + " (" + error.message() + ").");
    return false;
}

// The fused band files of a finished run, described for reading.
bool DescribeFused(const std::vector<std::string>& paths, Host& host,
                   std::vector<BandSource>& fused)
{
    fused.clear();
    for (const std::string& path : paths) {
        RasterLayout layout;
        if (!DescribeRaster(path, GenericSize{}, layout, host)) return false;
        fused.push_back(BandSource{layout, 0});
    }
    return true;
}

// Runs a protocol's pan-sharpening job with method (its default filter, as --method NAME sets
// it) on the scene's sensor and registration, quietly and without showing the picture.
RunOutcome RunProtocolJob(PanSharpenJob& job, const FusionMethodRow& method,
                          const DegradedScene& scene, Host& quiet)
{
    ChooseMethod(job, method);
    job.sensor = scene.sensor.name;
    job.registerChoice = scene.registerChoice;
    job.protocolRun = true;
    job.displayBmp = false;
    RunCounters counters;
    return RunPanSharpen(job, counters, quiet);
}

RunOutcome FuseWith16BitTool(const FusionMethodRow& method, const DegradedScene& scene,
                             const std::string& folder, Host& host,
                             std::vector<BandSource>& fused)
{
    if (!TakeScene(scene, folder, host)) return RunOutcome::Stopped;
    ProtocolHost quiet(host);
    PanSharpenJob job;
    if (!BrowsePan(job, ToolPanFile(folder), quiet) ||
        !BrowseBlue(job, ToolBandFile(folder, kBlue), quiet)) {
        return RunOutcome::Stopped;
    }
    for (int band = kGreen; band <= kNir; ++band) {
        if (!BrowseOtherBand(job, band, ToolBandFile(folder, static_cast<std::size_t>(band)),
                             quiet))
            return RunOutcome::Stopped;
    }
    const RunOutcome outcome = RunProtocolJob(job, method, scene, quiet);
    if (outcome != RunOutcome::Finished) return outcome;
    const auto outputs = DeriveJobOutputs(job);
    return DescribeFused({outputs.data.begin(), outputs.data.end()}, host, fused)
               ? RunOutcome::Finished
               : RunOutcome::Stopped;
}

RunOutcome FuseWithEtmTool(FusionMethod method, const DegradedScene& scene, const std::string& folder,
                           Host& host, std::vector<BandSource>& fused)
{
    if (!TakeScene(scene, folder, host)) return RunOutcome::Stopped;
    ProtocolHost quiet(host);
    EtmJob job;
    if (!BrowseEtmPan(job, ToolPanFile(folder), quiet) ||
        !BrowseEtmBlue(job, ToolBandFile(folder, kEtmBlue), quiet)) {
        return RunOutcome::Stopped;
    }
    for (int band = kEtmGreen; band <= kEtmRed; ++band) {
        if (!BrowseEtmOtherBand(job, band, ToolBandFile(folder, static_cast<std::size_t>(band)),
                                quiet))
            return RunOutcome::Stopped;
    }
    job.method = method;
    job.protocolRun = true;
    job.displayBmp = false;
    RunCounters counters;
    const RunOutcome outcome = RunEtmPanSharpen(job, counters, quiet);
    if (outcome != RunOutcome::Finished) return outcome;
    const auto outputs = DeriveJobOutputs(job);
    return DescribeFused({outputs.data.begin(), outputs.data.end()}, host, fused)
               ? RunOutcome::Finished
               : RunOutcome::Stopped;
}

// The route of scenes no tool takes: the detail-injection methods fuse the pan and one
// multi-band MS file (MultiBandPanFile, MultiBandMsFile) as `pansharpen --method NAME --ms` does,
// into one ENVI result whose bands are the fused bands.
RunOutcome FuseMultiBandFile(const FusionMethodRow& method, const DegradedScene& scene,
                             const std::string& folder, Host& host, std::vector<BandSource>& fused)
{
    if (!TakeScene(scene, folder, host)) return RunOutcome::Stopped;
    ProtocolHost quiet(host);
    PanSharpenJob job;
    job.panPath = MultiBandPanFile(folder);
    job.panName = FileNameOf(job.panPath);
    job.panExt = ExtensionLower(job.panPath);
    job.delivery.msPath = MultiBandMsFile(folder);
    job.delivery.outputPath = folder + "/fused.img";
    job.delivery.outputFormat = "envi";
    const RunOutcome outcome = RunProtocolJob(job, method, scene, quiet);
    if (outcome != RunOutcome::Finished) return outcome;
    RasterLayout layout;
    if (!DescribeRaster(job.delivery.outputPath, GenericSize{}, layout, host)) {
        return RunOutcome::Stopped;
    }
    fused.clear();
    for (int band = 0; band < layout.bands; ++band) fused.push_back(BandSource{layout, band});
    return RunOutcome::Finished;
}

}  // namespace

std::string MultiBandPanFile(const std::string& folder)
{
    return folder + "/pan.img";
}

std::string MultiBandMsFile(const std::string& folder)
{
    return folder + "/ms.img";
}

std::vector<FusionMethodEntry> FusionMethodsOf(const MethodTable& table)
{
    using Fuse = decltype(FusionMethodEntry::fuse);
    const auto with16BitTool = [](const FusionMethodRow& method) -> Fuse {
        return [method](const DegradedScene& s, const std::string& f, Host& h,
                        std::vector<BandSource>& out) {
            return FuseWith16BitTool(method, s, f, h, out);
        };
    };
    const auto withEtmTool = [](FusionMethod method) -> Fuse {
        return [method](const DegradedScene& s, const std::string& f, Host& h,
                        std::vector<BandSource>& out) {
            return FuseWithEtmTool(method, s, f, h, out);
        };
    };
    const auto withMultiBandFile = [](const FusionMethodRow& method) -> Fuse {
        return [method](const DegradedScene& s, const std::string& f, Host& h,
                        std::vector<BandSource>& out) {
            return FuseMultiBandFile(method, s, f, h, out);
        };
    };
    // The 16-bit tool's four bands: the detail-injection methods first, as the dialog lists
    // them after methods 1 and 2; then the Landsat tool's three; then the detail-injection
    // methods on one multi-band MS file.
    std::vector<FusionMethodEntry> entries;
    for (const bool injection : {true, false}) {
        for (const FusionMethodRow& row : table) {
            if ((row.engine == MethodEngine::DetailInjection) != injection) continue;
            if (row.minBands <= 4 && 4 <= row.maxBands) {
                entries.push_back({row.name, row.label, 4, 4, SampleType::Int16,
                                   row.kind == MethodKind::Learned, with16BitTool(row)});
            }
        }
    }
    for (const FusionMethodRow& row : table) {
        if (row.inLandsatTool) {
            entries.push_back({row.name, row.label, 3, 2, SampleType::UInt8,
                               row.kind == MethodKind::Learned, withEtmTool(row.method)});
        }
    }
    for (const FusionMethodRow& row : table) {
        if (row.engine == MethodEngine::DetailInjection) {
            entries.push_back({row.name, row.label, 0, 0, SampleType::Int16,
                               row.kind == MethodKind::Learned, withMultiBandFile(row),
                               row.minBands, row.maxBands});
        }
    }
    return entries;
}

const std::vector<FusionMethodEntry>& FusionMethodRegistry()
{
    static const std::vector<FusionMethodEntry> kMethods = FusionMethodsOf(FusionMethods());
    return kMethods;
}

bool SelectFusionMethods(int bands, int ratio, const std::vector<std::string>& names, Host& host,
                         std::vector<const FusionMethodEntry*>& chosen,
                         const std::vector<FusionMethodEntry>& registry)
{
    chosen.clear();
    std::vector<const FusionMethodEntry*> fitting;
    std::string known;
    for (const FusionMethodEntry& entry : registry) {
        if (entry.bands != bands || entry.ratio != ratio) continue;
        fitting.push_back(&entry);
        known += (known.empty() ? "" : ", ") + entry.name;
    }
    for (const FusionMethodEntry& entry : registry) {
        if (!fitting.empty() && fitting.front()->bands != 0) break;  // a tool takes the scene
        if (entry.bands != 0 || bands < entry.fewestBands || bands > entry.mostBands) continue;
        fitting.push_back(&entry);
        known += (known.empty() ? "" : ", ") + entry.name;
    }
    const std::string what = std::to_string(bands) + " bands at ratio " + std::to_string(ratio);
    if (fitting.empty()) {
        host.ShowMessage("No fusion method takes " + what + ".");
        return false;
    }
    if (names.empty()) {  // learned methods only when named
        for (const FusionMethodEntry* entry : fitting) {
            if (!entry->learned) chosen.push_back(entry);
        }
        return true;
    }
    for (const std::string& name : names) {
        const auto found =
            std::find_if(fitting.begin(), fitting.end(),
                         [&](const FusionMethodEntry* e) { return e->name == name; });
        if (found == fitting.end()) {
            host.ShowMessage("Unknown fusion method " + name + " for " + what +
                             " (known: " + known + ").");
            return false;
        }
        chosen.push_back(*found);
    }
    return true;
}

}  // namespace lumesta
