#include "fusion/optimisation/resampling.h"

#include <gtest/gtest.h>

#include <vector>

namespace lumesta {
namespace {

class ResamplingTest : public ::testing::Test {};

TEST_F(ResamplingTest, BlockAverageTruncatesTowardZeroAlongThePanStride)
{
    // Pan rows are 9 wide (the ninth column is never read); the blocks sum to 31, 32752, −31, 0.
    std::vector<std::int16_t> pan(8 * 9, 999);
    const std::int16_t fill[4] = {1, 2047, -1, 0};
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) pan[y * 9 + x] = fill[(y / 4) * 2 + x / 4];
    }
    pan[0] = 16;
    pan[4 * 9] = -16;
    std::vector<std::int16_t> out(4);
    BlockAverage4(2, 2, pan.data(), 9, out.data());
    EXPECT_EQ(out, (std::vector<std::int16_t>{1, 2047, -1, 0}));
}

TEST_F(ResamplingTest, ReplicateBordersCopiesTheThirdRowsThenTheThirdColumns)
{
    const int h = 6, w = 7;
    std::vector<std::int16_t> band(h * w);
    for (int i = 0; i < h * w; ++i) band[i] = static_cast<std::int16_t>(i);
    const std::vector<std::int16_t> before = band;
    ReplicateBorders(h, w, band.data());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int fromY = y < 2 ? 2 : (y >= h - 2 ? h - 3 : y);
            const int fromX = x < 2 ? 2 : (x >= w - 2 ? w - 3 : x);
            EXPECT_EQ(band[y * w + x], before[fromY * w + fromX]) << y << "," << x;
        }
    }
    band = before;  // too small on one side: unchanged
    ReplicateBorders(4, 10, band.data());
    ReplicateBorders(10, 4, band.data());
    EXPECT_EQ(band, before);
}

}  // namespace
}  // namespace lumesta
