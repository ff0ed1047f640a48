#include "workflows/method_ranking.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "assess/quality_table.h"
#include "fusion/fusion_browse.h"
#include "workflows/quality_inputs.h"
#include "workflows/wald_protocol.h"

namespace lumesta {
namespace {

// The detail is summed on tiles of about this many pan pixels a side (whole R × R blocks of MS
// pixels), and the window moves over them.
constexpr std::int64_t kTileSide = 256;

// The part of a band the window covers (window in the band's own pixels, within its part).
BandSource InWindow(BandSource band, const PanWindow& window)
{
    band.left += window.x;
    band.top += window.y;
    band.width = window.width;
    band.height = window.height;
    return band;
}

std::string Figure(const char* name, double value)
{
    return std::string("\t") + name + " " + ShortNumber(value);
}

}  // namespace

bool DetailWindow(RowStream& pan, int ratio, std::int64_t side, const std::function<bool()>& pump,
                  PanWindow& window)
{
    const std::int64_t block = std::int64_t{ratio} * ratio;
    const std::int64_t width = pan.Width(), height = pan.Height();
    const std::int64_t usableWidth = width / block * block, usableHeight = height / block * block;
    window = PanWindow{0, 0, std::min(side, usableWidth), std::min(side, usableHeight)};
    if (window.width == usableWidth && window.height == usableHeight) return true;
    const std::int64_t tile = block * std::max<std::int64_t>(1, kTileSide / block);
    const std::int64_t tilesX = (width + tile - 1) / tile, tilesY = (height + tile - 1) / tile;
    std::vector<double> energy(static_cast<std::size_t>(tilesX * tilesY), 0.0);
    std::vector<double> previous(static_cast<std::size_t>(width), 0.0);
    for (std::int64_t y = 0; y < height; ++y) {
        const double* row = pan.Row(y);
        double* tiles = energy.data() + y / tile * tilesX;
        for (std::int64_t x = 0; x < width; ++x) {
            if (row[x] == 0) continue;
            double sum = 0;
            if (x > 0 && row[x - 1] != 0) sum += (row[x] - row[x - 1]) * (row[x] - row[x - 1]);
            if (y > 0 && previous[x] != 0) sum += (row[x] - previous[x]) * (row[x] - previous[x]);
            tiles[x / tile] += sum;
        }
        std::copy(row, row + width, previous.begin());
        if (pan.Failed() || (y % 256 == 255 && !pump())) return false;
    }
    // Every place on the grid where the window fits (the one place along a side it spans).
    const auto places = [tile](std::int64_t length, std::int64_t span) {
        std::vector<std::int64_t> at;
        for (std::int64_t p = 0; p + span <= length; p += tile) at.push_back(p);
        return at;
    };
    const std::int64_t spanX = (window.width + tile - 1) / tile;
    const std::int64_t spanY = (window.height + tile - 1) / tile;
    double best = -1;
    for (std::int64_t y : places(usableHeight, window.height)) {
        for (std::int64_t x : places(usableWidth, window.width)) {
            double sum = 0;
            for (std::int64_t ty = y / tile; ty < y / tile + spanY; ++ty) {
                for (std::int64_t tx = x / tile; tx < x / tile + spanX; ++tx)
                    sum += energy[ty * tilesX + tx];
            }
            if (sum > best) {
                best = sum;
                window.x = x;
                window.y = y;
            }
        }
    }
    return true;
}

RunOutcome RankMethods(const BandSource& pan, const std::vector<BandSource>& ms, int ratio,
                       const SensorGains& sensor, Host& host, const std::function<bool()>& pump,
                       MethodRanking& ranking, const std::vector<FusionMethodEntry>& registry)
{
    ranking = MethodRanking{};
    std::vector<const FusionMethodEntry*> methods;
    if (!SelectFusionMethods(static_cast<int>(ms.size()), ratio, {}, host, methods, registry))
        return RunOutcome::Stopped;
    {
        BandStream panRows(pan.layout, pan.band);
        if (!panRows.Open(host)) return RunOutcome::Stopped;
        CropStream part(panRows, pan.left, pan.top, BandWidth(pan), BandHeight(pan));
        if (!DetailWindow(part, ratio, kRankingWindow, pump, ranking.window)) {
            return pump() ? RunOutcome::Stopped : RunOutcome::Cancelled;
        }
    }
    // The window degraded as the protocol degrades a scene, its MS the reference.
    const PanWindow& window = ranking.window;
    const PanWindow msWindow{window.x / ratio, window.y / ratio, window.width / ratio,
                             window.height / ratio};
    std::vector<BandSource> reference;
    for (const BandSource& band : ms) reference.push_back(InWindow(band, msWindow));
    WorkFolder scenes;
    if (scenes.Path().empty()) {
        host.ShowMessage("Cannot create a temporary folder.");
        return RunOutcome::Stopped;
    }
    QualityOutputs outputs({});
    DegradedScene scene;
    if (!MakeDegradedScene(InWindow(pan, window), std::nullopt, reference, std::nullopt, ratio,
                           sensor, methods, scenes.Path(), "", outputs, pump, host, scene)) {
        return pump() ? RunOutcome::Stopped : RunOutcome::Cancelled;
    }
    std::vector<QualityRow> rows;
    const RunOutcome outcome =
        RunMethods(scene, methods, reference, {}, "", outputs, host, pump, rows);
    if (outcome != RunOutcome::Finished) return outcome;
    double bestQ2n = 0;
    for (std::size_t i = 0; i < methods.size() && i < rows.size(); ++i) {
        const ReducedMetrics& m = rows[i].reduced;
        ranking.scores.push_back({methods[i], m.ergas, m.sam, m.q2n, m.scc});
        if (!std::isnan(m.q2n) && (ranking.best == nullptr || m.q2n > bestQ2n)) {
            ranking.best = methods[i];
            bestQ2n = m.q2n;
        }
    }
    return ranking.best != nullptr ? RunOutcome::Finished : RunOutcome::Stopped;
}

std::vector<std::string> RankingReportLines(const MethodRanking& ranking)
{
    const auto label = [](const FusionMethodEntry* entry) {
        const FusionMethodRow* row = FindMethod(entry->name);
        return row != nullptr ? std::string(row->reportName) : entry->label;
    };
    std::vector<std::string> lines;
    if (ranking.best == nullptr) return lines;
    lines.push_back("Method chosen by auto:\t" + label(ranking.best) + "\r\n");
    for (const MethodScore& score : ranking.scores) {
        std::string line = "Auto candidate:\t" + label(score.method);
        if (std::isnan(score.q2n)) {
            line += "\tnot measured";
        } else {
            line += Figure("ERGAS", score.ergas) + Figure("SAM", score.sam) +
                    Figure("Q2n", score.q2n) + Figure("SCC", score.scc);
        }
        lines.push_back(line + "\r\n");
    }
    return lines;
}

RunOutcome ChooseMethodByRanking(PanSharpenJob& job, Host& host)
{
    if (!job.autoMethod.requested) return RunOutcome::Finished;
    int ratio = 4;
    BandSource pan;
    std::vector<BandSource> ms;
    SensorGains sensor = FindSensor(job.sensor).value_or(*FindSensor("generic"));
    if (job.delivery.Active()) {
        // One multi-band MS: its bands placed on the pan as the quality tools place them (the
        // part both cover, the ratio from the georeferencing or the sizes).
        QualityJob scene;
        scene.protocol = QualityProtocol::Wald;
        scene.pan = job.panPath;
        scene.ms = {job.delivery.msPath};
        scene.ratio = job.delivery.ratio;
        scene.ratioGiven = job.delivery.ratio != 0;
        if (!scene.ratioGiven) {
            // Without georeferencing the sizes give the ratio (a georeferenced pair's own wins).
            RasterLayout panLayout, msLayout;
            if (!DescribeRaster(job.panPath, {}, panLayout, host) ||
                !DescribeRaster(job.delivery.msPath, {}, msLayout, host)) {
                return RunOutcome::Stopped;
            }
            scene.ratio = msLayout.width > 0 && panLayout.width % msLayout.width == 0
                              ? static_cast<int>(panLayout.width / msLayout.width)
                              : 4;
        }
        scene.sensor = job.sensor;
        scene.noData = job.delivery.noData;
        scene.panNoData = job.delivery.panNoData;
        scene.msNoData = job.delivery.msNoData;
        QualityInputs inputs;
        if (!ResolveQualityInputs(scene, host, inputs)) return RunOutcome::Stopped;
        ratio = inputs.ratio;
        pan = inputs.pan;
        ms = inputs.ms;
        sensor = inputs.sensor;  // the gains for the MS's band count
    } else {
        const GenericSize panSize{job.width, job.height, 2};
        const GenericSize msSize{job.width / ratio, job.height / ratio, 2};
        if (!DescribeRaster(job.panPath, panSize, pan.layout, host)) return RunOutcome::Stopped;
        ms.resize(4);
        for (int k = 0; k < 4; ++k) {
            if (!DescribeRaster(job.msPath[k], msSize, ms[k].layout, host))
                return RunOutcome::Stopped;
            ms[k].band = job.msBandCount > 1 ? job.selectedIndex[k] : 0;
        }
    }
    const auto pump = [&host] {
        host.PumpPendingMessages();
        return !host.IsCancelled();
    };
    MethodRanking ranking;
    const RunOutcome outcome = RankMethods(pan, ms, ratio, sensor, host, pump, ranking);
    if (outcome != RunOutcome::Finished) return outcome;
    const FusionMethodRow* row = FindMethod(ranking.best->name);
    if (row == nullptr) return RunOutcome::Stopped;
    job.method = row->method;
    // The chosen method's default filter, as --method CHOSEN would set it, unless --filter came
    // after --method auto.
    if (job.filterType == job.autoMethod.filterType &&
        job.filterFlags == job.autoMethod.filterFlags) {
        job.filterType = row->defaultFilter;
        job.filterFlags = DefaultFilterFlags(row->defaultFilter);
    }
    job.autoMethod.reportLines = RankingReportLines(ranking);
    return RunOutcome::Finished;
}

}  // namespace lumesta
