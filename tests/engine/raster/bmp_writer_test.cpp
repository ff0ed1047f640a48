#include "raster/bmp_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "tests/support/fake_host.h"
#include "tests/support/temp_dir.h"

namespace lumesta {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::uint32_t Le32(const std::array<std::uint8_t, 54>& bytes, std::size_t at)
{
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           std::uint32_t{bytes[at + 3]} << 24;
}

class BmpWriterTest : public ::testing::Test {
protected:
    testing::TempDir dir;
    testing::FakeHost host;
};

TEST_F(BmpWriterTest, HeadersAndStrideWithSizesWrappingBeyondFourGiB)
{
    EXPECT_EQ(BmpRowStride(1), 4);
    EXPECT_EQ(BmpRowStride(4), 12);
    EXPECT_EQ(BmpRowStride(5), 16);
    const auto small = BmpHeaders(3, 2);
    EXPECT_EQ(small[0] + small[1] * 256, 0x4D42);
    EXPECT_THAT((std::vector<std::uint32_t>{Le32(small, 2), Le32(small, 10), Le32(small, 14),
                                            Le32(small, 18), Le32(small, 22), Le32(small, 26),
                                            Le32(small, 30), Le32(small, 34), Le32(small, 50)}),
                ElementsAre(78, 54, 40, 3, 2, 1 + (24 << 16), 0, 24, 0));
    const auto huge = BmpHeaders(40000, 40000);
    EXPECT_EQ(Le32(huge, 34), static_cast<std::uint32_t>(120000ull * 40000));
    EXPECT_EQ(Le32(huge, 2), static_cast<std::uint32_t>(120000ull * 40000 + 54));
}

TEST_F(BmpWriterTest, GreyPictureIsBottomUpPaddedAndMapsElevenBitData)
{
    const std::vector<std::int16_t> samples = {0x0134, 0x00FF, 0x0002, 0x7F80};
    WriteBmp24(2, 2, samples.data(), dir.File("p.bmp"), 0, host);
    const std::string bytes = testing::ReadFileBytes(dir.File("p.bmp"));
    ASSERT_EQ(bytes.size(), 70u);
    EXPECT_EQ(bytes.substr(54),
              std::string("\x02\x02\x02\x80\x80\x80\0\0\x34\x34\x34\xFF\xFF\xFF\0\0", 16));
    EXPECT_EQ(host.Pumps(), 2);
    EXPECT_EQ(host.BusyDepth(), 0);

    const std::vector<std::int16_t> elevenBit = {2047, 8, 7, 2048, -8};
    WriteBmp24(5, 1, elevenBit.data(), dir.File("q.bmp"), 1, host);
    const std::string row = testing::ReadFileBytes(dir.File("q.bmp")).substr(54);
    ASSERT_EQ(row.size(), 16u);
    EXPECT_EQ(row, std::string("\xFF\xFF\xFF\x01\x01\x01\0\0\0\0\0\0\xFF\xFF\xFF\0", 16));
    EXPECT_THAT(host.Messages(), IsEmpty());
}

TEST_F(BmpWriterTest, FailuresReportEveryWrite)
{
    WriteBmp24(0, 0, nullptr, dir.File("empty.bmp"), 0, host);
    EXPECT_EQ(testing::ReadFileBytes(dir.File("empty.bmp")).size(), 54u);
    const std::int16_t sample = 1;
    WriteBmp24(1, 1, &sample, dir.File("no-such-dir/p.bmp"), 0, host);
    BmpStripWriter writer;
    EXPECT_FALSE(writer.Create(dir.File("no-such-dir/p.bmp"), 2, 4, host));
    ASSERT_TRUE(writer.Create(dir.File("p.bmp"), 2, 4, host));
    EXPECT_EQ(testing::ReadFileBytes(dir.File("p.bmp")).size(), 54u + 8 * 4);  // pre-sized
    const std::vector<std::uint8_t> rows(16, 0);
    EXPECT_FALSE(writer.WriteStrip(3, 2, rows.data(), host));  // past the last line
    EXPECT_THAT(host.Messages(),
                ElementsAre("Unable to open file for writing", "Error during writing file header",
                            "Error during writing image header", "Error during writing image",
                            "Unable to open file for writing", "Error during writing image"));
}

// The eight strips of a picture cover its lines in order, the last ones empty when there are
// fewer lines than strips. (Strips written bottom-up: the band combination's and Haar's pictures.)
TEST_F(BmpWriterTest, EightStripsCoverTheLinesInOrder)
{
    for (const int height : {5, 19, 56, 100}) {
        int next = 0;
        for (int s = 0; s < 8; ++s) {
            const BmpStrip strip = BmpStripOf(height, s);
            EXPECT_EQ(strip.firstLine, next) << height << " " << s;
            next += strip.lineCount;
        }
        EXPECT_EQ(next, height);
    }
}

}  // namespace
}  // namespace lumesta
