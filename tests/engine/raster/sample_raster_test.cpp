// Reading band rows of every layout and sample type as doubles, and writing TIFF files of any
// sample type.

#include "raster/sample_raster.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "raster/sample_tiff_writer.h"
#include "tests/support/fake_host.h"
#include "tests/support/geotiff_builder.h"
#include "tests/support/temp_dir.h"

namespace lumesta {
namespace {

using ::testing::ElementsAre;

class SampleRasterTest : public ::testing::Test {
protected:
    std::vector<double> Row(const RasterLayout& layout, int band, std::int64_t y)
    {
        BandRowReader reader;
        EXPECT_TRUE(reader.Open(layout, band, host));
        std::vector<double> row(static_cast<std::size_t>(layout.width));
        EXPECT_TRUE(reader.ReadRow(y, row.data()));
        return row;
    }

    template <typename T>
    static std::string Bytes(const std::vector<T>& values, bool bigEndian)
    {
        std::string out;
        for (T value : values) {
            char bytes[sizeof(T)];
            std::memcpy(bytes, &value, sizeof(T));
            if (bigEndian) std::reverse(bytes, bytes + sizeof(T));
            out.append(bytes, sizeof(T));
        }
        return out;
    }

    lumesta::testing::TempDir dir;
    lumesta::testing::FakeHost host;
};

TEST_F(SampleRasterTest, EnviInterleavesTypesAndByteOrdersGiveTheSameBands)
{
    // Two bands of 3 × 2: band b, row y, column x holds 100·b + 10·y + x − 0.5.
    auto value = [](int b, int y, int x) { return 100.0 * b + 10 * y + x - 0.5; };
    std::vector<float> bil, bip;
    for (int y = 0; y < 2; ++y)
        for (int b = 0; b < 2; ++b)
            for (int x = 0; x < 3; ++x) bil.push_back(static_cast<float>(value(b, y, x)));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            for (int b = 0; b < 2; ++b) bip.push_back(static_cast<float>(value(b, y, x)));
    const std::string head =
        "ENVI\nsamples = 3\nlines   = 2\nbands   = 2\nheader offset = 4\n"
        "data type = 4\n";
    testing::WriteFileBytes(dir.File("bil.hdr"), head + "interleave = bil\nbyte order = 1\n");
    testing::WriteFileBytes(dir.File("bil.img"), "head" + Bytes(bil, true));
    testing::WriteFileBytes(dir.File("bip.hdr"), head + "interleave = BIP\nbyte order = 0\n");
    testing::WriteFileBytes(dir.File("bip.img"), "head" + Bytes(bip, false));
    for (const char* name : {"bil.img", "bip.img"}) {
        RasterLayout layout;
        ASSERT_TRUE(DescribeRaster(dir.File(name), GenericSize{}, layout, host)) << name;
        EXPECT_EQ(layout.bands, 2);
        EXPECT_THAT(Row(layout, 1, 1), ElementsAre(109.5, 110.5, 111.5)) << name;
        EXPECT_THAT(Row(layout, 0, 0), ElementsAre(-0.5, 0.5, 1.5)) << name;
    }
}

TEST_F(SampleRasterTest, IdrisiRealAndGenericMatrices)
{
    testing::WriteFileBytes(dir.File("r.rdc"),
                            "file format : Idrisi Raster A.1\ndata type   : real\n"
                            "file type   : binary\ncolumns     : 2\nrows        : 1\n");
    testing::WriteFileBytes(dir.File("r.rst"), Bytes(std::vector<float>{2.25f, -7.0f}, false));
    RasterLayout layout;
    ASSERT_TRUE(DescribeRaster(dir.File("r.rst"), GenericSize{}, layout, host));
    EXPECT_THAT(Row(layout, 0, 0), ElementsAre(2.25, -7.0));
    testing::WriteInt16File(dir.File("m.raw"), {-3, 4, 5, 6});
    ASSERT_TRUE(DescribeRaster(dir.File("m.raw"), GenericSize{2, 2, 2}, layout, host));
    EXPECT_THAT(Row(layout, 0, 1), ElementsAre(5, 6));
}

TEST_F(SampleRasterTest, TiffRoundTripRoundsToEvenAndClampsIntegerTypes)
{
    const std::vector<std::vector<double>> bands = {{2.5, 3.5, -1.0, 70000.0},
                                                    {0.25, 1e10, -2.5, 9.0}};
    ASSERT_TRUE(WriteSampleTiff(dir.File("i.tif"), 2, 2, bands, SampleType::UInt16));
    RasterLayout layout;
    ASSERT_TRUE(DescribeRaster(dir.File("i.tif"), GenericSize{}, layout, host));
    EXPECT_EQ(layout.type, SampleType::UInt16);
    EXPECT_THAT(Row(layout, 0, 0), ElementsAre(2, 4));
    EXPECT_THAT(Row(layout, 0, 1), ElementsAre(0, 65535));
    EXPECT_THAT(Row(layout, 1, 1), ElementsAre(0, 9));
    ASSERT_TRUE(WriteSampleTiff(dir.File("f.tif"), 2, 2, bands, SampleType::Float64));
    ASSERT_TRUE(DescribeRaster(dir.File("f.tif"), GenericSize{}, layout, host));
    EXPECT_THAT(Row(layout, 1, 0), ElementsAre(0.25, 1e10));
    EXPECT_TRUE(host.Messages().empty());
}

// Every refusal names the file, sizes declared beyond what a file holds included: they are
// refused before anything is made.
TEST_F(SampleRasterTest, RefusalsNameTheFile)
{
    const std::string truncated = " is shorter than its size says (truncated?).";
    const std::pair<std::string, std::string> headers[] = {
        {"c", "samples = 2\nlines = 2\nbands = 1\ndata type = 6\n"},
        {"t", "samples = 4\nlines = 4\nbands = 1\ndata type = 2\n"},
        {"n", "lines = 4\n"},
        // 2^31 x 2^31 x 4 bands of 2 bytes is 2^65 bytes: wrapped, the product would be 0.
        {"wrap", "samples = 2147483648\nlines = 2147483648\nbands = 4\ndata type = 2\n"},
        // 2^32 + 1 bands cast to int would be one band.
        {"many", "samples = 1\nlines = 1\nbands = 4294967297\ndata type = 1\n"},
    };
    for (const auto& [name, text] : headers) {
        testing::WriteFileBytes(dir.File(name + ".hdr"), "ENVI\n" + text);
        testing::WriteFileBytes(dir.File(name + ".img"), std::string(name == "t" ? 31 : 32, '\0'));
    }
    testing::WriteFileBytes(dir.File("plain.tif"), testing::CraftedStripTiff(60000, 40000, 16, 1));
    testing::WriteFileBytes(dir.File("deflate.tif"),
                            testing::CraftedStripTiff(60000, 40000, 16, 8));
    RasterLayout layout;
    for (const char* name : {"c.img", "t.img", "n.img", "wrap.img", "many.img", "plain.tif",
                             "deflate.tif"})
        EXPECT_FALSE(DescribeRaster(dir.File(name), GenericSize{}, layout, host)) << name;
    EXPECT_FALSE(DescribeRaster(dir.File("t.raw"), GenericSize{4, 4, 2}, layout, host));
    EXPECT_THAT(host.Messages(),
                ElementsAre(dir.File("c.img") + ": unsupported data type.",
                            dir.File("t.img") + truncated,
                            "Cannot read the header of " + dir.File("n.img") + ".",
                            dir.File("wrap.img") + truncated,
                            "Cannot read the header of " + dir.File("many.img") + ".",
                            dir.File("plain.tif") + truncated, dir.File("deflate.tif") + truncated,
                            "Cannot open " + dir.File("t.raw") + "."));
}

TEST_F(SampleRasterTest, ATiffReplacedAfterItWasDescribedIsNotReadWithTheOldLayout)
{
    ASSERT_TRUE(WriteSampleTiff(dir.File("a.tif"), 64, 4, {std::vector<double>(256, 1.0)},
                                SampleType::UInt16));
    RasterLayout layout;
    ASSERT_TRUE(DescribeRaster(dir.File("a.tif"), GenericSize{}, layout, host));
    ASSERT_TRUE(WriteSampleTiff(dir.File("a.tif"), 16, 1, {std::vector<double>(16, 1.0)},
                                SampleType::UInt8));
    BandRowReader reader;
    EXPECT_FALSE(reader.Open(layout, 0, host));
    EXPECT_THAT(host.Messages(),
                ElementsAre(dir.File("a.tif") + " changed while it was being read."));
}

}  // namespace
}  // namespace lumesta
