#pragma once
// Steps 1 and 2 of the 16-bit run for the detail-injection methods.

#include "core/step_result.h"
#include "fusion/fusion_run_state.h"

namespace lumesta {

// Step 1 of the detail-injection methods: the first pass at MS scale (injection_model.h).
StepResult FitInjection(PanRunState& state);
// Step 2 of the detail-injection methods: the strips at pan scale (injection_fusion.h).
StepResult FuseInjection(PanRunState& state);

}  // namespace lumesta
