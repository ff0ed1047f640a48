// Images read through GDAL must give exactly the samples of the originals, whatever their
// layout; the reader choice keeps the tools' own formats with their readers; hostile files are
// refused quickly.

#include "raster/gdal/gdal_source.h"

#include <gdal_priv.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "raster/file_name.h"
#include "raster/gdal/gdal_setup.h"
#include "raster/image_open.h"
#include "raster/input_extract.h"
#include "raster/raster_layout.h"
#include "tests/engine/raster/shared_scenes.h"
#include "tests/support/fake_host.h"
#include "tests/support/temp_dir.h"

namespace lumesta {
namespace {

using ::testing::ElementsAre;
using testing::FakeHost;
using ::testing::HasSubstr;
using testing::ReadFileBytes;
using testing::ReadInt16File;
using testing::TempDir;
using testing::WriteFileBytes;

struct DatasetCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};
using DatasetPtr = std::unique_ptr<GDALDataset, DatasetCloser>;

// The samples of a source as floats, read in one window (or decimated).
std::vector<float> ReadAll(RasterSource& source, int band, int step = 1)
{
    const RasterDescription& d = source.Description();
    const SampleWindow window{0, 0, (d.width + step - 1) / step, (d.height + step - 1) / step,
                              step};
    std::vector<float> out(static_cast<std::size_t>(window.columns) * window.rows);
    EXPECT_TRUE(source.ReadWindow(band, window, out.data(), nullptr)) << source.ReadError();
    return out;
}

// The validity of a window's pixels (1: valid), row by row.
std::vector<std::uint8_t> Valid(RasterSource& source, int band, const SampleWindow& window)
{
    std::vector<std::uint8_t> valid(static_cast<std::size_t>(window.columns) * window.rows);
    EXPECT_TRUE(source.ReadMaskWindow(band, window, valid.data()));
    return valid;
}

class GdalSourceTest : public ::testing::Test {
protected:
    void SetUp() override { PrepareGdal(); }

    // A copy of source made by the named driver with its creation options.
    std::string Translate(const std::string& source, const std::string& name, const char* driver,
                          std::vector<const char*> options)
    {
        DatasetPtr in(GDALDataset::Open(source.c_str(), GDAL_OF_RASTER));
        GDALDriver* out = GetGDALDriverManager()->GetDriverByName(driver);
        if (!in || out == nullptr) return {};
        options.push_back(nullptr);
        DatasetPtr copy(out->CreateCopy(dir.File(name).c_str(), in.get(), FALSE,
                                        const_cast<char**>(options.data()), nullptr, nullptr));
        return copy ? dir.File(name) : std::string();
    }

    // A GeoTIFF of width × height × bands UInt16 samples (band b, x, y → 1 + b·1000 + y·7 + x).
    // Without fill nothing is written (a sparse file: no block is ever made).
    DatasetPtr Create(const std::string& name, int width, int height, int bands,
                      std::vector<const char*> options, GDALDataType type = GDT_UInt16,
                      bool fill = true)
    {
        options.push_back(nullptr);
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
        DatasetPtr dataset(driver->Create(dir.File(name).c_str(), width, height, bands, type,
                                          const_cast<char**>(options.data())));
        std::vector<std::uint16_t> samples(static_cast<std::size_t>(width) * height);
        for (int b = 0; fill && b < bands; ++b) {
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x)
                    samples[static_cast<std::size_t>(y) * width + x] =
                        static_cast<std::uint16_t>(1 + b * 1000 + y * 7 + x);
            }
            EXPECT_EQ(
                dataset->GetRasterBand(b + 1)->RasterIO(
                    GF_Write, 0, 0, width, height, samples.data(), width, height, GDT_UInt16, 0, 0),
                CE_None);
        }
        return dataset;
    }

    TempDir dir;
    FakeHost host;
};

// Every band of a and b equal, sample for sample, at full resolution and decimated.
void ExpectSameSamples(RasterSource& a, RasterSource& b)
{
    ASSERT_EQ(a.Description().width, b.Description().width);
    ASSERT_EQ(a.Description().height, b.Description().height);
    ASSERT_EQ(a.Description().bands, b.Description().bands);
    for (int band = 0; band < a.Description().bands; ++band) {
        for (const int step : {1, 3}) {
            EXPECT_EQ(ReadAll(a, band, step), ReadAll(b, band, step))
                << "band " << band << " step " << step;
        }
    }
}

