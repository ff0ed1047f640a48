#include "imaging/mtf_filter.h"

#include <algorithm>
#include <cmath>

#include "core/wide_lanes.h"

namespace lumesta {
namespace {

constexpr double kPi = 3.14159265358979323846;

std::int64_t OutputSide(std::int64_t side, int step, int offset)
{
    return side > offset ? (side - offset + step - 1) / step : 0;
}

}  // namespace

MtfTaps MtfGaussian(double gain, int ratio)
{
    const double sigma = ratio * std::sqrt(-2.0 * std::log(gain)) / kPi;
    MtfTaps taps{};
    double sum = 0;
    for (int k = 0; k < kMtfTaps; ++k) {
        const double x = k - kMtfHalo;
        taps[k] = std::exp(-(x * x) / (2 * sigma * sigma));
        sum += taps[k];
    }
    for (double& tap : taps) tap /= sum;
    return taps;
}

double FilterResponse(const MtfTaps& taps, double frequency)
{
    double response = 0;
    for (int k = 0; k < kMtfTaps; ++k) {
        response += taps[k] * std::cos(2 * kPi * frequency * (k - kMtfHalo));
    }
    return response;
}

namespace {

// Down the columns: scratch[x] = Σ_k taps[k] · rows[k][x], every sum starting from 0 and adding
// the taps in order, four vectors of columns at a time in vector registers.
template <typename WideLanes, typename Sample>
[[gnu::always_inline]] inline void FilterColumns(const MtfTaps& taps, const Sample* const* rows,
                                                 std::int64_t width, double* scratch)
{
    constexpr int kWideLanes = kLanesOf<WideLanes>;
    std::int64_t x0 = 0;
    // Four runs of columns at once: their sums do not wait for each other's additions.
    for (; x0 + 4 * kWideLanes <= width; x0 += 4 * kWideLanes) {
        WideLanes a{};
        WideLanes b{};
        WideLanes c{};
        WideLanes d{};
        for (int k = 0; k < kMtfTaps; ++k) {
            const Sample* row = rows[k] + x0;
            a += taps[k] * LoadSamples<WideLanes>(row);
            b += taps[k] * LoadSamples<WideLanes>(row + kWideLanes);
            c += taps[k] * LoadSamples<WideLanes>(row + 2 * kWideLanes);
            d += taps[k] * LoadSamples<WideLanes>(row + 3 * kWideLanes);
        }
        StoreWide(scratch + x0, a);
        StoreWide(scratch + x0 + kWideLanes, b);
        StoreWide(scratch + x0 + 2 * kWideLanes, c);
        StoreWide(scratch + x0 + 3 * kWideLanes, d);
    }
    for (; x0 + kWideLanes <= width; x0 += kWideLanes) {
        WideLanes a{};
        for (int k = 0; k < kMtfTaps; ++k) a += taps[k] * LoadSamples<WideLanes>(rows[k] + x0);
        StoreWide(scratch + x0, a);
    }
    for (std::int64_t x = x0; x < width; ++x) {
        double sum = 0;
        for (int k = 0; k < kMtfTaps; ++k) sum += taps[k] * rows[k][x];
        scratch[x] = sum;
    }
}

// FilterColumns of Count windows at once (rows[w] is window w's 41 rows): each output's sum
// runs over its own window's rows in order of k, as FilterColumns sums it; row k of every
// window is read in the same step, so where the windows overlap a row comes from memory once
// for all of them.
template <int Count, typename WideLanes, typename Sample>
[[gnu::always_inline]] inline void FilterColumnsGroup(const MtfTaps& taps,
                                                      const Sample* const* const* rows,
                                                      std::int64_t width, double* const* scratch)
{
    constexpr int kWideLanes = kLanesOf<WideLanes>;
    std::int64_t x0 = 0;
    for (; x0 + 2 * kWideLanes <= width; x0 += 2 * kWideLanes) {
        WideLanes sums[Count][2] = {};
        for (int k = 0; k < kMtfTaps; ++k) {
            for (int w = 0; w < Count; ++w) {
                const Sample* row = rows[w][k] + x0;
                sums[w][0] += taps[k] * LoadSamples<WideLanes>(row);
                sums[w][1] += taps[k] * LoadSamples<WideLanes>(row + kWideLanes);
            }
        }
        for (int w = 0; w < Count; ++w) {
            StoreWide(scratch[w] + x0, sums[w][0]);
            StoreWide(scratch[w] + x0 + kWideLanes, sums[w][1]);
        }
    }
    for (std::int64_t x = x0; x < width; ++x) {
        for (int w = 0; w < Count; ++w) {
            double sum = 0;
            for (int k = 0; k < kMtfTaps; ++k) sum += taps[k] * rows[w][k][x];
            scratch[w][x] = sum;
        }
    }
}

// The line's samples split into its step phases: phase q (at phases + q · phaseLength) holds
// samples q, q + step, ... A step of 4 moves four vectors of samples at a time through shuffles.
template <typename WideLanes>
[[gnu::always_inline]] inline void SplitPhases(const double* line, std::int64_t width, int step,
                                               std::int64_t phaseLength, double* phases)
{
    constexpr int kWideLanes = kLanesOf<WideLanes>;
    std::int64_t i = 0;
    if (step == 4) {
        for (; 4 * (i + kWideLanes) <= width; i += kWideLanes) {
            const double* from = line + 4 * i;
            const WideLanes a = LoadWide<WideLanes>(from);
            const WideLanes b = LoadWide<WideLanes>(from + kWideLanes);
            const WideLanes c = LoadWide<WideLanes>(from + 2 * kWideLanes);
            const WideLanes d = LoadWide<WideLanes>(from + 3 * kWideLanes);
            double* to0 = phases + i;
            double* to1 = phases + phaseLength + i;
            double* to2 = phases + 2 * phaseLength + i;
            double* to3 = phases + 3 * phaseLength + i;
            if constexpr (kWideLanes == 8) {
                // ab: a0 a4 b0 b4 a1 a5 b1 b5; ab2: a2 a6 b2 b6 a3 a7 b3 b7; cd and cd2 alike.
                const WideLanes ab = __builtin_shufflevector(a, b, 0, 4, 8, 12, 1, 5, 9, 13);
                const WideLanes ab2 = __builtin_shufflevector(a, b, 2, 6, 10, 14, 3, 7, 11, 15);
                const WideLanes cd = __builtin_shufflevector(c, d, 0, 4, 8, 12, 1, 5, 9, 13);
                const WideLanes cd2 = __builtin_shufflevector(c, d, 2, 6, 10, 14, 3, 7, 11, 15);
                // Phase 0 is the low halves of ab and cd, phase 1 their high halves; 2 and 3 alike.
                StoreWide(to0, __builtin_shufflevector(ab, cd, 0, 1, 2, 3, 8, 9, 10, 11));
                StoreWide(to1, __builtin_shufflevector(ab, cd, 4, 5, 6, 7, 12, 13, 14, 15));
                StoreWide(to2, __builtin_shufflevector(ab2, cd2, 0, 1, 2, 3, 8, 9, 10, 11));
                StoreWide(to3, __builtin_shufflevector(ab2, cd2, 4, 5, 6, 7, 12, 13, 14, 15));
            } else if constexpr (kWideLanes == 4) {
                // ab: a0 b0 a1 b1 (samples 0 4 1 5); ab2: a2 b2 a3 b3; cd and cd2 alike.
                const WideLanes ab = __builtin_shufflevector(a, b, 0, 4, 1, 5);
                const WideLanes ab2 = __builtin_shufflevector(a, b, 2, 6, 3, 7);
                const WideLanes cd = __builtin_shufflevector(c, d, 0, 4, 1, 5);
                const WideLanes cd2 = __builtin_shufflevector(c, d, 2, 6, 3, 7);
                StoreWide(to0, __builtin_shufflevector(ab, cd, 0, 1, 4, 5));
                StoreWide(to1, __builtin_shufflevector(ab, cd, 2, 3, 6, 7));
                StoreWide(to2, __builtin_shufflevector(ab2, cd2, 0, 1, 4, 5));
                StoreWide(to3, __builtin_shufflevector(ab2, cd2, 2, 3, 6, 7));
            } else {
                static_assert(kWideLanes == 2, "SplitPhases takes vectors of 2, 4 or 8 lanes");
                // a: samples 0 1, b: 2 3, c: 4 5, d: 6 7.
                StoreWide(to0, __builtin_shufflevector(a, c, 0, 2));
                StoreWide(to1, __builtin_shufflevector(a, c, 1, 3));
                StoreWide(to2, __builtin_shufflevector(b, d, 0, 2));
                StoreWide(to3, __builtin_shufflevector(b, d, 1, 3));
            }
        }
    }
    for (int q = 0; q < step; ++q) {
        double* to = phases + q * phaseLength;
        for (std::int64_t n = i; q + n * step < width; ++n) to[n] = line[q + n * step];
    }
}

// Along the row: out[j] = Σ_k taps[k] · line[offset + j·step − kMtfHalo + k] (edge-replicated),
// summed from 0 in order of k. Away from the ends a vector of outputs is summed side by side
// from the line split into its step phases (phase q holding samples q, q + step, ...), so that
// each tap reads consecutive samples.
template <typename WideLanes>
[[gnu::always_inline]] inline void FilterAlong(const MtfTaps& taps, const double* line,
                                               std::int64_t width, int step, int offset,
                                               std::int64_t outWidth, double* out)
{
    constexpr int kWideLanes = kLanesOf<WideLanes>;
    const auto edge = [&](std::int64_t j) {
        const std::int64_t centre = offset + j * step;
        double sum = 0;
        for (int k = 0; k < kMtfTaps; ++k) {
            sum += taps[k] * line[ClampIndex(centre - kMtfHalo + k, width)];
        }
        out[j] = sum;
    };
    // Outputs j0 .. j1 − 1 have all their taps inside the line.
    const std::int64_t j0 = std::min<std::int64_t>(
        outWidth, offset >= kMtfHalo ? 0 : (kMtfHalo - offset + step - 1) / step);
    std::int64_t j1 =
        width - kMtfHalo - offset > 0 ? (width - kMtfHalo - offset - 1) / step + 1 : 0;
    j1 = std::clamp<std::int64_t>(j1, j0, outWidth);
    for (std::int64_t j = 0; j < j0; ++j) edge(j);
    thread_local std::vector<double> phases;
    const std::int64_t phaseLength = (width + step - 1) / step;
    const double* phase[kMtfTaps];
    std::int64_t shift[kMtfTaps];
    if (step == 1) {
        for (int k = 0; k < kMtfTaps; ++k) {
            phase[k] = line;
            shift[k] = offset - kMtfHalo + k;
        }
    } else {
        phases.resize(static_cast<std::size_t>(step * phaseLength));
        SplitPhases<WideLanes>(line, width, step, phaseLength, phases.data());
        for (int k = 0; k < kMtfTaps; ++k) {
            const int d = offset - kMtfHalo + k;
            const int q = ((d % step) + step) % step;
            phase[k] = phases.data() + q * phaseLength;
            shift[k] = (d - q) / step;
        }
    }
    std::int64_t j = j0;
    // Four runs of outputs at once: their sums do not wait for each other's additions.
    for (; j + 4 * kWideLanes <= j1; j += 4 * kWideLanes) {
        WideLanes a{};
        WideLanes b{};
        WideLanes c{};
        WideLanes d{};
        for (int k = 0; k < kMtfTaps; ++k) {
            const double* from = phase[k] + j + shift[k];
            a += taps[k] * LoadWide<WideLanes>(from);
            b += taps[k] * LoadWide<WideLanes>(from + kWideLanes);
            c += taps[k] * LoadWide<WideLanes>(from + 2 * kWideLanes);
            d += taps[k] * LoadWide<WideLanes>(from + 3 * kWideLanes);
        }
        StoreWide(out + j, a);
        StoreWide(out + j + kWideLanes, b);
        StoreWide(out + j + 2 * kWideLanes, c);
        StoreWide(out + j + 3 * kWideLanes, d);
    }
    for (; j + kWideLanes <= j1; j += kWideLanes) {
        WideLanes sum{};
        for (int k = 0; k < kMtfTaps; ++k)
            sum += taps[k] * LoadWide<WideLanes>(phase[k] + j + shift[k]);
        StoreWide(out + j, sum);
    }
    for (; j < j1; ++j) {
        double sum = 0;
        for (int k = 0; k < kMtfTaps; ++k) sum += taps[k] * phase[k][j + shift[k]];
        out[j] = sum;
    }
    for (j = j1; j < outWidth; ++j) edge(j);
}

// Down the columns, then along the row (FilterDecimateRow).
struct FilterDecimateKernel {
    template <typename WideLanes, typename Sample>
    static void Run(const MtfTaps& taps, const Sample* const* rows, std::int64_t sourceWidth,
                    int step, int offset, std::int64_t outWidth, double* scratch, double* out)
    {
        FilterColumns<WideLanes>(taps, rows, sourceWidth, scratch);
        FilterAlong<WideLanes>(taps, scratch, sourceWidth, step, offset, outWidth, out);
    }
};

// Several rows down the columns at once, then each along its row (FilterDecimateRowGroup).
template <int Count>
struct FilterDecimateGroupKernel {
    template <typename WideLanes, typename Sample>
    static void Run(const MtfTaps& taps, const Sample* const* const* rows, std::int64_t sourceWidth,
                    int step, int offset, std::int64_t outWidth, double* const* scratch,
                    double* const* out)
    {
        FilterColumnsGroup<Count, WideLanes>(taps, rows, sourceWidth, scratch);
        for (int w = 0; w < Count; ++w) {
            FilterAlong<WideLanes>(taps, scratch[w], sourceWidth, step, offset, outWidth, out[w]);
        }
    }
};

struct FilterDownColumnsKernel {
    template <typename WideLanes>
    static void Run(const MtfTaps& taps, const double* const* rows, std::int64_t width, double* out)
    {
        FilterColumns<WideLanes>(taps, rows, width, out);
    }
};

struct FilterAlongLineKernel {
    template <typename WideLanes>
    static void Run(const MtfTaps& taps, const double* line, std::int64_t width, int step,
                    int offset, std::int64_t outWidth, double* out)
    {
        FilterAlong<WideLanes>(taps, line, width, step, offset, outWidth, out);
    }
};

}  // namespace

void FilterDecimateRow(const MtfTaps& taps, const double* const* rows, std::int64_t sourceWidth,
                       int step, int offset, std::int64_t outWidth, double* scratch, double* out)
{
    RunWide<FilterDecimateKernel>(taps, rows, sourceWidth, step, offset, outWidth, scratch, out);
}

void FilterDecimateRow(const MtfTaps& taps, const float* const* rows, std::int64_t sourceWidth,
                       int step, int offset, std::int64_t outWidth, double* scratch, double* out)
{
    RunWide<FilterDecimateKernel>(taps, rows, sourceWidth, step, offset, outWidth, scratch, out);
}

void FilterDecimateRow(const MtfTaps& taps, const std::int16_t* const* rows,
                       std::int64_t sourceWidth, int step, int offset, std::int64_t outWidth,
                       double* scratch, double* out)
{
    RunWide<FilterDecimateKernel>(taps, rows, sourceWidth, step, offset, outWidth, scratch, out);
}

void FilterDecimateRowGroup(const MtfTaps& taps, int count, const float* const* const* rows,
                            std::int64_t sourceWidth, int step, int offset, std::int64_t outWidth,
                            double* const* scratch, double* const* out)
{
    if (count >= 2) {
        RunWide<FilterDecimateGroupKernel<2>>(taps, rows, sourceWidth, step, offset, outWidth,
                                              scratch, out);
    } else {
        RunWide<FilterDecimateKernel>(taps, rows[0], sourceWidth, step, offset, outWidth,
                                      scratch[0], out[0]);
    }
}

void FilterDownColumns(const MtfTaps& taps, const double* const* rows, std::int64_t width,
                       double* out)
{
    RunWide<FilterDownColumnsKernel>(taps, rows, width, out);
}

void FilterAlongLine(const MtfTaps& taps, const double* line, std::int64_t width, int step,
                     int offset, std::int64_t outWidth, double* out)
{
    RunWide<FilterAlongLineKernel>(taps, line, width, step, offset, outWidth, out);
}

MtfFilterStream::MtfFilterStream(RowStream& source, const MtfTaps& taps, int step, int offset)
    : RowStream(OutputSide(source.Width(), step, offset),
                OutputSide(source.Height(), step, offset)),
      m_source(source),
      m_taps(taps),
      m_step(step),
      m_offset(offset),
      m_column(static_cast<std::size_t>(source.Width()))
{
}

bool MtfFilterStream::Produce(std::int64_t y, double* out)
{
    const std::int64_t centre = m_offset + y * m_step;
    // The source rows arrive in increasing order, so the lowest row is asked for first.
    std::array<const double*, kMtfTaps> rows{};
    for (int k = 0; k < kMtfTaps; ++k) {
        rows[k] = m_source.Row(ClampIndex(centre - kMtfHalo + k, m_source.Height()));
    }
    FilterDecimateRow(m_taps, rows.data(), m_source.Width(), m_step, m_offset, Width(),
                      m_column.data(), out);
    return !m_source.Failed();
}

}  // namespace lumesta
