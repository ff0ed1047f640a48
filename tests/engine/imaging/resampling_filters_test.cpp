// MTF-matched Gaussians and the 23-tap interpolator: their defining properties, and the
// streamed versions against straightforward whole-image versions.

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

// Whole-image degradation: the 2-D separable Gaussian with clamped indices at the kept samples.
std::vector<double> DegradeDirect(const std::vector<double>& image, std::int64_t w, std::int64_t h,
                                  double gain, int ratio)
{
    const MtfTaps taps = MtfGaussian(gain, ratio);
    const std::int64_t ow = w / ratio;
    const std::int64_t oh = h / ratio;
    std::vector<double> out(static_cast<std::size_t>(ow * oh));
    for (std::int64_t j = 0; j < oh; ++j) {
        for (std::int64_t i = 0; i < ow; ++i) {
            const std::int64_t cy = ratio / 2 + j * ratio;
            const std::int64_t cx = ratio / 2 + i * ratio;
            double sum = 0;
            for (int b = 0; b < kMtfTaps; ++b) {
                double column = 0;
                for (int a = 0; a < kMtfTaps; ++a) {
                    column += taps[a] * image[ClampIndex(cy - kMtfHalo + a, h) * w +
                                              ClampIndex(cx - kMtfHalo + b, w)];
                }
                sum += taps[b] * column;
            }
            out[j * ow + i] = sum;
        }
    }
    return out;
}

// Whole-image ×2 step done literally: mirror padding by 6, zero insertion, the 23 taps, crop.
std::vector<double> Upsample2Direct(const std::vector<double>& in, std::int64_t n, int phase)
{
    const auto& h = Interpolator23Taps();
    std::vector<double> padded;
    for (std::int64_t i = -6; i < n + 6; ++i) padded.push_back(in[MirrorIndex(i, n)]);
    std::vector<double> zeros(2 * padded.size(), 0.0);
    for (std::size_t j = 0; j < padded.size(); ++j) zeros[2 * j + phase] = padded[j];
    std::vector<double> out(static_cast<std::size_t>(2 * n));
    for (std::int64_t o = 0; o < 2 * n; ++o) {
        double sum = 0;
        for (int t = -11; t <= 11; ++t) {
            const std::int64_t p = o + 12 - t;
            if (p >= 0 && p < static_cast<std::int64_t>(zeros.size()))
                sum += h[std::abs(t)] * zeros[p];
        }
        out[o] = sum;
    }
    return out;
}

std::vector<double> UpsampleImageDirect(std::vector<double> image, std::int64_t w, std::int64_t h,
                                        int ratio)
{
    for (int step = 0; (1 << step) < ratio; ++step) {
        const int phase = step == 0 ? 1 : 0;
        std::vector<double> wide(static_cast<std::size_t>(2 * w * h));
        for (std::int64_t y = 0; y < h; ++y) {
            const std::vector<double> row(image.begin() + y * w, image.begin() + (y + 1) * w);
            const auto up = Upsample2Direct(row, w, phase);
            std::copy(up.begin(), up.end(), wide.begin() + y * 2 * w);
        }
        std::vector<double> tall(static_cast<std::size_t>(4 * w * h));
        for (std::int64_t x = 0; x < 2 * w; ++x) {
            std::vector<double> column(static_cast<std::size_t>(h));
            for (std::int64_t y = 0; y < h; ++y) column[y] = wide[y * 2 * w + x];
            const auto up = Upsample2Direct(column, h, phase);
            for (std::int64_t y = 0; y < 2 * h; ++y) tall[y * 2 * w + x] = up[y];
        }
        image = tall;
        w *= 2;
        h *= 2;
    }
    return image;
}

void ExpectClose(const std::vector<double>& a, const std::vector<double>& b, double relative)
{
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_NEAR(a[i], b[i], relative * std::max(1.0, std::fabs(b[i]))) << "at " << i;
    }
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

TEST(MtfFilterTest, StreamedDegradationEqualsWholeImageFilteringWithEdgeReplication)
{
    for (int ratio : {2, 4}) {
        const std::int64_t w = 52, h = 96;  // narrower than the filter: every border case
        const auto image = RandomImage(w, h, 11 + ratio);
        BufferStream source(w, h, image);
        MtfFilterStream degraded(source, MtfGaussian(0.27, ratio), ratio, ratio / 2);
        ASSERT_EQ(degraded.Width(), w / ratio);
        ASSERT_EQ(degraded.Height(), h / ratio);
        ExpectClose(ReadAllRows(degraded), DegradeDirect(image, w, h, 0.27, ratio), 1e-12);
    }
}

TEST(Interpolator23Test, StreamedUpsamplingEqualsTheLiteralZeroInsertionFilter)
{
    for (int ratio : {2, 4, 8}) {
        const std::int64_t w = 9, h = 14;
        const auto image = RandomImage(w, h, 5 + ratio);
        BufferStream source(w, h, image);
        UpsampleChain up(source, ratio);
        ExpectClose(ReadAllRows(up.Output()), UpsampleImageDirect(image, w, h, ratio), 1e-12);
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
