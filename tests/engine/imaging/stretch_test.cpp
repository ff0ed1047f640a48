#include "imaging/stretch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace lumesta {
namespace {

class StretchTest : public ::testing::Test {};

TEST_F(StretchTest, CutoffsIgnoreBackgroundAndOutOfRangeSamples)
{
    std::vector<std::int16_t> band = {0, 0, 0, -5, 2048, 30000};
    for (int v = 1; v <= 100; ++v) band.push_back(static_cast<std::int16_t>(v));
    const StretchCutoffs cutoffs = ComputeStretchCutoffs16(106, band.data(), 2, 2);
    EXPECT_EQ(cutoffs.low, 2);
    EXPECT_EQ(cutoffs.high, 98);
    std::vector<std::uint8_t> bytes(300, 0);
    for (int v = 1; v <= 250; ++v) bytes[v] = static_cast<std::uint8_t>(v);
    const StretchCutoffs cutoffs8 = ComputeStretchCutoffs8(300, bytes.data(), 2, 2);
    EXPECT_EQ(cutoffs8.low, 5);                  // 5 / 250 = 2 %
    EXPECT_EQ(cutoffs8.high, 245);               // 245 / 250 = 98 %
    std::vector<std::int16_t> dominant(50, 37);  // half of the pixels: the low cutoff at 1 %
    for (int v = 100; v < 150; ++v) dominant.push_back(static_cast<std::int16_t>(v));
    EXPECT_EQ(ComputeStretchCutoffs16(100, dominant.data(), 1, 20).low, 37);
}

TEST_F(StretchTest, BytesAddedInPiecesOfAnyLengthCountLikeOneRun)
{
    // 1 .. 250 once each, shuffled, with background zeros, added in pieces of 1 to 19 bytes:
    // groups of eight and the bytes after the last group must each count once.
    std::vector<std::uint8_t> bytes;
    for (int v = 1; v <= 250; ++v) bytes.push_back(static_cast<std::uint8_t>((v * 101) % 251));
    bytes.insert(bytes.begin() + 77, 13, 0);
    StretchHistogram pieces(256);
    std::size_t at = 0;
    for (std::size_t length = 1; at < bytes.size(); length = length % 19 + 1) {
        const std::size_t count = std::min(length, bytes.size() - at);
        pieces.Add(static_cast<std::int64_t>(count), bytes.data() + at);
        at += count;
    }
    EXPECT_EQ(pieces.Cutoffs(2, 2).low, 5);
    EXPECT_EQ(pieces.Cutoffs(2, 2).high, 245);
    EXPECT_EQ(pieces.Cutoffs(0.4, 0).low, 1);     // 1 / 250 = 0.4 %: every value counted once
    EXPECT_EQ(pieces.Cutoffs(0, 0.4).high, 249);  // 249 / 250 = 99.6 %
    StretchHistogram narrow(100);                 // values of 100 and above have no bin
    narrow.Add(static_cast<std::int64_t>(bytes.size()), bytes.data());
    EXPECT_EQ(narrow.Cutoffs(50, 2).low, 50);
    EXPECT_EQ(narrow.Cutoffs(50, 2).high, 98);
}

TEST_F(StretchTest, BandWithoutCountedSamplesGivesZeroCutoffsAndADefinedMapping)
{
    const std::vector<std::int16_t> background = {0, 0, -1, 4000};
    const StretchCutoffs cutoffs = ComputeStretchCutoffs16(4, background.data(), 2, 2);
    EXPECT_EQ(cutoffs.low, 0);
    EXPECT_EQ(cutoffs.high, 0);
    EXPECT_EQ(ComputeStretchCutoffs8(0, nullptr, 2, 2).high, 0);
    EXPECT_EQ(LinearStretchByte(0, 0, 0), 0);
    EXPECT_EQ(LinearStretchByte(5, 0, 0), 255);
}

TEST_F(StretchTest, LinearThenLogarithmicStretch)
{
    const int expected[][2] = {{50, 0}, {100, 0}, {101, 1}, {200, 127}, {300, 255}, {2047, 255}};
    for (const auto& [value, byte] : expected) EXPECT_EQ(LinearStretchByte(value, 100, 300), byte);
    EXPECT_EQ(NonlinearStretchByte(128, 20), 201);
    EXPECT_EQ(StretchByte(200, 100, 300, 0), 127);
    for (int strength = 1; strength <= 20; ++strength) {
        const std::array<std::uint8_t, 256> table = NonlinearStretchTable(strength);
        EXPECT_EQ(table[0], 0) << strength;
        EXPECT_EQ(table[255], 255) << strength;  // computed literally 13, 17, 19 give 254
        for (int b = 1; b < 256; ++b) EXPECT_GE(table[b], table[b - 1]) << strength << " " << b;
    }
}

}  // namespace
}  // namespace lumesta
