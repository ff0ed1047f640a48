#include "fusion/injection/injection_kernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/wide_lanes.h"
#include "imaging/row_stream.h"

namespace lumesta {
namespace {

// The à trous starlet's B3-spline kernel; its taps are exact binary fractions summing to 1.
constexpr double kSpline[5] = {1.0 / 16, 4.0 / 16, 6.0 / 16, 4.0 / 16, 1.0 / 16};

// 2^52: adding and taking it away again rounds a smaller magnitude to the nearest integer,
// ties to even, as the default rounding mode does.
constexpr double kRoundingShift = 4503599627370496.0;

// The nearest sample of type T (ties to even). Clamping before rounding gives the same sample
// as rounding first, and keeps the rounding inline, without a call into the maths library.
template <typename T>
[[gnu::always_inline]] inline T StoreSample(double value)
{
    if (!std::isfinite(value)) return 0;
    const double clamped = std::clamp(value, double{std::numeric_limits<T>::lowest()},
                                      double{std::numeric_limits<T>::max()});
    const double rounded = clamped >= 0 ? (clamped + kRoundingShift) - kRoundingShift
                                        : (clamped - kRoundingShift) + kRoundingShift;
    return static_cast<T>(rounded);
}

// Eight samples of a type as one value.
using IntLanes = std::int32_t __attribute__((vector_size(kWideLanes * sizeof(std::int32_t))));
using Int16Lanes = std::int16_t __attribute__((vector_size(kWideLanes * sizeof(std::int16_t))));
using UInt16Lanes = std::uint16_t __attribute__((vector_size(kWideLanes * sizeof(std::uint16_t))));
using UInt8Lanes = std::uint8_t __attribute__((vector_size(kWideLanes * sizeof(std::uint8_t))));

template <typename T>
struct LanesOf;
template <>
struct LanesOf<std::int16_t> {
    using Type = Int16Lanes;
};
template <>
struct LanesOf<std::uint16_t> {
    using Type = UInt16Lanes;
};
template <>
struct LanesOf<std::uint8_t> {
    using Type = UInt8Lanes;
};

// StoreSample of eight values at once.
template <typename T>
[[gnu::always_inline]] inline void StoreWideSamples(WideLanes value, T* out)
{
    using SampleLanes = typename LanesOf<T>::Type;
    const WideLanes zero{};
    const WideLanes finite = value - value == zero ? value : zero;  // not finite: 0
    const WideLanes lowest = zero + double{std::numeric_limits<T>::lowest()};
    const WideLanes highest = zero + double{std::numeric_limits<T>::max()};
    WideLanes clamped = finite < lowest ? lowest : finite;
    clamped = highest < clamped ? highest : clamped;
    const WideLanes rounded = clamped >= zero ? (clamped + kRoundingShift) - kRoundingShift
                                              : (clamped - kRoundingShift) + kRoundingShift;
    const SampleLanes samples =
        __builtin_convertvector(__builtin_convertvector(rounded, IntLanes), SampleLanes);
    std::memcpy(out, &samples, sizeof samples);
}

template <typename T>
[[gnu::always_inline]] inline void StoreRowOf(const double* fused, std::int64_t width, T* out)
{
    std::int64_t c = 0;
    for (; c + kWideLanes <= width; c += kWideLanes) StoreWideSamples(LoadWide(fused + c), out + c);
    for (; c < width; ++c) out[c] = StoreSample<T>(fused[c]);
}

LUMESTA_CLONES("avx512f", "avx2", "default") void StoreInt16Row(const double* fused,
                                                                                std::int64_t width,
                                                                                std::int16_t* out)
{
    StoreRowOf(fused, width, out);
}

LUMESTA_CLONES("avx512f", "avx2", "default") void StoreUInt16Row(
    const double* fused, std::int64_t width, std::uint16_t* out)
{
    StoreRowOf(fused, width, out);
}

LUMESTA_CLONES("avx512f", "avx2", "default") void StoreUInt8Row(const double* fused,
                                                                                std::int64_t width,
                                                                                std::uint8_t* out)
{
    StoreRowOf(fused, width, out);
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

[[gnu::always_inline]] inline double Load(const float* p, double)
{
    return *p;
}

[[gnu::always_inline]] inline WideLanes Load(const float* p, WideLanes)
{
    return LoadWide(p);
}

[[gnu::always_inline]] inline double Positive(double x, double a, double b)
{
    return x > 0 ? a : b;
}

[[gnu::always_inline]] inline WideLanes Positive(WideLanes x, WideLanes a, WideLanes b)
{
    return x > WideLanes{} ? a : b;
}

// The methods' formulas for column c, one sample or eight (as V).
struct Gsa {
    template <typename V>
    [[gnu::always_inline]] static V At(const BandRowInputs& in, std::int64_t c, V v)
    {
        return Load(in.band + c, v) +
               in.gain * (in.scale * Load(in.pan + c, v) + in.offset - Load(in.shared + c, v));
    }
};

struct GlpHpm {
    template <typename V>
    [[gnu::always_inline]] static V At(const BandRowInputs& in, std::int64_t c, V v)
    {
        const V m = Load(in.band + c, v);
        const V lowPan = in.scale * Load(in.low + c, v) + in.offset;
        return Positive(lowPan, m * (in.scale * Load(in.pan + c, v) + in.offset) / lowPan, m);
    }
};

struct Awlp {
    template <typename V>
    [[gnu::always_inline]] static V At(const BandRowInputs& in, std::int64_t c, V v)
    {
        const V m = Load(in.band + c, v);
        const V mean = Load(in.shared + c, v);
        return m + Positive(mean, m / mean, v + 1.0) * Load(in.detail + c, v);
    }
};

struct Brovey {
    template <typename V>
    [[gnu::always_inline]] static V At(const BandRowInputs& in, std::int64_t c, V v)
    {
        const V m = Load(in.band + c, v);
        const V mean = Load(in.shared + c, v);
        return Positive(mean, m * Load(in.pan + c, v) / mean, m);
    }
};

struct GlpEbp {
    template <typename V>
    [[gnu::always_inline]] static V At(const BandRowInputs& in, std::int64_t c, V v)
    {
        const V m = Load(in.band + c, v);
        const V pan = in.scale * Load(in.pan + c, v) + in.offset;
        const V lowPan = in.scale * Load(in.low + c, v) + in.offset;
        return Positive(lowPan, m + in.gain * m * (pan - lowPan) / lowPan, m);
    }
};

struct GlpFs {
    template <typename V>
    [[gnu::always_inline]] static V At(const BandRowInputs& in, std::int64_t c, V v)
    {
        return Load(in.band + c, v) + in.gain * (Load(in.pan + c, v) - Load(in.low + c, v));
    }
};

// Runs a formula over the row: eight columns at a time, then the rest one by one. The inputs
// are copied, so that the stores to fused cannot make the loop read them again.
template <typename Formula>
[[gnu::always_inline]] inline void FormulaRow(const BandRowInputs in, std::int64_t width,
                                              double* fused)
{
    std::int64_t c = 0;
    for (; c + kWideLanes <= width; c += kWideLanes) {
        StoreWide(fused + c, Formula::At(in, c, WideLanes{}));
    }
    for (; c < width; ++c) fused[c] = Formula::At(in, c, 0.0);
}

template <typename Sample>
[[gnu::always_inline]] inline void SumRowsOf(const double* w, int count, const Sample* source,
                                             std::int64_t stride, std::int64_t width, double* line)
{
    std::int64_t i = 0;
    for (; i + 2 * kWideLanes <= width; i += 2 * kWideLanes) {
        WideLanes a = w[0] * LoadWide(source + i);
        WideLanes b = w[0] * LoadWide(source + i + kWideLanes);
        for (int j = 1; j < count; ++j) {
            const Sample* row = source + j * stride + i;
            a += w[j] * LoadWide(row);
            b += w[j] * LoadWide(row + kWideLanes);
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

template <typename Sample>
[[gnu::always_inline]] inline void SmoothRowOf(const Sample* const source[5], std::int64_t width,
                                               std::int64_t step, double* scratch, double* out)
{
    // A copy of the row pointers that the stores cannot touch, so they stay in registers.
    const Sample* rows[5];
    for (int t = 0; t < 5; ++t) rows[t] = source[t];
    std::int64_t c = 0;
    for (; c + kWideLanes <= width; c += kWideLanes) {
        WideLanes sum{};
        for (int t = 0; t < 5; ++t) sum += kSpline[t] * LoadWide(rows[t] + c);
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
        for (int t = 0; t < 5; ++t)
            sum += kSpline[t] * scratch[ClampIndex(x + (t - 2) * step, width)];
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

// ResampleRow's loops.
[[gnu::always_inline]] inline void ResampleRowOf(const double* wy, const float* const source[6],
                                                 std::int64_t sourceWidth, const double* wx,
                                                 std::int64_t offset, std::int64_t width,
                                                 double* line, float* out)
{
    using FloatLanes = float __attribute__((vector_size(kWideLanes * sizeof(float))));
    const float* rows[6];
    double down[6], along[6];
    for (int t = 0; t < 6; ++t) {
        rows[t] = source[t];
        down[t] = wy[t];
        along[t] = wx[t];
    }
    std::int64_t c = 0;
    for (; c + kWideLanes <= sourceWidth; c += kWideLanes) {
        WideLanes sum{};
        for (int t = 0; t < 6; ++t) sum += down[t] * LoadWide(rows[t] + c);
        StoreWide(line + c, sum);
    }
    for (; c < sourceWidth; ++c) {
        double sum = 0;
        for (int t = 0; t < 6; ++t) sum += down[t] * rows[t][c];
        line[c] = sum;
    }
    // Samples whose six taps all lie inside the line need no replication.
    const std::int64_t inner0 = std::clamp<std::int64_t>(2 - offset, 0, width);
    const std::int64_t inner1 =
        std::max(inner0, std::min<std::int64_t>(width, sourceWidth - 3 - offset));
    const auto edge = [&](std::int64_t j) {
        double sum = 0;
        for (int s = 0; s < 6; ++s)
            sum += along[s] * line[ClampIndex(j + offset + s - 2, sourceWidth)];
        out[j] = static_cast<float>(sum);
    };
    for (c = 0; c < inner0; ++c) edge(c);
    for (c = inner0; c + kWideLanes <= inner1; c += kWideLanes) {
        const double* taps = line + (c + offset - 2);
        WideLanes sum{};
        for (int s = 0; s < 6; ++s) sum += along[s] * LoadWide(taps + s);
        const FloatLanes samples = __builtin_convertvector(sum, FloatLanes);
        std::memcpy(out + c, &samples, sizeof samples);
    }
    for (; c < inner1; ++c) {
        const double* taps = line + (c + offset - 2);
        double sum = 0;
        for (int s = 0; s < 6; ++s) sum += along[s] * taps[s];
        out[c] = static_cast<float>(sum);
    }
    for (c = inner1; c < width; ++c) edge(c);
}

// WaveletDetailRow's loops.
template <typename Level>
[[gnu::always_inline]] inline void WaveletDetailOf(const Level* const rows[5], const float* pan,
                                                   double scale, std::int64_t width,
                                                   std::int64_t step, double* scratch,
                                                   double* detail)
{
    SmoothRowOf(rows, width, step, scratch, detail);
    std::int64_t c = 0;
    for (; c + kWideLanes <= width; c += kWideLanes) {
        StoreWide(detail + c, scale * (LoadWide(pan + c) - LoadWide(detail + c)));
    }
    for (; c < width; ++c) detail[c] = scale * (pan[c] - detail[c]);
}

// IntensityRow's and MeanRow's loops (templates, so that each clone gets its own copy of the
// vector code).
template <typename Lanes>
[[gnu::always_inline]] inline void IntensityRowOf(const double* const* m, int bands,
                                                  const double* weight, double intercept,
                                                  std::int64_t width, double* shared)
{
    std::int64_t c = 0;
    for (; c + kWideLanes <= width; c += kWideLanes) {
        Lanes intensity = Lanes{} + intercept;
        for (int b = 0; b < bands; ++b) intensity += weight[b] * LoadWide(m[b] + c);
        StoreWide(shared + c, intensity);
    }
    for (; c < width; ++c) {
        double intensity = intercept;
        for (int b = 0; b < bands; ++b) intensity += weight[b] * m[b][c];
        shared[c] = intensity;
    }
}

template <typename Lanes>
[[gnu::always_inline]] inline void MeanRowOf(const double* const* m, int bands, std::int64_t width,
                                             double* shared)
{
    const double w = 1.0 / bands;
    std::int64_t c = 0;
    for (; c + kWideLanes <= width; c += kWideLanes) {
        Lanes mean = w * LoadWide(m[0] + c);
        for (int b = 1; b < bands; ++b) mean += w * LoadWide(m[b] + c);
        StoreWide(shared + c, mean);
    }
    for (; c < width; ++c) {
        double mean = w * m[0][c];
        for (int b = 1; b < bands; ++b) mean += w * m[b][c];
        shared[c] = mean;
    }
}

}  // namespace

LUMESTA_CLONES("avx512f", "avx2", "default") void SumRows(
    const double* w, int count, const float* source, std::int64_t stride, std::int64_t width,
    double* line)
{
    SumRowsOf(w, count, source, stride, width, line);
}

LUMESTA_CLONES("avx512f", "avx2", "default") void IntensityRow(
    const double* const* m, int bands, const double* weight, double intercept, std::int64_t width,
    double* shared)
{
    IntensityRowOf<WideLanes>(m, bands, weight, intercept, width, shared);
}

LUMESTA_CLONES("avx512f", "avx2", "default") void MeanRow(const double* const* m,
                                                                          int bands,
                                                                          std::int64_t width,
                                                                          double* shared)
{
    MeanRowOf<WideLanes>(m, bands, width, shared);
}

LUMESTA_CLONES("avx512f", "avx2", "default") void GsaFormula(
    const BandRowInputs& in, std::int64_t width, double* fused)
{
    FormulaRow<Gsa>(in, width, fused);
}

LUMESTA_CLONES("avx512f", "avx2", "default") void GlpHpmFormula(
    const BandRowInputs& in, std::int64_t width, double* fused)
{
    FormulaRow<GlpHpm>(in, width, fused);
}

LUMESTA_CLONES("avx512f", "avx2", "default") void AwlpFormula(
    const BandRowInputs& in, std::int64_t width, double* fused)
{
    FormulaRow<Awlp>(in, width, fused);
}

LUMESTA_CLONES("avx512f", "avx2", "default") void BroveyFormula(
    const BandRowInputs& in, std::int64_t width, double* fused)
{
    FormulaRow<Brovey>(in, width, fused);
}

LUMESTA_CLONES("avx512f", "avx2", "default") void GlpEbpFormula(
    const BandRowInputs& in, std::int64_t width, double* fused)
{
    FormulaRow<GlpEbp>(in, width, fused);
}

LUMESTA_CLONES("avx512f", "avx2", "default") void GlpFsFormula(
    const BandRowInputs& in, std::int64_t width, double* fused)
{
    FormulaRow<GlpFs>(in, width, fused);
}

LUMESTA_CLONES("avx512f", "avx2", "default") void AddToRow(const double* add,
                                                                           std::int64_t width,
                                                                           double* row)
{
    std::int64_t c = 0;
    for (; c + kWideLanes <= width; c += kWideLanes) {
        StoreWide(row + c, LoadWide(row + c) + LoadWide(add + c));
    }
    for (; c < width; ++c) row[c] += add[c];
}

void StoreFusedRow(SampleType type, const double* fused, std::int64_t width, void* out)
{
    if (type == SampleType::UInt8) {
        StoreUInt8Row(fused, width, static_cast<std::uint8_t*>(out));
    } else if (type == SampleType::UInt16) {
        StoreUInt16Row(fused, width, static_cast<std::uint16_t*>(out));
    } else {
        StoreInt16Row(fused, width, static_cast<std::int16_t*>(out));
    }
}

std::int16_t NearestSample(double value)
{
    return StoreSample<std::int16_t>(value);
}

LUMESTA_CLONES("avx512f", "avx2", "default") void SmoothRow(
    const double* const rows[5], std::int64_t width, std::int64_t step, double* scratch,
    double* out)
{
    SmoothRowOf(rows, width, step, scratch, out);
}

LUMESTA_CLONES("avx512f", "avx2", "default") void SmoothRow(
    const float* const rows[5], std::int64_t width, std::int64_t step, double* scratch, double* out)
{
    SmoothRowOf(rows, width, step, scratch, out);
}

LUMESTA_CLONES("avx512f", "avx2", "default") void WaveletDetailRow(
    const double* const rows[5], const float* pan, double scale, std::int64_t width,
    std::int64_t step, double* scratch, double* detail)
{
    WaveletDetailOf(rows, pan, scale, width, step, scratch, detail);
}

LUMESTA_CLONES("avx512f", "avx2", "default") void WaveletDetailRow(
    const float* const rows[5], const float* pan, double scale, std::int64_t width,
    std::int64_t step, double* scratch, double* detail)
{
    WaveletDetailOf(rows, pan, scale, width, step, scratch, detail);
}

LUMESTA_CLONES("avx512f", "avx2", "default") void ResampleRow(
    const double* wy, const float* const rows[6], std::int64_t sourceWidth, const double* wx,
    std::int64_t offset, std::int64_t width, double* line, float* out)
{
    ResampleRowOf(wy, rows, sourceWidth, wx, offset, width, line, out);
}

}  // namespace lumesta
