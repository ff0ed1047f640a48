#pragma once
// Step 3 of the Landsat ETM+ run, the post-processing of the fused bands. The steps both tools
// share are in fusion_steps.h.

#include <cstdint>

#include "core/step_result.h"
#include "fusion/band_pass.h"
#include "fusion/fusion_run_state.h"

namespace lumesta {

// Step 3's work on band b (0 Blue … 2 Red), done on the fused rows as Step 2 writes them:
// one-sample borders, the picture's histogram before the job's filters (without colour
// matching), the filters and the Idrisi32 range.
BandPassSpec<std::uint8_t> PostProcessingOf(const EtmRunState& state, int b);
// Step 3: the report dots and pauses of the post-processing done in Step 2.
StepResult PostProcessBands(EtmRunState& state);

}  // namespace lumesta
