#pragma once
// --method auto: the classical methods the reduced-resolution protocol runs for the scene's band
// count, ranked by Q2n on the scene (or its window of at most 2048 × 2048 pan pixels with the
// most detail) degraded as `quality wald` degrades it, with the MS on its blocks (no
// registration); the best is then run exactly as if it had been named.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/host.h"
#include "fusion/pansharpen_job.h"
#include "imaging/band_stream.h"
#include "imaging/sensor_gains.h"
#include "workflows/fusion_registry.h"

namespace lumesta {

// The largest window side the ranking degrades and fuses, in pan pixels.
constexpr std::int64_t kRankingWindow = 2048;

// A window of the pan, in pan pixels.
struct PanWindow {
    std::int64_t x = 0, y = 0, width = 0, height = 0;
};

struct MethodScore {
    const FusionMethodEntry* method = nullptr;
    double ergas = 0, sam = 0, q2n = 0, scc = 0;  // NaN when the method could not fuse the scene
};

struct MethodRanking {
    PanWindow window;
    std::vector<MethodScore> scores;  // in the protocol's order
    const FusionMethodEntry* best = nullptr;  // the highest Q2n; the earlier one on a tie
};

// The window the ranking works on: sides min(side, the pan's side cut to whole R × R blocks of
// MS pixels), placed on a grid of whole MS pixels where the pan's detail (the squares of the
// differences between neighbouring pan pixels, both non-zero) sums highest; the first such
// place in row order on a tie. The whole pan's sides when they fit; pan is read only then.
// False after a read failure (message shown) or a cancel.
bool DetailWindow(RowStream& pan, int ratio, std::int64_t side, const std::function<bool()>& pump,
                  PanWindow& window);

// Ranks the methods of registry that take ms.size() bands at ratio (learned ones only when
// named, as the protocol does: never here). Stopped after a message (no method takes the scene,
// a read failure, every method failing), Cancelled.
RunOutcome RankMethods(const BandSource& pan, const std::vector<BandSource>& ms, int ratio,
                       const SensorGains& sensor, Host& host, const std::function<bool()>& pump,
                       MethodRanking& ranking,
                       const std::vector<FusionMethodEntry>& registry = FusionMethodRegistry());

// The report's lines of a ranking: "Method chosen by auto:\t" + the best's label, then one line
// per candidate: "Auto candidate:\t" + label + "\tERGAS x\tSAM x\tQ2n x\tSCC x" (6 decimals,
// "not measured" for a method that could not fuse the scene), each ending with CR LF.
std::vector<std::string> RankingReportLines(const MethodRanking& ranking);

// A job with --method auto: ranks the methods on its inputs and sets its method to the best,
// with that method's default filter unless --filter chose one after --method auto, and the
// report's lines. Jobs without auto are left alone (Finished).
RunOutcome ChooseMethodByRanking(PanSharpenJob& job, Host& host);

}  // namespace lumesta
