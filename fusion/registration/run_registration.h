#pragma once
// Registration in a detail-injection run: what --register asks for, turned into the shift that
// places the MS on the engine's grid and the report line that says what was done. Every run of
// the detail-injection engine calls RegisterRun before fusing (and before its report's
// parameter section, which carries the line).

#include <functional>
#include <string>

#include "fusion/injection/injection_inputs.h"
#include "fusion/registration/register_choice.h"

namespace lumesta {

struct RunRegistration {
    // For InjectionInputs::shiftX and shiftY: in MS pixels, the MS sample on the upsampling's
    // grid at j takes the MS's content at j − shift.
    double shiftX = 0.0;
    double shiftY = 0.0;
    // "MS offset on the pan:\t…" without its line end; empty with off.
    std::string reportLine;
    // Why an input could not be read for the estimate (the estimate is then not applied); empty
    // otherwise.
    std::string readError;
};

// The registration of a run over inputs (the pan, the MS bands, ratio, gains and no-data values
// as the engine will fuse them; their shift is not looked at). placementX and placementY place
// the MS's origin on the pan in pan pixels (georeferencing; 0 with the corners aligned).
// - off: the MS as placed, no phase compensation: shift = placement / ratio; no report line.
// - auto: the estimate e (0 when not applicable, or within 0.05 pan pixel of 0), given: e as
//   given; both phase-compensated, so that MS pixel j's centre lands on its block's centre.
// cancelled is polled during the estimate; a cancelled estimate is not applied.
RunRegistration RegisterRun(const InjectionInputs& inputs, const RegisterChoice& choice,
                            double placementX, double placementY,
                            const std::function<bool()>& cancelled);

// The engine's shift, in MS pixels, that puts the MS's content on the upsampling's grid (MS
// sample j on pan pixel ratio · j + ratio / 2) when the MS lies offset pan pixels from the pan's
// origin on one axis (geometric: MS pixel j covers pan pixels offset + ratio · j … + ratio − 1).
double PhaseGridShift(double offset, int ratio);

}  // namespace lumesta