// Tiled, pixel-interleaved and (where GDAL has the driver) lossless JPEG 2000 copies.
TEST_F(GdalSourceTest, CopiesOfTheSceneInOtherLayoutsReadAsTheEnviOriginals)
{
    const std::string scenes = testing::SharedScenesFolder();
    if (scenes.empty()) GTEST_SKIP() << "shared scenes absent";
    const std::string pan = scenes + "ps16/envi4/pan.img";
    const std::string ms = scenes + "ps16/envi4/ms.img";
    std::vector<std::pair<std::string, std::string>> copies = {
        {pan, Translate(pan, "pan.tif", "GTiff",
                        {"TILED=YES", "BLOCKXSIZE=128", "BLOCKYSIZE=64", "COMPRESS=DEFLATE",
                         "PREDICTOR=2"})},
        {ms, Translate(ms, "ms.tiff", "GTiff", {"INTERLEAVE=PIXEL", "COMPRESS=LZW"})}};
    if (GetGDALDriverManager()->GetDriverByName("JP2OpenJPEG") != nullptr)
        copies.emplace_back(ms, Translate(ms, "ms.jp2", "JP2OpenJPEG", {"REVERSIBLE=YES", "QUALITY=100"}));
    EXPECT_EQ(ChooseReader(copies[0].second), ReaderKind::Gdal);
    EXPECT_EQ(ChooseReader(scenes + "ps16/geotiff4/pan.tif"), ReaderKind::StripTiff);
    std::string error;
    for (const auto& [original, copy] : copies) {
        ASSERT_FALSE(copy.empty()) << original;
        const auto a = OpenRaster(original, {}, error);
        const auto b = OpenRaster(copy, {}, error);
        ASSERT_TRUE(a && b) << error;
        EXPECT_EQ(b->Description().reader, ReaderKind::Gdal);
        ExpectSameSamples(*a, *b);
    }
}

TEST_F(GdalSourceTest, OwnFormatsKeepTheirReaders)
{
    WriteFileBytes(dir.File("scene.raw"), std::string(64, '\1'));
    WriteFileBytes(dir.File("scene.hdr"),
                   "ENVI\nsamples = 8\nlines = 4\nbands = 1\n"
                   "data type = 2\ninterleave = bsq\n");
    EXPECT_EQ(ChooseReader(dir.File("scene.raw")), ReaderKind::Matrix);
    EXPECT_TRUE(NeedsMatrixSize(dir.File("scene.raw")));
    EXPECT_FALSE(NeedsMatrixSize(dir.File("scene.hdr")));  // the viewer opens its .img
    RasterLayout layout;
    EXPECT_FALSE(DescribeRaster(dir.File("scene.raw"), {}, layout, host));
    EXPECT_THAT(host.Messages(),
                ElementsAre(dir.File("scene.raw") +
                            ": give --width, --height and --bytes for a headerless matrix."));
    for (const char* name :
         {"a.TIFF", "b.jp2", "c.J2K", "d.jpx", "e.ntf", "f.NITF", "g.vrt", "h.til", "i.gpkg"}) {
        EXPECT_EQ(ReaderByName(name), ReaderKind::Gdal) << name;
    }
    EXPECT_EQ(ReaderByName("a.bif"), ReaderKind::Batch);
    EXPECT_EQ(ReaderByName("a.bmp"), ReaderKind::Bmp);
}

