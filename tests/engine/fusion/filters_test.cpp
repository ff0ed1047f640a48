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

TEST_F(FiltersTest, ClipBandLimitsToElevenBits)
{
    Band band = {-32768, -5, 0, 1, 2047, 2048, 32767};
    ClipBand(static_cast<std::int64_t>(band.size()), band.data());
    EXPECT_EQ(band, (Band{0, 0, 0, 1, 2047, 2047, 2047}));
}

}  // namespace
}  // namespace lumesta
