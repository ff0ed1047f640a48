#pragma once
// One job of a batch file from the command line: --job N runs it alone exactly as the whole
// batch would, --list-jobs lists every job, --skip-done skips a job whose task report shows it
// done. Cluster planning and collecting take the tool's job list through a JobListConsumer.

#include <functional>
#include <string>
#include <vector>

#include "batch/batch_jobs.h"
#include "cli/terminal_host.h"
#include "core/option_table.h"

namespace lumesta::cli {

struct JobModeOptions {
    long job = 0;  // 1-based; 0 when not given
    bool listJobs = false;
    bool skipDone = false;
    bool Any() const { return job > 0 || listJobs || skipDone; }
};

// The options as given on a checked command line of the tool; returns the wrong-command-line
// text (they need a batch file, --skip-done needs --job), or empty.
std::string ReadJobMode(const OptionValues& values, const ToolOptions& tool, JobModeOptions& mode);

// Takes a batch file's job list instead of printing it (cluster plan and collect); returns the
// exit status. bifPath is the batch file's full path.
using JobListConsumer = std::function<int(const std::string& bifPath, long count,
                                          const std::vector<BatchJobEntry>& jobs, Host& host)>;

// The report file of one array task beside its batch file: FILE.bif -> FILE.job<N>.log.
std::string TaskReportPath(const std::string& bifPath, long job);
// The Slurm output file of one array task (standard output and error): FILE.job<N>.out.
std::string TaskOutputPath(const std::string& bifPath, long job);
// FILE.bif -> FILE + extension (".sbatch", ".log").
std::string BesideBatchFile(const std::string& bifPath, const std::string& extension);

// A job is done when its task report ends with the run's finishing line and every output the
// job names exists.
bool TaskReportFinished(const std::string& reportPath);
bool JobIsDone(const std::string& bifPath, const BatchJobEntry& job);

// Runs the job mode on a loaded batch job record: lists (or hands the list to consumer), or runs
// one job. The log opens (openLog, false after a message) only here, after --skip-done decided,
// so a done job's report is never touched. Returns the exit status.
int RunJobMode(const JobModeOptions& mode, TerminalHost& host, const TerminalOptions& options,
               const std::string& bifPath, const BatchToolActions& actions,
               const JobListConsumer& consumer, const std::function<bool()>& openLog);

}  // namespace lumesta::cli
