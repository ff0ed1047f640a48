#include "fusion/injection/injection_steps.h"

#include <malloc.h>

#include <algorithm>

#include "fusion/band_pass.h"
#include "fusion/injection/injection_fusion.h"
#include "fusion/injection/injection_model.h"
#include "fusion/pansharpen_steps.h"
#include "fusion/parallel_rows.h"
#include "fusion/registration/run_registration.h"
#include "imaging/sensor_gains.h"
#include "raster/file_name.h"
#include "raster/image_open.h"

namespace lumesta {
namespace {

const std::string kStep1Failure = "Error: Integer/Binary - ReadDataBlock for Step 1";
const std::string kPartReadFailure = "Error: Integer/Binary - ReadDataBlockPart";
const char kLengthProblem[] = "Error! reading an image  file - length problem.";

using Passes = std::array<BandPass<std::int16_t>, 4>;

// One band of 16-bit samples starting at byteOffset of a raw file (an input, or the raw file
// Step 0 extracted from a GeoTIFF), read through a raw source; nothing when it cannot be opened.
std::shared_ptr<RasterSource> RawInt16Band(const std::string& path, std::int64_t byteOffset,
                                           std::int64_t width, std::int64_t height)
{
    RasterDescription description;
    description.format = "raw";
    description.width = static_cast<int>(width);
    description.height = static_cast<int>(height);
    description.bands = 1;
    description.type = SampleType::Int16;
    RawLayout layout;
    layout.firstSample = byteOffset;
    layout.rowStride = width * 2;
    layout.bandStride = width * height * 2;
    layout.pixelStride = 2;
    std::string error;
    return OpenRawSource(path, description, layout, error);
}

// The band as Step 1 reads it: a file that cannot be opened shows openFailure; one too short for
// the band shows the length message.
std::shared_ptr<RasterSource> OpenRawBand(const std::string& path, std::int64_t byteOffset,
                                          std::int64_t width, std::int64_t height,
                                          const std::string& openFailure, Host& host)
{
    std::shared_ptr<RasterSource> source = RawInt16Band(path, byteOffset, width, height);
    if (!source) {
        host.ShowMessage(openFailure);
        return nullptr;
    }
    if (source->Description().availableRows < height) {
        host.ShowMessage(kLengthProblem);
        return nullptr;
    }
    return source;
}

bool OpenPan(PanRunState& state, const std::string& openFailure)
{
    InjectionInputs& inputs = state.injection->inputs;
    inputs.pan.source =
        OpenRawBand(state.panInput, 0, state.width, state.height, openFailure, state.host);
    return inputs.pan.source != nullptr;
}

// The band for the estimate; nothing when the file cannot be opened or is too short (Step 1 says
// so later).
std::shared_ptr<RasterSource> RawBandQuietly(const std::string& path, std::int64_t byteOffset,
                                             std::int64_t width, std::int64_t height)
{
    std::shared_ptr<RasterSource> source = RawInt16Band(path, byteOffset, width, height);
    if (source && source->Description().availableRows < height) return nullptr;
    return source;
}

// The pan and the MS bands as Steps 0 and 1 read them: GeoTIFF and GDAL-read inputs through
// their readers (the values Step 0 extracts), the others as the raw bands Step 1 reads. False
// when one cannot be opened.
bool OpenForEstimate(const PanRunState& state, InjectionInputs& inputs)
{
    const PanSharpenJob& job = state.job;
    const std::int64_t msWidth = state.msWidth;
    const std::int64_t msHeight = state.msHeight;
    if (state.outputs.kind != PanOutputKind::GeoTiff) {
        const std::int64_t bandBytes = msWidth * msHeight * 2;
        inputs.pan.source = RawBandQuietly(job.panPath, 0, state.width, state.height);
        for (int band = kBlue; band <= kNir; ++band) {
            const bool shared = HasMultiBandMsFile(job);
            const std::string& path = job.msPath[shared ? 0 : band];
            const std::int64_t offset = shared ? job.selectedIndex[band] * bandBytes : 0;
            inputs.ms.push_back({RawBandQuietly(path, offset, msWidth, msHeight), 0});
        }
    } else {
        std::string error;
        inputs.pan.source = OpenRaster(job.panPath, MatrixSize{}, error);
        std::shared_ptr<RasterSource> file;
        for (int band = kBlue; band <= kNir; ++band) {
            if (HasMultiBandMsFile(job)) {
                if (!file) file = OpenRaster(job.msPath[0], MatrixSize{}, error);
                inputs.ms.push_back({file, job.selectedIndex[band]});
            } else {
                inputs.ms.push_back({OpenRaster(job.msPath[band], MatrixSize{}, error), 0});
            }
        }
    }
    if (!inputs.pan.source) return false;
    for (const BandInput& band : inputs.ms) {
        if (!band.source || band.band >= band.source->Description().bands ||
            band.source->Description().width != msWidth ||
            band.source->Description().height != msHeight) {
            return false;
        }
    }
    return inputs.pan.source->Description().width == state.width &&
           inputs.pan.source->Description().height == state.height;
}

}  // namespace

std::string RegisterInjectionRun(PanRunState& state)
{
    const PanSharpenJob& job = state.job;
    state.msShiftX = state.msShiftY = 0;
    if (!InjectsDetail(job.method)) return std::string();
    const RegisterChoice& choice = job.registerChoice;
    InjectionInputs inputs;
    inputs.ratio = PanRunState::kRatio;
    const SensorGains sensor = FindSensor(job.sensor).value_or(*FindSensor("generic"));
    inputs.msGains.assign(sensor.ms.begin(), sensor.ms.end());
    inputs.panNoData = job.panNoData;  // the estimate leaves out what the fusion leaves out
    inputs.msNoData = job.msNoData;
    RunRegistration run;
    if (choice.mode != RegisterMode::Auto || OpenForEstimate(state, inputs)) {
        run = RegisterRun(inputs, choice, 0.0, 0.0, [&state] { return !state.Pump(); });
    } else {
        RegistrationEstimate unread;
        unread.reason = "an input could not be read";
        run.reportLine = EstimatedOffsetLine(unread);
        run.shiftX = run.shiftY = PhaseGridShift(0.0, PanRunState::kRatio);
    }
    state.msShiftX = run.shiftX;
    state.msShiftY = run.shiftY;
    return run.reportLine;
}

// The four MS bands are checked and opened first, then the pan when the method degrades it;
// Brovey reads the pan in Step 2 only, unless the MS is moved on the pan's grid.
StepResult FitInjection(PanRunState& state)
{
    const PanSharpenJob& job = state.job;
    const SensorGains sensor = FindSensor(job.sensor).value_or(*FindSensor("generic"));
    InjectionInputs inputs;
    inputs.method = job.method;
    inputs.width = state.width;
    inputs.height = state.height;
    inputs.ratio = PanRunState::kRatio;
    inputs.type = SampleType::Int16;
    inputs.msGains.assign(sensor.ms.begin(), sensor.ms.end());
    inputs.panGain = sensor.pan;
    inputs.tempBeside = state.outputs.data[0];
    inputs.shiftX = state.msShiftX;
    inputs.shiftY = state.msShiftY;
    inputs.panNoData = job.panNoData;
    inputs.msNoData = job.msNoData;
    inputs.keptRange = std::array<double, 2>{0, 2047};  // Step 3 clips to 11 bits
    state.log.Append(".");
    for (int band = kBlue; band <= kNir; ++band) {
        auto source = OpenRawBand(state.msInput[band], state.msByteOffset[band], state.msWidth,
                                  state.msHeight, kStep1Failure, state.host);
        if (!source) return StepResult::Failed;
        inputs.ms.push_back({std::move(source), 0});
    }
    state.injection = std::make_shared<InjectionModel>(inputs);
    if (!state.Pump()) return StepResult::Cancelled;
    // A placed or masked scene finds its valid window from the pan in Step 1 as well.
    const bool placed = inputs.shiftX != 0 || inputs.shiftY != 0 || inputs.panNoData ||
                        inputs.msNoData;
    if ((state.injection->recipe.degradation != PanDegradation::None || placed) &&
        !OpenPan(state, kStep1Failure)) {
        return StepResult::Failed;
    }
    const StepResult result = FitInjectionModel(*state.injection, kStep1Failure, state.host,
                                                [&state] { return state.Pump(); });
    if (result == StepResult::Ok) state.log.Append("..");
    return result;
}

// The fused rows are post-processed on their way to the files (Step 3's work), so each band
// is written once; the figures of the walks become the run's stretch limits and ranges.
StepResult FuseInjection(PanRunState& state)
{
    Passes passes = {
        BandPass<std::int16_t>(state.fused[0], PostProcessingOf(state, 0), state.host),
        BandPass<std::int16_t>(state.fused[1], PostProcessingOf(state, 1), state.host),
        BandPass<std::int16_t>(state.fused[2], PostProcessingOf(state, 2), state.host),
        BandPass<std::int16_t>(state.fused[3], PostProcessingOf(state, 3), state.host)};
    StepResult result = StepResult::Ok;
    for (auto& pass : passes) {
        if (!pass.Allocate()) result = StepResult::Failed;
    }
    if (result == StepResult::Ok && !state.injection->inputs.pan.source &&
        !OpenPan(state, kPartReadFailure)) {
        result = StepResult::Failed;
    }
    const FusedRowsSink sink = [&](const FusedStrip& strip) {
        return WalkAllBands(passes, state.host, [&](BandPass<std::int16_t>& pass, int b) {
            return pass.Take(static_cast<const std::int16_t*>(strip.bands[b]), strip.rowCount);
        });
    };
    if (result == StepResult::Ok) {
        result =
            FuseInjectedImage(*state.injection, sink, state.job.colourAmounts, 0, kPartReadFailure,
                              state.progress, state.host, [&state] { return state.Pump(); });
    }
    if (result == StepResult::Ok &&
        !WalkAllBands(passes, state.host,
                      [](BandPass<std::int16_t>& pass, int) { return pass.Finish(); })) {
        result = StepResult::Failed;
    }
    if (result == StepResult::Ok) {
        for (int b = 0; b < 4; ++b) TakeBandFigures(state, b, passes[b].Figures());
    }
    // The model's buffers and temporary file are not needed after the fusion; their memory
    // goes back to the system before the post-processing reads whole bands.
    state.injection.reset();
    malloc_trim(0);
    return result;
}

}  // namespace lumesta
