#pragma once
// cluster collect: the array tasks' report files merged in job order, and which jobs are done,
// failed (with their messages) or missing.

#include <string>
#include <vector>

#include "batch/batch_jobs.h"
#include "core/host.h"

namespace lumesta::cli {

// Writes every task report there is, in job order, into FILE.log beside the batch file and
// prints the summary on standard output. A job is failed when it left a report or Slurm output
// without being done, missing when it left neither. Returns 0 only when every job is done.
// The whole content of a file ("" when it cannot be read).
std::string ReadWholeFile(const std::string& path);
// Writes the file under a temporary name and renames it into place, so that no half-written file
// remains; false after "Cannot write PATH.".
bool WriteWholeFile(const std::string& path, const std::string& bytes, Host& host);

int CollectTaskReports(const std::string& bifPath, const std::string& scriptPath, long count,
                       const std::vector<BatchJobEntry>& jobs, Host& host);

}  // namespace lumesta::cli
