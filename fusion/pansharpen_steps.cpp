#include "fusion/pansharpen_steps.h"

#include <algorithm>
#include <vector>

#include "core/allocate.h"
#include "core/truncate.h"
#include "fusion/band_read.h"
#include "fusion/band_view.h"
#include "fusion/filters.h"
#include "fusion/matrix.h"
#include "fusion/regression.h"
#include "fusion/resampling.h"
#include "fusion/stretched_bmp.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "band files hold little-endian samples that are read directly into memory");

namespace lumesta {
namespace {

const std::string kStep1ReadFailure = "Error: Integer/Binary - ReadDataBlock for Step 1";
const std::string kPartReadFailure = "Error: Integer/Binary - ReadDataBlockPart";
const std::string kLengthProblem = "Error! reading an image  file - length problem.";
const std::string kImplausible =
    "Sorry, Cannot process the inputs selected. Please check input images.";

bool ReadSamples(const std::string& path, std::int64_t byteOffset, std::int64_t count,
                 std::int16_t* buffer, const std::string& openFailure, Host& host)
{
    return ReadBandBytes(path, byteOffset, count * 2, buffer, openFailure, host);
}

// Regressor row of one MS pixel: (B, G, R, NIR), with a leading 1 for "Optimisation 2".
int RegressorRow(FusionMethod method, const std::array<std::int16_t, 4>& ms, std::int32_t* row)
{
    int k = 0;
    if (method == FusionMethod::Optimisation2) row[k++] = 1;
    for (std::int16_t value : ms) row[k++] = value;
    return k;
}

}  // namespace

StepResult EstimateCoefficients(PanRunState& state)
{
    const std::int64_t sampledRows = static_cast<std::int64_t>(state.msHeight * 0.125);
    const std::int64_t msWidth = state.msWidth;
    std::vector<std::int16_t> panLow;
    std::vector<std::int16_t> panRows;
    if (!TryAllocate(panLow, sampledRows * msWidth, state.host) ||
        !TryAllocate(panRows, 4 * state.width, state.host)) {
        return StepResult::Failed;
    }
    // Only MS rows 0, 8, 16, ... enter the regression; each needs the four pan rows above it.
    for (std::int64_t k = 0; k < sampledRows; ++k) {
        if (!ReadSamples(state.panInput, 32 * k * state.width * 2, 4 * state.width, panRows.data(),
                         kStep1ReadFailure, state.host)) {
            return StepResult::Failed;
        }
        BlockAverage4(1, static_cast<int>(msWidth), panRows.data(), static_cast<int>(state.width),
                      panLow.data() + k * msWidth);
    }
    state.log.Append(".");
    if (!state.Pump()) return StepResult::Cancelled;

    std::array<std::vector<std::int16_t>, 4> ms;
    for (int band = kBlue; band <= kNir; ++band) {
        if (!TryAllocate(ms[band], sampledRows * msWidth, state.host)) return StepResult::Failed;
        for (std::int64_t k = 0; k < sampledRows; ++k) {
            const std::int64_t offset = state.msByteOffset[band] + 8 * k * msWidth * 2;
            if (!ReadSamples(state.msInput[band], offset, msWidth, ms[band].data() + k * msWidth,
                             kStep1ReadFailure, state.host)) {
                return StepResult::Failed;
            }
        }
        state.log.Append(".");
        if (!state.Pump()) return StepResult::Cancelled;
    }

    state.coefficients.method = state.job.method;
    const int unknowns = state.coefficients.Count();
    NormalEquations equations(unknowns);
    std::int32_t regressors[5];
    for (std::int64_t i = 0; i < sampledRows * msWidth; ++i) {
        RegressorRow(state.coefficients.method, {ms[0][i], ms[1][i], ms[2][i], ms[3][i]},
                     regressors);
        equations.Add(regressors, panLow[i]);
    }
    if (!SolveNormalEquations(equations, unknowns, state.coefficients.c.data(), state.log,
                              [&state] { return state.Pump(); }, state.host)) {
        return StepResult::Cancelled;
    }
    if (!CoefficientsPlausible(state.coefficients)) {
        state.host.ShowMessage(kImplausible);
        return StepResult::Implausible;
    }
    return StepResult::Ok;
}

StepResult ComputeInputStretchLimits(PanRunState& state)
{
    std::vector<std::int16_t> band;
    if (!TryAllocate(band, state.msWidth * state.msHeight, state.host)) return StepResult::Failed;
    const StretchParams& stretch = state.job.stretch;
    for (int b = kBlue; b <= kRed; ++b) {
        if (!ReadSamples(state.msInput[b], state.msByteOffset[b], state.msWidth * state.msHeight,
                         band.data(), kStep1ReadFailure, state.host)) {
            return StepResult::Failed;
        }
        state.limits[b] = ComputeStretchCutoffs16(state.msWidth * state.msHeight, band.data(),
                                                  stretch.leftCutoff[b], stretch.rightCutoff[b]);
        if (!state.Pump()) return StepResult::Cancelled;
    }
    return StepResult::Ok;
}

namespace {

// The buffers of one strip of Step 2, sized once for the largest strip.
using StripBuffers = FusionStrip<std::int16_t, 4>;

// A fused value as FusePixel stores it: truncated toward zero, out-of-range values as the
// 32-bit marker, kept to 16 bits.
inline std::int16_t StoreFused(double value)
{
    const bool inRange = value > -2147483649.0 && value < 2147483648.0;
    const std::int32_t truncated = inRange ? static_cast<std::int32_t>(value) : INT32_MIN;
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(truncated)));
}

