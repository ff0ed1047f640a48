// What cluster collect parses: the planned script's argument line, a task's Slurm output and its
// report. The input holds the three texts separated by NUL bytes. The arguments read back are
// planned again: a script written for them must give them back unchanged.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/sbatch_script.h"
#include "cli/task_report.h"

using namespace lumesta::cli;

namespace {

// The NUL-separated parts of the input; missing parts are empty.
std::vector<std::string> Parts(const std::uint8_t* data, std::size_t size, std::size_t count)
{
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && parts.size() < count) {
            parts.emplace_back();
        } else {
            parts.back() += static_cast<char>(data[i]);
        }
    }
    parts.resize(count);
    return parts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::string> parts = Parts(data, size, 3);
    ReportTextFinished(parts[2]);
    if (FailureMessagesOf(parts[1], parts[2]).empty()) std::abort();
    const auto args = ReadPlannedArgs(parts[0]);
    if (!args || args->size() < 3) return 0;
    for (const std::string& word : *args) {
        if (HasControlCharacter(word)) return 0;
    }
    SbatchPlan plan;
    plan.program = "/opt/lumesta/bin/lumesta-cli";
    plan.bifPath = "/data/jobs.bif";
    plan.workingFolder = "/data";
    plan.jobCount = 2;
    plan.toolArgs = *args;
    if (ReadPlannedArgs(SbatchScriptText(plan)) != args) std::abort();
    return 0;
}
