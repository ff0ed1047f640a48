// MTF-matched Gaussians and the 23-tap interpolator: their defining properties. (The streamed
// filters against whole-image ones at ratios 2, 4 and 8, on images narrower than the filters
// too: the numpy reference, tests/reference, through degrade and quality full.)

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "imaging/interpolator23.h"
#include "imaging/mtf_filter.h"
#include "imaging/row_stream.h"
#include "imaging/sensor_gains.h"

namespace lumesta {
namespace {

std::vector<double> RandomImage(std::int64_t width, std::int64_t height, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> value(-50.0, 2000.0);
    std::vector<double> image(static_cast<std::size_t>(width * height));
    for (double& sample : image) sample = value(random);
    return image;
}

TEST(MtfFilterTest, GaussianHasUnitSumAndTheSensorGainAtNyquist)
{
    for (const SensorGains& sensor : KnownSensors()) {
        for (int ratio : {2, 4}) {
            for (double gain : {sensor.ms[0], sensor.ms[3], sensor.pan}) {
                const MtfTaps taps = MtfGaussian(gain, ratio);
                double sum = 0;
                for (double tap : taps) sum += tap;
                EXPECT_NEAR(sum, 1.0, 1e-15);
                EXPECT_NEAR(FilterResponse(taps, 1.0 / (2 * ratio)), gain, 0.01) << sensor.name;
                EXPECT_DOUBLE_EQ(taps[0], taps[kMtfTaps - 1]);
            }
        }
    }
}

TEST(Interpolator23Test, DecimatingTheUpsampledImageGivesItBackAndConstantsStay)
{
    const std::int64_t w = 16, h = 12;
    const auto image = RandomImage(w, h, 3);
    for (int ratio : {2, 4}) {
        BufferStream source(w, h, image);
        UpsampleChain up(source, ratio);
        const auto fine = ReadAllRows(up.Output());
        for (std::int64_t y = 0; y < h; ++y) {
            for (std::int64_t x = 0; x < w; ++x) {
                EXPECT_EQ(fine[(ratio * y + ratio / 2) * w * ratio + ratio * x + ratio / 2],
                          image[y * w + x]);
            }
        }
    }
    BufferStream flat(5, 5, std::vector<double>(25, 300.0));
    UpsampleChain up(flat, 4);
    // The published taps sum to 1 within 4e-10 per step.
    for (double value : ReadAllRows(up.Output())) EXPECT_NEAR(value, 300.0, 300 * 2e-9);
}

TEST(RowStreamTest, MirrorIndexRepeatsTheEdgeSample)
{
    EXPECT_EQ(MirrorIndex(-1, 5), 0);
    EXPECT_EQ(MirrorIndex(-6, 5), 4);
    EXPECT_EQ(MirrorIndex(5, 5), 4);
    EXPECT_EQ(MirrorIndex(11, 5), 1);
    EXPECT_EQ(MirrorIndex(-3, 1), 0);
}

}  // namespace
}  // namespace lumesta
