#include "fusion/registration/run_registration.h"

namespace lumesta {

double PhaseGridShift(double offset, int ratio)
{
    return (offset + (ratio - 1) / 2.0 - ratio / 2) / ratio;
}

RunRegistration RegisterRun(const InjectionInputs& inputs, const RegisterChoice& choice,
                            double placementX, double placementY,
                            const std::function<bool()>& cancelled)
{
    RunRegistration run;
    const int ratio = inputs.ratio;
    if (choice.mode == RegisterMode::Off) {
        run.shiftX = placementX / ratio;
        run.shiftY = placementY / ratio;
        return run;
    }
    PanOffset offset{choice.dx, choice.dy};
    if (choice.mode == RegisterMode::Given) {
        run.reportLine = GivenOffsetLine(choice.dx, choice.dy);
    } else {
        RegistrationInputs estimate;
        estimate.pan = {inputs.pan.source.get(), inputs.pan.band};
        for (const BandInput& band : inputs.ms) estimate.ms.push_back({band.source.get(), band.band});
        estimate.ratio = ratio;
        estimate.placementX = placementX;
        estimate.placementY = placementY;
        estimate.msGains = inputs.msGains;
        estimate.panNoData = inputs.panNoData;
        estimate.msNoData = inputs.msNoData;
        estimate.panOwnMask = inputs.panMask;  // the files' own masks, as the fusion reads them
        estimate.msOwnMask = inputs.msMask;
        estimate.cancelled = cancelled;
        auto estimated = EstimateRegistration(estimate, run.readError);
        if (!estimated) {
            estimated = RegistrationEstimate{};
            estimated->reason = run.readError.empty() ? "the run was cancelled"
                                                      : "an input could not be read";
        }
        offset = AppliedOffset(*estimated);
        run.reportLine = EstimatedOffsetLine(*estimated);
    }
    run.shiftX = PhaseGridShift(placementX + offset.dx, ratio);
    run.shiftY = PhaseGridShift(placementY + offset.dy, ratio);
    return run;
}

}  // namespace lumesta
