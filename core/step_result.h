#pragma once
// How one step of a tool's run ended; the run turns it into its closing line.

namespace lumesta {

// Ok: the run goes on. Stopped: the run ends without a closing line (band combination).
// Failed: the run ends with "Unsuccessful". Implausible: the regression's coefficients were
// refused and the pan-sharpening run ends with "Unfortunate". Cancelled: the user cancelled.
enum class StepResult { Ok, Stopped, Failed, Implausible, Cancelled };

}  // namespace lumesta
