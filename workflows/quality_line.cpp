#include "workflows/quality_line.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "assess/quality_metrics.h"
#include "assess/quality_table.h"
#include "fusion/fusion_run.h"
#include "fusion/outputs/fusion_outputs.h"
#include "imaging/band_window.h"
#include "workflows/method_ranking.h"

namespace lumesta {
namespace {

const std::string kLabel = "Quality (full resolution):\t";

// What the run read and wrote, for any of its layouts.
struct MeasuredRun {
    std::string pan;
    std::vector<std::string> ms;     // per band
    std::vector<int> msBand;         // the band of each file
    std::vector<std::string> fused;  // per band, or one multi-band GeoTIFF
    int ratio = 4;
    int bytes = 2;
    int width = 0;
    int height = 0;
    // The run's no-data values: its samples take no part in the measures.
    std::optional<double> panNoData, msNoData, fusedNoData;
};

// The last finished run's measurement; only the thread that runs the tools touches it.
std::optional<QualityJob>& LastRun()
{
    static std::optional<QualityJob> last;
    return last;
}

// The files as the quality tool's full-resolution job: multi-band inputs by their band list
// only when they hold exactly the run's bands in order.
QualityJob FullJobOf(const MeasuredRun& files)
{
    QualityJob job;
    job.protocol = QualityProtocol::Full;
    job.pan = files.pan;
    job.fused = files.fused;
    job.ratio = files.ratio;
    job.generic = GenericSize{files.width, files.height, files.bytes};
    for (std::size_t k = 0; k < files.ms.size(); ++k) {
        if (k == 0 || files.ms[k] != files.ms[0]) job.ms.push_back(files.ms[k]);
    }
    return job;
}

bool Open(const std::string& path, int band, const GenericSize& generic,
          std::optional<double> noData, Host& host,
          std::vector<std::unique_ptr<BandWindowSource>>& sources)
{
    RasterLayout layout;
    if (!DescribeRaster(path, generic, layout, host)) return false;
    sources.push_back(std::make_unique<BandWindowSource>(BandSource{layout, band}, noData));
    return sources.back()->Open(host);
}

bool Measure(const MeasuredRun& files, double panGain, Host& host, FullMetrics& metrics)
{
    const GenericSize panSize{files.width, files.height, files.bytes};
    const GenericSize msSize{files.width / files.ratio, files.height / files.ratio, files.bytes};
    std::vector<std::unique_ptr<BandWindowSource>> fused, ms, pan;
    for (std::size_t k = 0; k < files.ms.size(); ++k) {
        const bool oneFile = files.fused.size() == 1;
        if (!Open(files.fused[oneFile ? 0 : k], oneFile ? static_cast<int>(k) : 0, panSize,
                  files.fusedNoData, host, fused) ||
            !Open(files.ms[k], files.msBand[k], msSize, files.msNoData, host, ms)) {
            return false;
        }
    }
    if (!Open(files.pan, 0, panSize, files.panNoData, host, pan) ||
        !Open(files.pan, 0, panSize, files.panNoData, host, pan))
        return false;
    return ComputeFullMetrics(
        WindowPointers(fused), WindowPointers(ms), *pan[0], *pan[1], files.ratio, panGain,
        [&host] { return !host.IsCancelled(); }, host, metrics);
}

void AppendLine(const MeasuredRun& files, const SensorGains& sensor, Host& host)
{
    FullMetrics metrics;
    if (!Measure(files, sensor.pan, host, metrics)) {
        host.AppendLog(kLabel + "not measured\r\n");
        return;
    }
    host.AppendLog(kLabel + "D_lambda " + ShortNumber(metrics.dLambda) + "\tD_s " +
                   ShortNumber(metrics.dS) + "\tQNR " + ShortNumber(metrics.qnr) + "\r\n");
}

template <std::size_t N, typename Job>
MeasuredRun FilesOf(const Job& job, const FusedOutputs<N>& outputs, int ratio, int bytes)
{
    MeasuredRun files;
    files.pan = job.panPath;
    files.ratio = ratio;
    files.bytes = bytes;
    files.width = job.width;
    files.height = job.height;
    files.panNoData = job.panNoData;
    files.msNoData = job.msNoData;
    files.fusedNoData = FusedNoDataValue(job);
    for (std::size_t band = 0; band < N; ++band) {
        files.ms.push_back(job.msPath[band]);
        files.msBand.push_back(job.msBandCount > 1 ? job.selectedIndex[band] : 0);
    }
    if (outputs.kind == PanOutputKind::GeoTiff) {
        files.fused = {outputs.geoTiff};
    } else {
        files.fused.assign(outputs.data.begin(), outputs.data.end());
    }
    return files;
}

template <typename Job>
MeasuredRun FilesOfJob(const Job& job)
{
    constexpr bool kLandsat = std::is_same_v<Job, EtmJob>;
    return FilesOf(job, DeriveJobOutputs(job), kLandsat ? 2 : 4, kLandsat ? 1 : 2);
}

template <typename Job, typename Run>
RunOutcome RunWithQuality(Job& job, RunCounters& counters, Host& host, Run run)
{
    const RunOutcome outcome = run(job, counters, host);
    if (outcome != RunOutcome::Finished || job.batchMode) return outcome;
    if (job.qualityLine) AppendQualityLine(job, *FindSensor("generic"), host);
    LastRun() = FullJobOf(FilesOfJob(job));
    return outcome;
}

}  // namespace

void AppendQualityLine(const PanSharpenJob& job, const SensorGains& sensor, Host& host)
{
    if (job.batchMode) return;
    AppendLine(FilesOfJob(job), sensor, host);
}

void AppendQualityLine(const EtmJob& job, const SensorGains& sensor, Host& host)
{
    if (job.batchMode) return;
    AppendLine(FilesOfJob(job), sensor, host);
}

RunOutcome RunPanSharpenWithQuality(PanSharpenJob& job, RunCounters& counters, Host& host)
{
    if (!job.batchMode) {
        const RunOutcome chosen = ChooseMethodByRanking(job, host);
        if (chosen != RunOutcome::Finished) return chosen;
    }
    return RunWithQuality(job, counters, host, RunPanSharpen);
}

RunOutcome RunEtmPanSharpenWithQuality(EtmJob& job, RunCounters& counters, Host& host)
{
    return RunWithQuality(job, counters, host, RunEtmPanSharpen);
}

std::optional<QualityJob> LastPanSharpening()
{
    return LastRun();
}

bool TakeLastPanSharpening(QualityJob& job)
{
    const std::optional<QualityJob>& last = LastRun();
    if (!last) return false;
    if (job.protocol != QualityProtocol::Wald) job.fused = last->fused;
    if (job.protocol != QualityProtocol::Reduced) {
        job.ms = last->ms;
        job.pan = last->pan;
    }
    job.ratio = last->ratio;
    job.generic = last->generic;
    return true;
}

}  // namespace lumesta
