// Window reads take a block's samples a run at a time; every sample type, block layout and
// window must still read exactly what the sample-by-sample lookup gives.

#include "raster/geotiff/geotiff_source.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include "tests/support/geotiff_builder.h"
#include "tests/support/temp_dir.h"

namespace lumesta {
namespace {

constexpr int kWidth = 37;  // two whole tiles of 16 and part of a third
constexpr int kHeight = 23;

struct TypeCase {
    int bits;
    int format;
    SampleType type;
    int offset;  // values are offset + scale × (0..240), distinct across neighbours and bands
    int scale;
};

// Wide integers and doubles start above 2^24, where the conversion to float rounds.
const TypeCase kTypes[] = {
    {8, SAMPLEFORMAT_UINT, SampleType::UInt8, 10, 1},
    {8, SAMPLEFORMAT_INT, SampleType::Int8, -120, 1},
    {16, SAMPLEFORMAT_INT, SampleType::Int16, -20000, 150},
    {16, SAMPLEFORMAT_UINT, SampleType::UInt16, 30000, 140},
    {32, SAMPLEFORMAT_UINT, SampleType::UInt32, 16777217, 3},
    {32, SAMPLEFORMAT_IEEEFP, SampleType::Float32, -1000, 9},
    {64, SAMPLEFORMAT_INT, SampleType::Int64, -16777219, 7},
    {64, SAMPLEFORMAT_IEEEFP, SampleType::Float64, 1073741825, 5},
};

struct LayoutCase {
    const char* name;
    int planar;
    std::uint32_t rowsPerStrip;
    std::uint32_t tile;
    int compression;
    std::int64_t maxBlockBytes;  // small: strips decoded row by row
};

const LayoutCase kLayouts[] = {
    {"contiguous tiles", PLANARCONFIG_CONTIG, 0, 16, COMPRESSION_NONE, 64 << 20},
    {"separate tiles", PLANARCONFIG_SEPARATE, 0, 16, COMPRESSION_ADOBE_DEFLATE, 64 << 20},
    {"contiguous strips", PLANARCONFIG_CONTIG, 5, 0, COMPRESSION_LZW, 64 << 20},
    {"separate strips", PLANARCONFIG_SEPARATE, 5, 0, COMPRESSION_NONE, 64 << 20},
    {"strips by rows", PLANARCONFIG_CONTIG, kHeight, 0, COMPRESSION_ADOBE_DEFLATE, 64},
};

// Inside across tile edges, touching the right and bottom edges, reaching past every edge,
// decimated by less and by more than a tile.
const SampleWindow kWindows[] = {
    {3, 2, 20, 9, 1},
    {kWidth - 21, kHeight - 6, 21, 6, 1},
    {-5, -3, kWidth + 11, kHeight + 7, 1},
    {1, 1, 13, 8, 3},
    {-4, 2, 5, 4, 17},
    {kWidth - 7, kHeight - 5, 6, 4, 2},
};

TEST(GeoTiffSourceTest, WindowsReadWhatEachSampleReadsInEveryTypeAndLayout)
{
    testing::TempDir dir;
    const std::string path = dir.File("t.tif");
    for (const TypeCase& type : kTypes) {
        const auto value = [&type](int band, std::uint32_t x, std::uint32_t y) {
            return type.offset + type.scale * static_cast<int>((band * 97 + y * 31 + x * 7) % 241);
        };
        for (const LayoutCase& layout : kLayouts) {
            testing::TiffSpec spec{kWidth,      kHeight,           type.bits,
                                   3,           layout.planar,     layout.rowsPerStrip,
                                   layout.tile, layout.compression};
            spec.format = type.format;
            testing::WriteTestTiff(path, spec, value);
            std::string error;
            const auto source = OpenGeoTiffSource(path, error, layout.maxBlockBytes);
            ASSERT_TRUE(source) << error;
            ASSERT_EQ(source->Description().type, type.type);
            for (int band = 0; band < 3; ++band) {
                for (const SampleWindow& w : kWindows) {
                    std::vector<float> got(static_cast<std::size_t>(w.columns) * w.rows, -1.0f);
                    ASSERT_TRUE(source->ReadWindow(band, w, got.data(), nullptr));
                    for (int j = 0; j < w.rows; ++j) {
                        for (int i = 0; i < w.columns; ++i) {
                            const int x = w.x0 + i * w.step;
                            const int y = w.y0 + j * w.step;
                            const std::optional<double> one = source->ReadValue(band, x, y);
                            const bool inside = x >= 0 && y >= 0 && x < kWidth && y < kHeight;
                            ASSERT_EQ(one, inside ? std::optional<double>(value(band, x, y))
                                                  : std::nullopt);
                            ASSERT_EQ(got[static_cast<std::size_t>(j) * w.columns + i],
                                      static_cast<float>(one.value_or(0)))
                                << layout.name << ", " << type.bits << " bits format "
                                << type.format << ", band " << band << " at " << x << "," << y
                                << " step " << w.step;
                        }
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace lumesta
