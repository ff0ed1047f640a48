#pragma once
// The fusion quality tool: measuring a fused image at reduced resolution (against a
// reference) or at full resolution (against the MS and pan it came from), the reduced-
// resolution protocol that degrades a scene, fuses it with each method and measures the
// results, and the degradation alone for other tools. The command line and the desktop dialog
// fill a QualityJob and call RunQuality.

#include <vector>

#include "assess/quality_table.h"
#include "core/host.h"
#include "core/run_log.h"
#include "workflows/quality_job.h"
#include "workflows/quality_report.h"

namespace lumesta {

// Runs the job: checks the inputs (a message and Stopped for sizes that disagree, a ratio that is
// not a power of two, sides that are not multiples of the ratio, band counts that differ,
// unreadable or truncated files), computes, writes the optional files, and appends a report
// block to the log (banner, inputs, results, closing line). rows receives the results.
// Cancelled at the next block row after the host's cancel. Nothing is written on failure.
RunOutcome RunQuality(const QualityJob& job, RunCounters& counters, Host& host,
                      std::vector<QualityRow>& rows);

}  // namespace lumesta
