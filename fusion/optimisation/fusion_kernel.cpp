#include "fusion/optimisation/fusion_kernel.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "fusion/optimisation/etm_arithmetic.h"
#include "fusion/optimisation/pansharpen_arithmetic.h"
#include "fusion/optimisation/resampling.h"

namespace lumesta {
namespace {

constexpr int kChunk = 256;

// A 16-bit fused value as FusePixel stores it: truncated toward zero, out-of-range values as
// the 32-bit marker, kept to 16 bits.
inline std::int16_t StoreFused(double value)
{
    const bool inRange = value > -2147483649.0 && value < 2147483648.0;
    const std::int32_t truncated = inRange ? static_cast<std::int32_t>(value) : INT32_MIN;
    return static_cast<std::int16_t>(
        static_cast<std::uint16_t>(static_cast<std::uint32_t>(truncated)));
}

// The value where keep holds, otherwise +0.0; written with a bit mask rather than a choice, so
// the compiler does not move the division into a branch and the loop stays a vector loop.
inline double KeepIf(bool keep, double value)
{
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    bits &= std::uint64_t{0} - static_cast<std::uint64_t>(keep);
    std::memcpy(&value, &bits, sizeof bits);
    return value;
}

// Stores the fused values of one chunk, one after the other. 16-bit: Blue keeps an offset of 70
// and is 0 where the synthetic pan is not positive (a ratio of 0 gives the zeros of the other
// bands). 8-bit: each product above 255 is 255, otherwise truncated.
template <int N>
inline __attribute__((always_inline)) void StoreChunk(const double (&m)[N][kChunk],
                                                      const double* ratio, const std::int16_t* keep,
                                                      std::int16_t (&out)[N][kChunk], int count)
{
    for (int i = 0; i < count; ++i) {
        // Computed for every pixel and masked, which keeps the loop free of branches.
        const std::int16_t blue = StoreFused((m[0][i] - 70) * ratio[i] + 70);
        out[0][i] = static_cast<std::int16_t>(blue & keep[i]);
    }
    for (int band = 1; band < N; ++band) {
        for (int i = 0; i < count; ++i) out[band][i] = StoreFused(m[band][i] * ratio[i]);
    }
}

template <int N>
inline __attribute__((always_inline)) void StoreChunk(const double (&m)[N][kChunk],
                                                      const double* ratio, const std::int16_t* /*keep*/,
                                                      std::uint8_t (&out)[N][kChunk], int count)
{
    for (int band = 0; band < N; ++band) {
        for (int i = 0; i < count; ++i) {
            const double product = m[band][i] * ratio[i];
            out[band][i] =
                product > 255 ? 255 : static_cast<std::uint8_t>(static_cast<int>(product));
        }
    }
}

// The MS samples of cells e0 .. e0 + count of the cell row's top and bottom MS rows, widened to
// double once for all sub-positions.
template <int N>
struct WideRows {
    double top[N][kChunk + 1];
    double bottom[N][kChunk + 1];
    double residualTop[kChunk + 1];
    double residualBottom[kChunk + 1];
};

// Whole sixteenths summing to one (the ETM+ weights 9/16, 3/16, 1/16), or zeros.
struct Sixteenths {
    int w00 = 0, w01 = 0, w10 = 0, w11 = 0;
    bool exact = false;
};
inline Sixteenths SixteenthsOf(const BilinearWeights& w)
{
    Sixteenths s{static_cast<int>(w.w00 * 16), static_cast<int>(w.w01 * 16),
                 static_cast<int>(w.w10 * 16), static_cast<int>(w.w11 * 16), false};
    s.exact = s.w00 == w.w00 * 16 && s.w01 == w.w01 * 16 && s.w10 == w.w10 * 16 &&
              s.w11 == w.w11 * 16 && s.w00 >= 0 && s.w01 >= 0 && s.w10 >= 0 && s.w11 >= 0 &&
              s.w00 + s.w01 + s.w10 + s.w11 == 16;
    return s;
}

// The interpolated band values of one chunk. With weights of whole sixteenths and byte samples
// every product and partial sum of the double-precision interpolation is exact, so the sum of
// whole numbers times 1/16 is the same double; otherwise the sum is taken in double precision in
// the order w00, w01, w10, w11 on the widened rows.
template <typename Sample, int N>
inline __attribute__((always_inline)) void InterpolateChunk(const BilinearWeights& w,
                                                            const Sixteenths& whole,
                                                            const Sample* const top[N],
                                                            const Sample* const bottom[N],
                                                            const WideRows<N>& wide,
                                                            std::int64_t e0, int count,
                                                            double (&m)[N][kChunk])
{
    if (sizeof(Sample) == 1 && whole.exact) {
        for (int band = 0; band < N; ++band) {
            const Sample* t = top[band] + e0;
            const Sample* b = bottom[band] + e0;
            for (int i = 0; i < count; ++i) {
                // At most 16 × 255: held in 16 bits, which doubles the vector width.
                const auto sixteenths = static_cast<std::int16_t>(
                    whole.w00 * t[i] + whole.w01 * t[i + 1] + whole.w10 * b[i] + whole.w11 * b[i + 1]);
                m[band][i] = sixteenths * 0.0625;
            }
        }
        return;
    }
    for (int band = 0; band < N; ++band) {
        const double* t = wide.top[band];
        const double* b = wide.bottom[band];
        for (int i = 0; i < count; ++i) {
            m[band][i] = w.w00 * t[i] + w.w01 * t[i + 1] + w.w10 * b[i] + w.w11 * b[i + 1];
        }
    }
}

// Fuses cells e0 .. e0 + count - 1 of one sub-position without colour adjustment into
// out[band][0 .. count - 1]; pan[i] is the pan sample of cell e0 + i. The arithmetic is
// FusePixel's (FuseEtmPixel's for bytes), split into simple passes over short arrays so the
// compiler can use vector instructions; each pixel still sees the same operations in the same
// order.
template <typename Sample, int N, bool kIntercept>
inline __attribute__((always_inline)) void FuseChunk(
    const BandCoefficients<N>& coefficients, const BilinearWeights& w, const Sixteenths& whole,
    const Sample* const top[N], const Sample* const bottom[N], const WideRows<N>& wide,
    const Sample* pan, Sample (&out)[N][kChunk], std::int64_t e0, int count)
{
    const double* rt = wide.residualTop;
    const double* rb = wide.residualBottom;
    double m[N][kChunk];
    double residual[kChunk];
    double ratio[kChunk];
    std::int16_t keep[kChunk];  // all bits set where the synthetic pan is positive
    InterpolateChunk<Sample, N>(w, whole, top, bottom, wide, e0, count, m);
    for (int i = 0; i < count; ++i) {
        residual[i] = w.w00 * rt[i] + w.w01 * rt[i + 1] + w.w10 * rb[i] + w.w11 * rb[i + 1];
    }
    double c[N + 1];
    for (int k = 0; k <= N; ++k) c[k] = coefficients.c[k];
    constexpr int kFirst = kIntercept ? 1 : 0;  // the first band's coefficient
    for (int i = 0; i < count; ++i) {
        // Summed left to right, as the per-pixel routine does.
        double synthetic = kIntercept ? c[0] + c[1] * m[0][i] : c[0] * m[0][i];
        for (int band = 1; band < N; ++band) synthetic = synthetic + c[kFirst + band] * m[band][i];
        synthetic = synthetic + residual[i];
        const double quotient = pan[i] / synthetic;
        const bool positive = synthetic > 0;
        keep[i] = static_cast<std::int16_t>(-static_cast<int>(positive));
        ratio[i] = KeepIf(positive, quotient);
    }
    StoreChunk<N>(m, ratio, keep, out, count);
}

// Fuses cells e0 .. e0 + count - 1 of a cell row at every sub-position: output row p of the
// cell row starts at out[band] + p · width and its pan row at pan + p · width. Each row's pan
// samples are first split by sub-position and each sub-position's fused values gathered in
// short arrays, so that the rows are read and written with contiguous accesses:
// out[band][Ratio · e + q] is cell e's value at sub-position q.
template <typename Sample, int N, int Ratio, bool kIntercept>
inline __attribute__((always_inline)) void FuseCellChunk(
    const BandCoefficients<N>& coefficients, const BilinearWeights (&w)[Ratio][Ratio],
    const Sample* const top[N], const Sample* const bottom[N], const float* residualTop,
    const float* residualBottom, const Sample* pan, Sample* const out[N], std::int64_t width,
    std::int64_t e0, int count)
{
    WideRows<N> wide;
    for (int i = 0; i <= count; ++i) {
        wide.residualTop[i] = residualTop[e0 + i];
        wide.residualBottom[i] = residualBottom[e0 + i];
    }
    // Whole sixteenths are used only when every sub-position has them; otherwise the rows are
    // widened and every sub-position interpolates in double precision.
    Sixteenths whole[Ratio][Ratio];
    bool allWhole = sizeof(Sample) == 1;
    for (int p = 0; p < Ratio; ++p) {
        for (int q = 0; q < Ratio; ++q) {
            whole[p][q] = SixteenthsOf(w[p][q]);
            allWhole = allWhole && whole[p][q].exact;
        }
    }
    if (!allWhole) {
        for (int p = 0; p < Ratio; ++p) {
            for (int q = 0; q < Ratio; ++q) whole[p][q].exact = false;
        }
        for (int band = 0; band < N; ++band) {
            for (int i = 0; i <= count; ++i) {
                wide.top[band][i] = top[band][e0 + i];
                wide.bottom[band][i] = bottom[band][e0 + i];
            }
        }
    }
    Sample panOf[Ratio][kChunk];
    Sample fused[Ratio][N][kChunk];
    for (int p = 0; p < Ratio; ++p) {
        const Sample* panChunk = pan + p * width + Ratio * e0;
        for (int i = 0; i < count; ++i) {
            for (int q = 0; q < Ratio; ++q) panOf[q][i] = panChunk[Ratio * i + q];
        }
        for (int q = 0; q < Ratio; ++q) {
            FuseChunk<Sample, N, kIntercept>(coefficients, w[p][q], whole[p][q], top, bottom, wide,
                                             panOf[q], fused[q], e0, count);
        }
        for (int band = 0; band < N; ++band) {
            Sample* o = out[band] + p * width + Ratio * e0;
            for (int i = 0; i < count; ++i) {
                for (int q = 0; q < Ratio; ++q) o[Ratio * i + q] = fused[q][band][i];
            }
        }
    }
}

// The same loops built three times, for processors with AVX-512, with AVX2 and with neither,
// and chosen when the program starts. All give the same bytes: the operations and their order
// do not change, only the width of the vector registers (no fused multiply-add either way).
__attribute__((target_clones("arch=x86-64-v4", "avx2", "default"))) void FuseChunkOf(
    bool intercept, const Coefficients& coefficients, const BilinearWeights (&w)[4][4],
    const std::int16_t* const top[4], const std::int16_t* const bottom[4], const float* residualTop,
    const float* residualBottom, const std::int16_t* pan, std::int16_t* const out[4],
    std::int64_t width, std::int64_t e0, int count)
{
    if (intercept) {
        FuseCellChunk<std::int16_t, 4, 4, true>(coefficients, w, top, bottom, residualTop,
                                                residualBottom, pan, out, width, e0, count);
    } else {
        FuseCellChunk<std::int16_t, 4, 4, false>(coefficients, w, top, bottom, residualTop,
                                                residualBottom, pan, out, width, e0, count);
    }
}

__attribute__((target_clones("arch=x86-64-v4", "avx2", "default"))) void FuseChunkOf(
    bool intercept, const EtmCoefficients& coefficients, const BilinearWeights (&w)[2][2],
    const std::uint8_t* const top[3], const std::uint8_t* const bottom[3], const float* residualTop,
    const float* residualBottom, const std::uint8_t* pan, std::uint8_t* const out[3],
    std::int64_t width, std::int64_t e0, int count)
{
    if (intercept) {
        FuseCellChunk<std::uint8_t, 3, 2, true>(coefficients, w, top, bottom, residualTop,
                                                residualBottom, pan, out, width, e0, count);
    } else {
        FuseCellChunk<std::uint8_t, 3, 2, false>(coefficients, w, top, bottom, residualTop,
                                                residualBottom, pan, out, width, e0, count);
    }
}

BilinearWeights WeightsOf(const PanRunState& /*state*/, int p, int q)
{
    return BilinearWeights4(p, q);
}
BilinearWeights WeightsOf(const EtmRunState& /*state*/, int p, int q)
{
    return BilinearWeights2(p, q);
}

// The 16-bit tool's colour adjustment needs each pixel's NDVI: with adjustments set, one
// sub-position is fused pixel by pixel. False (nothing fused) without adjustments.
bool FuseAdjustedColours(const PanRunState& state, const BilinearWeights& w,
                         const std::int16_t* const top[4], const std::int16_t* const bottom[4],
                         const float* residualTop, const float* residualBottom,
                         const std::int16_t* pan, std::int16_t* const out[4])
{
    const ColourAmounts amounts = state.job.colourAmounts;
    if (amounts[0] == 0 && amounts[1] == 0 && amounts[2] == 0) return false;
    for (std::int64_t e = 0; e + 1 < state.msWidth; ++e) {
        InterpolatedPixel m;
        m.blue = Interpolate(w, top[0][e], top[0][e + 1], bottom[0][e], bottom[0][e + 1]);
        m.green = Interpolate(w, top[1][e], top[1][e + 1], bottom[1][e], bottom[1][e + 1]);
        m.red = Interpolate(w, top[2][e], top[2][e + 1], bottom[2][e], bottom[2][e + 1]);
        m.nir = Interpolate(w, top[3][e], top[3][e + 1], bottom[3][e], bottom[3][e + 1]);
        m.residual = Interpolate(w, residualTop[e], residualTop[e + 1], residualBottom[e],
                                 residualBottom[e + 1]);
        const auto fused = FusePixel(state.coefficients, m, pan[4 * e], amounts);
        for (int band = 0; band < 4; ++band) out[band][4 * e] = fused[band];
    }
    return true;
}

bool FuseAdjustedColours(const EtmRunState& /*state*/, const BilinearWeights& /*w*/,
                         const std::uint8_t* const* /*top*/, const std::uint8_t* const* /*bottom*/,
                         const float* /*residualTop*/, const float* /*residualBottom*/,
                         const std::uint8_t* /*pan*/, std::uint8_t* const* /*out*/)
{
    return false;
}

template <typename State>
void FuseCellRowOf(const State& state, FusionStrip<typename State::Sample, State::kBands>& strip,
                   std::int64_t d)
{
    using Sample = typename State::Sample;
    constexpr int kBands = State::kBands;
    constexpr int kRatio = State::kRatio;
    const std::int64_t msWidth = state.msWidth;
    const std::int64_t width = state.width;
    const bool intercept = state.coefficients.method == FusionMethod::Optimisation2;
    const Sample* top[kBands];
    const Sample* bottom[kBands];
    for (int band = 0; band < kBands; ++band) {
        top[band] = strip.ms[band].data() + d * msWidth;
        bottom[band] = top[band] + msWidth;
    }
    const float* residualTop = strip.residual.data() + d * msWidth;
    const float* residualBottom = residualTop + msWidth;
    // Cell row d fills pan rows ratio·d + ratio/2 ...; its first output row is ratio·d of the
    // strip, and columns start at ratio/2.
    constexpr int kHalf = kRatio / 2;
    const Sample* panRows = strip.pan.data() + (kRatio * d + kHalf) * width + kHalf;
    Sample* outRows[kBands];
    for (int band = 0; band < kBands; ++band) {
        outRows[band] = strip.out[band].data() + kRatio * d * width + kHalf;
    }
    BilinearWeights w[kRatio][kRatio];
    for (int p = 0; p < kRatio; ++p) {
        for (int q = 0; q < kRatio; ++q) w[p][q] = WeightsOf(state, p, q);
    }
    bool adjusted = false;
    for (int p = 0; p < kRatio; ++p) {
        for (int q = 0; q < kRatio; ++q) {
            Sample* out[kBands];
            for (int band = 0; band < kBands; ++band) out[band] = outRows[band] + p * width + q;
            adjusted = FuseAdjustedColours(state, w[p][q], top, bottom, residualTop, residualBottom,
                                           panRows + p * width + q, out);
        }
    }
    if (adjusted) return;
    for (std::int64_t e0 = 0; e0 + 1 < msWidth; e0 += kChunk) {
        const int count = static_cast<int>(std::min<std::int64_t>(kChunk, msWidth - 1 - e0));
        FuseChunkOf(intercept, state.coefficients, w, top, bottom, residualTop, residualBottom,
                    panRows, outRows, width, e0, count);
    }
}

}  // namespace

void FuseCellRow(const PanRunState& state, FusionStrip<std::int16_t, 4>& strip, std::int64_t d)
{
    FuseCellRowOf(state, strip, d);
}

void FuseCellRow(const EtmRunState& state, FusionStrip<std::uint8_t, 3>& strip, std::int64_t d)
{
    FuseCellRowOf(state, strip, d);
}

}  // namespace lumesta
