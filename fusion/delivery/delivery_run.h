#pragma once
// The delivery run (`pansharpen --ms`): every band of one multi-band MS file fused with a
// detail-injection method on the pan's grid, written as one multi-band result (ENVI, GeoTIFF or
// Cloud Optimized GeoTIFF) of the MS's sample type with the pan's georeferencing, and a 24-bit
// picture of three of its bands. Every check comes before anything is written; the result and
// the picture reach their names only when the run has finished.

#include "core/host.h"
#include "core/run_log.h"
#include "fusion/pansharpen_job.h"

namespace lumesta {

RunOutcome RunDelivery(PanSharpenJob& job, RunCounters& counters, Host& host);

}  // namespace lumesta
