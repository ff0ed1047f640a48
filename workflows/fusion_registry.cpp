#include "workflows/fusion_registry.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>

#include "core/run_log.h"
#include "fusion/fusion_browse.h"
#include "fusion/fusion_run.h"
#include "fusion/outputs/fusion_outputs.h"
#include "raster/envi_band_writer.h"
#include "raster/file_name.h"

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

const char* const kBandNames[4] = {"Blue", "Green", "Red", "NIR"};
const char* const kBandFiles[4] = {"blue.img", "green.img", "red.img", "nir.img"};

// Writes the scene's pan and MS bands as ENVI files of the method's sample type.
bool WriteScene(const DegradedScene& scene, const std::string& folder, SampleType type, Host& host)
{
    if (!WriteEnviBand(folder + "/pan.img", "Pan", scene.pan, scene.panWidth, scene.panHeight, type,
                       host)) {
        return false;
    }
    for (std::size_t band = 0; band < scene.ms.size(); ++band) {
        if (!WriteEnviBand(folder + "/" + kBandFiles[band], kBandNames[band], scene.ms[band],
                           scene.panWidth / scene.ratio, scene.panHeight / scene.ratio, type,
                           host)) {
            return false;
        }
    }
    return true;
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

RunOutcome FuseWith16BitTool(int method, const DegradedScene& scene, const std::string& folder,
                             Host& host, std::vector<BandSource>& fused)
{
    if (!WriteScene(scene, folder, SampleType::Int16, host)) return RunOutcome::Stopped;
    ProtocolHost quiet(host);
    PanSharpenJob job;
    if (!BrowsePan(job, folder + "/pan.img", quiet) ||
        !BrowseBlue(job, folder + "/blue.img", quiet)) {
        return RunOutcome::Stopped;
    }
    for (int band = kGreen; band <= kNir; ++band) {
        if (!BrowseOtherBand(job, band, folder + "/" + kBandFiles[band], quiet))
            return RunOutcome::Stopped;
    }
    job.method = static_cast<FusionMethod>(method);
    job.sensor = scene.sensor.name;
    if (InjectsDetail(job.method)) {  // their default filter, as --method NAME sets it
        job.filterType = FilterType16::None;
        job.filterFlags = {false, false, false, false};
    }
    job.protocolRun = true;
    job.displayBmp = false;
    RunCounters counters;
    const RunOutcome outcome = RunPanSharpen(job, counters, quiet);
    if (outcome != RunOutcome::Finished) return outcome;
    const auto outputs = DeriveJobOutputs(job);
    return DescribeFused({outputs.data.begin(), outputs.data.end()}, host, fused)
               ? RunOutcome::Finished
               : RunOutcome::Stopped;
}

RunOutcome FuseWithEtmTool(int method, const DegradedScene& scene, const std::string& folder,
                           Host& host, std::vector<BandSource>& fused)
{
    if (!WriteScene(scene, folder, SampleType::UInt8, host)) return RunOutcome::Stopped;
    ProtocolHost quiet(host);
    EtmJob job;
    if (!BrowseEtmPan(job, folder + "/pan.img", quiet) ||
        !BrowseEtmBlue(job, folder + "/blue.img", quiet)) {
        return RunOutcome::Stopped;
    }
    for (int band = kEtmGreen; band <= kEtmRed; ++band) {
        if (!BrowseEtmOtherBand(job, band, folder + "/" + kBandFiles[band], quiet))
            return RunOutcome::Stopped;
    }
    job.method = static_cast<FusionMethod>(method);
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

}  // namespace

const std::vector<FusionMethodEntry>& FusionMethodRegistry()
{
    // The detail-injection methods first, as the dialog lists them after methods 1 and 2.
    static const std::vector<FusionMethodEntry> kMethods = {
        {"gsa", 4, 4, SampleType::Int16,
         [](const DegradedScene& s, const std::string& f, Host& h, std::vector<BandSource>& out) {
             return FuseWith16BitTool(static_cast<int>(FusionMethod::Gsa), s, f, h, out);
         }},
        {"glp-hpm", 4, 4, SampleType::Int16,
         [](const DegradedScene& s, const std::string& f, Host& h, std::vector<BandSource>& out) {
             return FuseWith16BitTool(static_cast<int>(FusionMethod::GlpHpm), s, f, h, out);
         }},
        {"awlp", 4, 4, SampleType::Int16,
         [](const DegradedScene& s, const std::string& f, Host& h, std::vector<BandSource>& out) {
             return FuseWith16BitTool(static_cast<int>(FusionMethod::Awlp), s, f, h, out);
         }},
        {"brovey", 4, 4, SampleType::Int16,
         [](const DegradedScene& s, const std::string& f, Host& h, std::vector<BandSource>& out) {
             return FuseWith16BitTool(static_cast<int>(FusionMethod::Brovey), s, f, h, out);
         }},
        {"1", 4, 4, SampleType::Int16,
         [](const DegradedScene& s, const std::string& f, Host& h, std::vector<BandSource>& out) {
             return FuseWith16BitTool(0, s, f, h, out);
         }},
        {"2", 4, 4, SampleType::Int16,
         [](const DegradedScene& s, const std::string& f, Host& h, std::vector<BandSource>& out) {
             return FuseWith16BitTool(1, s, f, h, out);
         }},
        {"1", 3, 2, SampleType::UInt8,
         [](const DegradedScene& s, const std::string& f, Host& h, std::vector<BandSource>& out) {
             return FuseWithEtmTool(0, s, f, h, out);
         }},
        {"2", 3, 2, SampleType::UInt8,
         [](const DegradedScene& s, const std::string& f, Host& h, std::vector<BandSource>& out) {
             return FuseWithEtmTool(1, s, f, h, out);
         }},
    };
    return kMethods;
}

bool SelectFusionMethods(int bands, int ratio, const std::vector<std::string>& names, Host& host,
                         std::vector<const FusionMethodEntry*>& chosen)
{
    chosen.clear();
    std::vector<const FusionMethodEntry*> fitting;
    std::string known;
    for (const FusionMethodEntry& entry : FusionMethodRegistry()) {
        if (entry.bands != bands || entry.ratio != ratio) continue;
        fitting.push_back(&entry);
        known += (known.empty() ? "" : ", ") + entry.name;
    }
    const std::string what = std::to_string(bands) + " bands at ratio " + std::to_string(ratio);
    if (fitting.empty()) {
        host.ShowMessage("No fusion method takes " + what + ".");
        return false;
    }
    if (names.empty()) {
        chosen = fitting;
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
