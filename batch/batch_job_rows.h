#pragma once
// The options of single batch jobs, which the four batch tools declare alike. They set nothing
// of the job record: lumesta-cli reads them to run one job, list the jobs or skip a done job.

#include <vector>

#include "core/option_table.h"

namespace lumesta {

template <typename Job>
std::vector<OptionRow<Job>> BatchJobRows()
{
    OptionRow<Job> job{IntegerOption("--job", "N", 1, 100000000,
                                     "With a batch file: run only job N (1-based), exactly as the "
                                     "whole batch would run it.")};
    job.def.newLine = true;
    OptionRow<Job> skipDone{
        FlagOption("--skip-done",
                   "With --job: skip the job when its task report ends with the "
                   "run's finishing line and every output it names exists.")};
    OptionRow<Job> listJobs{
        FlagOption("--list-jobs",
                   "With a batch file: print the job count and each job's inputs "
                   "and outputs; run nothing.")};
    listJobs.def.excludes = "--job";
    return {job, skipDone, listJobs};
}

}  // namespace lumesta