// Fuses cells e0 .. e0 + count - 1 of one sub-position without colour adjustment. The
// arithmetic is FusePixel's, split into simple passes over short arrays so the compiler can
// use vector instructions; each pixel still sees the same operations in the same order.
template <bool kIntercept>
inline __attribute__((always_inline)) void FuseChunk(const Coefficients& coefficients, const BilinearWeights& w,
               const std::int16_t* const top[4], const std::int16_t* const bottom[4],
               const float* residualTop, const float* residualBottom, const std::int16_t* pan,
               std::int16_t* const out[4], std::int64_t e0, int count)
{
    constexpr int kChunk = 256;
    double m[4][kChunk];
    double residual[kChunk];
    double ratio[kChunk];
    bool positive[kChunk];
    for (int band = 0; band < 4; ++band) {
        const std::int16_t* t = top[band] + e0;
        const std::int16_t* b = bottom[band] + e0;
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
    const std::array<float, 5>& c = coefficients.c;
    const double c0 = c[0], c1 = c[1], c2 = c[2], c3 = c[3], c4 = c[4];
    for (int i = 0; i < count; ++i) {
        const double synthetic =
            kIntercept ? c0 + c1 * m[0][i] + c2 * m[1][i] + c3 * m[2][i] + c4 * m[3][i] + residual[i]
                       : c0 * m[0][i] + c1 * m[1][i] + c2 * m[2][i] + c3 * m[3][i] + residual[i];
        const double quotient = pan[4 * (e0 + i)] / synthetic;
        positive[i] = synthetic > 0;
        ratio[i] = positive[i] ? quotient : 0.0;  // a ratio of 0 gives the zeros of the other bands
    }
    std::int16_t* blue = out[0] + 4 * e0;
    for (int i = 0; i < count; ++i) {
        // Where the synthetic pan is not positive every band is 0, Blue included.
        blue[4 * i] = positive[i] ? StoreFused((m[0][i] - 70) * ratio[i] + 70) : 0;
    }
    for (int band = 1; band < 4; ++band) {
        std::int16_t* o = out[band] + 4 * e0;
        for (int i = 0; i < count; ++i) o[4 * i] = StoreFused(m[band][i] * ratio[i]);
    }
}

// The same loops built twice, for processors with and without AVX2, and chosen when the program
// starts. Both give the same bytes: the operations and their order do not change, only the
// width of the vector registers (no fused multiply-add either way).
__attribute__((target_clones("avx2", "default"))) void FuseChunkOf(
    bool intercept, const Coefficients& coefficients, const BilinearWeights& w,
    const std::int16_t* const top[4], const std::int16_t* const bottom[4], const float* residualTop,
    const float* residualBottom, const std::int16_t* pan, std::int16_t* const out[4],
    std::int64_t e0, int count)
{
    if (intercept) {
        FuseChunk<true>(coefficients, w, top, bottom, residualTop, residualBottom, pan, out, e0, count);
    } else {
        FuseChunk<false>(coefficients, w, top, bottom, residualTop, residualBottom, pan, out, e0, count);
    }
}

// Fuses the cells of one cell row d of a strip into output rows 4d .. 4d + 3 of the strip,
// one sub-position at a time along the row, which keeps the memory access sequential.
void FuseCellRow(const PanRunState& state, StripBuffers& buffers, std::int64_t d)
{
    const std::int64_t msWidth = state.msWidth;
    const std::int64_t width = state.width;
    const ColourAmounts amounts = state.job.colourAmounts;
    const bool adjusted = amounts[0] != 0 || amounts[1] != 0 || amounts[2] != 0;
    const bool intercept = state.coefficients.method == FusionMethod::Optimisation2;
    const std::int16_t* top[4];
    const std::int16_t* bottom[4];
    for (int band = kBlue; band <= kNir; ++band) {
        top[band] = buffers.ms[band].data() + d * msWidth;
        bottom[band] = top[band] + msWidth;
    }
    const float* residualTop = buffers.residual.data() + d * msWidth;
    const float* residualBottom = residualTop + msWidth;
    for (int p = 0; p < 4; ++p) {
        for (int q = 0; q < 4; ++q) {
            const std::int16_t* pan = buffers.pan.data() + (4 * d + 2 + p) * width + 2 + q;
            std::int16_t* out[4];
            for (int band = kBlue; band <= kNir; ++band) {
                out[band] = buffers.out[band].data() + (4 * d + p) * width + 2 + q;
            }
            const BilinearWeights w = BilinearWeights4(p, q);
            if (adjusted) {
                // The colour adjustment needs each pixel's NDVI: the plain per-pixel path.
                for (std::int64_t e = 0; e + 1 < msWidth; ++e) {
                    InterpolatedPixel m;
                    m.blue = Interpolate(w, top[0][e], top[0][e + 1], bottom[0][e], bottom[0][e + 1]);
                    m.green = Interpolate(w, top[1][e], top[1][e + 1], bottom[1][e], bottom[1][e + 1]);
                    m.red = Interpolate(w, top[2][e], top[2][e + 1], bottom[2][e], bottom[2][e + 1]);
                    m.nir = Interpolate(w, top[3][e], top[3][e + 1], bottom[3][e], bottom[3][e + 1]);
                    m.residual = Interpolate(w, residualTop[e], residualTop[e + 1],
                                             residualBottom[e], residualBottom[e + 1]);
                    const auto fused = FusePixel(state.coefficients, m, pan[4 * e], amounts);
                    for (int band = kBlue; band <= kNir; ++band) out[band][4 * e] = fused[band];
                }
                continue;
            }
            for (std::int64_t e0 = 0; e0 + 1 < msWidth; e0 += 256) {
                const int count = static_cast<int>(std::min<std::int64_t>(256, msWidth - 1 - e0));
                FuseChunkOf(intercept, state.coefficients, w, top, bottom, residualTop,
                            residualBottom, pan, out, e0, count);
            }
        }
    }
}

// Reads the pan and MS rows of the strip whose cell rows are firstCell .. firstCell + cells - 1,
// and forms its degraded pan and clipped residual.
bool PrepareStrip(PanRunState& state, StripBuffers& buffers, std::int64_t firstCell,
                  std::int64_t cells)
{
    const std::int64_t msRows = cells + 1;
    if (!ReadSamples(state.panInput, 4 * firstCell * state.width * 2, 4 * msRows * state.width,
                     buffers.pan.data(), kPartReadFailure, state.host)) {
        return false;
    }
    for (int band = kBlue; band <= kNir; ++band) {
        const std::int64_t offset = state.msByteOffset[band] + firstCell * state.msWidth * 2;
        if (!ReadSamples(state.msInput[band], offset, msRows * state.msWidth,
                         buffers.ms[band].data(), kPartReadFailure, state.host)) {
            return false;
        }
    }
    BlockAverage4(static_cast<int>(msRows), static_cast<int>(state.msWidth), buffers.pan.data(),
                  static_cast<int>(state.width), buffers.panLow.data());
    for (std::int64_t i = 0; i < msRows * state.msWidth; ++i) {
        buffers.residual[i] =
            Residual(state.coefficients, buffers.panLow[i], buffers.ms[kBlue][i],
                     buffers.ms[kGreen][i], buffers.ms[kRed][i], buffers.ms[kNir][i]);
    }
    return true;
}

}  // namespace

