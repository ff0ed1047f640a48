#pragma once
// What a pan-sharpening run shares between its steps, for N MS bands of sample type Sample at
// pan/MS ratio Ratio.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/host.h"
#include "core/run_log.h"
#include "fusion/band_pass.h"
#include "fusion/etm_job.h"
#include "fusion/fusion_method.h"
#include "fusion/pansharpen_job.h"
#include "fusion/outputs/band_result.h"
#include "fusion/outputs/fusion_outputs.h"
#include "imaging/stretch.h"
#include "raster/raw_file.h"

namespace lumesta {

struct InjectionModel;  // the fitted detail-injection method (injection/injection_model.h)
class ValidArea;       // where methods 1 and 2 have data (optimisation/valid_area.h)

template <typename JobType, typename SampleType, int N, int Ratio>
struct FusionRunState {
    using Job = JobType;
    using Sample = SampleType;
    static constexpr int kBands = N;
    static constexpr int kRatio = Ratio;  // pan pixels per MS pixel along each side

    FusionRunState(Job& runJob, Host& runHost, RunLog& runLog, RunProgress& runProgress)
        : job(runJob), host(runHost), log(runLog), progress(runProgress)
    {
    }

    Job& job;
    Host& host;
    RunLog& log;
    RunProgress& progress;

    std::int64_t width = 0;  // pan W and H
    std::int64_t height = 0;
    std::int64_t msWidth = 0;  // W and H over the pan/MS ratio
    std::int64_t msHeight = 0;
    std::array<std::string, N> msInput;          // the files the MS samples are read from
    std::array<std::int64_t, N> msByteOffset{};  // where each band starts in its file
    std::string panInput;                        // the file the pan samples are read from
    // Where the detail-injection engine places the MS (InjectionInputs::shiftX, shiftY), in MS
    // pixels.
    double msShiftX = 0;
    double msShiftY = 0;

    FusedOutputs<N> outputs;
    // The one multi-band result the bands go into (--output/--format of the 16-bit tool); the
    // band files in outputs are then the run's temporary files.
    std::optional<BandResult> bandResult;
    std::array<RawFile, N> fused;  // the fused band files, open for reading and writing
    BandCoefficients<N> coefficients;
    std::shared_ptr<InjectionModel> injection;  // for the detail-injection methods
    std::shared_ptr<ValidArea> validArea;       // methods 1 and 2 with no-data values
    std::array<StretchCutoffs, 3> limits;  // Blue, Green, Red
    std::array<int, N> minValue{};
    std::array<int, N> maxValue{};

    // Lets waiting messages be handled; false when the user cancelled the run.
    bool Pump()
    {
        host.PumpPendingMessages();
        return !(host.IsCancelled() || progress.IsCancelled());
    }
};

// The state of a 16-bit run: four MS bands at a quarter of the pan's size.
using PanRunState = FusionRunState<PanSharpenJob, std::int16_t, 4, 4>;
// The state of a Landsat run: three 8-bit MS bands at half the pan's size.
using EtmRunState = FusionRunState<EtmJob, std::uint8_t, 3, 2>;

// Takes the figures of band b's post-processing walk: its range for the Idrisi32 result
// header and the stretch cutoffs of the picture's channels that show it.
template <typename State, typename Sample>
void TakeBandFigures(State& state, int b, const BandPassFigures<Sample>& figures)
{
    if (state.outputs.kind == PanOutputKind::Idrisi && state.width * state.height > 0) {
        state.minValue[b] = figures.minimum;
        state.maxValue[b] = figures.maximum;
    }
    if (!figures.histogram) return;
    // Each channel's cutoffs apply to the band it shows.
    for (int channel = 0; channel < 3; ++channel) {
        if (PictureBand(state.job, channel) != b) continue;
        state.limits[channel] = figures.histogram->Cutoffs(
            state.job.stretch.leftCutoff[channel], state.job.stretch.rightCutoff[channel]);
    }
}

}  // namespace lumesta
