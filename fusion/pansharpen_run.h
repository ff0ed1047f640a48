#pragma once

#include "core/host.h"
#include "core/run_log.h"
#include "fusion/pansharpen_job.h"

namespace lumesta {

// The 16-bit pan-sharpening run behind the dialog's OK: validates the job, writes its report
// block to the log, fuses the pan band with the four MS bands and writes the fused bands, their
// result headers and the stretched 24-bit BMP. Every outcome is reported through the host's
// message boxes and the log; partial outputs and temporary files are removed when it fails.
// The progress shows on the dialog's own bar (ProgressOwner::ToolDialog).
RunOutcome RunPanSharpen(PanSharpenJob& job, RunCounters& counters, Host& host);

}  // namespace lumesta
