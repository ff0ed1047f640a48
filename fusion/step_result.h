#pragma once
// How one analytical step of a pan-sharpening run ended.

namespace lumesta {

// Failed ends the run with "Unsuccessful", Implausible (the regression's coefficients) with
// "Unfortunate", Cancelled with "Cancelled".
enum class StepResult { Ok, Failed, Implausible, Cancelled };

}  // namespace lumesta