TEST_F(GdalSourceTest, CraftedHugeSizesAreRefusedQuickly)
{
    // A VRT declaring a million-square image and one declaring a single enormous block.
    WriteFileBytes(dir.File("huge.vrt"),
                   "<VRTDataset rasterXSize=\"1000000\" rasterYSize=\"1000000\">"
                   "<VRTRasterBand dataType=\"UInt16\" band=\"1\"/>"
                   "<VRTRasterBand dataType=\"UInt16\" band=\"2\"/></VRTDataset>");
    Create("block.tif", 64, 64, 1,
           {"TILED=YES", "BLOCKXSIZE=16384", "BLOCKYSIZE=16384", "SPARSE_OK=TRUE"}, GDT_UInt16,
           false);
    const auto start = std::chrono::steady_clock::now();
    std::string error;
    EXPECT_FALSE(OpenRaster(dir.File("huge.vrt"), {}, error));
    EXPECT_THAT(error, HasSubstr("too large for a real image"));
    EXPECT_THAT(error, HasSubstr("huge.vrt"));
    EXPECT_FALSE(OpenRaster(dir.File("block.tif"), {}, error));
    EXPECT_THAT(error, HasSubstr("blocks of 16384 x 16384, too large to be read"));
    EXPECT_FALSE(OpenGdalSource(dir.File("absent.jp2"), error));
    EXPECT_THAT(error, HasSubstr("GDAL cannot read " + dir.File("absent.jp2") + ":"));
    WriteFileBytes(dir.File("text.ntf"), "no imagery here");
    EXPECT_FALSE(OpenRaster(dir.File("text.ntf"), {}, error));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(GdalSourceTest, FuzzFindingsAreRefusedOrReadWithinTheirType)
{
    // Corpus files: a selector byte, then the file.
    const std::string corpus = FolderOf(__FILE__) + "../../fuzz/gdal/";
    const std::string jp2 = ReadFileBytes(corpus + "jp2_segment_beyond_codestream");
    const std::string vrt = ReadFileBytes(corpus + "vrt_nodata_outside_type");
    ASSERT_FALSE(jp2.empty() || vrt.empty());
    // Its decoder would stop the program on this codestream: it never gets it.
    WriteFileBytes(dir.File("bad.jp2"), jp2.substr(1));
    std::string error;
    EXPECT_FALSE(OpenRaster(dir.File("bad.jp2"), {}, error));
    EXPECT_THAT(error, HasSubstr("is no sound JPEG 2000 file"));
    // A Byte band whose empty area GDAL fills with the no-data value -1: extracted as 0.
    WriteFileBytes(dir.File("fill.vrt"), vrt.substr(1));
    ASSERT_EQ(ExtractInputBands(dir.File("fill.vrt"), dir.File("fill.raw"), 0, host), 1);
    EXPECT_EQ(ReadFileBytes(dir.File("fill.raw")), std::string(24 * 12, '\0'));
}

TEST_F(GdalSourceTest, NoDataMasksAlphaAndGeoreferencingAreDescribed)
{
    {
        DatasetPtr withNoData = Create("nodata.tif", 20, 10, 2, {"TILED=YES"});
        withNoData->GetRasterBand(1)->SetNoDataValue(1 + 3 * 7 + 4);  // the sample at (4, 3)
        withNoData->GetRasterBand(2)->SetNoDataValue(1 + 3 * 7 + 4);
        const double transform[6] = {500000, 2, 0, 4100000, 0, -2};
        withNoData->SetGeoTransform(const_cast<double*>(transform));
        OGRSpatialReference utm;
        utm.importFromEPSG(32618);
        withNoData->SetSpatialRef(&utm);
        DatasetPtr masked = Create("masked.tiff", 20, 10, 3, {});
        masked->CreateMaskBand(GMF_PER_DATASET);
        std::vector<std::uint8_t> mask(200, 255);
        mask[static_cast<std::size_t>(5 * 20 + 6)] = 0;
        ASSERT_EQ(masked->GetRasterBand(1)->GetMaskBand()->RasterIO(
                      GF_Write, 0, 0, 20, 10, mask.data(), 20, 10, GDT_Byte, 0, 0),
                  CE_None);
        DatasetPtr alpha =
            Create("alpha.tiff", 20, 10, 4, {"ALPHA=YES", "PHOTOMETRIC=RGB"}, GDT_UInt16);
        // Four bands and an alpha band: GDAL does not take it for their mask, we do.
        DatasetPtr alpha5 = Create("alpha5.tiff", 20, 10, 5, {"TILED=YES"});
        ASSERT_EQ(alpha5->GetRasterBand(5)->SetColorInterpretation(GCI_AlphaBand), CE_None);
        const std::uint16_t transparent = 0;
        ASSERT_EQ(alpha5->GetRasterBand(5)->RasterIO(GF_Write, 6, 5, 1, 1,
                                                     const_cast<std::uint16_t*>(&transparent), 1,
                                                     1, GDT_UInt16, 0, 0),
                  CE_None);
    }
    std::string error;
    const auto noData = OpenRaster(dir.File("nodata.tif"), {}, error);
    ASSERT_TRUE(noData) << error;
    const RasterDescription& d = noData->Description();
    ASSERT_TRUE(d.noData);
    EXPECT_EQ(*d.noData, 26);
    EXPECT_FALSE(d.maskBand);
    EXPECT_TRUE(d.geo.valid);
    EXPECT_EQ(d.geo.epsg, 32618);
    EXPECT_EQ(d.geo.pixelWidth, 2);
    EXPECT_EQ(d.geo.originY, 4100000);
    using Bytes = std::vector<std::uint8_t>;
    EXPECT_EQ(Valid(*noData, 0, {3, 2, 4, 3, 1}), (Bytes{1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(Valid(*noData, 1, {3, 2, 4, 3, 1}), Bytes(12, 1));  // band 2 never holds the value
    EXPECT_EQ(Valid(*noData, 0, {18, 9, 2, 2, 1}), (Bytes{1, 1, 0, 0}));  // outside the image

    // The strip reader's source reads GDAL's no-data tag too.
    const std::string stripped = Translate(dir.File("nodata.tif"), "strips.tif", "GTiff", {});
    ASSERT_EQ(ChooseReader(stripped), ReaderKind::StripTiff);
    const auto strips = OpenRaster(stripped, {}, error);
    ASSERT_TRUE(strips && strips->Description().noData) << error;
    EXPECT_EQ(*strips->Description().noData, 26);

    const auto masked = OpenRaster(dir.File("masked.tiff"), {}, error);
    ASSERT_TRUE(masked) << error;
    EXPECT_TRUE(masked->Description().maskBand);
    EXPECT_FALSE(masked->Description().noData);
    EXPECT_EQ(Valid(*masked, 2, {5, 5, 3, 1, 1}), (Bytes{1, 0, 1}));

    const auto alpha = OpenRaster(dir.File("alpha.tiff"), {}, error);
    ASSERT_TRUE(alpha) << error;
    EXPECT_EQ(alpha->Description().bands, 3);  // the alpha band masks, it is no band
    EXPECT_TRUE(alpha->Description().maskBand);

    const auto alpha5 = OpenRaster(dir.File("alpha5.tiff"), {}, error);
    ASSERT_TRUE(alpha5) << error;
    EXPECT_EQ(alpha5->Description().bands, 4);
    EXPECT_TRUE(alpha5->Description().maskBand);
    for (const int band : {0, 3}) EXPECT_EQ(Valid(*alpha5, band, {5, 5, 3, 1, 1}), (Bytes{1, 0, 1}));
}

TEST_F(GdalSourceTest, ExtractionWritesTheRawBandsOfAnyLayout)
{
    Create("pixel.tif", 33, 21, 3,
           {"TILED=YES", "BLOCKXSIZE=16", "BLOCKYSIZE=16", "INTERLEAVE=PIXEL", "COMPRESS=DEFLATE"});
    ASSERT_EQ(ExtractInputBands(dir.File("pixel.tif"), dir.File("all.raw"), -1, host), 1);
    ASSERT_EQ(ExtractInputBands(dir.File("pixel.tif"), dir.File("third.raw"), 2, host), 1);
    const std::vector<std::int16_t> all = ReadInt16File(dir.File("all.raw"));
    const std::vector<std::int16_t> third = ReadInt16File(dir.File("third.raw"));
    ASSERT_EQ(all.size(), 3u * 33 * 21);
    EXPECT_EQ(std::vector<std::int16_t>(all.begin() + 2 * 33 * 21, all.end()), third);
    EXPECT_EQ(all[static_cast<std::size_t>(33 * 21 + 20 * 33 + 32)], 1 + 1000 + 20 * 7 + 32);
    EXPECT_EQ(ExtractInputBands(dir.File("pixel.tif"), dir.File("x.raw"), 3, host), 0);
    Create("float.tif", 8, 8, 1, {"TILED=YES"}, GDT_Float32);
    EXPECT_EQ(ExtractInputBands(dir.File("float.tif"), dir.File("y.raw"), -1, host), 0);
    EXPECT_THAT(
        host.Messages(),
        ElementsAre(dir.File("pixel.tif") + " has no band 4.",
                    dir.File("float.tif") +
                        " holds 32-bit float samples: only 8- and 16-bit integer samples can be "
                        "extracted."));
    EXPECT_FALSE(FileExists(dir.File("x.raw")) || FileExists(dir.File("y.raw")));
}

TEST_F(GdalSourceTest, DamagedBlockFailsTheReadWithTheFileNamed)
{
    Create("broken.tif", 64, 64, 1,
           {"TILED=YES", "BLOCKXSIZE=16", "BLOCKYSIZE=16", "COMPRESS=DEFLATE"});
    std::size_t offset = 0;
    {
        DatasetPtr written(GDALDataset::Open(dir.File("broken.tif").c_str(), GDAL_OF_RASTER));
        const char* at = written->GetRasterBand(1)->GetMetadataItem("BLOCK_OFFSET_1_1", "TIFF");
        ASSERT_NE(at, nullptr);
        offset = static_cast<std::size_t>(std::stoll(at));
    }
    std::string bytes = ReadFileBytes(dir.File("broken.tif"));
    for (std::size_t i = offset; i < offset + 40; ++i) bytes[i] = static_cast<char>(i * 37);
    WriteFileBytes(dir.File("broken.tif"), bytes);
    std::string error;
    const auto source = OpenRaster(dir.File("broken.tif"), {}, error);
    ASSERT_TRUE(source) << error;
    std::vector<float> out(64 * 64);
    EXPECT_FALSE(source->ReadWindow(0, {0, 0, 64, 64, 1}, out.data(), nullptr));
    EXPECT_THAT(source->ReadError(), HasSubstr("Cannot read " + dir.File("broken.tif")));
}

}  // namespace
}  // namespace lumesta
