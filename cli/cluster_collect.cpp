#include "cli/cluster_collect.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "cli/exit_status.h"
#include "cli/job_mode.h"
#include "cli/sbatch_script.h"
#include "cli/task_report.h"
#include "core/input_file.h"
#include "raster/file_name.h"

namespace lumesta::cli {
namespace {

enum class JobState { Done, Failed, Missing };

// A failed job's messages, from its Slurm output and its report.
std::vector<std::string> FailureMessages(const std::string& bifPath, long job)
{
    return FailureMessagesOf(ReadWholeFile(TaskOutputPath(bifPath, job)),
                             ReadWholeFile(TaskReportPath(bifPath, job)));
}

// "1,2,5" for a list of job numbers; "none" for no job.
std::string JobNumbers(const std::vector<long>& jobs)
{
    if (jobs.empty()) return "none";
    std::string text;
    for (const long job : jobs) text += (text.empty() ? "" : ",") + std::to_string(job);
    return text;
}

}  // namespace

std::string ReadWholeFile(const std::string& path)
{
    // Only a regular file is opened for good: a pipe or a device named like a task's file would
    // hold the command forever, past any signal.
    const int fd = OpenRegularForReading(path);
    if (fd < 0) return std::string();
    std::string text;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return text;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes, Host& host)
{
    const std::string temporary = path + ".~" + std::to_string(::getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << bytes;
        out.close();
        if (out && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
    }
    std::remove(temporary.c_str());
    host.ShowMessage("Cannot write " + path + ".");
    return false;
}

int CollectTaskReports(const std::string& bifPath, const std::string& scriptPath, long count,
                       const std::vector<BatchJobEntry>& jobs, Host& host)
{
    std::string merged;
    std::vector<long> done, failed, missing;
    std::ostringstream details;
    for (long job = 1; job <= count; ++job) {
        const std::string report = TaskReportPath(bifPath, job);
        const bool listed = job <= static_cast<long>(jobs.size());
        merged += ReadWholeFile(report);
        if (listed && JobIsDone(bifPath, jobs[job - 1])) {
            done.push_back(job);
        } else if (FileExists(report) || FileExists(TaskOutputPath(bifPath, job))) {
            failed.push_back(job);
            for (const auto& message : FailureMessages(bifPath, job)) {
                details << "  job " << job << ": " << message << "\n";
            }
        } else {
            missing.push_back(job);
        }
    }
    const std::string logPath = BesideBatchFile(bifPath, ".log");
    if (!WriteWholeFile(logPath, merged, host)) return kExitStopped;
    std::cout << count << (count == 1 ? " job: " : " jobs: ") << done.size() << " done, "
              << failed.size() << " failed, " << missing.size() << " missing\n"
              << "done:    " << JobNumbers(done) << "\n"
              << "failed:  " << JobNumbers(failed) << "\n"
              << details.str() << "missing: " << JobNumbers(missing) << "\n"
              << "Report blocks merged in job order into " << logPath << "\n";
    if (failed.empty() && missing.empty()) {
        std::cout << std::flush;
        return kExitFinished;
    }
    std::vector<long> rerun = failed;
    rerun.insert(rerun.end(), missing.begin(), missing.end());
    std::sort(rerun.begin(), rerun.end());
    std::cout << "To run them again: sbatch --array=" << JobNumbers(rerun) << " "
              << ShellWord(scriptPath) << std::endl;
    host.ShowMessage("Not every job of the batch file is done.");
    return kExitStopped;
}

}  // namespace lumesta::cli
