#pragma once
// The job record of the semivariance tool: everything its dialog holds. The dialog and
// lumesta-cli fill it through assess_browse.h and run it with ComputeSemivariance.

#include <optional>
#include <string>

#include "assess/assess_input.h"

namespace lumesta {

struct SemivarianceJob {
    AssessInput input;
    std::string outputPath;  // the text table
    int maxLag = 100;        // largest lag L in pixels
    // --nodata: pairs with a sample of this value take no part (none unless asked for).
    std::optional<double> noData;
};

}  // namespace lumesta
