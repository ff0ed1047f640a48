#pragma once
// The analytical steps of the Landsat ETM+ run and the state they share. Steps 1, 2 and 5 are
// shared with the 16-bit tool (fusion_steps.cpp); Step 3 is this tool's own (etm_steps.cpp).

#include <array>
#include <cstdint>
#include <string>

#include "core/step_result.h"
#include "fusion/etm_fusion.h"
#include "fusion/etm_job.h"
#include "fusion/band_pass.h"
#include "fusion/fusion_run_state.h"
#include "fusion/fusion_strips.h"

namespace lumesta {

// The state of a Landsat run: three 8-bit MS bands at half the pan's size.
using EtmRunState = FusionRunState<EtmJob, std::uint8_t, 3, 2>;

// Step 1: coefficients from every sixteenth MS row.
StepResult EstimateCoefficients(EtmRunState& state);
// With the colour-match option: stretch limits from the input MS bands.
StepResult ComputeInputStretchLimits(EtmRunState& state);
// Step 2: fusion in eight strips, the fused rows post-processed into the band files.
StepResult FuseStrips(EtmRunState& state);
// Step 3's work on band b (0 Blue … 2 Red), done on the fused rows as Step 2 writes them:
// one-sample borders, the picture's histogram before the job's filters (without colour
// matching), the filters and the Idrisi32 range.
BandPassSpec<std::uint8_t> PostProcessingOf(const EtmRunState& state, int b);
// Step 3: the report dots and pauses of the post-processing done in Step 2.
StepResult PostProcessBands(EtmRunState& state);
// Step 5: the stretched 24-bit BMP.
StepResult WriteFusedBmp(EtmRunState& state);

}  // namespace lumesta
