#include "imaging/view_stretch.h"

#include <cmath>
#include <limits>

namespace lumesta {
namespace {

constexpr int kBins = 65536;

struct Extremes {
    double min = std::numeric_limits<double>::infinity();
    double max = -std::numeric_limits<double>::infinity();
    bool integral = true;
    std::int64_t nonZero = 0;
};

Extremes NonZeroExtremes(const float* samples, std::int64_t count)
{
    Extremes e;
    for (std::int64_t i = 0; i < count; ++i) {
        const float v = samples[i];
        if (v == 0.0f || std::isnan(v)) continue;
        ++e.nonZero;
        if (v < e.min) e.min = v;
        if (v > e.max) e.max = v;
        if (e.integral && std::floor(v) != v) e.integral = false;
    }
    return e;
}

}  // namespace

BandStatistics ComputeBandStatistics(const float* samples, std::int64_t count)
{
    BandStatistics stats;
    double sum = 0;
    double squares = 0;
    stats.min = std::numeric_limits<double>::infinity();
    stats.max = -std::numeric_limits<double>::infinity();
    for (std::int64_t i = 0; i < count; ++i) {
        const double v = samples[i];
        if (std::isnan(v)) continue;
        ++stats.count;
        sum += v;
        squares += v * v;
        if (v < stats.min) stats.min = v;
        if (v > stats.max) stats.max = v;
    }
    if (stats.count == 0) return BandStatistics{};
    stats.mean = sum / static_cast<double>(stats.count);
    const double variance = squares / static_cast<double>(stats.count) - stats.mean * stats.mean;
    stats.standardDeviation = variance > 0 ? std::sqrt(variance) : 0;
    return stats;
}

std::vector<std::int64_t> ComputeHistogram(const float* samples, std::int64_t count, double low,
                                           double high, int bins)
{
    std::vector<std::int64_t> histogram(static_cast<std::size_t>(std::max(bins, 1)), 0);
    const double width = high > low ? (high - low) / bins : 1.0;
    for (std::int64_t i = 0; i < count; ++i) {
        const double v = samples[i];
        if (std::isnan(v) || v < low || v > high) continue;
        const auto bin = static_cast<std::int64_t>((v - low) / width);
        ++histogram[static_cast<std::size_t>(std::min<std::int64_t>(bin, bins - 1))];
    }
    return histogram;
}

ViewLimits ComputeViewLimits(const float* samples, std::int64_t count, double leftPercent,
                             double rightPercent)
{
    const Extremes e = NonZeroExtremes(samples, count);
    if (e.nonZero == 0) return {};
    const bool byValue = e.integral && e.max - e.min < kBins;
    const double width = byValue ? 1.0 : (e.max - e.min) / kBins;
    if (width <= 0) return {e.min, e.max};
    std::vector<std::int64_t> histogram(kBins, 0);
    for (std::int64_t i = 0; i < count; ++i) {
        const double v = samples[i];
        if (v == 0.0 || std::isnan(v)) continue;
        const auto bin = static_cast<std::int64_t>((v - e.min) / width);
        ++histogram[static_cast<std::size_t>(std::min<std::int64_t>(bin, kBins - 1))];
    }
    // The same percentages as the tools' cut-offs: cumulative count × 100 / total.
    ViewLimits limits{e.min, e.max};
    const double highPercent = 100 - rightPercent;
    std::int64_t cumulative = 0;
    bool lowFound = false;
    for (int bin = 0; bin < kBins; ++bin) {
        cumulative += histogram[bin];
        const double percent =
            static_cast<double>(cumulative) * 100.0 / static_cast<double>(e.nonZero);
        if (!lowFound && percent >= leftPercent) {
            limits.low = e.min + bin * width;
            lowFound = true;
        }
        if (percent >= highPercent) {
            limits.high = byValue ? e.min + bin : e.min + (bin + 1) * width;
            break;
        }
    }
    return limits;
}

ViewLimits ComputeMeanSigmaLimits(const float* samples, std::int64_t count, double sigmas)
{
    double sum = 0;
    std::int64_t used = 0;
    for (std::int64_t i = 0; i < count; ++i) {
        if (samples[i] == 0 || std::isnan(samples[i])) continue;
        sum += samples[i];
        ++used;
    }
    if (used == 0) return {};
    const double mean = sum / used;
    double squares = 0;
    for (std::int64_t i = 0; i < count; ++i) {
        if (samples[i] == 0 || std::isnan(samples[i])) continue;
        squares += (samples[i] - mean) * (samples[i] - mean);
    }
    const double deviation = std::sqrt(squares / used);
    return {mean - sigmas * deviation, mean + sigmas * deviation};
}

}  // namespace lumesta
