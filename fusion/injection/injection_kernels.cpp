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

// StoreSample of a vector of values at once.
template <typename WideLanes, typename T>
[[gnu::always_inline]] inline void StoreWideSamples(WideLanes value, T* out)
{
    constexpr int kWideLanes = kLanesOf<WideLanes>;
    using IntLanes = typename VectorOf<std::int32_t, kWideLanes>::Type;
    using SampleLanes = typename VectorOf<T, kWideLanes>::Type;
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

template <typename WideLanes, typename T>
[[gnu::always_inline]] inline void StoreRowOf(const double* fused, std::int64_t width, T* out)
{
    constexpr int kWideLanes = kLanesOf<WideLanes>;
    std::int64_t c = 0;
    for (; c + kWideLanes <= width; c += kWideLanes) {
        StoreWideSamples(LoadWide<WideLanes>(fused + c), out + c);
    }
    for (; c < width; ++c) out[c] = StoreSample<T>(fused[c]);
}

// StoreRowOf as a kernel for RunWide, for every sample type.
struct StoreRowKernel {
    template <typename WideLanes, typename T>
    static void Run(const double* fused, std::int64_t width, T* out)
    {
        StoreRowOf<WideLanes>(fused, width, out);
    }
};

// Loads of one sample or of a vector of them, and the choice by a positive value, so that each
// formula is written once for the vector loop and its scalar tail.
[[gnu::always_inline]] inline double Load(const double* p, double)
{
    return *p;
}

template <typename WideLanes>
[[gnu::always_inline]] inline WideLanes Load(const double* p, WideLanes)
{
    return LoadWide<WideLanes>(p);
}

[[gnu::always_inline]] inline double Load(const float* p, double)
{
    return *p;
}

template <typename WideLanes>
[[gnu::always_inline]] inline WideLanes Load(const float* p, WideLanes)
{
    return LoadWide<WideLanes>(p);
}

[[gnu::always_inline]] inline double Positive(double x, double a, double b)
{
    return x > 0 ? a : b;
}

template <typename WideLanes>
[[gnu::always_inline]] inline WideLanes Positive(WideLanes x, WideLanes a, WideLanes b)
{
    return x > WideLanes{} ? a : b;
}

// The methods' formulas for column c, one sample or a vector of them (as V).
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

// Runs a formula over the row: a vector of columns at a time, then the rest one by one. The
// inputs are copied, so that the stores to fused cannot make the loop read them again.
template <typename Formula, typename WideLanes>
[[gnu::always_inline]] inline void FormulaRow(const BandRowInputs in, std::int64_t width,
                                              double* fused)
{
    constexpr int kWideLanes = kLanesOf<WideLanes>;
    std::int64_t c = 0;
    for (; c + kWideLanes <= width; c += kWideLanes) {
        StoreWide(fused + c, Formula::At(in, c, WideLanes{}));
    }
    for (; c < width; ++c) fused[c] = Formula::At(in, c, 0.0);
}

// FormulaRow of a method as a kernel for RunWide.
template <typename Formula>
struct FormulaKernel {
    template <typename WideLanes>
    static void Run(const BandRowInputs& in, std::int64_t width, double* fused)
    {
        FormulaRow<Formula, WideLanes>(in, width, fused);
    }
};

template <typename WideLanes, typename Sample>
[[gnu::always_inline]] inline void SumRowsOf(const double* w, int count, const Sample* source,
                                             std::int64_t stride, std::int64_t width, double* line)
{
    constexpr int kWideLanes = kLanesOf<WideLanes>;
    std::int64_t i = 0;
    for (; i + 2 * kWideLanes <= width; i += 2 * kWideLanes) {
        WideLanes a = w[0] * LoadWide<WideLanes>(source + i);
        WideLanes b = w[0] * LoadWide<WideLanes>(source + i + kWideLanes);
        for (int j = 1; j < count; ++j) {
            const Sample* row = source + j * stride + i;
            a += w[j] * LoadWide<WideLanes>(row);
            b += w[j] * LoadWide<WideLanes>(row + kWideLanes);
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

template <typename WideLanes, typename Sample>
[[gnu::always_inline]] inline void SmoothRowOf(const Sample* const source[5], std::int64_t width,
                                               std::int64_t step, double* scratch, double* out)
{
    constexpr int kWideLanes = kLanesOf<WideLanes>;
    // A copy of the row pointers that the stores cannot touch, so they stay in registers.
    const Sample* rows[5];
    for (int t = 0; t < 5; ++t) rows[t] = source[t];
    std::int64_t c = 0;
    for (; c + kWideLanes <= width; c += kWideLanes) {
        WideLanes sum{};
        for (int t = 0; t < 5; ++t) sum += kSpline[t] * LoadWide<WideLanes>(rows[t] + c);
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
        for (int t = 0; t < 5; ++t)
            sum += kSpline[t] * LoadWide<WideLanes>(scratch + c + (t - 2) * step);
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
template <typename WideLanes>
[[gnu::always_inline]] inline void ResampleRowOf(const double* wy, const float* const source[6],
                                                 std::int64_t sourceWidth, const double* wx,
                                                 std::int64_t offset, std::int64_t width,
                                                 double* line, float* out)
{
    constexpr int kWideLanes = kLanesOf<WideLanes>;
    using FloatLanes = typename VectorOf<float, kWideLanes>::Type;
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
        for (int t = 0; t < 6; ++t) sum += down[t] * LoadWide<WideLanes>(rows[t] + c);
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
        for (int s = 0; s < 6; ++s) sum += along[s] * LoadWide<WideLanes>(taps + s);
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
template <typename WideLanes, typename Level>
[[gnu::always_inline]] inline void WaveletDetailOf(const Level* const rows[5], const float* pan,
                                                   double scale, std::int64_t width,
                                                   std::int64_t step, double* scratch,
                                                   double* detail)
{
    constexpr int kWideLanes = kLanesOf<WideLanes>;
    SmoothRowOf<WideLanes>(rows, width, step, scratch, detail);
    std::int64_t c = 0;
    for (; c + kWideLanes <= width; c += kWideLanes) {
        StoreWide(detail + c,
                  scale * (LoadWide<WideLanes>(pan + c) - LoadWide<WideLanes>(detail + c)));
    }
    for (; c < width; ++c) detail[c] = scale * (pan[c] - detail[c]);
}

// IntensityRow's and MeanRow's loops.
template <typename Lanes>
[[gnu::always_inline]] inline void IntensityRowOf(const double* const* m, int bands,
                                                  const double* weight, double intercept,
                                                  std::int64_t width, double* shared)
{
    constexpr int kWideLanes = kLanesOf<Lanes>;
    std::int64_t c = 0;
    for (; c + kWideLanes <= width; c += kWideLanes) {
        Lanes intensity = Lanes{} + intercept;
        for (int b = 0; b < bands; ++b) intensity += weight[b] * LoadWide<Lanes>(m[b] + c);
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
    constexpr int kWideLanes = kLanesOf<Lanes>;
    const double w = 1.0 / bands;
    std::int64_t c = 0;
    for (; c + kWideLanes <= width; c += kWideLanes) {
        Lanes mean = w * LoadWide<Lanes>(m[0] + c);
        for (int b = 1; b < bands; ++b) mean += w * LoadWide<Lanes>(m[b] + c);
        StoreWide(shared + c, mean);
    }
    for (; c < width; ++c) {
        double mean = w * m[0][c];
        for (int b = 1; b < bands; ++b) mean += w * m[b][c];
        shared[c] = mean;
    }
}

}  // namespace

struct SumRowsKernel {
    template <typename WideLanes>
    static void Run(const double* w, int count, const float* source, std::int64_t stride,
                    std::int64_t width, double* line)
    {
        SumRowsOf<WideLanes>(w, count, source, stride, width, line);
    }
};

void SumRows(const double* w, int count, const float* source, std::int64_t stride,
             std::int64_t width, double* line)
{
    RunWide<SumRowsKernel>(w, count, source, stride, width, line);
}

struct IntensityRowKernel {
    template <typename WideLanes>
    static void Run(const double* const* m, int bands, const double* weight, double intercept,
                    std::int64_t width, double* shared)
    {
        IntensityRowOf<WideLanes>(m, bands, weight, intercept, width, shared);
    }
};

void IntensityRow(const double* const* m, int bands, const double* weight, double intercept,
                  std::int64_t width, double* shared)
{
    RunWide<IntensityRowKernel>(m, bands, weight, intercept, width, shared);
}

struct MeanRowKernel {
    template <typename WideLanes>
    static void Run(const double* const* m, int bands, std::int64_t width, double* shared)
    {
        MeanRowOf<WideLanes>(m, bands, width, shared);
    }
};

void MeanRow(const double* const* m, int bands, std::int64_t width, double* shared)
{
    RunWide<MeanRowKernel>(m, bands, width, shared);
}

void GsaFormula(const BandRowInputs& in, std::int64_t width, double* fused)
{
    RunWide<FormulaKernel<Gsa>>(in, width, fused);
}

void GlpHpmFormula(const BandRowInputs& in, std::int64_t width, double* fused)
{
    RunWide<FormulaKernel<GlpHpm>>(in, width, fused);
}

void AwlpFormula(const BandRowInputs& in, std::int64_t width, double* fused)
{
    RunWide<FormulaKernel<Awlp>>(in, width, fused);
}

void BroveyFormula(const BandRowInputs& in, std::int64_t width, double* fused)
{
    RunWide<FormulaKernel<Brovey>>(in, width, fused);
}

void GlpEbpFormula(const BandRowInputs& in, std::int64_t width, double* fused)
{
    RunWide<FormulaKernel<GlpEbp>>(in, width, fused);
}

void GlpFsFormula(const BandRowInputs& in, std::int64_t width, double* fused)
{
    RunWide<FormulaKernel<GlpFs>>(in, width, fused);
}

struct AddToRowKernel {
    template <typename WideLanes>
    static void Run(const double* add, std::int64_t width, double* row)
    {
        constexpr int kWideLanes = kLanesOf<WideLanes>;
        std::int64_t c = 0;
        for (; c + kWideLanes <= width; c += kWideLanes) {
            StoreWide(row + c, LoadWide<WideLanes>(row + c) + LoadWide<WideLanes>(add + c));
        }
        for (; c < width; ++c) row[c] += add[c];
    }
};

void AddToRow(const double* add, std::int64_t width, double* row)
{
    RunWide<AddToRowKernel>(add, width, row);
}

void StoreFusedRow(SampleType type, const double* fused, std::int64_t width, void* out)
{
    if (type == SampleType::UInt8) {
        RunWide<StoreRowKernel>(fused, width, static_cast<std::uint8_t*>(out));
    } else if (type == SampleType::UInt16) {
        RunWide<StoreRowKernel>(fused, width, static_cast<std::uint16_t*>(out));
    } else {
        RunWide<StoreRowKernel>(fused, width, static_cast<std::int16_t*>(out));
    }
}

std::int16_t NearestSample(double value)
{
    return StoreSample<std::int16_t>(value);
}

struct SmoothRowKernel {
    template <typename WideLanes, typename Sample>
    static void Run(const Sample* const rows[5], std::int64_t width, std::int64_t step,
                    double* scratch, double* out)
    {
        SmoothRowOf<WideLanes>(rows, width, step, scratch, out);
    }
};

void SmoothRow(const double* const rows[5], std::int64_t width, std::int64_t step, double* scratch,
               double* out)
{
    RunWide<SmoothRowKernel>(rows, width, step, scratch, out);
}

void SmoothRow(const float* const rows[5], std::int64_t width, std::int64_t step, double* scratch,
               double* out)
{
    RunWide<SmoothRowKernel>(rows, width, step, scratch, out);
}

struct WaveletDetailRowKernel {
    template <typename WideLanes, typename Level>
    static void Run(const Level* const rows[5], const float* pan, double scale, std::int64_t width,
                    std::int64_t step, double* scratch, double* detail)
    {
        WaveletDetailOf<WideLanes>(rows, pan, scale, width, step, scratch, detail);
    }
};

void WaveletDetailRow(const double* const rows[5], const float* pan, double scale,
                      std::int64_t width, std::int64_t step, double* scratch, double* detail)
{
    RunWide<WaveletDetailRowKernel>(rows, pan, scale, width, step, scratch, detail);
}

void WaveletDetailRow(const float* const rows[5], const float* pan, double scale,
                      std::int64_t width, std::int64_t step, double* scratch, double* detail)
{
    RunWide<WaveletDetailRowKernel>(rows, pan, scale, width, step, scratch, detail);
}

struct ResampleRowKernel {
    template <typename WideLanes>
    static void Run(const double* wy, const float* const rows[6], std::int64_t sourceWidth,
                    const double* wx, std::int64_t offset, std::int64_t width, double* line,
                    float* out)
    {
        ResampleRowOf<WideLanes>(wy, rows, sourceWidth, wx, offset, width, line, out);
    }
};

void ResampleRow(const double* wy, const float* const rows[6], std::int64_t sourceWidth,
                 const double* wx, std::int64_t offset, std::int64_t width, double* line,
                 float* out)
{
    RunWide<ResampleRowKernel>(wy, rows, sourceWidth, wx, offset, width, line, out);
}

}  // namespace lumesta
