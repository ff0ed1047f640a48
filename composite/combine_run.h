#pragma once

#include "core/host.h"
#include "core/run_log.h"
#include "composite/combine_job.h"

namespace lumesta {

// The band combination run behind the OK of both tools (the job's depth chooses 16-bit or
// 8-bit data): validates the job, writes its report block to the log, stretches Blue, Green
// and Red into a 24-bit BMP and, for GeoTIFF inputs when asked for, a three-band GeoTIFF with
// the Blue input's georeferencing, then opens the BMP in the picture viewer when the display
// option is on. Every outcome is reported through the host's message boxes and the log;
// temporary files are removed on every path, and outputs of a failed step are removed (a
// cancelled BMP stays as far as it was written). The progress shows in a window
// ("Writing 24-bit BMP ...") whose Cancel ends the run with "\r\nCancelled\r\n\r\n".
RunOutcome RunBandCombination(BandCombinationJob& job, RunCounters& counters, Host& host);

}  // namespace lumesta
