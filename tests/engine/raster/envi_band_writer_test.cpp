// The bands the quality protocol hands to each fusion method: rounded, little-endian samples
// with their header, and a write the disk refused is reported instead of fusing a short file.

#include "raster/envi_band_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/support/fake_host.h"
#include "tests/support/temp_dir.h"

namespace lumesta::testing {
namespace {

TEST(WriteEnviBandTest, RoundsToEvenWritesLittleEndianAndReportsAFullDisk)
{
    TempDir dir;
    FakeHost host;
    const std::string path = dir.File("pan.img");
    ASSERT_TRUE(WriteEnviBand(path, "Pan", {2.5, -3.5, 258.0, -1.0}, 2, 2, SampleType::Int16, host));
    const std::string expected("\x02\x00\xfc\xff\x02\x01\xff\xff", 8);
    EXPECT_EQ(ReadFileBytes(path), expected);
    EXPECT_THAT(ReadFileBytes(dir.File("pan.hdr")), ::testing::HasSubstr("data type = 2\n"));

    EXPECT_FALSE(WriteEnviBand(path, "Pan", {70000.0}, 1, 1, SampleType::Int16, host));
    EXPECT_THAT(host.Messages(), ::testing::ElementsAre("The samples do not fit the method's 16-bit range."));

    // A few bytes stay in the stream's buffer until it closes; the full disk shows only then.
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    const std::string full = dir.File("full.img");
    ASSERT_EQ(::symlink("/dev/full", full.c_str()), 0);
    host.ClearMessages();
    EXPECT_FALSE(WriteEnviBand(full, "Blue", {1.0, 2.0}, 2, 1, SampleType::UInt8, host));
    EXPECT_THAT(host.Messages(), ::testing::ElementsAre("Cannot write " + full + "."));
}

}  // namespace
}  // namespace lumesta::testing
