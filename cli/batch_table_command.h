#pragma once
// The batch tools' commands: as every table command, and with a batch file also one job alone
// (--job, --skip-done) or the job list (--list-jobs, or handed to cluster plan and collect).

#include <functional>
#include <string>
#include <vector>

#include "cli/job_mode.h"
#include "cli/run_file_list.h"
#include "cli/table_command.h"
#include "core/run_log.h"

namespace lumesta::cli {

// actionsOf(job, counters) gives the tool's batch actions on the set job; consumer (may be
// empty) takes the job list instead of anything running.
template <typename Job>
int RunBatchTableCommand(const std::vector<std::string>& args, const OptionTable<Job>& table,
                         Job& job, const std::function<int(Job&, Host&, const OptionValues&)>& run,
                         const std::function<BatchToolActions(Job&, RunCounters&)>& actionsOf,
                         const JobListConsumer& consumer)
{
    const ToolOptions tool = table.Describe();
    OptionValues values;
    std::string wrong = values.Read(args, tool.options);
    if (wrong.empty()) wrong = CheckCommandLine(values, tool);
    JobModeOptions mode;
    if (wrong.empty()) wrong = ReadJobMode(values, tool, mode);
    if (!wrong.empty()) return ReportUsageError(wrong, UsageText(tool));
    if (!mode.Any() && !consumer) return RunTableCommand(args, table, job, run);
    // The log opens only when a job runs, after --skip-done has decided.
    const TerminalOptions options = TerminalOptionsOf(values);
    TerminalHost host(options);
    const ApplyResult applied = table.Apply(job, values, host);
    if (applied.status == ApplyStatus::Stopped) return kExitStopped;
    if (applied.status == ApplyStatus::WrongCommandLine) {
        return ReportUsageError(applied.text, UsageText(tool));
    }
    RunCounters counters;
    // The log may not be one of the files the batch lists.
    const auto openLog = [&host, &job] {
        return !host.RefuseLogAmong(RunFilesOf(job)) && host.OpenLog();
    };
    return FinishCommand(host, RunJobMode(mode, host, options, job.batchPath,
                                          actionsOf(job, counters), consumer, openLog));
}

}  // namespace lumesta::cli
