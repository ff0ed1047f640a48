// Window reads of every layout the viewer opens must give exactly the samples a full read gives.

#include "raster/image_open.h"

#include <gtest/gtest.h>


#include "raster/bmp_writer.h"
#include "raster/geotiff/geotiff_source.h"
#include "tests/support/child_process.h"
#include "tests/support/geotiff_builder.h"
#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"

namespace lumesta {
namespace {

using testing::TempDir;

constexpr int kWidth = 23;
constexpr int kHeight = 17;

int Value(int band, int x, int y)
{
    return 1 + band * 500 + y * 29 + x * 3;
}

std::vector<float> Read(RasterSource& source, int band, const SampleWindow& window)
{
    std::vector<float> out(static_cast<std::size_t>(window.columns) * window.rows, -1.0f);
    EXPECT_TRUE(source.ReadWindow(band, window, out.data(), nullptr));
    return out;
}

// Every window (decimated, shifted, reaching past the edges) equals the expected image.
void ExpectWindowsMatch(RasterSource& source, int bands, int width, int height,
                        const std::function<int(int, int, int)>& value)
{
    const SampleWindow windows[] = {{0, 0, width, height, 1},
                                    {0, 0, (width + 2) / 3, (height + 2) / 3, 3},
                                    {5, 4, 7, 6, 1},
                                    {-3, -2, 9, 8, 2},
                                    {width - 4, height - 3, 8, 7, 1},
                                    {1, 2, 4, 3, 5}};
    for (int band = 0; band < bands; ++band) {
        for (const SampleWindow& w : windows) {
            const std::vector<float> got = Read(source, band, w);
            for (int j = 0; j < w.rows; ++j) {
                for (int i = 0; i < w.columns; ++i) {
                    const int x = w.x0 + i * w.step;
                    const int y = w.y0 + j * w.step;
                    const bool inside = x >= 0 && y >= 0 && x < width && y < height;
                    ASSERT_EQ(got[static_cast<std::size_t>(j) * w.columns + i],
                              inside ? value(band, x, y) : 0)
                        << "band " << band << " at " << x << "," << y << " step " << w.step;
                }
            }
        }
        EXPECT_EQ(source.ReadValue(band, 4, 3).value_or(-1), value(band, 4, 3));
        EXPECT_FALSE(source.ReadValue(band, width, 0).has_value());
    }
}

std::vector<std::int16_t> Band16(int band, int width, int height)
{
    std::vector<std::int16_t> samples;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            samples.push_back(static_cast<std::int16_t>(Value(band, x, y)));
    }
    return samples;
}

class ImageOpenTest : public ::testing::Test {
protected:
    std::unique_ptr<RasterSource> Open(const std::string& path, MatrixSize matrix = {})
    {
        error.clear();
        auto source = OpenRaster(path, matrix, error);
        EXPECT_TRUE(source) << error;
        return source;
    }
    TempDir dir;
    std::string error;
};

TEST_F(ImageOpenTest, EnviInterleavesAndByteOrdersReadTheSameSamples)
{
    const int bands = 3;
    for (const std::string interleave : {"bsq", "bil", "bip"}) {
        for (const int byteOrder : {0, 1}) {
            std::string bytes(16 + 2 * bands * kHeight * kWidth, '\0');
            for (int band = 0; band < bands; ++band) {
                for (int y = 0; y < kHeight; ++y) {
                    for (int x = 0; x < kWidth; ++x) {
                        const int at = interleave == "bsq"   ? (band * kHeight + y) * kWidth + x
                                       : interleave == "bil" ? (y * bands + band) * kWidth + x
                                                             : (y * kWidth + x) * bands + band;
                        const auto v = static_cast<std::uint16_t>(Value(band, x, y));
                        bytes[16 + 2 * at + byteOrder] = static_cast<char>(v & 0xFF);
                        bytes[16 + 2 * at + 1 - byteOrder] = static_cast<char>(v >> 8);
                    }
                }
            }
            testing::WriteFileBytes(dir.File("m.img"), bytes);
            testing::WriteFileBytes(
                dir.File("m.hdr"),
                "ENVI\ndescription = {\n  test}\nsamples = 23\nlines   = 17\nbands = 3\n"
                "header offset = 16\nfile type = ENVI Standard\ndata type = 12\n"
                "interleave = " +
                    interleave + "\nbyte order = " + std::to_string(byteOrder) +
                    "\nband names = {\n a, b , c}\n");
            const auto source = Open(dir.File("m.hdr"));
            ASSERT_TRUE(source);
            EXPECT_EQ(source->Description().type, SampleType::UInt16);
            EXPECT_EQ(source->Description().bandNames, (std::vector<std::string>{"a", "b", "c"}));
            ExpectWindowsMatch(*source, bands, kWidth, kHeight, Value);
        }
    }
}

TEST_F(ImageOpenTest, IdrisiGroupsGenericMatricesAndBmpReadTheirSamples)
{
    testing::WriteInt16File(dir.File("b1.rst"), Band16(0, kWidth, kHeight));
    testing::WriteInt16File(dir.File("b2.rst"), Band16(1, kWidth, kHeight));
    testing::WriteIdrisiHeader(dir.File("b1.rst"), kWidth, kHeight);
    testing::WriteIdrisiHeader(dir.File("b2.rst"), kWidth, kHeight);
    testing::WriteFileBytes(dir.File("g.rgf"), "2\r\nb1\r\nb2\r\n");
    const auto group = Open(dir.File("g.rgf"));
    ASSERT_TRUE(group);
    EXPECT_EQ(group->Description().bandNames, (std::vector<std::string>{"b1", "b2"}));
    ExpectWindowsMatch(*group, 2, kWidth, kHeight, Value);

    std::vector<std::int16_t> both = Band16(0, kWidth, kHeight);
    const std::vector<std::int16_t> second = Band16(1, kWidth, kHeight);
    both.insert(both.end(), second.begin(), second.end());
    testing::WriteInt16File(dir.File("matrix.raw"), both);
    EXPECT_TRUE(NeedsMatrixSize(dir.File("matrix.raw")));
    const auto matrix = Open(dir.File("matrix.raw"), {kWidth, kHeight, 2});
    ASSERT_TRUE(matrix);
    EXPECT_EQ(matrix->Description().bands, 2);
    ExpectWindowsMatch(*matrix, 2, kWidth, kHeight, Value);

    // A BMP row is padded and stored bottom-up; its bands are blue, green, red.
    const auto byteValue = [](int band, int x, int y) {
        return (band * 80 + x * 7 + y * 13) % 251 + 1;
    };
    const int stride = BmpRowStride(kWidth);
    const auto headers = BmpHeaders(kWidth, kHeight);
    std::string bmp(headers.begin(), headers.end());
    bmp.resize(54 + static_cast<std::size_t>(stride) * kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            for (int band = 0; band < 3; ++band) {
                bmp[54 + static_cast<std::size_t>(kHeight - 1 - y) * stride + 3 * x + band] =
                    static_cast<char>(byteValue(band, x, y));
            }
        }
    }
    testing::WriteFileBytes(dir.File("p.bmp"), bmp);
    const auto picture = Open(dir.File("p.bmp"));
    ASSERT_TRUE(picture);
    ExpectWindowsMatch(*picture, 3, kWidth, kHeight, byteValue);
}

