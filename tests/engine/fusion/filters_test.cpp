#include "fusion/filters.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/fake_host.h"

namespace lumesta {
namespace {

using Band = std::vector<std::int16_t>;

class FiltersTest : public ::testing::Test {
protected:
    Band Filtered(int height, int width, Band band, Kernel16 kernel)
    {
        FilterBand(height, width, band.data(), kernel, host);
        return band;
    }

    testing::FakeHost host;
};

TEST_F(FiltersTest, SpikeAmongNinetiesWithBothKernels)
{
    const Band spike = {90, 90, 90, 90, 100, 90, 90, 90, 90};
    EXPECT_EQ(Filtered(3, 3, spike, Kernel16::Sharpen),
              (Band{90, 90, 90, 90, 110, 90, 90, 90, 90}));
    EXPECT_EQ(Filtered(3, 3, spike, Kernel16::Detail), (Band{90, 90, 90, 90, 106, 90, 90, 90, 90}));
    // Negative sums truncate toward zero: −18 × 0.0625 → −1, −4 × 0.16666667f → 0.
    EXPECT_EQ(Filtered(3, 3, {9, 0, 0, 0, 0, 0, 0, 0, 0}, Kernel16::Sharpen)[4], -1);
    EXPECT_EQ(Filtered(3, 3, {0, 1, 0, 1, 0, 1, 0, 1, 0}, Kernel16::Detail)[4], 0);
}

TEST_F(FiltersTest, NeighboursAreTakenBeforeFiltering)
{
    // Rows 1 and 2 of column 1 hold 100 and see each other unfiltered: 3000 × 0.0625 → 187.
    const Band band = {0, 0, 0, 0, 100, 0, 0, 100, 0, 0, 0, 0};
    EXPECT_EQ(Filtered(4, 3, band, Kernel16::Sharpen),
              (Band{0, 0, 0, 0, 187, 0, 0, 187, 0, 0, 0, 0}));
}

TEST_F(FiltersTest, ConstantAndTooSmallBandsAreUnchangedWithOnePumpPerRow)
{
    const Band constant(7 * 5, 777);
    EXPECT_EQ(Filtered(7, 5, constant, Kernel16::Sharpen), constant);
    EXPECT_EQ(Filtered(7, 5, constant, Kernel16::Detail), constant);
    EXPECT_EQ(host.Pumps(), 10);
    const Band narrow = {1, 500, 3, 4, 5, 600};
    EXPECT_EQ(Filtered(2, 3, narrow, Kernel16::Sharpen), narrow);
    EXPECT_EQ(Filtered(3, 2, narrow, Kernel16::Detail), narrow);
    EXPECT_EQ(host.Pumps(), 10);
}

TEST_F(FiltersTest, SharpenRowsAtTheEndsOfBothSampleRanges)
{
    // The sharpened value is the weighted sum × 0.0625 truncated toward zero: negative sums
    // that are not multiples of 16, the 16-bit wrap of sums beyond the range, and the 8-bit
    // results below 0, at 255 and above it.
    const std::int16_t low[5] = {-32768, -32768, -32768, -32768, -32768};
    const std::int16_t mid[5] = {-32768, -32768, 32767, -7, 5};
    std::int16_t out[5] = {};
    FilterRow(Kernel16::Sharpen, low, mid, low, 5, out);
    EXPECT_EQ(out[2], 28670);  // 1507310 / 16 = 94206, kept to 16 bits
    EXPECT_EQ(out[1], 24577);  // -655358 / 16 = -40959, kept to 16 bits
    EXPECT_EQ(out[3], 20465);  // 327448 / 16 = 20465.5
    const std::int16_t zeros[5] = {};
    const std::int16_t odd[5] = {0, 0, -1, 0, 9};
    FilterRow(Kernel16::Sharpen, zeros, odd, zeros, 5, out);
    EXPECT_EQ(out[2], -2);  // -32 / 16
    EXPECT_EQ(out[3], -1);  // (2 - 18) / 16
    const std::uint8_t flat[6] = {0, 0, 0, 0, 0, 0};
    const std::uint8_t bytes[6] = {0, 1, 128, 255, 8, 0};
    std::uint8_t out8[6] = {};
    FilterRow(Kernel8::Sharpen, flat, bytes, flat, 6, out8);
    // 32 × 1 - 2 × 128 < 0; 32 × 128 - 2 × 256 = 3584 → 224; 32 × 255 - 2 × 136 → 255;
    // 32 × 8 - 2 × 255 < 0.
    EXPECT_EQ(std::vector<int>(out8 + 1, out8 + 5), (std::vector<int>{0, 224, 255, 0}));
    const std::uint8_t edge[5] = {0, 0, 128, 0, 0};
    FilterRow(Kernel8::Sharpen, flat, edge, flat, 5, out8);
    EXPECT_EQ(out8[2], 255);  // 4096 / 16 = 256, above 255
    const std::uint8_t top[5] = {0, 4, 128, 4, 0};
    FilterRow(Kernel8::Sharpen, flat, top, flat, 5, out8);
    EXPECT_EQ(out8[2], 255);  // 4080 / 16 = 255 exactly
    const std::uint8_t below[5] = {0, 4, 128, 5, 0};
    FilterRow(Kernel8::Sharpen, flat, below, flat, 5, out8);
    EXPECT_EQ(out8[2], 254);  // 4078 / 16 = 254.875
}

TEST_F(FiltersTest, ClipBandLimitsToElevenBits)
{
    Band band = {-32768, -5, 0, 1, 2047, 2048, 32767};
    ClipBand(static_cast<std::int64_t>(band.size()), band.data());
    EXPECT_EQ(band, (Band{0, 0, 0, 1, 2047, 2047, 2047}));
}

}  // namespace
}  // namespace lumesta