StepResult FuseStrips(PanRunState& state)
{
    // Cell row D joins MS rows D and D + 1 and fills pan rows 4D + 2 .. 4D + 5; the strips
    // share one MS row of overlap, and the rows that no cell reaches stay 0.
    const FusionTarget target{4, state.width, state.height, state.msWidth, state.msHeight};
    return FuseAllStrips<std::int16_t, 4>(
        target, state.fused, state.progress, state.host, [&state] { return state.Pump(); },
        [&state](StripBuffers& strip, std::int64_t firstCell, std::int64_t cells) {
            return PrepareStrip(state, strip, firstCell, cells);
        },
        [&state](StripBuffers& strip, std::int64_t d) { FuseCellRow(state, strip, d); });
}

StepResult PostProcessBands(PanRunState& state)
{
    static const char* const kDots[4] = {".", "..", ".", ".."};
    const std::int64_t count = state.width * state.height;
    const PanSharpenJob& job = state.job;
    const int height = static_cast<int>(state.height);
    const int width = static_cast<int>(state.width);
    BandView<std::int16_t> view;
    for (int b = kBlue; b <= kNir; ++b) {
        if (!view.Open(state.fused[b], count, state.host)) return StepResult::Failed;
        std::int16_t* band = view.Data();
        if (!state.Pump()) return StepResult::Cancelled;
        ReplicateBorders(height, width, band);
        if (job.filterFlags[b] && job.filterType != FilterType16::None) {
            const Kernel16 kernel =
                job.filterType == FilterType16::Sharpen ? Kernel16::Sharpen : Kernel16::Detail;
            FilterBand(height, width, band, kernel, state.host);
            if (!state.Pump()) return StepResult::Cancelled;
        }
        ClipBand(count, band);
        if (state.outputs.kind == PanOutputKind::Idrisi && count > 0) {
            const auto [lowest, highest] = std::minmax_element(band, band + count);
            state.minValue[b] = *lowest;
            state.maxValue[b] = *highest;
        }
        if (b != kNir && !job.colourMatch) {
            state.limits[b] = ComputeStretchCutoffs16(count, band, job.stretch.leftCutoff[b],
                                                      job.stretch.rightCutoff[b]);
        }
        if (!view.Commit(state.fused[b], state.host)) return StepResult::Failed;
        state.log.Append(kDots[b]);
        if (!state.Pump()) return StepResult::Cancelled;
    }
    return StepResult::Ok;
}

StepResult WriteFusedBmp(PanRunState& state)
{
    StretchedBmpJob picture;
    picture.width = state.width;
    picture.height = state.height;
    picture.bands = {&state.fused[kBlue], &state.fused[kGreen], &state.fused[kRed]};
    picture.limits = state.limits;
    picture.nonlinear = state.job.stretch.nonlinear;
    picture.path = state.job.bmpName;
    return WriteStretchedBmp16(picture, state.progress, [&state] { return state.Pump(); }, state.host);
}

}  // namespace lumesta