TEST_F(ImageOpenTest, GeoTiffLayoutsAndSampleTypesReadTheSameSamples)
{
    const auto sample = [](int band, std::uint32_t x, std::uint32_t y) {
        return Value(band, static_cast<int>(x), static_cast<int>(y));
    };
    testing::TiffSpec specs[5];
    specs[0] = {kWidth, kHeight, 16, 3, 1, 2, 0, 1};        // contiguous strips
    specs[1] = {kWidth, kHeight, 16, 3, 2, 5, 0, 8};        // separate planes, deflate
    specs[2] = {kWidth, kHeight, 16, 2, 1, 0, 16, 5};       // contiguous tiles, LZW
    specs[3] = {kWidth, kHeight, 16, 2, 2, 0, 16, 1};       // separate tiles
    specs[4] = {kWidth, kHeight, 16, 1, 1, kHeight, 0, 8};  // one compressed strip
    for (const testing::TiffSpec& spec : specs) {
        testing::WriteTestTiff(dir.File("t.tif"), spec, sample);
        const auto source = Open(dir.File("t.tif"));
        ASSERT_TRUE(source);
        EXPECT_EQ(source->Description().type, SampleType::Int16);
        ExpectWindowsMatch(*source, spec.samples, kWidth, kHeight, Value);
        // Strips too large to hold whole are decoded row by row, forward and back again.
        const auto byRows = OpenGeoTiffSource(dir.File("t.tif"), error, 64);
        ASSERT_TRUE(byRows) << error;
        ExpectWindowsMatch(*byRows, spec.samples, kWidth, kHeight, Value);
    }
}

