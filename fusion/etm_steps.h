#pragma once
// The analytical steps of the Landsat ETM+ run and the state they share. Steps 1, 2 and 5 are
// shared with the 16-bit tool (fusion_steps.cpp); Step 3 is this tool's own (etm_steps.cpp).

#include <array>
#include <cstdint>
#include <string>

#include "core/step_result.h"
#include "fusion/etm_fusion.h"
#include "fusion/etm_job.h"
#include "fusion/fusion_run_state.h"
#include "fusion/fusion_strips.h"

namespace lumesta {

// The state of a Landsat run: three 8-bit MS bands at half the pan's size.
using EtmRunState = FusionRunState<EtmJob, std::uint8_t, 3, 2>;

// Step 1: coefficients from every sixteenth MS row.
StepResult EstimateCoefficients(EtmRunState& state);
// With the colour-match option: stretch limits from the input MS bands.
StepResult ComputeInputStretchLimits(EtmRunState& state);
// Step 2: fusion in eight strips into the fused band files.
StepResult FuseStrips(EtmRunState& state);
// Step 3: border replication, stretch limits, filters and statistics per band.
StepResult PostProcessBands(EtmRunState& state);
// Step 5: the stretched 24-bit BMP.
StepResult WriteFusedBmp(EtmRunState& state);

}  // namespace lumesta
