#pragma once
// The runs of the two pan-sharpening tools behind their dialogs' OK (fusion_run.cpp, one
// routine over both): each validates the job, writes its report block to the log (numbered by
// the pan-sharpening counter both tools share), fuses the pan band with the MS bands and writes
// the fused bands, their result headers and the stretched 24-bit BMP. Every outcome is
// reported through the host's message boxes and the log; partial outputs and temporary files
// are removed when a run fails.

#include "core/host.h"
#include "core/run_log.h"
#include "fusion/etm_job.h"
#include "fusion/pansharpen_job.h"

namespace lumesta {

// The 16-bit tool: the pan band with the four MS bands at ratio 4. The progress shows on the
// dialog's own bar (ProgressOwner::ToolDialog).
RunOutcome RunPanSharpen(PanSharpenJob& job, RunCounters& counters, Host& host);

// The Landsat ETM+ tool: the 8-bit pan band with Blue, Green and Red at ratio 2.
RunOutcome RunEtmPanSharpen(EtmJob& job, RunCounters& counters, Host& host);

}  // namespace lumesta
