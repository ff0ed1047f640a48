#include "fusion/fusion_steps.h"

#include <algorithm>
#include <array>
#include <memory>
#include <new>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/allocate.h"
#include "fusion/etm_steps.h"
#include "fusion/fusion_strips.h"
#include "fusion/injection/injection_steps.h"
#include "fusion/inputs/band_read.h"
#include "fusion/optimisation/etm_arithmetic.h"
#include "fusion/optimisation/fusion_kernel.h"
#include "fusion/optimisation/pansharpen_arithmetic.h"
#include "fusion/optimisation/regression.h"
#include "fusion/optimisation/resampling.h"
#include "fusion/optimisation/valid_area.h"
#include "fusion/outputs/stretched_bmp.h"
#include "fusion/pansharpen_steps.h"
#include "fusion/parallel_rows.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "band files hold little-endian samples that are read directly into memory");

// Steps 1, 2 and 5 of both pan-sharpening runs, one routine over the run state: the 16-bit
// tool's four bands of 16-bit samples at ratio 4 and the Landsat tool's three bands of bytes at
// ratio 2. The arithmetic that differs per tool (block averaging, residual, storing a fused
// value) is chosen by overload on the sample type or coefficient record.

namespace lumesta {
namespace {

const std::string kPartReadFailure = "Error: Integer/Binary - ReadDataBlockPart";
const char kNothingToFuse[] = "Nothing to fuse: no pixel of the pan is valid together with the MS.";
const std::string kImplausible =
    "Sorry, Cannot process the inputs selected. Please check input images.";

// Step 1's read failures: the pan's, and the MS bands' (the Landsat tool names a multi-band
// file's failure apart).
std::string PanStep1Failure(const PanSharpenJob&)
{
    return "Error: Integer/Binary - ReadDataBlock for Step 1";
}
std::string PanStep1Failure(const EtmJob&)
{
    return "Error: Byte/Binary - ReadDataBlock for Step 1";
}
std::string MsStep1Failure(const PanSharpenJob& job)
{
    return PanStep1Failure(job);
}
std::string MsStep1Failure(const EtmJob& job)
{
    return HasMultiBandMsFile(job) ? "Error: ReadDataBlock in Byte/Binary" : PanStep1Failure(job);
}

template <typename Sample>
bool ReadSamples(const std::string& path, std::int64_t byteOffset, std::int64_t count,
                 Sample* buffer, const std::string& openFailure, Host& host)
{
    return ReadBandBytes(path, byteOffset, count * static_cast<std::int64_t>(sizeof(Sample)),
                         buffer, openFailure, host);
}

// The pan degraded to MS resolution by averaging ratio × ratio blocks.
void BlockAverage(int msRows, int msCols, const std::int16_t* pan, int panWidth, std::int16_t* out)
{
    BlockAverage4(msRows, msCols, pan, panWidth, out);
}

void BlockAverage(int msRows, int msCols, const std::uint8_t* pan, int panWidth, std::uint8_t* out)
{
    BlockAverage2(msRows, msCols, pan, panWidth, out);
}

bool Plausible(const Coefficients& coefficients)
{
    return CoefficientsPlausible(coefficients);
}
bool Plausible(const EtmCoefficients& coefficients)
{
    return EtmCoefficientsPlausible(coefficients);
}

StretchCutoffs CutoffsOf(std::int64_t count, const std::int16_t* samples, int left, int right)
{
    return ComputeStretchCutoffs16(count, samples, left, right);
}

StretchCutoffs CutoffsOf(std::int64_t count, const std::uint8_t* samples, int left, int right)
{
    return ComputeStretchCutoffs8(count, samples, left, right);
}

// The residuals of MS pixels first .. first + count - 1 of a strip.
void ResidualsOf(const Coefficients& coefficients, FusionStrip<std::int16_t, 4>& strip,
                 std::int64_t first, std::int64_t count)
{
    const std::int16_t* low = strip.panLow.data() + first;
    const std::int16_t* blue = strip.ms[0].data() + first;
    const std::int16_t* green = strip.ms[1].data() + first;
    const std::int16_t* red = strip.ms[2].data() + first;
    const std::int16_t* nir = strip.ms[3].data() + first;
    float* out = strip.residual.data() + first;
    for (std::int64_t i = 0; i < count; ++i) {
        out[i] = Residual(coefficients, low[i], blue[i], green[i], red[i], nir[i]);
    }
}

void ResidualsOf(const EtmCoefficients& coefficients, FusionStrip<std::uint8_t, 3>& strip,
                 std::int64_t first, std::int64_t count)
{
    const std::uint8_t* low = strip.panLow.data() + first;
    const std::uint8_t* blue = strip.ms[0].data() + first;
    const std::uint8_t* green = strip.ms[1].data() + first;
    const std::uint8_t* red = strip.ms[2].data() + first;
    float* out = strip.residual.data() + first;
    for (std::int64_t i = 0; i < count; ++i) {
        out[i] = EtmResidual(coefficients, low[i], blue[i], green[i], red[i]);
    }
}

// The degraded pan of the sampled rows: MS rows first, first + 32 / ratio, ... each with the
// ratio pan rows above it. Stops with Failed or Cancelled.
template <typename State>
StepResult ReadSampledPan(State& state, std::int64_t first, std::int64_t sampledRows,
                          std::vector<typename State::Sample>& panLow)
{
    using Sample = typename State::Sample;
    constexpr int kRatio = State::kRatio;
    std::vector<Sample> panRows;
    if (!TryAllocate(panLow, sampledRows * state.msWidth, state.host) ||
        !TryAllocate(panRows, kRatio * state.width, state.host)) {
        return StepResult::Failed;
    }
    for (std::int64_t k = 0; k < sampledRows; ++k) {
        const std::int64_t offset =
            (kRatio * first + 32 * k) * state.width * static_cast<std::int64_t>(sizeof(Sample));
        if (!ReadSamples(state.panInput, offset, kRatio * state.width, panRows.data(),
                         PanStep1Failure(state.job), state.host)) {
            return StepResult::Failed;
        }
        BlockAverage(1, static_cast<int>(state.msWidth), panRows.data(),
                     static_cast<int>(state.width), panLow.data() + k * state.msWidth);
    }
    state.log.Append(".");
    return state.Pump() ? StepResult::Ok : StepResult::Cancelled;
}

// The sampled rows of every MS band, one band at a time with a dot after each.
template <typename State>
StepResult ReadSampledMs(State& state, std::int64_t first, std::int64_t sampledRows,
                         std::array<std::vector<typename State::Sample>, State::kBands>& ms)
{
    using Sample = typename State::Sample;
    constexpr std::int64_t kRowStep = 32 / State::kRatio;
    const std::int64_t msWidth = state.msWidth;
    for (int band = 0; band < State::kBands; ++band) {
        if (!TryAllocate(ms[band], sampledRows * msWidth, state.host)) return StepResult::Failed;
        for (std::int64_t k = 0; k < sampledRows; ++k) {
            const std::int64_t offset =
                state.msByteOffset[band] +
                (first + kRowStep * k) * msWidth * static_cast<std::int64_t>(sizeof(Sample));
            if (!ReadSamples(state.msInput[band], offset, msWidth, ms[band].data() + k * msWidth,
                             MsStep1Failure(state.job), state.host)) {
                return StepResult::Failed;
            }
        }
        state.log.Append(".");
        if (!state.Pump()) return StepResult::Cancelled;
    }
    return StepResult::Ok;
}

// Where methods 1 and 2 have data, when no-data values are set: a pan pixel is no data where
// its sample is, or where any MS band is at the MS pixel covering it; an MS pixel is usable
// where every band and every pan sample of its block is valid. Failed after a message.
template <typename State>
StepResult FindValidArea(State& state)
{
    const std::optional<double> pan = state.job.panNoData;
    const std::optional<double> ms = state.job.msNoData;
    if (!pan && !ms) return StepResult::Ok;
    constexpr int kRatio = State::kRatio;
    const std::int64_t width = state.width;
    std::vector<typename State::Sample> row;
    std::vector<char> msValid;
    if (!TryAllocate(row, std::max(width, state.msWidth), state.host)) return StepResult::Failed;
    std::shared_ptr<ValidArea> area;
    try {
        area = std::make_shared<ValidArea>(kRatio, width, state.height, state.msWidth,
                                           state.msHeight);
    } catch (const std::bad_alloc&) {
        state.host.ShowMessage("Error: Not enough memory for the no-data mask.");
        return StepResult::Failed;
    }
    for (std::int64_t y = 0; y < state.height; ++y) {
        const std::int64_t my = std::min(y / kRatio, state.msHeight - 1);
        if (ms && (y == 0 || my != std::min((y - 1) / kRatio, state.msHeight - 1))) {
            msValid.assign(static_cast<std::size_t>(state.msWidth), 1);
            for (int band = 0; band < State::kBands; ++band) {
                const std::int64_t offset =
                    state.msByteOffset[band] + my * state.msWidth * sizeof(row[0]);
                if (!ReadSamples(state.msInput[band], offset, state.msWidth, row.data(),
                                 kPartReadFailure, state.host)) {
                    return StepResult::Failed;
                }
                for (std::int64_t j = 0; j < state.msWidth; ++j) {
                    if (row[static_cast<std::size_t>(j)] != *ms) continue;
                    msValid[static_cast<std::size_t>(j)] = 0;
                    area->MarkMsPixel(j, my);
                }
            }
        }
        if (pan && !ReadSamples(state.panInput, y * width * sizeof(row[0]), width, row.data(),
                                kPartReadFailure, state.host)) {
            return StepResult::Failed;
        }
        for (std::int64_t x = 0; x < width; ++x) {
            if (pan && row[static_cast<std::size_t>(x)] == *pan) area->MarkPanSample(x, y);
            const std::int64_t mx = std::min(x / kRatio, state.msWidth - 1);
            if (ms && !msValid[static_cast<std::size_t>(mx)]) area->MarkPanPixel(x, y);
        }
    }
    if (!area->Finish()) {
        state.host.ShowMessage(kNothingToFuse);
        return StepResult::Failed;
    }
    state.validArea = std::move(area);
    return StepResult::Ok;
}

// Whether sampled MS pixel i (of rows first, first + 32 / ratio, ...) enters the regression:
// with no-data values, where it is usable. Without, every one does (empty).
template <typename State>
std::vector<bool> SampledValidity(const State& state, std::int64_t first, std::int64_t sampledRows)
{
    std::vector<bool> valid;
    if (!state.validArea) return valid;
    constexpr std::int64_t kRowStep = 32 / State::kRatio;
    valid.resize(static_cast<std::size_t>(sampledRows * state.msWidth));
    for (std::int64_t k = 0; k < sampledRows; ++k) {
        for (std::int64_t j = 0; j < state.msWidth; ++j) {
            valid[static_cast<std::size_t>(k * state.msWidth + j)] =
                state.validArea->Usable(j, first + kRowStep * k);
        }
    }
    return valid;
}

template <typename State>
StepResult EstimateCoefficientsOf(State& state)
{
    StepResult result = FindValidArea(state);
    if (result != StepResult::Ok) return result;
    // Only every (32 / ratio)-th MS row enters the regression: every eighth at ratio 4, every
    // sixteenth at ratio 2, counted from the valid rectangle's first row.
    constexpr double kSampledFraction = State::kRatio / 32.0;
    const ValidArea* area = state.validArea.get();
    const std::int64_t first = area ? area->Top() : 0;
    const std::int64_t rows = area ? area->Bottom() - area->Top() : state.msHeight;
    const auto sampledRows = static_cast<std::int64_t>(rows * kSampledFraction);
    std::vector<typename State::Sample> panLow;
    if ((result = ReadSampledPan(state, first, sampledRows, panLow)) != StepResult::Ok) return result;
    std::array<std::vector<typename State::Sample>, State::kBands> ms;
    if ((result = ReadSampledMs(state, first, sampledRows, ms)) != StepResult::Ok) return result;
    const std::vector<bool> valid = SampledValidity(state, first, sampledRows);

    state.coefficients.method = state.job.method;
    const int unknowns = state.coefficients.Count();
    const bool intercept = state.coefficients.method == FusionMethod::Optimisation2;
    NormalEquations equations(unknowns);
    std::int32_t regressors[State::kBands + 1] = {1};  // (1,) then the bands
    for (std::int64_t i = 0; i < sampledRows * state.msWidth; ++i) {
        if (!valid.empty() && !valid[static_cast<std::size_t>(i)]) continue;
        for (int band = 0; band < State::kBands; ++band) regressors[band + 1] = ms[band][i];
        equations.Add(intercept ? regressors : regressors + 1, panLow[i]);
    }
    if (!SolveNormalEquations(
            equations, unknowns, state.coefficients.c.data(), state.log,
            [&state] { return state.Pump(); }, state.host)) {
        return StepResult::Cancelled;
    }
    if (!Plausible(state.coefficients)) {
        state.host.ShowMessage(kImplausible);
        return StepResult::Implausible;
    }
    return StepResult::Ok;
}

template <typename State>
StepResult ComputeInputStretchLimitsOf(State& state)
{
    const std::int64_t count = state.msWidth * state.msHeight;
    std::vector<typename State::Sample> band;
    if (!TryAllocate(band, count, state.host)) return StepResult::Failed;
    const StretchParams& stretch = state.job.stretch;
    for (int channel = 0; channel < 3; ++channel) {
        const int b = PictureBand(state.job, channel);
        if (!ReadSamples(state.msInput[b], state.msByteOffset[b], count, band.data(),
                         MsStep1Failure(state.job), state.host)) {
            return StepResult::Failed;
        }
        // 0 is left out of the limits: MS pixels without data count as it.
        for (std::int64_t i = 0; state.validArea && i < count; ++i) {
            if (!state.validArea->Usable(i % state.msWidth, i / state.msWidth)) band[static_cast<std::size_t>(i)] = 0;
        }
        state.limits[channel] = CutoffsOf(count, band.data(), stretch.leftCutoff[channel],
                                          stretch.rightCutoff[channel]);
        if (!state.Pump()) return StepResult::Cancelled;
    }
    return StepResult::Ok;
}

// With no-data values: the strip's MS rows (firstCell onwards) that read another row take that
// row's MS samples and degraded pan; ownRows says which keep their own. False after a message.
template <typename State>
bool ReadSourceRows(State& state, FusionStrip<typename State::Sample, State::kBands>& strip,
                    std::int64_t firstCell, std::int64_t msRows, std::vector<char>& ownRows)
{
    using Sample = typename State::Sample;
    constexpr std::int64_t kSampleBytes = sizeof(Sample);
    constexpr int kRatio = State::kRatio;
    std::vector<Sample> panRows;
    for (std::int64_t row = 0; state.validArea && row < msRows; ++row) {
        const std::int64_t source = state.validArea->SourceRow(firstCell + row);
        if (source == firstCell + row) continue;
        ownRows[static_cast<std::size_t>(row)] = 0;
        if (panRows.empty() && !TryAllocate(panRows, kRatio * state.width, state.host)) return false;
        for (int band = 0; band < State::kBands; ++band) {
            const std::int64_t offset = state.msByteOffset[band] + source * state.msWidth * kSampleBytes;
            if (!ReadSamples(state.msInput[band], offset, state.msWidth,
                             strip.ms[band].data() + row * state.msWidth, kPartReadFailure, state.host)) {
                return false;
            }
        }
        if (!ReadSamples(state.panInput, kRatio * source * state.width * kSampleBytes,
                         kRatio * state.width, panRows.data(), kPartReadFailure, state.host)) {
            return false;
        }
        BlockAverage(1, static_cast<int>(state.msWidth), panRows.data(), static_cast<int>(state.width),
                     strip.panLow.data() + row * state.msWidth);
    }
    return true;
}

// The unusable MS pixels of the valid rectangle in MS row i (row `row` of the strip) take the MS
// samples and degraded pan of the nearest usable pixel of the row they read.
template <typename Sample, int N>
void FillFromSourceColumns(const ValidArea& area, FusionStrip<Sample, N>& strip, std::int64_t i,
                           std::int64_t row, std::int64_t msWidth)
{
    if (i < area.Top() || i >= area.Bottom()) return;
    const std::vector<std::int64_t> columns = area.SourceColumns(area.SourceRow(i));
    const std::size_t base = static_cast<std::size_t>(row * msWidth);
    for (std::size_t k = 0; k < columns.size(); ++k) {
        const std::size_t to = base + static_cast<std::size_t>(area.Left()) + k;
        const std::size_t from = base + static_cast<std::size_t>(columns[k]);
        if (to == from) continue;
        for (int band = 0; band < N; ++band) strip.ms[band][to] = strip.ms[band][from];
        strip.panLow[to] = strip.panLow[from];
    }
}

// Reads the pan and MS rows of the strip whose cell rows are firstCell .. firstCell + cells - 1,
// and forms its degraded pan and residual.
template <typename State>
bool PrepareStrip(State& state, FusionStrip<typename State::Sample, State::kBands>& strip,
                  std::int64_t firstCell, std::int64_t cells)
{
    constexpr std::int64_t kSampleBytes = sizeof(typename State::Sample);
    constexpr int kRatio = State::kRatio;
    const std::int64_t msRows = cells + 1;
    if (!ReadSamples(state.panInput, kRatio * firstCell * state.width * kSampleBytes,
                     kRatio * msRows * state.width, strip.pan.data(), kPartReadFailure,
                     state.host)) {
        return false;
    }
    for (int band = 0; band < State::kBands; ++band) {
        const std::int64_t offset =
            state.msByteOffset[band] + firstCell * state.msWidth * kSampleBytes;
        if (!ReadSamples(state.msInput[band], offset, msRows * state.msWidth, strip.ms[band].data(),
                         kPartReadFailure, state.host)) {
            return false;
        }
    }
    std::vector<char> ownRows(static_cast<std::size_t>(msRows), 1);
    if (!ReadSourceRows(state, strip, firstCell, msRows, ownRows)) return false;
    // Each MS row's degraded pan and residual depend on that row alone: rows go to every core.
    const std::int64_t msWidth = state.msWidth;
    ForEachRowInParallel(
        msRows,
        [&](std::int64_t row) {
            if (ownRows[static_cast<std::size_t>(row)]) {
                BlockAverage(1, static_cast<int>(msWidth), strip.pan.data() + kRatio * row * state.width,
                             static_cast<int>(state.width), strip.panLow.data() + row * msWidth);
            }
            if (state.validArea) FillFromSourceColumns(*state.validArea, strip, firstCell + row, row, msWidth);
            ResidualsOf(state.coefficients, strip, row * msWidth, msWidth);
        },
        [] { return true; });
    return true;
}

// Cell row D joins MS rows D and D + 1 and fills pan rows ratio·D + ratio/2 onwards; the
// strips share one MS row of overlap, and the rows and columns that no cell reaches stay 0.
// With no-data values, the valid rectangle's edges are bordered as the image's are.
template <typename State, std::size_t... B>
std::array<BandPass<typename State::Sample>, State::kBands> BandPassesOf(
    State& state, std::index_sequence<B...>)
{
    const auto spec = [&state](int b) {
        BandPassSpec<typename State::Sample> one = PostProcessingOf(state, b);
        if (const ValidArea* area = state.validArea.get()) {
            one.valid = &area->Valid();
            one.area = true;
            one.areaLeft = area->PanLeft();
            one.areaTop = area->PanTop();
            one.areaRight = area->PanRight();
            one.areaBottom = area->PanBottom();
        }
        return one;
    };
    return {BandPass<typename State::Sample>(state.fused[B], spec(B), state.host)...};
}

// The fused rows are post-processed on their way to the files (Step 3's work), so each band
// is written once; the figures of the walks become the run's stretch limits and ranges.
template <typename State>
StepResult FuseStripsOf(State& state)
{
    using Strip = FusionStrip<typename State::Sample, State::kBands>;
    const FusionTarget target{State::kRatio, state.width, state.height, state.msWidth,
                              state.msHeight};
    auto passes = BandPassesOf(state, std::make_index_sequence<State::kBands>());
    for (auto& pass : passes) {
        if (!pass.Allocate()) return StepResult::Failed;
    }
    const StepResult result = FuseAllStrips<typename State::Sample, State::kBands>(
        target, passes, state.progress, state.host, [&state] { return state.Pump(); },
        [&state](Strip& strip, std::int64_t firstCell, std::int64_t cells) {
            return PrepareStrip(state, strip, firstCell, cells);
        },
        [&state](Strip& strip, std::int64_t d) { FuseCellRow(state, strip, d); });
    if (result != StepResult::Ok) return result;
    for (int b = 0; b < State::kBands; ++b) TakeBandFigures(state, b, passes[static_cast<std::size_t>(b)].Figures());
    return StepResult::Ok;
}

template <typename State>
StepResult WriteFusedBmpOf(State& state)
{
    StretchedBmpJob picture;
    picture.width = state.width;
    picture.height = state.height;
    picture.bands = {&state.fused[PictureBand(state.job, 0)],
                     &state.fused[PictureBand(state.job, 1)],
                     &state.fused[PictureBand(state.job, 2)]};
    picture.limits = state.limits;
    picture.nonlinear = state.job.stretch.nonlinear;
    picture.path = state.outputs.bmp;
    if (const std::optional<double> noData = FusedNoDataValue(state.job)) {
        picture.noData = static_cast<int>(*noData);
    }
    const auto pump = [&state] { return state.Pump(); };
    StepResult result = StepResult::Ok;
    if constexpr (sizeof(typename State::Sample) == 2) {
        result = WriteStretchedBmp16(picture, state.progress, pump, state.host);
    } else {
        result = WriteStretchedBmp8(picture, state.progress, pump, state.host);
    }
    return result;
}

}  // namespace

StepResult EstimateCoefficients(PanRunState& state)
{
    if (InjectsDetail(state.job.method)) return FitInjection(state);
    return EstimateCoefficientsOf(state);
}
StepResult EstimateCoefficients(EtmRunState& state)
{
    return EstimateCoefficientsOf(state);
}

StepResult ComputeInputStretchLimits(PanRunState& state)
{
    return ComputeInputStretchLimitsOf(state);
}
StepResult ComputeInputStretchLimits(EtmRunState& state)
{
    return ComputeInputStretchLimitsOf(state);
}

StepResult FuseStrips(PanRunState& state)
{
    if (InjectsDetail(state.job.method)) return FuseInjection(state);
    return FuseStripsOf(state);
}
StepResult FuseStrips(EtmRunState& state)
{
    return FuseStripsOf(state);
}

StepResult WriteFusedBmp(PanRunState& state)
{
    return WriteFusedBmpOf(state);
}
StepResult WriteFusedBmp(EtmRunState& state)
{
    return WriteFusedBmpOf(state);
}

}  // namespace lumesta
