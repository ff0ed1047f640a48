#pragma once
// lumesta-cli cluster: batch files as Slurm job arrays. "plan" writes the array's script beside
// the batch file and prints the sbatch command; "collect" merges the tasks' report blocks in job
// order and tells which jobs are done, failed or missing.

#include <string>
#include <vector>

namespace lumesta::cli {

// Returns the exit status: plan 0 when the script is written; collect 0 only when every job is
// done; 1 after a message; 2 for a wrong command line.
int RunClusterCommand(const std::vector<std::string>& args);

extern const char* const kClusterUsage;

}  // namespace lumesta::cli
