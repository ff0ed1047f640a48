#pragma once
// The numbers behind the image viewer's display: per-band statistics of a (decimated) read,
// histograms, and the cut-off stretch limits for any sample type. Zero-valued samples are image
// background, as in the tools' pictures: they take no part in the cut-offs.

#include <cstdint>
#include <vector>

namespace lumesta {

struct BandStatistics {
    std::int64_t count = 0;  // samples looked at
    double min = 0;
    double max = 0;
    double mean = 0;
    double standardDeviation = 0;  // of the population
};

// Statistics of count samples (NaN samples are skipped).
BandStatistics ComputeBandStatistics(const float* samples, std::int64_t count);

// bins counts over [low, high]: bin k holds low + k × width <= v < low + (k + 1) × width, the
// last bin including high; values outside and NaN are not counted.
std::vector<std::int64_t> ComputeHistogram(const float* samples, std::int64_t count, double low,
                                           double high, int bins);

struct ViewLimits {
    double low = 0;
    double high = 0;
};

// Cut-off limits over the non-zero samples: low is the smallest value whose cumulative share
// reaches leftPercent, high the smallest reaching 100 − rightPercent. Integer-valued samples
// within a range of 65536 values are counted value by value (for 11-bit data in 1..2047 this
// gives the tools' picture cut-offs exactly); other data in 65536 equal bins between their
// extremes, low taking its bin's lower edge and high its upper edge. No non-zero sample: 0, 0.
ViewLimits ComputeViewLimits(const float* samples, std::int64_t count, double leftPercent,
                             double rightPercent);

// mean ± sigmas × standard deviation of the non-zero, non-NaN samples (the population's); none:
// 0, 0.
ViewLimits ComputeMeanSigmaLimits(const float* samples, std::int64_t count, double sigmas);

}  // namespace lumesta
