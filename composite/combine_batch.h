#pragma once
// Batch runs of the band combination tools: every job of the job's .bif file (its batchPath)
// is loaded into the job record and run with RunBandCombination. Stretch parameters and the
// colour band selectors are the record's own and the same for every job.

#include <functional>

#include "core/host.h"
#include "core/run_log.h"
#include "composite/combine_job.h"
#include "batch/batch_file.h"
#include "batch/batch_jobs.h"

namespace lumesta {

// How the tool's batch files are read, listed, counted and run, on the job record given: each
// record is loaded over the settings the job holds now, the same for every job.
BatchToolActions BandCombinationBatchActions(BandCombinationJob& job, RunCounters& counters);

// onJob (may be empty) hears of each job before it is read: its 1-based index and the count.
BatchOutcome RunBandCombinationBatch(BandCombinationJob& job, RunCounters& counters, Host& host,
                                     const std::function<void(long, long)>& onJob = {},
                                     BatchTally* tally = nullptr);

}  // namespace lumesta
