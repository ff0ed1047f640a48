#include "raster/band_io.h"

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

const char kLengthProblem[] = "Error! reading an image  file - length problem.";

class BandReadTest : public ::testing::Test {
protected:
    // A file whose byte i holds i (mod 256).
    std::string CountingFile(const std::string& name, int length)
    {
        std::string bytes;
        for (int i = 0; i < length; ++i) bytes.push_back(static_cast<char>(i));
        testing::WriteFileBytes(dir.File(name), bytes);
        return dir.File(name);
    }

    testing::TempDir dir;
    testing::FakeHost host;
};

TEST_F(BandReadTest, SixteenBitReadStartsAtTwiceTheSampleIndex)
{
    const std::string path = CountingFile("band.img", 40);
    std::vector<std::int16_t> buffer(10, 0);
    EXPECT_EQ(ReadDataBlockPart(path, 5, 10, buffer.data(), host), 20);
    // Samples 5..14 are bytes 10..29, little-endian.
    EXPECT_EQ(buffer.front(), 10 + 11 * 256);
    EXPECT_EQ(buffer.back(), 28 + 29 * 256);
    EXPECT_EQ(ReadDataBlockPartAt(path, 3, 1, buffer.data(), host), 2);
    EXPECT_EQ(buffer[0], 3 + 4 * 256);
    EXPECT_THAT(host.Messages(), IsEmpty());
}

TEST_F(BandReadTest, ByteReadFromAnOffset)
{
    const std::string path = CountingFile("band.img", 300);
    std::vector<std::uint8_t> buffer(4, 0);
    EXPECT_EQ(ReadDataBlockPart(path, std::int64_t{290}, std::int64_t{4}, buffer.data(), host), 4);
    EXPECT_THAT(buffer, ElementsAre(34, 35, 36, 37));
}

TEST_F(BandReadTest, ShortReadReportsOnceKeepsTheRestAndReturnsTheRequest)
{
    const std::string path = CountingFile("short.img", 6);
    std::vector<std::uint8_t> buffer(8, 0xEE);
    EXPECT_EQ(ReadDataBlockPart(path, std::int64_t{2}, std::int64_t{8}, buffer.data(), host), 8);
    EXPECT_THAT(buffer, ElementsAre(2, 3, 4, 5, 0xEE, 0xEE, 0xEE, 0xEE));
    EXPECT_EQ(ReadDataBlockPart(path, std::int64_t{-4}, std::int64_t{2}, buffer.data(), host), 2);
    EXPECT_THAT(host.Messages(), ElementsAre(kLengthProblem, kLengthProblem));
}

TEST_F(BandReadTest, MissingFilesGiveMinusOneAndTheirMessages)
{
    std::int16_t samples[2] = {};
    const std::string missing = dir.File("missing.img");
    EXPECT_EQ(ReadDataBlockPart(missing, 0, 2, samples, host), -1);
    EXPECT_EQ(ReadDataBlock(missing, samples, host), -1);
    EXPECT_EQ(ReadDataBlock(missing, samples, host, ReadDataBlockCaller::Dialog85), -1);
    EXPECT_EQ(ReadDataBlock(dir.Path(), samples, host), -1);  // a folder is no band file
    EXPECT_THAT(host.Messages(), ElementsAre("Error: Integer/Binary - ReadDataBlockPart",
                                             "Error: Integer/Binary - ReadDataBlock()",
                                             "Error: Integer/Binary - ReadDataBlock in DIALOG 85",
                                             "Error: Integer/Binary - ReadDataBlock()"));
}

TEST_F(BandReadTest, WholeFileReadAndLength)
{
    const std::string path = CountingFile("whole.img", 5);
    std::vector<std::uint8_t> buffer(5, 0);
    EXPECT_EQ(GetDataBlockLength(path, host), 5);
    EXPECT_EQ(ReadDataBlock(path, buffer.data(), host), 5);
    EXPECT_THAT(buffer, ElementsAre(0, 1, 2, 3, 4));
    EXPECT_EQ(ReadDataBlock(path, nullptr, host), -1);
    testing::WriteFileBytes(dir.File("empty.img"), "");
    EXPECT_EQ(GetDataBlockLength(dir.File("empty.img"), host), 0);
    EXPECT_EQ(GetDataBlockLength(dir.File("missing.img"), host), 0);
    EXPECT_THAT(host.Messages(), ElementsAre("Error: reading image file - Cannot allocate memory",
                                             "Error: ReadDataBlock Length"));
}

}  // namespace
}  // namespace lumesta
