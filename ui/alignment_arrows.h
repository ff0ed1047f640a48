#pragma once
// A registration estimate as the viewer draws it over the pan: the offset of the whole MS and
// one arrow per block of the grid, placed on the pan where the block's MS pixels lie.

#include <string>
#include <vector>

#include "fusion/registration/registration.h"
#include "raster/placement.h"

namespace lumesta {

struct AlignmentArrow {
    // The block on the pan, in pan pixels (left, top, width, height).
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    double dx = 0;  // the block's own offset, pan pixels (right and down positive)
    double dy = 0;
    double confidence = 0;  // 0: the block could not be estimated
};

struct AlignmentArrows {
    std::string panPath;
    double dx = 0;
    double dy = 0;
    double confidence = 0;
    bool applicable = false;
    std::string reason;  // why the estimate would not be applied
    std::vector<AlignmentArrow> arrows;
};

// The arrows of estimate's blocks (a grid × grid split of the MS of msWidth × msHeight pixels,
// as the estimate splits it) on the pan, through placement.
AlignmentArrows ArrowsOnPan(const RegistrationEstimate& estimate, const MsPlacement& placement,
                            int msWidth, int msHeight, int grid, const std::string& panPath);

// "dx 1.25, dy -0.50 pan px, confidence 0.93" (", not applied: REASON" when it would not be).
std::string AlignmentText(const AlignmentArrows& arrows);

}  // namespace lumesta
