#pragma once
// The Slurm batch script of a planned batch file: a job array with one task per job, each task
// running this lumesta-cli on its own job. The script keeps the tool's command line in a bash
// array that cluster collect reads back.

#include <optional>
#include <string>
#include <vector>

#include "core/shell_words.h"

namespace lumesta::cli {

// What the array asks of Slurm; empty texts and 0 leave Slurm's defaults (no limit).
struct ClusterRequest {
    std::string partition;
    int cpusPerTask = 1;
    std::string memory;
    std::string timeLimit;
    long maxParallel = 0;
};

struct SbatchPlan {
    std::string program;  // absolute path of lumesta-cli
    std::string bifPath;  // full path of the batch file
    std::string workingFolder;
    long jobCount = 0;
    std::vector<std::string> toolArgs;  // TOOL, its batch option, the batch file, tool options
    ClusterRequest request;
};

// The script's text. Paths in shell lines are quoted for bash, values of #SBATCH lines as
// sbatch reads them; none of them may hold a control character (see HasControlCharacter).
std::string SbatchScriptText(const SbatchPlan& plan);

// True when text holds a byte below 0x20 or 0x7f (a line end, a tab, ...): written into a
// script, a line end would end a comment or a directive and run what follows it as a command.
bool HasControlCharacter(const std::string& text);

// The tool's command line from a script's "args=(...)" line; nullopt when the text holds none.
std::optional<std::vector<std::string>> ReadPlannedArgs(const std::string& scriptText);

// The absolute path of the running program.
std::string RunningProgramPath();

}  // namespace lumesta::cli
