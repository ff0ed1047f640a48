#include "raster/band_io.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/support/fake_host.h"
#include "tests/support/temp_dir.h"

namespace lumesta {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class BandReadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string bytes;
        for (int i = 0; i < 40; ++i) bytes.push_back(static_cast<char>(i));  // byte i holds i
        testing::WriteFileBytes(path, bytes);
    }

    testing::TempDir dir;
    testing::FakeHost host;
    const std::string path = dir.File("band.img");
};

TEST_F(BandReadTest, ReadsStartAtTheirOffsets)
{
    std::vector<std::int16_t> samples(10, 0);
    EXPECT_EQ(ReadDataBlockPart(path, 5, 10, samples.data(), host), 20);  // bytes 10..29
    EXPECT_EQ(samples.front(), 10 + 11 * 256);
    EXPECT_EQ(samples.back(), 28 + 29 * 256);
    EXPECT_EQ(ReadDataBlockPartAt(path, 3, 1, samples.data(), host), 2);
    EXPECT_EQ(samples[0], 3 + 4 * 256);
    std::vector<std::uint8_t> bytes(40, 0);
    EXPECT_EQ(ReadDataBlockPart(path, std::int64_t{36}, std::int64_t{2}, bytes.data(), host), 2);
    EXPECT_THAT(std::vector<int>(bytes.begin(), bytes.begin() + 2), ElementsAre(36, 37));
    EXPECT_EQ(GetDataBlockLength(path, host), 40);
    EXPECT_EQ(ReadDataBlock(path, bytes.data(), host), 40);
    EXPECT_EQ(bytes[39], 39);
    EXPECT_THAT(host.Messages(), IsEmpty());
}

TEST_F(BandReadTest, ShortReadReportsKeepsTheRestAndReturnsTheRequest)
{
    std::vector<std::uint8_t> buffer(6, 0xEE);
    EXPECT_EQ(ReadDataBlockPart(path, std::int64_t{36}, std::int64_t{6}, buffer.data(), host), 6);
    EXPECT_THAT(buffer, ElementsAre(36, 37, 38, 39, 0xEE, 0xEE));
    EXPECT_EQ(ReadDataBlockPart(path, std::int64_t{-4}, std::int64_t{2}, buffer.data(), host), 2);
    EXPECT_THAT(host.Messages(), ElementsAre("Error! reading an image  file - length problem.",
                                             "Error! reading an image  file - length problem."));
}

TEST_F(BandReadTest, FailuresGiveTheirMessages)
{
    std::int16_t samples[2] = {};
    const std::string missing = dir.File("missing.img");
    EXPECT_EQ(ReadDataBlockPart(missing, 0, 2, samples, host), -1);
    EXPECT_EQ(ReadDataBlock(missing, samples, host), -1);
    EXPECT_EQ(ReadDataBlock(dir.Path(), samples, host, OpenFailureMessage::NamesDialog), -1);
    EXPECT_EQ(ReadDataBlock(path, nullptr, host), -1);
    EXPECT_EQ(GetDataBlockLength(missing, host), 0);
    testing::WriteFileBytes(dir.File("empty.img"), "");
    EXPECT_EQ(GetDataBlockLength(dir.File("empty.img"), host), 0);
    EXPECT_THAT(host.Messages(), ElementsAre("Error: Integer/Binary - ReadDataBlockPart",
                                             "Error: Integer/Binary - ReadDataBlock()",
                                             "Error: Integer/Binary - ReadDataBlock in DIALOG 85",
                                             "Error: reading image file - Cannot allocate memory",
                                             "Error: ReadDataBlock Length"));
}

}  // namespace
}  // namespace lumesta
