#pragma once
// Steps 1 and 2 of the 16-bit run for the detail-injection methods.

#include <string>

#include "core/step_result.h"
#include "fusion/fusion_run_state.h"

namespace lumesta {

// Before the report's parameter section of a detail-injection run: where the MS lies on the pan
// (job.registerChoice, which the quality protocol sets to off unless asked), read from the run's inputs as Steps 0 and 1
// will read them, into state.msShiftX and msShiftY. Returns the report line, empty when the
// run does not register. An input that cannot be read leaves the estimate unapplied; Step 1
// then stops the run with its own message.
std::string RegisterInjectionRun(PanRunState& state);

// Step 1 of the detail-injection methods: the first pass at MS scale (injection_model.h).
StepResult FitInjection(PanRunState& state);
// Step 2 of the detail-injection methods: the strips at pan scale (injection_fusion.h).
StepResult FuseInjection(PanRunState& state);

}  // namespace lumesta
