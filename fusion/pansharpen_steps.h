#pragma once
// Step 3 of the 16-bit pan-sharpening run, the post-processing of the fused bands. The steps
// both tools share are in fusion_steps.h, those of the detail-injection methods in
// injection/injection_steps.h.

#include <cstdint>

#include "core/step_result.h"
#include "fusion/band_pass.h"
#include "fusion/fusion_run_state.h"

namespace lumesta {

// Step 3's work on band b (0 Blue … 3 NIR), done on the fused rows as Step 2 writes them
// (after Step 2 from the files for the detail-injection methods, which keep their borders):
// border replication, the job's filter, clipping to 11 bits, the picture's histogram (Blue,
// Green, Red without colour matching) and the Idrisi32 range.
BandPassSpec<std::int16_t> PostProcessingOf(const PanRunState& state, int b);
// Step 3: the post-processing of the detail-injection methods' bands, and for every method
// the step's report dots and pauses.
StepResult PostProcessBands(PanRunState& state);

}  // namespace lumesta
