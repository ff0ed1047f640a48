#include "fusion/injection/injection_kernels.h"

#include <algorithm>
#include <cmath>

#include "core/wide_lanes.h"
#include "imaging/row_stream.h"

namespace lumesta {
namespace {

// The à trous starlet's B3-spline kernel; its taps are exact binary fractions summing to 1.
constexpr double kSpline[5] = {1.0 / 16, 4.0 / 16, 6.0 / 16, 4.0 / 16, 1.0 / 16};

// 2^52: adding and taking it away again rounds a smaller magnitude to the nearest integer,
// ties to even, as the default rounding mode does.
constexpr double kRoundingShift = 4503599627370496.0;

// The nearest 16-bit sample (ties to even). Clamping before rounding gives the same sample as
// rounding first, and keeps the rounding inline, without a call into the maths library.
[[gnu::always_inline]] inline std::int16_t StoreSample(double value)
{
    if (!std::isfinite(value)) return 0;
    const double clamped = std::clamp(value, -32768.0, 32767.0);
    const double rounded = clamped >= 0 ? (clamped + kRoundingShift) - kRoundingShift
                                        : (clamped - kRoundingShift) + kRoundingShift;
    return static_cast<std::int16_t>(rounded);
}

// StoreSample of eight values at once, stored as 16-bit samples.
[[gnu::always_inline]] inline void StoreWideSamples(WideLanes value, std::int16_t* out)
{
    using IntLanes = std::int32_t __attribute__((vector_size(kWideLanes * sizeof(std::int32_t))));
    using ShortLanes = std::int16_t __attribute__((vector_size(kWideLanes * sizeof(std::int16_t))));
    const WideLanes zero{};
    const WideLanes finite = value - value == zero ? value : zero;  // not finite: 0
    const WideLanes lowest = zero - 32768.0;
    const WideLanes highest = zero + 32767.0;
    WideLanes clamped = finite < lowest ? lowest : finite;
    clamped = highest < clamped ? highest : clamped;
    const WideLanes rounded = clamped >= zero ? (clamped + kRoundingShift) - kRoundingShift
                                              : (clamped - kRoundingShift) + kRoundingShift;
    const ShortLanes samples =
        __builtin_convertvector(__builtin_convertvector(rounded, IntLanes), ShortLanes);
    std::memcpy(out, &samples, sizeof samples);
}

// Loads of one sample or of eight, and the choice by a positive value, so that each formula is
// written once for the vector loop and its scalar tail.
[[gnu::always_inline]] inline double Load(const double* p, double)
{
    return *p;
}

[[gnu::always_inline]] inline WideLanes Load(const double* p, WideLanes)
{
    return LoadWide(p);
}

template <bool Biased>
[[gnu::always_inline]] inline double LoadPan(const std::int16_t* p, double)
{
    return *p;
}

template <bool Biased>
[[gnu::always_inline]] inline WideLanes LoadPan(const std::int16_t* p, WideLanes)
{
    return LoadSamples<Biased>(p);
}

[[gnu::always_inline]] inline double Positive(double x, double a, double b)
{
    return x > 0 ? a : b;
}

[[gnu::always_inline]] inline WideLanes Positive(WideLanes x, WideLanes a, WideLanes b)
{
    return x > WideLanes{} ? a : b;
}

// The fused value of column c (one sample or eight, as V) by the method's formula.
template <bool Biased, typename V>
[[gnu::always_inline]] inline V FusedValue(FusionMethod method, const BandRowInputs& in,
                                           std::int64_t c, V v)
{
    const V m = Load(in.band + c, v);
    switch (method) {
        case FusionMethod::Gsa:
            return m + in.gain * (in.scale * LoadPan<Biased>(in.pan + c, v) + in.offset -
                                  Load(in.shared + c, v));
        case FusionMethod::GlpHpm: {
            // No ratio without a positive low-pass pan: the band is kept.
            const V lowPan = in.scale * Load(in.low + c, v) + in.offset;
            return Positive(lowPan, m * (in.scale * LoadPan<Biased>(in.pan + c, v) + in.offset) / lowPan, m);
        }
        case FusionMethod::Awlp: {
            const V mean = Load(in.shared + c, v);
            return m + Positive(mean, m / mean, v + 1.0) * Load(in.detail + c, v);
        }
        default: {
            const V mean = Load(in.shared + c, v);
            return Positive(mean, m * LoadPan<Biased>(in.pan + c, v) / mean, m);
        }
    }
}

// One band's fused row with the method fixed, so that the loop holds only its formula; the
// inputs are copied, so that the stores to out cannot make the loop read them again.
template <FusionMethod Method, bool Biased>
[[gnu::always_inline]] inline void FuseBandRowOf(const BandRowInputs in, std::int64_t width,
                                                 std::int16_t* out)
{
    std::int64_t c = 0;
    for (; c + kWideLanes <= width; c += kWideLanes) {
        StoreWideSamples(FusedValue<Biased>(Method, in, c, WideLanes{}), out + c);
    }
    for (; c < width; ++c) out[c] = StoreSample(FusedValue<Biased>(Method, in, c, 0.0));
}

template <bool Biased>
[[gnu::always_inline]] inline void FuseBandRowWith(FusionMethod method, const BandRowInputs& in,
                                                   std::int64_t width, std::int16_t* out)
{
    switch (method) {
        case FusionMethod::Gsa:
            FuseBandRowOf<FusionMethod::Gsa, Biased>(in, width, out);
            break;
        case FusionMethod::GlpHpm:
            FuseBandRowOf<FusionMethod::GlpHpm, Biased>(in, width, out);
            break;
        case FusionMethod::Awlp:
            FuseBandRowOf<FusionMethod::Awlp, Biased>(in, width, out);
            break;
        default:
            FuseBandRowOf<FusionMethod::Brovey, Biased>(in, width, out);
    }
}

__attribute__((target("avx512f"))) void FuseBandRowAvx512(FusionMethod method,
                                                          const BandRowInputs& in,
                                                          std::int64_t width, std::int16_t* out)
{
    FuseBandRowWith<true>(method, in, width, out);
}

__attribute__((target_clones("avx2", "default"))) void FuseBandRowOther(FusionMethod method,
                                                                        const BandRowInputs& in,
                                                                        std::int64_t width,
                                                                        std::int16_t* out)
{
    FuseBandRowWith<false>(method, in, width, out);
}

template <bool Biased, typename Sample>
[[gnu::always_inline]] inline void SumRowsOf(const double* w, int count, const Sample* source,
                                             std::int64_t stride, std::int64_t width, double* line)
{
    std::int64_t i = 0;
    for (; i + 2 * kWideLanes <= width; i += 2 * kWideLanes) {
        WideLanes a = w[0] * LoadSamples<Biased>(source + i);
        WideLanes b = w[0] * LoadSamples<Biased>(source + i + kWideLanes);
        for (int j = 1; j < count; ++j) {
            const Sample* row = source + j * stride + i;
            a += w[j] * LoadSamples<Biased>(row);
            b += w[j] * LoadSamples<Biased>(row + kWideLanes);
        }
        StoreWide(line + i, a);
        StoreWide(line + i + kWideLanes, b);
    }
    for (; i < width; ++i) {
        double sum = w[0] * source[i];
        for (int j = 1; j < count; ++j) sum += w[j] * source[j * stride + i];
        line[i] = sum;
    }
}

template <bool Biased, typename Sample>
[[gnu::always_inline]] inline void SmoothRowOf(const Sample* const source[5], std::int64_t width,
                                               std::int64_t step, double* scratch, double* out)
{
    // A copy of the row pointers that the stores cannot touch, so they stay in registers.
    const Sample* rows[5];
    for (int t = 0; t < 5; ++t) rows[t] = source[t];
    std::int64_t c = 0;
    for (; c + kWideLanes <= width; c += kWideLanes) {
        WideLanes sum{};
        for (int t = 0; t < 5; ++t) sum += kSpline[t] * LoadSamples<Biased>(rows[t] + c);
        StoreWide(scratch + c, sum);
    }
    for (; c < width; ++c) {
        double sum = 0;
        for (int t = 0; t < 5; ++t) sum += kSpline[t] * rows[t][c];
        scratch[c] = sum;
    }
    // Columns whose five taps all lie inside the row need no replication.
    const std::int64_t inner0 = std::min(width, 2 * step);
    const std::int64_t inner1 = std::max(inner0, width - 2 * step);
    const auto edge = [&](std::int64_t x) {
        double sum = 0;
        for (int t = 0; t < 5; ++t) sum += kSpline[t] * scratch[ClampIndex(x + (t - 2) * step, width)];
        out[x] = sum;
    };
    for (c = 0; c < inner0; ++c) edge(c);
    for (c = inner0; c + kWideLanes <= inner1; c += kWideLanes) {
        WideLanes sum{};
        for (int t = 0; t < 5; ++t) sum += kSpline[t] * LoadWide(scratch + c + (t - 2) * step);
        StoreWide(out + c, sum);
    }
    for (; c < inner1; ++c) {
        double sum = 0;
        for (int t = 0; t < 5; ++t) sum += kSpline[t] * scratch[c + (t - 2) * step];
        out[c] = sum;
    }
    for (c = inner1; c < width; ++c) edge(c);
}


__attribute__((target("avx512f"))) void SmoothRowAvx512(const std::int16_t* const rows[5],
                                                        std::int64_t width, std::int64_t step,
                                                        double* scratch, double* out)
{
    SmoothRowOf<true>(rows, width, step, scratch, out);
}

__attribute__((target_clones("avx2", "default"))) void SmoothRowOther(
    const std::int16_t* const rows[5], std::int64_t width, std::int64_t step, double* scratch,
    double* out)
{
    SmoothRowOf<false>(rows, width, step, scratch, out);
}

// WaveletDetailRow's loops.
template <bool Biased>
[[gnu::always_inline]] inline void WaveletDetailOf(const double* const rows[5],
                                                   const std::int16_t* pan, double scale,
                                                   std::int64_t width, double* scratch,
                                                   double* detail)
{
    SmoothRowOf<false>(rows, width, 2, scratch, detail);
    std::int64_t c = 0;
    for (; c + kWideLanes <= width; c += kWideLanes) {
        StoreWide(detail + c, scale * (LoadSamples<Biased>(pan + c) - LoadWide(detail + c)));
    }
    for (; c < width; ++c) detail[c] = scale * (pan[c] - detail[c]);
}

__attribute__((target("avx512f"))) void WaveletDetailAvx512(const double* const rows[5],
                                                            const std::int16_t* pan, double scale,
                                                            std::int64_t width, double* scratch,
                                                            double* detail)
{
    WaveletDetailOf<true>(rows, pan, scale, width, scratch, detail);
}

__attribute__((target_clones("avx2", "default"))) void WaveletDetailOther(
    const double* const rows[5], const std::int16_t* pan, double scale, std::int64_t width,
    double* scratch, double* detail)
{
    WaveletDetailOf<false>(rows, pan, scale, width, scratch, detail);
}

__attribute__((target("avx512f"))) void SumRowsAvx512(const double* w, int count,
                                                      const std::int16_t* source,
                                                      std::int64_t stride, std::int64_t width,
                                                      double* line)
{
    SumRowsOf<true>(w, count, source, stride, width, line);
}

__attribute__((target_clones("avx2", "default"))) void SumRowsOther(const double* w, int count,
                                                                    const std::int16_t* source,
                                                                    std::int64_t stride,
                                                                    std::int64_t width,
                                                                    double* line)
{
    SumRowsOf<false>(w, count, source, stride, width, line);
}

// SharedRow's loops (a template, so that each clone gets its own copy of the vector code).
template <typename Lanes>
[[gnu::always_inline]] inline void SharedRowOf(const double* const m[4], const double* weight,
                                               double intercept, std::int64_t width,
                                               double* shared)
{
    std::int64_t c = 0;
    if (weight != nullptr) {
        for (; c + kWideLanes <= width; c += kWideLanes) {
            Lanes intensity = Lanes{} + intercept;
            for (int b = 0; b < 4; ++b) intensity += weight[b] * LoadWide(m[b] + c);
            StoreWide(shared + c, intensity);
        }
        for (; c < width; ++c) {
            double intensity = intercept;
            for (int b = 0; b < 4; ++b) intensity += weight[b] * m[b][c];
            shared[c] = intensity;
        }
        return;
    }
    for (; c + kWideLanes <= width; c += kWideLanes) {
        StoreWide(shared + c, 0.25 * LoadWide(m[0] + c) + 0.25 * LoadWide(m[1] + c) +
                                  0.25 * LoadWide(m[2] + c) + 0.25 * LoadWide(m[3] + c));
    }
    for (; c < width; ++c) shared[c] = 0.25 * m[0][c] + 0.25 * m[1][c] + 0.25 * m[2][c] + 0.25 * m[3][c];
}

}  // namespace

void SumRows(const double* w, int count, const std::int16_t* source, std::int64_t stride,
             std::int64_t width, double* line)
{
    if (HasAvx512()) {
        SumRowsAvx512(w, count, source, stride, width, line);
    } else {
        SumRowsOther(w, count, source, stride, width, line);
    }
}

__attribute__((target_clones("avx512f", "avx2", "default"))) void SumRows(
    const double* w, int count, const float* source, std::int64_t stride, std::int64_t width,
    double* line)
{
    SumRowsOf<false>(w, count, source, stride, width, line);
}

__attribute__((target_clones("avx512f", "avx2", "default"))) void SharedRow(
    const double* const m[4], const double* weight, double intercept, std::int64_t width,
    double* shared)
{
    SharedRowOf<WideLanes>(m, weight, intercept, width, shared);
}

void WaveletDetailRow(const double* const rows[5], const std::int16_t* pan, double scale,
                      std::int64_t width, double* scratch, double* detail)
{
    if (HasAvx512()) {
        WaveletDetailAvx512(rows, pan, scale, width, scratch, detail);
    } else {
        WaveletDetailOther(rows, pan, scale, width, scratch, detail);
    }
}

std::int16_t NearestSample(double value)
{
    return StoreSample(value);
}

void FuseBandRow(FusionMethod method, const BandRowInputs& in, std::int64_t width,
                 std::int16_t* out)
{
    if (HasAvx512()) {
        FuseBandRowAvx512(method, in, width, out);
    } else {
        FuseBandRowOther(method, in, width, out);
    }
}

__attribute__((target_clones("avx512f", "avx2", "default"))) void SmoothRow(
    const double* const rows[5], std::int64_t width, std::int64_t step, double* scratch,
    double* out)
{
    SmoothRowOf<false>(rows, width, step, scratch, out);
}

void SmoothRow(const std::int16_t* const rows[5], std::int64_t width, std::int64_t step,
               double* scratch, double* out)
{
    if (HasAvx512()) {
        SmoothRowAvx512(rows, width, step, scratch, out);
    } else {
        SmoothRowOther(rows, width, step, scratch, out);
    }
}

}  // namespace lumesta
