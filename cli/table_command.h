#pragma once
// The course every tool command takes: the command line is read and checked against the
// tool's option table before anything runs, the job is set row by row as the dialog's choices
// would set it, and then it runs.

#include <functional>
#include <string>
#include <vector>

#include "cli/exit_status.h"
#include "cli/run_file_list.h"
#include "cli/terminal_host.h"
#include "core/option_table.h"

namespace lumesta::cli {

// run(job, host, values) runs the set job and returns the exit status; values holds the whole
// command line for options that steer the run rather than set the job. A log that is one of
// the set job's files is refused before anything is written to it; a report that could not be
// written whole makes the command unsuccessful.
template <typename Job>
int RunTableCommand(const std::vector<std::string>& args, const OptionTable<Job>& table, Job& job,
                    const std::function<int(Job&, Host&, const OptionValues&)>& run)
{
    const ToolOptions tool = table.Describe();
    OptionValues values;
    std::string wrong = values.Read(args, tool.options);
    if (wrong.empty()) wrong = CheckCommandLine(values, tool);
    if (!wrong.empty()) return ReportUsageError(wrong, UsageText(tool));
    TerminalHost host(TerminalOptionsOf(values));
    if (!host.OpenLog()) return kExitStopped;
    const ApplyResult applied = table.Apply(job, values, host);
    if (applied.status == ApplyStatus::Stopped) return kExitStopped;
    if (applied.status == ApplyStatus::WrongCommandLine) {
        return ReportUsageError(applied.text, UsageText(tool));
    }
    if (host.RefuseLogAmong(RunFilesOf(job))) {
        host.DiscardLog();
        return kExitStopped;
    }
    return FinishCommand(host, run(job, host, values));
}

}  // namespace lumesta::cli
