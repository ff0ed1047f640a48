#pragma once
// Batch runs of the two pan-sharpening tools: every job of the job's .bif file (its batchPath)
// is loaded into the job record and run with the tool's ordinary run. Method, filters,
// stretch and the colour band selectors are the record's own and the same for every job.

#include <functional>

#include "core/host.h"
#include "core/run_log.h"
#include "batch/batch_file.h"
#include "batch/batch_jobs.h"
#include "fusion/etm_job.h"
#include "fusion/pansharpen_job.h"

namespace lumesta {

// How batch files of each tool are read, listed, counted and run, on the job record given: each
// record is loaded over the settings the job holds now, the same for every job.
BatchToolActions PanSharpenBatchActions(PanSharpenJob& job, RunCounters& counters);
BatchToolActions EtmBatchActions(EtmJob& job, RunCounters& counters);

// onJob (may be empty) hears of each job before it is read: its 1-based index and the count.
// A job with --method auto is refused (Stopped, after a message): the ranking is per scene.
BatchOutcome RunPanSharpenBatch(PanSharpenJob& job, RunCounters& counters, Host& host,
                                const std::function<void(long, long)>& onJob = {},
                                BatchTally* tally = nullptr);
BatchOutcome RunEtmBatch(EtmJob& job, RunCounters& counters, Host& host,
                         const std::function<void(long, long)>& onJob = {},
                         BatchTally* tally = nullptr);

}  // namespace lumesta
