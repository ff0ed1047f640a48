#pragma once
// The multi-resolution statistics run: a pyramid of 2 × 2 means from the band up to the chosen
// level, nine statistics per level, written as a table that then opens in the text editor.

#include "core/host.h"
#include "core/run_log.h"
#include "assess/image_stats_job.h"

namespace lumesta {

// The OK handler. Validates the job ("Please input file names", "Please input width and
// height.", "Please input correct level number.", the size limits 32 and 16000, " The maximum
// level you can select for this image is N."), writes the report block, decides the sample
// kind ("Check the file size of the input image."), asks before replacing the table, builds
// the levels with the progress window (Cancel and Escape take the cancel path: no table) and
// writes the table. Memory that cannot be had and an input that cannot be opened end with
// their message and "Unsucessful". Returns Finished, Stopped or Cancelled.
RunOutcome ComputeImageStatistics(ImageStatsJob& job, RunCounters& counters, Host& host);

}  // namespace lumesta
