#include "raster/bmp_writer.h"

#include <cstdint>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/fake_host.h"
#include "tests/support/temp_dir.h"

namespace lumesta {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::uint32_t Le32(const std::string& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

class BmpWriterTest : public ::testing::Test {
protected:
    testing::TempDir dir;
    testing::FakeHost host;
};

TEST_F(BmpWriterTest, RowStrideIsPaddedToFourBytes)
{
    EXPECT_EQ(BmpRowStride(1), 4);
    EXPECT_EQ(BmpRowStride(2), 8);
    EXPECT_EQ(BmpRowStride(4), 12);
    EXPECT_EQ(BmpRowStride(5), 16);
    EXPECT_EQ(BmpRowStride(40000), 120000);
}

TEST_F(BmpWriterTest, HeadersHoldTheLayoutAndWrapSizesBeyondFourGiB)
{
    const auto small = BmpHeaders(3, 2);
    const std::string bytes(small.begin(), small.end());
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(Le32(bytes, 2), 54u + 24u);
    EXPECT_EQ(Le32(bytes, 10), 54u);
    EXPECT_EQ(Le32(bytes, 14), 40u);
    EXPECT_EQ(Le32(bytes, 18), 3u);
    EXPECT_EQ(Le32(bytes, 22), 2u);
    EXPECT_EQ(Le32(bytes, 26), 1u + (24u << 16));  // planes, bits per pixel
    EXPECT_EQ(Le32(bytes, 34), 24u);
    for (std::size_t at = 38; at < 54; at += 4) EXPECT_EQ(Le32(bytes, at), 0u);

    const auto huge = BmpHeaders(40000, 40000);
    const std::string hugeBytes(huge.begin(), huge.end());
    const std::uint64_t imageSize = 120000ull * 40000ull;
    EXPECT_EQ(Le32(hugeBytes, 34), static_cast<std::uint32_t>(imageSize));
    EXPECT_EQ(Le32(hugeBytes, 2), static_cast<std::uint32_t>(imageSize + 54));
}

TEST_F(BmpWriterTest, TwoByTwoGreyPictureIsBottomUpAndPadded)
{
    const std::vector<std::int16_t> samples = {0x0134, 0x00FF, 0x0002, 0x7F80};
    WriteBmp24(2, 2, samples.data(), dir.File("p.bmp"), 0, host);
    const std::string bytes = testing::ReadFileBytes(dir.File("p.bmp"));
    ASSERT_EQ(bytes.size(), 70u);
    // File row 0 is the bottom image line (samples 2, 3), then the top line; 2 padding bytes.
    EXPECT_EQ(bytes.substr(54), std::string("\x02\x02\x02\x80\x80\x80\0\0"
                                            "\x34\x34\x34\xFF\xFF\xFF\0\0",
                                            16));
    EXPECT_EQ(host.Pumps(), 2);
    EXPECT_EQ(host.BusyDepth(), 0);
    EXPECT_THAT(host.Messages(), IsEmpty());
}

TEST_F(BmpWriterTest, ElevenBitSamplesAreDividedByEightAndWrapped)
{
    const std::vector<std::int16_t> samples = {2047, 8, 7, 2048, -8};
    WriteBmp24(5, 1, samples.data(), dir.File("p.bmp"), 1, host);
    const std::string bytes = testing::ReadFileBytes(dir.File("p.bmp"));
    ASSERT_EQ(bytes.size(), 54u + 16u);
    std::vector<int> blue;
    for (int x = 0; x < 5; ++x) blue.push_back(static_cast<std::uint8_t>(bytes[54 + 3 * x]));
    EXPECT_THAT(blue, ElementsAre(255, 1, 0, 0, 255));
}

TEST_F(BmpWriterTest, EmptyPictureHasHeadersOnlyAndFailuresReportEveryWrite)
{
    WriteBmp24(0, 0, nullptr, dir.File("empty.bmp"), 0, host);
    EXPECT_EQ(testing::ReadFileBytes(dir.File("empty.bmp")).size(), 54u);
    const std::int16_t sample = 1;
    WriteBmp24(1, 1, &sample, dir.File("no-such-dir/p.bmp"), 0, host);
    EXPECT_THAT(host.Messages(),
                ElementsAre("Unable to open file for writing", "Error during writing file header",
                            "Error during writing image header", "Error during writing image"));
}

TEST_F(BmpWriterTest, StripsCoverTheLinesInOrderAndStopAtTheLast)
{
    auto strips = [](int height) {
        std::vector<std::pair<int, int>> all;
        for (int i = 0; i < 8; ++i) all.emplace_back(BmpStripOf(height, i).firstLine,
                                                     BmpStripOf(height, i).lineCount);
        return all;
    };
    EXPECT_THAT(strips(100), ElementsAre(std::pair(0, 13), std::pair(13, 13), std::pair(26, 13),
                                         std::pair(39, 13), std::pair(52, 13), std::pair(65, 13),
                                         std::pair(78, 13), std::pair(91, 9)));
    EXPECT_THAT(strips(56), ElementsAre(std::pair(0, 8), std::pair(8, 8), std::pair(16, 8),
                                        std::pair(24, 8), std::pair(32, 8), std::pair(40, 8),
                                        std::pair(48, 8), std::pair(56, 0)));
    EXPECT_THAT(strips(5), ElementsAre(std::pair(0, 1), std::pair(1, 1), std::pair(2, 1),
                                       std::pair(3, 1), std::pair(4, 1), std::pair(5, 0),
                                       std::pair(5, 0), std::pair(5, 0)));
}

// The run pictures written strip by strip must equal the standalone writer's bytes.
TEST_F(BmpWriterTest, StripWriterMatchesTheStandaloneWriter)
{
    const int width = 5;
    const int height = 19;
    std::vector<std::int16_t> samples(width * height);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(i * 7);
    WriteBmp24(width, height, samples.data(), dir.File("whole.bmp"), 0, host);

    BmpStripWriter writer;
    ASSERT_TRUE(writer.Create(dir.File("strips.bmp"), width, height, host));
    EXPECT_EQ(testing::ReadFileBytes(dir.File("strips.bmp")).size(), 54u + 16u * height);
    const int stride = static_cast<int>(BmpRowStride(width));
    for (int s = 0; s < 8; ++s) {
        const BmpStrip strip = BmpStripOf(height, s);
        std::vector<std::uint8_t> rows(stride * strip.lineCount, 0);
        for (int i = 0; i < strip.lineCount; ++i) {
            const int line = strip.firstLine + strip.lineCount - 1 - i;  // bottom-up
            for (int x = 0; x < width; ++x) {
                const auto grey = static_cast<std::uint8_t>(samples[line * width + x]);
                for (int c = 0; c < 3; ++c) rows[i * stride + 3 * x + c] = grey;
            }
        }
        EXPECT_TRUE(writer.WriteStrip(strip.firstLine, strip.lineCount, rows.data(), host));
    }
    EXPECT_TRUE(writer.Close());
    EXPECT_EQ(testing::ReadFileBytes(dir.File("strips.bmp")),
              testing::ReadFileBytes(dir.File("whole.bmp")));
    EXPECT_THAT(host.Messages(), IsEmpty());
}

TEST_F(BmpWriterTest, StripOutsideThePictureIsRefused)
{
    BmpStripWriter writer;
    ASSERT_TRUE(writer.Create(dir.File("p.bmp"), 2, 4, host));
    const std::vector<std::uint8_t> rows(8 * 2, 0);
    EXPECT_FALSE(writer.WriteStrip(3, 2, rows.data(), host));
    EXPECT_FALSE(BmpStripWriter().WriteStrip(0, 1, rows.data(), host));
    EXPECT_FALSE(writer.Create(dir.File("no-such-dir/p.bmp"), 2, 4, host));
    EXPECT_THAT(host.Messages(), ElementsAre("Error during writing image",
                                             "Error during writing image",
                                             "Unable to open file for writing"));
}

}  // namespace
}  // namespace lumesta
