#pragma once
// The analytical steps of the 16-bit pan-sharpening run, working on the state the run shares
// between them. Each step appends its own progress dots; the run writes the step headings and
// closing lines. Steps 1, 2 and 5 are shared with the Landsat tool (fusion_steps.cpp); Step 3
// is this tool's own (pansharpen_steps.cpp).

#include <array>
#include <cstdint>
#include <string>

#include "core/step_result.h"
#include "fusion/fusion_methods.h"
#include "fusion/band_pass.h"
#include "fusion/fusion_run_state.h"
#include "fusion/fusion_strips.h"
#include "fusion/pansharpen_job.h"

namespace lumesta {

// The state of a 16-bit run: four MS bands at a quarter of the pan's size.
using PanRunState = FusionRunState<PanSharpenJob, std::int16_t, 4, 4>;

// Step 1: estimates the regression coefficients from every eighth MS row.
StepResult EstimateCoefficients(PanRunState& state);
// With "Colours match with those of inputs closely": stretch limits from the input MS bands.
StepResult ComputeInputStretchLimits(PanRunState& state);
// Step 1 of the detail-injection methods: the first pass at MS scale (injection_model.h).
StepResult FitInjection(PanRunState& state);
// Step 2 of the detail-injection methods: the strips at pan scale (injection_fusion.h).
StepResult FuseInjection(PanRunState& state);
// Step 2: fuses the image in eight strips and post-processes the fused rows into the band files.
StepResult FuseStrips(PanRunState& state);
// Step 3's work on band b (0 Blue … 3 NIR), done on the fused rows as Step 2 writes them
// (after Step 2 from the files for the detail-injection methods, which keep their borders):
// border replication, the job's filter, clipping to 11 bits, the picture's histogram (Blue,
// Green, Red without colour matching) and the Idrisi32 range.
BandPassSpec<std::int16_t> PostProcessingOf(const PanRunState& state, int b);
// Step 3: the post-processing of the detail-injection methods' bands, and for every method
// the step's report dots and pauses.
StepResult PostProcessBands(PanRunState& state);
// Step 5: the stretched 24-bit BMP of Red, Green and Blue.
StepResult WriteFusedBmp(PanRunState& state);

}  // namespace lumesta
