#pragma once

#include <string>
#include <vector>

namespace lumesta::cli {

// lumesta-cli semivariance, stats and haar: each fills its tool's job record as the dialog
// would and runs it. They return the exit status (0 finished, 1 stopped, 2 wrong command line,
// 130 cancelled).
int RunSemivarianceCommand(const std::vector<std::string>& args);
int RunImageStatsCommand(const std::vector<std::string>& args);
int RunHaarCommand(const std::vector<std::string>& args);

extern const char* const kSemivarianceUsage;
extern const char* const kImageStatsUsage;
extern const char* const kHaarUsage;

}  // namespace lumesta::cli
