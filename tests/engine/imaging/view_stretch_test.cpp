// The viewer's stretch limits must equal the tools' picture cut-offs on 11-bit data and behave
// sensibly on data the tools never see (floats, wide integers, empty bands).

#include "imaging/view_stretch.h"

#include <gtest/gtest.h>

#include <cmath>

#include "imaging/stretch.h"

namespace lumesta {
namespace {

TEST(ViewStretchTest, ElevenBitLimitsEqualThePictureCutoffs)
{
    std::vector<std::int16_t> samples;
    unsigned state = 7;
    for (int i = 0; i < 20000; ++i) {
        state = state * 1103515245u + 12345u;
        samples.push_back(static_cast<std::int16_t>((state >> 8) % 700 + (i % 5 == 0 ? 0 : 300)));
    }
    samples.insert(samples.end(), 20000, 0);  // background, left out of both
    const std::vector<float> asFloat(samples.begin(), samples.end());
    for (const auto& [left, right] : {std::pair{2, 2}, std::pair{1, 20}, std::pair{20, 1}}) {
        const StretchCutoffs tools = ComputeStretchCutoffs16(
            static_cast<std::int64_t>(samples.size()), samples.data(), left, right);
        const ViewLimits view = ComputeViewLimits(
            asFloat.data(), static_cast<std::int64_t>(asFloat.size()), left, right);
        EXPECT_EQ(view.low, tools.low) << left << "/" << right;
        EXPECT_EQ(view.high, tools.high) << left << "/" << right;
    }
}

// Integer samples, background zeros included, are cut as the picture cuts them (above); floats
// fall into equal bins between the extremes.
TEST(ViewStretchTest, FloatLimitsAreBinEdgesAroundTheRanksAndZeroIsBackground)
{
    std::vector<float> floats;
    for (int v = 1; v <= 1000; ++v) floats.push_back(v * 0.001f);
    ViewLimits limits =
        ComputeViewLimits(floats.data(), static_cast<std::int64_t>(floats.size()), 2, 2);
    EXPECT_NEAR(limits.low, 0.020, 0.001);
    EXPECT_NEAR(limits.high, 0.980, 0.001);
    EXPECT_LT(limits.low, limits.high);

    const std::vector<float> empty(50, 0.0f);
    limits = ComputeViewLimits(empty.data(), 50, 2, 2);
    EXPECT_EQ(limits.low, 0);
    EXPECT_EQ(limits.high, 0);
}

TEST(ViewStretchTest, StatisticsAndHistogramOfAKnownBand)
{
    const std::vector<float> samples = {1, 2, 3, 4, NAN, 10};
    const BandStatistics stats = ComputeBandStatistics(samples.data(), 6);
    EXPECT_EQ(stats.count, 5);
    EXPECT_EQ(stats.min, 1);
    EXPECT_EQ(stats.max, 10);
    EXPECT_DOUBLE_EQ(stats.mean, 4);
    EXPECT_DOUBLE_EQ(stats.standardDeviation, std::sqrt(10.0));
    const std::vector<std::int64_t> histogram = ComputeHistogram(samples.data(), 6, 0, 10, 5);
    EXPECT_EQ(histogram, (std::vector<std::int64_t>{1, 2, 1, 0, 1}));
    // Mean ± 2σ leaves the background zeros and NaN out: mean 4, σ √10 over 1, 2, 3, 4, 10.
    const std::vector<float> framed = {0, 1, 2, 0, 3, 4, NAN, 10, 0};
    const ViewLimits limits = ComputeMeanSigmaLimits(framed.data(), 9, 2);
    EXPECT_DOUBLE_EQ(limits.low, 4 - 2 * std::sqrt(10.0));
    EXPECT_DOUBLE_EQ(limits.high, 4 + 2 * std::sqrt(10.0));
}

}  // namespace
}  // namespace lumesta
