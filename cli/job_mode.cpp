#include "cli/job_mode.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>

#include "cli/exit_status.h"
#include "cli/task_report.h"
#include "core/input_file.h"
#include "raster/file_name.h"

namespace lumesta::cli {

namespace {

void PrintJobList(long count, const std::vector<BatchJobEntry>& jobs)
{
    std::cout << count << (count == 1 ? " job\n" : " jobs\n");
    for (const BatchJobEntry& job : jobs) {
        std::cout << job.number << "\tinputs:";
        for (const auto& path : job.inputs) std::cout << ' ' << path;
        std::cout << "\toutputs:";
        for (const auto& path : job.outputs) std::cout << ' ' << path;
        if (job.skipped) std::cout << "\t(skipped: a header cannot be read)";
        std::cout << '\n';
    }
    std::cout << std::flush;
}

int ListJobs(Host& host, const std::string& bifPath, const BatchToolActions& actions,
             const JobListConsumer& consumer)
{
    std::vector<BatchJobEntry> jobs;
    long count = 0;
    if (ListBatchJobs(bifPath, host, actions, jobs, count) != BatchOutcome::Completed) {
        return kExitStopped;
    }
    if (consumer) return consumer(bifPath, count, jobs, host);
    PrintJobList(count, jobs);
    return kExitFinished;
}

// --skip-done: true when the job is done (and so skipped). A job that is not done runs afresh:
// an earlier attempt's task report is removed when this run's report goes to the same file.
bool SkipWhenDone(const JobModeOptions& mode, const TerminalOptions& options,
                  const std::string& bifPath, const BatchToolActions& actions, Host& host)
{
    QuietHost quiet;
    std::vector<BatchJobEntry> jobs;
    long count = 0;
    ListBatchJobs(bifPath, quiet, actions, jobs, count, mode.job);
    const long index = mode.job - 1;
    if (index < static_cast<long>(jobs.size()) && JobIsDone(bifPath, jobs[index])) {
        host.ShowMessage("Batch job " + std::to_string(mode.job) + " is done: skipped.");
        return true;
    }
    const std::string report = TaskReportPath(bifPath, mode.job);
    if (!options.logPath.empty() && SamePath(options.logPath, report)) std::remove(report.c_str());
    return false;
}

}  // namespace

std::string ReadJobMode(const OptionValues& values, const ToolOptions& tool, JobModeOptions& mode)
{
    mode.job = values.Int("--job").value_or(0);
    mode.listJobs = values.Has("--list-jobs");
    mode.skipDone = values.Has("--skip-done");
    if (mode.skipDone && mode.job == 0) return "--skip-done needs --job";
    if (!mode.Any()) return {};
    for (const OptionDef& def : tool.options) {
        const auto path = values.Text(def.name);
        if (def.armsBatch && path && tool.tool.isBatchFile && tool.tool.isBatchFile(*path))
            return {};
    }
    return "--job, --list-jobs and --skip-done need a .bif batch file";
}

std::string BesideBatchFile(const std::string& bifPath, const std::string& extension)
{
    return WithoutLastFour(bifPath) + extension;
}

std::string TaskReportPath(const std::string& bifPath, long job)
{
    return BesideBatchFile(bifPath, ".job" + std::to_string(job) + ".log");
}

std::string TaskOutputPath(const std::string& bifPath, long job)
{
    return BesideBatchFile(bifPath, ".job" + std::to_string(job) + ".out");
}

bool TaskReportFinished(const std::string& reportPath)
{
    // The end of a regular file only: a pipe named like the report must not hold the run.
    constexpr off_t kTail = 64;
    const int fd = OpenRegularForReading(reportPath);
    if (fd < 0) return false;
    struct stat info {};
    std::string tail;
    if (::fstat(fd, &info) == 0) {
        const off_t start = info.st_size > kTail ? info.st_size - kTail : 0;
        tail.resize(static_cast<std::size_t>(info.st_size - start));
        const ssize_t got = ::pread(fd, &tail[0], tail.size(), start);
        tail.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    ::close(fd);
    return ReportTextFinished(tail);
}

bool JobIsDone(const std::string& bifPath, const BatchJobEntry& job)
{
    if (job.skipped || !TaskReportFinished(TaskReportPath(bifPath, job.number))) return false;
    for (const auto& output : job.outputs) {
        if (!FileExists(output)) return false;
    }
    return true;
}

int RunJobMode(const JobModeOptions& mode, TerminalHost& host, const TerminalOptions& options,
               const std::string& bifPath, const BatchToolActions& actions,
               const JobListConsumer& consumer, const std::function<bool()>& openLog)
{
    if (mode.listJobs || consumer) return ListJobs(host, bifPath, actions, consumer);
    if (mode.skipDone && SkipWhenDone(mode, options, bifPath, actions, host)) return kExitFinished;
    if (!openLog()) return kExitStopped;
    const auto onJob = [&host](long index, long count) {
        host.ShowMessage("Batch job " + std::to_string(index) + " of " + std::to_string(count));
    };
    const BatchJobResult result = RunBatchJob(bifPath, mode.job, host, actions, onJob);
    if (result.batch != BatchOutcome::Completed || !result.ran) return kExitStopped;
    return ExitStatusOf(result.run);
}

}  // namespace lumesta::cli
