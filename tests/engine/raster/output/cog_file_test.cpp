// A COG put together from tiles compressed beforehand reads back through GDAL level for level,
// sample for sample, in its classic and its BigTIFF form, and GDAL's validator takes both.

#include "raster/output/cog_file.h"

#include <fcntl.h>
#include <gdal.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "raster/output/tile_deflate.h"
#include "tests/support/geotiff_builder.h"
#include "tests/support/temp_dir.h"

namespace lumesta::testing {
namespace {

constexpr int kSide = 512;

double Value(SampleType type, int level, int k, int x, int y)
{
    const int i = x * 3 + y * 5 + k * 7 + level * 11;
    switch (type) {
        case SampleType::UInt8:
            return i % 256;
        case SampleType::Int16:
            return i % 65536 - 32768;
        case SampleType::UInt16:
            return (i * 37) % 65536;
        default:
            return i * 0.25 - 100.5;
    }
}

// Compresses the tiles of one level into the store, row after row of tiles.
CogLevel StoreLevel(SampleType type, int bands, int level, int width, int height, int store,
                    std::int64_t& end)
{
    CogLevel result{width, height, {}};
    TileDeflater deflater(type, bands, kSide, 1);
    const std::size_t bytes = static_cast<std::size_t>(SampleBytes(type));
    std::vector<std::uint8_t> tile;
    for (int ty = 0; ty * kSide < height; ++ty) {
        for (int tx = 0; tx * kSide < width; ++tx) {
            std::memset(deflater.Tile(), 0, bytes * bands * kSide * kSide);
            for (int y = 0; y < kSide && ty * kSide + y < height; ++y) {
                for (int x = 0; x < kSide && tx * kSide + x < width; ++x) {
                    for (int k = 0; k < bands; ++k) {
                        const double v = Value(type, level, k, tx * kSide + x, ty * kSide + y);
                        StoreSamples(
                            &v, 1, type,
                            deflater.Tile() +
                                ((static_cast<std::size_t>(y) * kSide + x) * bands + k) * bytes);
                    }
                }
            }
            EXPECT_TRUE(deflater.Compress(tile, kTileMargin));
            WrapTile(tile);
            EXPECT_EQ(::pwrite(store, tile.data(), tile.size(), end),
                      static_cast<ssize_t>(tile.size()));
            result.tiles.push_back({end, static_cast<std::int64_t>(tile.size())});
            end += static_cast<std::int64_t>(tile.size());
        }
    }
    return result;
}

void ExpectLevel(GDALRasterBandH band, SampleType type, int level, int k, int width, int height)
{
    ASSERT_EQ(GDALGetRasterBandXSize(band), width);
    ASSERT_EQ(GDALGetRasterBandYSize(band), height);
    std::vector<double> samples(static_cast<std::size_t>(width) * height);
    ASSERT_EQ(GDALRasterIO(band, GF_Read, 0, 0, width, height, samples.data(), width, height,
                           GDT_Float64, 0, 0),
              CE_None);
    int differing = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            differing +=
                samples[static_cast<std::size_t>(y) * width + x] != Value(type, level, k, x, y);
    EXPECT_EQ(differing, 0) << "level " << level << ", band " << k;
}

TEST(CogFileTest, GdalReadsEveryLevelBackInTheClassicAndTheBigTiffForm)
{
    GDALAllRegister();
    const struct {
        SampleType type;
        int bands;
        bool bigTiff;
    } cases[] = {{SampleType::UInt8, 3, false},
                 {SampleType::UInt16, 1, true},
                 {SampleType::Int16, 4, true},
                 {SampleType::Float32, 2, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "bands " << c.bands << ", big " << c.bigTiff);
        TempDir dir;
        BandFileSpec spec;
        spec.width = 700;
        spec.height = 530;
        spec.bands = c.bands;
        spec.type = c.type;
        spec.noData = 0;
        spec.geo.valid = true;
        spec.geo.originX = 500000;
        spec.geo.originY = 4200000;
        spec.geo.pixelWidth = 2;
        spec.geo.pixelHeight = -2;
        spec.geo.epsg = 32618;
        CogDescription description;
        description.type = c.type;
        description.bands = c.bands;
        description.bigTiff = c.bigTiff;
        ASSERT_TRUE(
            GdalDescriptionFields(spec, description.mainFields, description.overviewFields));
        const int store = ::open(dir.File("store").c_str(), O_RDWR | O_CREAT, 0644);
        ASSERT_GE(store, 0);
        std::int64_t end = 0;
        description.levels.push_back(StoreLevel(c.type, c.bands, 0, 700, 530, store, end));
        description.levels.push_back(StoreLevel(c.type, c.bands, 1, 350, 265, store, end));
        const std::string path = dir.File("out.tif");
        const int out = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(out, 0);
        bool cancelled = true;
        EXPECT_TRUE(WriteCogFile(out, store, description, {}, cancelled));
        EXPECT_FALSE(cancelled);
        ::close(out);
        ::close(store);

        EXPECT_EQ(ReadFileBytes(path).substr(0, 4),
                  c.bigTiff ? std::string("II+\0", 4) : std::string("II*\0", 4));
        GDALDatasetH dataset = GDALOpen(path.c_str(), GA_ReadOnly);
        ASSERT_NE(dataset, nullptr);
        double transform[6];
        ASSERT_EQ(GDALGetGeoTransform(dataset, transform), CE_None);
        EXPECT_EQ(transform[0], 500000);
        EXPECT_EQ(transform[5], -2);
        for (int k = 0; k < c.bands; ++k) {
            GDALRasterBandH band = GDALGetRasterBand(dataset, k + 1);
            ExpectLevel(band, c.type, 0, k, 700, 530);
            ASSERT_EQ(GDALGetOverviewCount(band), 1);
            ExpectLevel(GDALGetOverview(band, 0), c.type, 1, k, 350, 265);
            int hasNoData = 0;
            EXPECT_EQ(GDALGetRasterNoDataValue(band, &hasNoData), 0);
            EXPECT_TRUE(hasNoData);
        }
        GDALClose(dataset);
        const std::string verdict = CogValidatorVerdict(path);
        if (!verdict.empty()) {
            EXPECT_EQ(verdict, "0\n");
        }
    }
}

}  // namespace
}  // namespace lumesta::testing
