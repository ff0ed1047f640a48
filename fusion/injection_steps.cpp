#include <malloc.h>

#include "fusion/injection_fusion.h"
#include "fusion/injection_model.h"
#include "fusion/pansharpen_steps.h"
#include "imaging/sensor_gains.h"

// Steps 1 and 2 of the 16-bit run for the detail-injection methods.

namespace lumesta {
namespace {

const std::string kStep1Failure = "Error: Integer/Binary - ReadDataBlock for Step 1";
const std::string kPartReadFailure = "Error: Integer/Binary - ReadDataBlockPart";

}  // namespace

StepResult FitInjection(PanRunState& state)
{
    const PanSharpenJob& job = state.job;
    const SensorGains sensor = FindSensor(job.sensor).value_or(*FindSensor("generic"));
    InjectionInputs inputs;
    inputs.method = job.method;
    inputs.width = state.width;
    inputs.height = state.height;
    inputs.panPath = state.panInput;
    for (int band = kBlue; band <= kNir; ++band) {
        inputs.msPaths[band] = state.msInput[band];
        inputs.msByteOffsets[band] = state.msByteOffset[band];
    }
    inputs.msGains = sensor.ms;
    inputs.panGain = sensor.pan;
    state.injection = std::make_shared<InjectionModel>(inputs);
    state.log.Append(".");
    const StepResult result = FitInjectionModel(inputs, *state.injection, kStep1Failure, state.host,
                                                [&state] { return state.Pump(); });
    if (result == StepResult::Ok) state.log.Append("..");
    return result;
}

StepResult FuseInjection(PanRunState& state)
{
    const StepResult result = FuseInjectedImage(
        *state.injection, state.panInput, state.fused, state.job.colourAmounts, kInjectionStripRows,
        kPartReadFailure, state.progress, state.host, [&state] { return state.Pump(); });
    // The MS and degraded pans are not needed after the fusion; their memory goes back to the
    // system before the post-processing maps whole bands.
    state.injection.reset();
    malloc_trim(0);
    return result;
}

}  // namespace lumesta
