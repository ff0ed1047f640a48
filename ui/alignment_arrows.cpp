#include "ui/alignment_arrows.h"

#include <cstdint>

namespace lumesta {

AlignmentArrows ArrowsOnPan(const RegistrationEstimate& estimate, const MsPlacement& placement,
                            int msWidth, int msHeight, int grid, const std::string& panPath)
{
    AlignmentArrows result;
    result.panPath = panPath;
    result.dx = estimate.dx;
    result.dy = estimate.dy;
    result.confidence = estimate.confidence;
    result.applicable = estimate.applicable;
    result.reason = estimate.reason;
    if (grid <= 0) return result;
    const double ratio = placement.ratio;
    for (const BlockOffset& block : estimate.blocks) {
        // The same split of the MS grid as the estimate's blocks.
        const auto edge = [grid](int index, int size) {
            return static_cast<double>(std::int64_t{index} * size / grid);
        };
        const double x0 = edge(block.column, msWidth);
        const double x1 = edge(block.column + 1, msWidth);
        const double y0 = edge(block.row, msHeight);
        const double y1 = edge(block.row + 1, msHeight);
        AlignmentArrow arrow;
        arrow.left = placement.offsetX + ratio * x0;
        arrow.top = placement.offsetY + ratio * y0;
        arrow.width = ratio * (x1 - x0);
        arrow.height = ratio * (y1 - y0);
        arrow.dx = block.dx;
        arrow.dy = block.dy;
        arrow.confidence = block.confidence;
        result.arrows.push_back(arrow);
    }
    return result;
}

std::string AlignmentText(const AlignmentArrows& arrows)
{
    std::string text = "dx " + DecimalText(arrows.dx) + ", dy " + DecimalText(arrows.dy) +
                       " pan px, confidence " + DecimalText(arrows.confidence);
    if (!arrows.applicable) text += ", not applied: " + arrows.reason;
    return text;
}

}  // namespace lumesta
