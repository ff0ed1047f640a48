#include "fusion/fusion_strips.h"

namespace lumesta {
namespace {

constexpr int kStripCount = 8;

}  // namespace

StepResult ForEachFusionStrip(std::int64_t msHeight,
                              const std::function<StepResult(int, std::int64_t, std::int64_t)>& fuseStrip)
{
    const std::int64_t cellRows = std::max<std::int64_t>(msHeight - 1, 0);
    const std::int64_t stripCells = (msHeight + 7) / 8;
    for (int strip = 0; strip < kStripCount; ++strip) {
        const std::int64_t firstCell = strip * stripCells;
        const std::int64_t endCell =
            strip + 1 < kStripCount ? std::min(firstCell + stripCells, cellRows) : cellRows;
        if (firstCell >= endCell) continue;
        const StepResult result = fuseStrip(strip, firstCell, endCell - firstCell);
        if (result != StepResult::Ok) return result;
    }
    return StepResult::Ok;
}

}  // namespace lumesta
