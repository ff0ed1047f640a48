#pragma once
// The job record of the multi-resolution statistics tool: everything its dialog holds. The
// dialog and lumesta-cli fill it through assess_browse.h and run it with ComputeImageStatistics.

#include <optional>
#include <string>

#include "assess/assess_input.h"

namespace lumesta {

struct ImageStatsJob {
    AssessInput input;
    std::string outputPath;  // the text table
    int level = 0;           // highest pyramid level; 0 is the band itself only
    // --nodata: samples of this value take no part in any level (none unless asked for).
    std::optional<double> noData;
};

}  // namespace lumesta
