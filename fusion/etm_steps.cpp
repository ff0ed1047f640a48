#include "fusion/etm_steps.h"

#include <algorithm>
#include <vector>

#include "core/allocate.h"
#include "fusion/band_read.h"
#include "fusion/band_view.h"
#include "fusion/filters.h"
#include "fusion/matrix.h"
#include "fusion/regression.h"
#include "fusion/stretched_bmp.h"

namespace lumesta {
namespace {

const std::string kStep1ReadFailure = "Error: Byte/Binary - ReadDataBlock for Step 1";
const std::string kStep1MultiBandReadFailure = "Error: ReadDataBlock in Byte/Binary";
const std::string kPartReadFailure = "Error: Integer/Binary - ReadDataBlockPart";
const std::string kLengthProblem = "Error! reading an image  file - length problem.";
const std::string kImplausible =
    "Sorry, Cannot process the inputs selected. Please check input images.";

const std::string& Step1ReadFailure(const EtmRunState& state)
{
    return HasMultiBandMsFile(state.job) ? kStep1MultiBandReadFailure : kStep1ReadFailure;
}

}  // namespace

StepResult EstimateCoefficients(EtmRunState& state)
{
    const std::int64_t sampledRows = static_cast<std::int64_t>(state.msHeight * 0.0625);
    const std::int64_t msWidth = state.msWidth;
    std::vector<std::uint8_t> panLow;
    std::vector<std::uint8_t> panRows;
    if (!TryAllocate(panLow, sampledRows * msWidth, state.host) ||
        !TryAllocate(panRows, 2 * state.width, state.host)) {
        return StepResult::Failed;
    }
    // Only MS rows 0, 16, 32, ... enter the regression; each needs the two pan rows above it.
    for (std::int64_t k = 0; k < sampledRows; ++k) {
        if (!ReadBandBytes(state.panInput, 32 * k * state.width, 2 * state.width, panRows.data(),
                           kStep1ReadFailure, state.host)) {
            return StepResult::Failed;
        }
        BlockAverage2(1, static_cast<int>(msWidth), panRows.data(), static_cast<int>(state.width),
                      panLow.data() + k * msWidth);
    }
    state.log.Append(".");
    if (!state.Pump()) return StepResult::Cancelled;

    std::array<std::vector<std::uint8_t>, 3> ms;
    for (int band = kEtmBlue; band <= kEtmRed; ++band) {
        if (!TryAllocate(ms[band], sampledRows * msWidth, state.host)) return StepResult::Failed;
        for (std::int64_t k = 0; k < sampledRows; ++k) {
            const std::int64_t offset = state.msByteOffset[band] + 16 * k * msWidth;
            if (!ReadBandBytes(state.msInput[band], offset, msWidth, ms[band].data() + k * msWidth,
                               Step1ReadFailure(state), state.host)) {
                return StepResult::Failed;
            }
        }
        state.log.Append(".");
        if (!state.Pump()) return StepResult::Cancelled;
    }

    state.coefficients.method = state.job.method;
    const int unknowns = state.coefficients.Count();
    const bool intercept = state.coefficients.method == FusionMethod::Optimisation2;
    NormalEquations equations(unknowns);
    for (std::int64_t i = 0; i < sampledRows * msWidth; ++i) {
        const std::int32_t withIntercept[4] = {1, ms[0][i], ms[1][i], ms[2][i]};
        equations.Add(intercept ? withIntercept : withIntercept + 1, panLow[i]);
    }
    if (!SolveNormalEquations(equations, unknowns, state.coefficients.c.data(), state.log,
                              [&state] { return state.Pump(); }, state.host)) {
        return StepResult::Cancelled;
    }
    if (!EtmCoefficientsPlausible(state.coefficients)) {
        state.host.ShowMessage(kImplausible);
        return StepResult::Implausible;
    }
    return StepResult::Ok;
}

StepResult ComputeInputStretchLimits(EtmRunState& state)
{
    const std::int64_t count = state.msWidth * state.msHeight;
    std::vector<std::uint8_t> band;
    if (!TryAllocate(band, count, state.host)) return StepResult::Failed;
    const StretchParams& stretch = state.job.stretch;
    for (int b = kEtmBlue; b <= kEtmRed; ++b) {
        if (!ReadBandBytes(state.msInput[b], state.msByteOffset[b], count, band.data(),
                           Step1ReadFailure(state), state.host)) {
            return StepResult::Failed;
        }
        state.limits[b] = ComputeStretchCutoffs8(count, band.data(), stretch.leftCutoff[b],
                                                 stretch.rightCutoff[b]);
        if (!state.Pump()) return StepResult::Cancelled;
    }
    return StepResult::Ok;
}

namespace {

using EtmStrip = FusionStrip<std::uint8_t, 3>;

bool PrepareStrip(EtmRunState& state, EtmStrip& strip, std::int64_t firstCell, std::int64_t cells)
{
    const std::int64_t msRows = cells + 1;
    if (!ReadBandBytes(state.panInput, 2 * firstCell * state.width, 2 * msRows * state.width,
                       strip.pan.data(), kPartReadFailure, state.host)) {
        return false;
    }
    for (int band = kEtmBlue; band <= kEtmRed; ++band) {
        const std::int64_t offset = state.msByteOffset[band] + firstCell * state.msWidth;
        if (!ReadBandBytes(state.msInput[band], offset, msRows * state.msWidth,
                           strip.ms[band].data(), kPartReadFailure, state.host)) {
            return false;
        }
    }
    BlockAverage2(static_cast<int>(msRows), static_cast<int>(state.msWidth), strip.pan.data(),
                  static_cast<int>(state.width), strip.panLow.data());
    for (std::int64_t i = 0; i < msRows * state.msWidth; ++i) {
        strip.residual[i] = EtmResidual(state.coefficients, strip.panLow[i], strip.ms[kEtmBlue][i],
                                        strip.ms[kEtmGreen][i], strip.ms[kEtmRed][i]);
    }
    return true;
}

// Fuses the cells e0 .. e0 + count - 1 of one sub-position (weights w) of a cell row. The
// arithmetic is FuseEtmPixel's, split into simple passes over short arrays so the compiler can
// use vector instructions; each pixel still sees the same operations in the same order.
template <bool kIntercept>
inline __attribute__((always_inline)) void FuseEtmChunk(const EtmCoefficients& coefficients, const BilinearWeights& w,
                  const std::uint8_t* const top[3], const std::uint8_t* const bottom[3],
                  const float* residualTop, const float* residualBottom, const std::uint8_t* pan,
                  std::uint8_t* const out[3], std::int64_t e0, int count)
{
    constexpr int kChunk = 256;
    double m[3][kChunk];
    double residual[kChunk];
    double ratio[kChunk];
    for (int band = 0; band < 3; ++band) {
        const std::uint8_t* t = top[band] + e0;
        const std::uint8_t* b = bottom[band] + e0;
        for (int i = 0; i < count; ++i) {
            m[band][i] = w.w00 * t[i] + w.w01 * t[i + 1] + w.w10 * b[i] + w.w11 * b[i + 1];
        }
    }
    const float* rt = residualTop + e0;
    const float* rb = residualBottom + e0;
    for (int i = 0; i < count; ++i) {
        residual[i] = w.w00 * static_cast<double>(rt[i]) + w.w01 * static_cast<double>(rt[i + 1]) +
                      w.w10 * static_cast<double>(rb[i]) + w.w11 * static_cast<double>(rb[i + 1]);
    }
    const double c0 = coefficients.c[0], c1 = coefficients.c[1], c2 = coefficients.c[2],
                 c3 = coefficients.c[3];
    for (int i = 0; i < count; ++i) {
        const double synthetic = kIntercept
                                     ? c0 + c1 * m[0][i] + c2 * m[1][i] + c3 * m[2][i] + residual[i]
                                     : c0 * m[0][i] + c1 * m[1][i] + c2 * m[2][i] + residual[i];
        const double quotient = pan[2 * (e0 + i)] / synthetic;
        ratio[i] = synthetic > 0 ? quotient : 0.0;  // a ratio of 0 gives the zeros of SP <= 0
    }
    for (int band = 0; band < 3; ++band) {
        std::uint8_t* o = out[band] + 2 * e0;
        for (int i = 0; i < count; ++i) {
            const double product = m[band][i] * ratio[i];
            o[2 * i] = product > 255 ? 255 : static_cast<std::uint8_t>(static_cast<int>(product));
        }
    }
}

// The same loops built twice, for processors with and without AVX2, and chosen when the program
// starts. Both give the same bytes: the operations and their order do not change, only the
// width of the vector registers (no fused multiply-add either way).
__attribute__((target_clones("avx2", "default"))) void FuseEtmChunkOf(
    bool intercept, const EtmCoefficients& coefficients, const BilinearWeights& w,
    const std::uint8_t* const top[3], const std::uint8_t* const bottom[3], const float* residualTop,
    const float* residualBottom, const std::uint8_t* pan, std::uint8_t* const out[3],
    std::int64_t e0, int count)
{
    if (intercept) {
        FuseEtmChunk<true>(coefficients, w, top, bottom, residualTop, residualBottom, pan, out, e0, count);
    } else {
        FuseEtmChunk<false>(coefficients, w, top, bottom, residualTop, residualBottom, pan, out, e0, count);
    }
}

// Fuses cell row d of a strip into its output rows 2d and 2d + 1, one sub-position at a time
// along the row so that memory is read and written in order.
void FuseEtmCellRow(const EtmRunState& state, EtmStrip& strip, std::int64_t d)
{
    const std::int64_t msWidth = state.msWidth;
    const std::int64_t width = state.width;
    const std::uint8_t* top[3];
    const std::uint8_t* bottom[3];
    for (int band = kEtmBlue; band <= kEtmRed; ++band) {
        top[band] = strip.ms[band].data() + d * msWidth;
        bottom[band] = top[band] + msWidth;
    }
    const float* residualTop = strip.residual.data() + d * msWidth;
    const float* residualBottom = residualTop + msWidth;
    const bool intercept = state.coefficients.method == FusionMethod::Optimisation2;
    for (int p = 0; p < 2; ++p) {
        for (int q = 0; q < 2; ++q) {
            const std::uint8_t* pan = strip.pan.data() + (2 * d + 1 + p) * width + 1 + q;
            std::uint8_t* out[3];
            for (int band = kEtmBlue; band <= kEtmRed; ++band) {
                out[band] = strip.out[band].data() + (2 * d + p) * width + 1 + q;
            }
            const BilinearWeights w = BilinearWeights2(p, q);
            for (std::int64_t e0 = 0; e0 + 1 < msWidth; e0 += 256) {
                const int count = static_cast<int>(std::min<std::int64_t>(256, msWidth - 1 - e0));
                FuseEtmChunkOf(intercept, state.coefficients, w, top, bottom, residualTop,
                               residualBottom, pan, out, e0, count);
            }
        }
    }
}

}  // namespace

StepResult FuseStrips(EtmRunState& state)
{
    // Cell row D joins MS rows D and D + 1 and fills pan rows 2D + 1 and 2D + 2; rows and
    // columns that no cell reaches stay 0.
    const FusionTarget target{2, state.width, state.height, state.msWidth, state.msHeight};
    return FuseAllStrips<std::uint8_t, 3>(
        target, state.fused, state.progress, state.host, [&state] { return state.Pump(); },
        [&state](EtmStrip& strip, std::int64_t firstCell, std::int64_t cells) {
            return PrepareStrip(state, strip, firstCell, cells);
        },
        [&state](EtmStrip& strip, std::int64_t d) { FuseEtmCellRow(state, strip, d); });
}

StepResult PostProcessBands(EtmRunState& state)
{
    const std::int64_t count = state.width * state.height;
    const EtmJob& job = state.job;
    const int height = static_cast<int>(state.height);
    const int width = static_cast<int>(state.width);
    BandView<std::uint8_t> view;
    for (int b = kEtmBlue; b <= kEtmRed; ++b) {
        if (!view.Open(state.fused[b], count, state.host)) return StepResult::Failed;
        std::uint8_t* band = view.Data();
        if (!state.Pump()) return StepResult::Cancelled;
        ReplicateBorders2(height, width, band);
        // The picture's limits come from the band before it is filtered.
        if (!job.colourMatch) {
            state.limits[b] = ComputeStretchCutoffs8(count, band, job.stretch.leftCutoff[b],
                                                     job.stretch.rightCutoff[b]);
        }
        if (job.filterFlags[b] && job.filterType != EtmFilter::None) {
            if (job.filterType == EtmFilter::Smooth || job.filterType == EtmFilter::SmoothSharpen) {
                FilterBand8(height, width, band, Kernel8::Smooth, state.host);
            }
            if (job.filterType == EtmFilter::SmoothSharpen || job.filterType == EtmFilter::Sharpen) {
                FilterBand8(height, width, band, Kernel8::Sharpen, state.host);
            }
            if (job.filterType == EtmFilter::Detail) {
                FilterBand8(height, width, band, Kernel8::Detail, state.host);
            }
            if (!state.Pump()) return StepResult::Cancelled;
        }
        if (state.outputs.kind == PanOutputKind::Idrisi && count > 0) {
            const auto [lowest, highest] = std::minmax_element(band, band + count);
            state.minValue[b] = *lowest;
            state.maxValue[b] = *highest;
        }
        if (!view.Commit(state.fused[b], state.host)) return StepResult::Failed;
        state.log.Append("..");
        if (!state.Pump()) return StepResult::Cancelled;
    }
    return StepResult::Ok;
}

StepResult WriteFusedBmp(EtmRunState& state)
{
    StretchedBmpJob picture;
    picture.width = state.width;
    picture.height = state.height;
    picture.bands = {&state.fused[kEtmBlue], &state.fused[kEtmGreen], &state.fused[kEtmRed]};
    picture.limits = state.limits;
    picture.nonlinear = state.job.stretch.nonlinear;
    picture.path = state.job.bmpName;
    return WriteStretchedBmp8(picture, state.progress, [&state] { return state.Pump(); }, state.host);
}

}  // namespace lumesta