TEST_F(ImageOpenTest, ATruncatedBandShowsWhatExistsAndSaysTheRestIsMissing)
{
    std::vector<std::int16_t> samples = Band16(0, kWidth, kHeight);
    samples.resize(static_cast<std::size_t>(kWidth) * 10 + 5);
    testing::WriteInt16File(dir.File("cut.img"), samples);
    testing::WriteEnviHeader(dir.File("cut.img"), kWidth, kHeight, 1);
    const auto source = Open(dir.File("cut.img"));
    ASSERT_TRUE(source);
    EXPECT_EQ(source->Description().availableRows, 10);
    EXPECT_EQ(source->Description().missingNote,
              "The file ends after 10 of 17 rows; the rest is missing and shows black.");
    const std::vector<float> got = Read(*source, 0, {0, 9, kWidth, 3, 1});
    EXPECT_EQ(got[0], Value(0, 0, 9));
    EXPECT_EQ(got[kWidth + 4], Value(0, 4, 10));
    EXPECT_EQ(got[kWidth + 5], 0.0f);
    EXPECT_EQ(got[2 * kWidth], 0.0f);
}

TEST_F(ImageOpenTest, UnreadableFilesSayWhy)
{
    const auto refused = [this](const std::string& path, MatrixSize matrix = {}) {
        error.clear();
        EXPECT_FALSE(OpenRaster(path, matrix, error)) << path;
        return error;
    };
    testing::WriteFileBytes(dir.File("z.img"), "");
    testing::WriteEnviHeader(dir.File("z.img"), 0, 0, 1);
    EXPECT_EQ(refused(dir.File("z.img")),
              "The header gives a size of 0 x 0 with 1 band(s): an image needs at least one row, "
              "one column and one band.");
    testing::WriteEnviHeader(dir.File("z.img"), 900000, 900000, 4);
    EXPECT_EQ(
        refused(dir.File("z.img")),
        "The header gives a size of 900000 x 900000 with 4 band(s), too large for a real image.");
    testing::WriteFileBytes(dir.File("x.hdr"), "not a header\n");
    testing::WriteFileBytes(dir.File("x.img"), "1234");
    EXPECT_NE(refused(dir.File("x.img")).find("does not start with \"ENVI\""), std::string::npos);
    testing::WriteFileBytes(dir.File("x.tif"), "II*\0garbage");
    EXPECT_EQ(refused(dir.File("x.tif")), "This file cannot be read as a TIFF image.");
    testing::WriteFileBytes(dir.File("x.bmp"), "GIF89a");
    EXPECT_EQ(refused(dir.File("x.bmp")), "This file is not a BMP picture (no \"BM\" header).");
    EXPECT_EQ(refused(dir.File("none.img")),
              "The file " + dir.File("none.img") + " does not exist.");
    EXPECT_EQ(refused(dir.File("x.raw") + "", {4, 4, 3}),
              "The file " + dir.File("x.raw") + " does not exist.");
}

TEST_F(ImageOpenTest, TilesDeclaredOverAFewBytesAreNeitherMadeNorZeroFilled)
{
    // A 16 x 16 image in one tile of 65536 x 65536 16-bit samples: 8 GiB per band, or 64 GiB for
    // eight bands, over 16 stored bytes.
    for (const std::uint16_t compression : {1, 8}) {
        for (const std::uint16_t samples : {1, 8}) {
            testing::WriteFileBytes(dir.File("tiles.tif"),
                                    testing::CraftedTiff({{256, 4, 16},
                                                          {257, 4, 16},
                                                          {258, 3, 16},
                                                          {259, 3, compression},
                                                          {262, 3, 1},
                                                          {277, 3, samples},
                                                          {284, 3, 2},
                                                          {322, 4, 65536},
                                                          {323, 4, 65536},
                                                          {324, 4, testing::CraftedDataOffset(11)},
                                                          {325, 4, 16}},
                                                         16));
            // Opened and a window of every band read, in a child process.
            const long peakKiB = testing::PeakKiBInChild([this] {
                const auto source = OpenRaster(dir.File("tiles.tif"), {}, error);
                std::vector<float> out(16 * 16);
                for (int band = 0; source && band < source->Description().bands; ++band)
                    source->ReadWindow(band, {0, 0, 16, 16, 1}, out.data(), nullptr);
                return true;
            });
            EXPECT_GE(peakKiB, 0) << compression << " " << samples;
            EXPECT_LT(peakKiB, 256 * 1024) << compression << " " << samples;
        }
    }
}

TEST_F(ImageOpenTest, NearestNeighbourGridRepeatsEachInnerPixel)
{
    testing::WriteInt16File(dir.File("ms.img"), Band16(0, 5, 4));
    testing::WriteEnviHeader(dir.File("ms.img"), 5, 4, 1);
    const auto grid = ResampleNearest(Open(dir.File("ms.img")), 20, 16);
    ASSERT_TRUE(grid);
    ExpectWindowsMatch(*grid, 1, 20, 16,
                       [](int band, int x, int y) { return Value(band, x / 4, y / 4); });
}

}  // namespace
}  // namespace lumesta
