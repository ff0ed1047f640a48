#include "fusion/injection/injection_steps.h"

#include <malloc.h>

#include <algorithm>

#include "fusion/band_pass.h"
#include "fusion/injection/injection_fusion.h"
#include "fusion/injection/injection_model.h"
#include "fusion/pansharpen_steps.h"
#include "fusion/parallel_rows.h"
#include "imaging/sensor_gains.h"

namespace lumesta {
namespace {

const std::string kStep1Failure = "Error: Integer/Binary - ReadDataBlock for Step 1";
const std::string kPartReadFailure = "Error: Integer/Binary - ReadDataBlockPart";

using Passes = std::array<BandPass<std::int16_t>, kInjectionBands>;

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
    std::copy_n(sensor.ms.begin(), inputs.msGains.size(), inputs.msGains.begin());
    inputs.panGain = sensor.pan;
    state.injection = std::make_shared<InjectionModel>(inputs);
    state.log.Append(".");
    const StepResult result = FitInjectionModel(inputs, *state.injection, kStep1Failure, state.host,
                                                [&state] { return state.Pump(); });
    if (result == StepResult::Ok) state.log.Append("..");
    return result;
}

// The fused rows are post-processed on their way to the files (Step 3's work), so each band
// is written once; the figures of the walks become the run's stretch limits and ranges.
StepResult FuseInjection(PanRunState& state)
{
    Passes passes = {BandPass<std::int16_t>(state.fused[0], PostProcessingOf(state, 0), state.host),
                     BandPass<std::int16_t>(state.fused[1], PostProcessingOf(state, 1), state.host),
                     BandPass<std::int16_t>(state.fused[2], PostProcessingOf(state, 2), state.host),
                     BandPass<std::int16_t>(state.fused[3], PostProcessingOf(state, 3), state.host)};
    StepResult result = StepResult::Ok;
    for (auto& pass : passes) {
        if (!pass.Allocate()) result = StepResult::Failed;
    }
    const FusedRowsSink sink = [&](const std::array<const std::int16_t*, kInjectionBands>& rows,
                                   std::int64_t rowCount) {
        return WalkAllBands(passes, state.host, [&](BandPass<std::int16_t>& pass, int b) {
            return pass.Take(rows[b], rowCount);
        });
    };
    if (result == StepResult::Ok) {
        result = FuseInjectedImage(*state.injection, state.panInput, sink, state.job.colourAmounts,
                                   kInjectionStripRows, kPartReadFailure, state.progress,
                                   state.host, [&state] { return state.Pump(); });
    }
    if (result == StepResult::Ok &&
        !WalkAllBands(passes, state.host, [](BandPass<std::int16_t>& pass, int) { return pass.Finish(); })) {
        result = StepResult::Failed;
    }
    if (result == StepResult::Ok) {
        for (int b = 0; b < kInjectionBands; ++b) TakeBandFigures(state, b, passes[b].Figures());
    }
    // The MS and degraded pans are not needed after the fusion; their memory goes back to the
    // system before the post-processing maps whole bands.
    state.injection.reset();
    malloc_trim(0);
    return result;
}

}  // namespace lumesta
