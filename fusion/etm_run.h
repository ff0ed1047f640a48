#pragma once

#include "core/host.h"
#include "core/run_log.h"
#include "fusion/etm_job.h"

namespace lumesta {

// The Landsat ETM+ pan-sharpening run behind its dialog's OK: validates the job, writes its
// report block (numbered by the shared pan-sharpening counter), fuses the 8-bit pan band with
// Blue, Green and Red at ratio 2 and writes the fused bands, their result headers and the
// stretched 24-bit BMP. Partial outputs and temporary files are removed when it fails.
RunOutcome RunEtmPanSharpen(EtmJob& job, RunCounters& counters, Host& host);

}  // namespace lumesta
