#include "fusion/injection/upsample_weights.h"

#include <algorithm>
#include <utility>

#include "core/double_lanes.h"
#include "core/wide_lanes.h"
#include "imaging/interpolator23.h"

namespace lumesta {
namespace {

// Coarse samples on each side of an impulse that its upsampled response can reach, with room
// to spare: every ×2 step reaches 6 coarse samples, and the samples padded in at the ends of a
// shortened line are zeros as long as the impulse stays this far from them.
constexpr std::int64_t kReach = 12;

// The upsampled response of coarse sample i of a line of `coarse` samples, on the stretch of
// the line that it can reach: fine samples ratio·lo .. ratio·hi − 1.
std::vector<double> ImpulseResponse(std::int64_t i, std::int64_t coarse, int ratio,
                                    std::int64_t& lo)
{
    lo = std::max<std::int64_t>(0, i - kReach);
    const std::int64_t hi = std::min(coarse, i + kReach + 1);
    std::vector<double> line(static_cast<std::size_t>(hi - lo), 0.0);
    line[static_cast<std::size_t>(i - lo)] = 1.0;
    std::vector<double> finer;
    int phase = 1;  // the first step puts sample j on 2j + 1, later ones on 2j
    for (int r = ratio; r > 1; r /= 2, phase = 0) {
        finer.assign(2 * line.size(), 0.0);
        Upsample2Line(line.data(), static_cast<std::int64_t>(line.size()), phase, finer.data());
        line.swap(finer);
    }
    return line;
}

// Fine samples 4·i .. 4·i + 4·n − 1 from the four phases' sums of samples i .. i + n − 1 (a
// vector of n lanes each), by shuffles that transpose the four vectors.
template <typename Lanes>
[[gnu::always_inline]] inline void Interleave4(const Lanes phase[4], double* out)
{
    constexpr int n = kLanesOf<Lanes>;
    if constexpr (n == 8) {
        const Lanes ab0 = __builtin_shufflevector(phase[0], phase[1], 0, 8, 1, 9, 2, 10, 3, 11);
        const Lanes ab1 = __builtin_shufflevector(phase[0], phase[1], 4, 12, 5, 13, 6, 14, 7, 15);
        const Lanes cd0 = __builtin_shufflevector(phase[2], phase[3], 0, 8, 1, 9, 2, 10, 3, 11);
        const Lanes cd1 = __builtin_shufflevector(phase[2], phase[3], 4, 12, 5, 13, 6, 14, 7, 15);
        StoreWide(out, __builtin_shufflevector(ab0, cd0, 0, 1, 8, 9, 2, 3, 10, 11));
        StoreWide(out + n, __builtin_shufflevector(ab0, cd0, 4, 5, 12, 13, 6, 7, 14, 15));
        StoreWide(out + 2 * n, __builtin_shufflevector(ab1, cd1, 0, 1, 8, 9, 2, 3, 10, 11));
        StoreWide(out + 3 * n, __builtin_shufflevector(ab1, cd1, 4, 5, 12, 13, 6, 7, 14, 15));
    } else if constexpr (n == 4) {
        // ab0: p0[0] p1[0] p0[1] p1[1]; ab1: p0[2] p1[2] p0[3] p1[3]; cd0 and cd1 alike.
        const Lanes ab0 = __builtin_shufflevector(phase[0], phase[1], 0, 4, 1, 5);
        const Lanes ab1 = __builtin_shufflevector(phase[0], phase[1], 2, 6, 3, 7);
        const Lanes cd0 = __builtin_shufflevector(phase[2], phase[3], 0, 4, 1, 5);
        const Lanes cd1 = __builtin_shufflevector(phase[2], phase[3], 2, 6, 3, 7);
        StoreWide(out, __builtin_shufflevector(ab0, cd0, 0, 1, 4, 5));
        StoreWide(out + n, __builtin_shufflevector(ab0, cd0, 2, 3, 6, 7));
        StoreWide(out + 2 * n, __builtin_shufflevector(ab1, cd1, 0, 1, 4, 5));
        StoreWide(out + 3 * n, __builtin_shufflevector(ab1, cd1, 2, 3, 6, 7));
    } else {
        static_assert(n == 2, "Interleave4 takes vectors of 2, 4 or 8 lanes");
        StoreWide(out, __builtin_shufflevector(phase[0], phase[1], 0, 2));
        StoreWide(out + 2, __builtin_shufflevector(phase[2], phase[3], 0, 2));
        StoreWide(out + 4, __builtin_shufflevector(phase[0], phase[1], 1, 3));
        StoreWide(out + 6, __builtin_shufflevector(phase[2], phase[3], 1, 3));
    }
}

// Phase sums of Blocks runs of n samples from sample i on (n the lanes): sums[b][p] for samples
// i + n·b .. i + n·b + n − 1. The runs' sums are independent, so their additions overlap.
template <int Blocks, typename WideLanes>
[[gnu::always_inline]] inline void PhaseSums(const double* const* w, const double* const* x,
                                             const int* count, std::int64_t i, WideLanes sums[][4])
{
    constexpr int kWideLanes = kLanesOf<WideLanes>;
    for (int p = 0; p < 4; ++p) {
        const double* xp = x[p] + i;
        const double* wp = w[p];
        WideLanes sum[Blocks];
        for (int b = 0; b < Blocks; ++b) {
            sum[b] = WideLanes{} + wp[0] * LoadWide<WideLanes>(xp + b * kWideLanes);
        }
        for (int j = 1; j < count[p]; ++j) {
            for (int b = 0; b < Blocks; ++b) {
                sum[b] += wp[j] * LoadWide<WideLanes>(xp + j + b * kWideLanes);
            }
        }
        for (int b = 0; b < Blocks; ++b) sums[b][p] = sum[b];
    }
}

// The periodic stretch of a line upsampled by four: fine sample 4·i + p is
// Σ_j w[p][j] · x[p][i + j], summed from 0 in order of j, as the general sum does. A vector of
// samples of each phase is summed side by side, four runs of them at once, then interleaved into
// consecutive fine samples.
struct ApplyPeriodic4Kernel {
    template <typename WideLanes>
    static void Run(const double* const* w, const double* const* x, const int* count,
                    std::int64_t samples, double* out)
    {
        constexpr int kWideLanes = kLanesOf<WideLanes>;
        constexpr int kRuns = 4;
        std::int64_t i = 0;
        for (; i + kRuns * kWideLanes <= samples; i += kRuns * kWideLanes) {
            WideLanes sums[kRuns][4];
            PhaseSums<kRuns>(w, x, count, i, sums);
            for (int b = 0; b < kRuns; ++b) Interleave4(sums[b], out + 4 * (i + b * kWideLanes));
        }
        for (; i + kWideLanes <= samples; i += kWideLanes) {
            WideLanes sums[1][4];
            PhaseSums<1>(w, x, count, i, sums);
            Interleave4(sums[0], out + 4 * i);
        }
        for (; i < samples; ++i) {
            for (int p = 0; p < 4; ++p) {
                double sum = 0 + w[p][0] * x[p][i];
                for (int j = 1; j < count[p]; ++j) sum += w[p][j] * x[p][i + j];
                out[4 * i + p] = sum;
            }
        }
    }
};

void ApplyPeriodic4(const double* const* w, const double* const* x, const int* count,
                    std::int64_t samples, double* out)
{
    RunWide<ApplyPeriodic4Kernel>(w, x, count, samples, out);
}

}  // namespace

AxisWeights::AxisWeights(std::int64_t coarse, int ratio)
{
    const std::int64_t fine = coarse * ratio;
    std::vector<std::vector<std::pair<std::int64_t, double>>> taps(static_cast<std::size_t>(fine));
    for (std::int64_t i = 0; i < coarse; ++i) {
        std::int64_t lo = 0;
        const std::vector<double> response = ImpulseResponse(i, coarse, ratio, lo);
        for (std::size_t t = 0; t < response.size(); ++t) {
            if (response[t] != 0) taps[ratio * lo + t].emplace_back(i, response[t]);
        }
    }
    m_first.assign(static_cast<std::size_t>(fine), 0);
    m_count.assign(static_cast<std::size_t>(fine), 0);
    for (const auto& list : taps) {
        if (!list.empty()) {
            m_stride = std::max<std::size_t>(
                m_stride, static_cast<std::size_t>(list.back().first - list.front().first + 1));
        }
    }
    m_weights.assign(static_cast<std::size_t>(fine) * m_stride, 0.0);
    for (std::size_t n = 0; n < taps.size(); ++n) {
        if (taps[n].empty()) continue;
        m_first[n] = taps[n].front().first;
        m_count[n] = static_cast<int>(taps[n].back().first - m_first[n] + 1);
        for (const auto& [index, weight] : taps[n]) {
            m_weights[n * m_stride + static_cast<std::size_t>(index - m_first[n])] = weight;
        }
    }
    FindPeriodicStretch(ratio);
    DropRepeatedWeights();
}

void AxisWeights::DropRepeatedWeights()
{
    if (m_periodicEnd <= m_periodicBegin) {
        m_periodicBegin = m_periodicEnd = Fine();  // every sample keeps its own weights
        m_keptBeforeEnd = Fine();
        return;
    }
    const std::int64_t head = std::min(m_periodicBegin + m_ratio, m_periodicEnd);
    const auto at = [&](std::int64_t n) {
        return m_weights.begin() + n * static_cast<std::int64_t>(m_stride);
    };
    std::copy(at(m_periodicEnd), m_weights.end(), at(head));
    m_weights.resize(static_cast<std::size_t>((head + Fine() - m_periodicEnd)) * m_stride);
    m_weights.shrink_to_fit();
    m_keptBeforeEnd = head;
}

void AxisWeights::FindPeriodicStretch(int ratio)
{
    m_ratio = ratio;
    const std::int64_t begin = ratio * (2 * kReach + 2);
    const std::int64_t end = Fine() - ratio * (2 * kReach + 2);
    if (begin + ratio >= end) return;
    for (std::int64_t n = begin + ratio; n < end; ++n) {
        const std::int64_t model = n - ratio;
        if (Count(n) != Count(model) || First(n) != First(model) + 1 ||
            !std::equal(Weights(n), Weights(n) + m_stride, Weights(model))) {
            return;  // not periodic: every sample takes the general sum
        }
    }
    m_periodicBegin = begin;
    m_periodicEnd = end;
}

void AxisWeights::Apply(const double* in, double* out) const
{
    const auto general = [&](std::int64_t n) {
        const double* w = Weights(n);
        const double* x = in + First(n);
        double sum = 0;
        for (int j = 0; j < Count(n); ++j) sum += w[j] * x[j];
        out[n] = sum;
    };
    for (std::int64_t n = 0; n < m_periodicBegin; ++n) general(n);
    if (m_ratio == 4 && m_periodicEnd > m_periodicBegin) {
        const double* w[4];
        const double* x[4];
        int count[4];
        for (int p = 0; p < 4; ++p) {
            w[p] = Weights(m_periodicBegin + p);
            x[p] = in + First(m_periodicBegin + p);
            count[p] = Count(m_periodicBegin + p);
        }
        ApplyPeriodic4(w, x, count, (m_periodicEnd - m_periodicBegin) / 4, out + m_periodicBegin);
        for (std::int64_t n = m_periodicEnd; n < Fine(); ++n) general(n);
        return;
    }
    // The periodic stretch, one phase at a time: the same weights for every sample, summed in
    // the same order as the general sum. Blocks of eight samples keep their sums in vector
    // registers while the taps run.
    for (std::int64_t n0 = m_periodicBegin; n0 < m_periodicBegin + m_ratio && n0 < m_periodicEnd;
         ++n0) {
        const std::int64_t samples = (m_periodicEnd - n0 + m_ratio - 1) / m_ratio;
        const double* w = Weights(n0);
        const double* x = in + First(n0);
        const int count = Count(n0);
        std::int64_t i = 0;
        for (; i + kBlockSamples <= samples; i += kBlockSamples) {
            const DoubleLanes zero{};
            DoubleLanes sums[kBlockVectors];
            for (int v = 0; v < kBlockVectors; ++v) {
                sums[v] = zero + w[0] * LoadLanes(x + i + v * kLanes);
            }
            for (int j = 1; j < count; ++j) {
                for (int v = 0; v < kBlockVectors; ++v) {
                    sums[v] += w[j] * LoadLanes(x + i + j + v * kLanes);
                }
            }
            for (int l = 0; l < kBlockSamples; ++l) {
                out[n0 + (i + l) * m_ratio] = sums[l / kLanes][l % kLanes];
            }
        }
        for (; i < samples; ++i) {
            double sum = 0 + w[0] * x[i];
            for (int j = 1; j < count; ++j) sum += w[j] * x[i + j];
            out[n0 + i * m_ratio] = sum;
        }
    }
    for (std::int64_t n = std::max(m_periodicBegin, m_periodicEnd); n < Fine(); ++n) general(n);
}

}  // namespace lumesta
