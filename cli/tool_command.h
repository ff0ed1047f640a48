#pragma once
// The shape every fusion and composite command shares: the whole command line is parsed and
// checked before anything runs, the job is filled through the tool's browse functions as its
// dialog would fill it, and then it runs once or, for a batch file, once per job.

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/exit_status.h"
#include "batch/batch_file.h"

namespace lumesta::cli {

struct ToolCommand {
    const std::set<std::string>* valueOptions;
    const std::set<std::string>* flags;
    const char* usage;
};

// check(args) throws UsageError for a wrong command line; fill(args, host) fills the job and
// answers false after a message; run(host) and runBatch(host, onJob) run it.
inline int RunToolCommand(const std::vector<std::string>& argList, const ToolCommand& command,
                          const std::function<void(const Arguments&)>& check,
                          const std::function<bool(const Arguments&, Host&)>& fill,
                          const std::function<bool()>& isBatch,
                          const std::function<RunOutcome(Host&)>& run,
                          const std::function<BatchOutcome(Host&, const std::function<void(long, long)>&)>& runBatch)
{
    std::optional<Arguments> args;
    TerminalOptions options;
    try {
        args.emplace(argList, *command.valueOptions, *command.flags);
        options = CommonOptions(*args);
        check(*args);
    } catch (const UsageError& error) {
        return ReportUsageError(error, command.usage);
    }
    TerminalHost host(options);
    if (!host.OpenLog()) return kExitStopped;
    try {
        if (!fill(*args, host)) return kExitStopped;
    } catch (const UsageError& error) {
        return ReportUsageError(error, command.usage);
    }
    if (!isBatch()) return ExitStatusOf(run(host));
    // One progress line per job on standard error.
    const auto onJob = [&host](long index, long count) {
        host.ShowMessage("Batch job " + std::to_string(index) + " of " + std::to_string(count));
    };
    return runBatch(host, onJob) == BatchOutcome::Completed ? kExitFinished : kExitStopped;
}

}  // namespace lumesta::cli
