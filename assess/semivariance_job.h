#pragma once
// The job record of the semivariance tool: everything its dialog holds. The dialog and
// lumesta-cli fill it through assess_browse.h and run it with ComputeSemivariance.

#include <string>

#include "assess/assess_input.h"

namespace lumesta {

struct SemivarianceJob {
    AssessInput input;
    std::string outputPath;  // the text table
    int maxLag = 100;        // largest lag L in pixels
};

}  // namespace lumesta
