#pragma once
// The analytical steps both pan-sharpening runs share (Steps 1, 2 and 5 of the optimisation
// methods), working on the state the run shares between them. Each step appends its own
// progress dots; the run writes the step headings and closing lines. Step 3 is each tool's own
// (pansharpen_steps.h, etm_steps.h); the detail-injection methods of the 16-bit tool have
// their own Steps 1 and 2 (injection/injection_steps.h).

#include "core/step_result.h"
#include "fusion/fusion_run_state.h"

namespace lumesta {

// Step 1: estimates the regression coefficients from every eighth MS row (16-bit tool) or every
// sixteenth (Landsat tool).
StepResult EstimateCoefficients(PanRunState& state);
StepResult EstimateCoefficients(EtmRunState& state);
// With "Colours match with those of inputs closely": stretch limits from the input MS bands.
StepResult ComputeInputStretchLimits(PanRunState& state);
StepResult ComputeInputStretchLimits(EtmRunState& state);
// Step 2: fuses the image in eight strips and post-processes the fused rows into the band files.
StepResult FuseStrips(PanRunState& state);
StepResult FuseStrips(EtmRunState& state);
// Step 5: the stretched 24-bit BMP of Red, Green and Blue.
StepResult WriteFusedBmp(PanRunState& state);
StepResult WriteFusedBmp(EtmRunState& state);

}  // namespace lumesta
