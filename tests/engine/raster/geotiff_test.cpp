#include "raster/geotiff/geotiff_extract.h"
#include "raster/geotiff/geotiff_write.h"

#include <geotiff.h>
#include <geovalues.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <tiffio.h>
#include <xtiffio.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "raster/declared_no_data.h"
#include "tests/engine/raster/shared_scenes.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_host.h"
#include "tests/support/geotiff_builder.h"
#include "tests/support/temp_dir.h"

namespace lumesta {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kReadError = "Error when reading GeoTIFF.\n";
const std::string kCompressed =
    "Cannot read this GeoTIFF image which may be in a compressed format. \n"
    "Please convert this GeoTIFF image to other image formats supported.\n";
const std::string kWriteError = "Error with GeoTIFF writing.\n";

using testing::TiffSpec;

int Sample(const TiffSpec& spec, int band, std::uint32_t x, std::uint32_t y)
{
    const int value = 300 * band + 37 * static_cast<int>(y) + static_cast<int>(x);
    return spec.bits == 8 ? value % 251 : value - 700;  // negative 16-bit values too
}

testing::SampleAt SamplesOf(const TiffSpec& spec)
{
    return [spec](int band, std::uint32_t x, std::uint32_t y) { return Sample(spec, band, x, y); };
}

// Band `band` as the raw band file holds it: row-major, little-endian.
std::string BandBytes(const TiffSpec& spec, int band)
{
    const auto block = testing::TiffBlock(spec, SamplesOf(spec), {band}, 0, 0, spec.width, spec.height);
    return std::string(block.begin(), block.end());
}

// Moves the offset of a single-strip file's strip to 100 bytes before the end of the file, as
// a file cut short in its data looks to a reader (the directory stays readable).
void PointStripNearTheEnd(const std::string& path)
{
    std::string bytes = testing::ReadFileBytes(path);
    std::uint32_t directory = 0;
    std::uint16_t entries = 0;
    std::memcpy(&directory, &bytes[4], 4);
    std::memcpy(&entries, &bytes[directory], 2);
    for (std::uint16_t i = 0; i < entries; ++i) {
        const std::size_t entry = directory + 2 + 12u * i;
        std::uint16_t tag = 0;
        std::memcpy(&tag, &bytes[entry], 2);
        const auto offset = static_cast<std::uint32_t>(bytes.size() - 100);
        if (tag == TIFFTAG_STRIPOFFSETS) std::memcpy(&bytes[entry + 8], &offset, 4);
    }
    testing::WriteFileBytes(path, bytes);
}

int Field16(TIFF* tiff, std::uint32_t tag)
{
    std::uint16_t value = 0;
    TIFFGetField(tiff, tag, &value);
    return value;
}

std::string FourBands(const TiffSpec& spec)
{
    return BandBytes(spec, 0) + BandBytes(spec, 1) + BandBytes(spec, 2) + BandBytes(spec, 3);
}

class GeoTiffTest : public ::testing::Test {
protected:
    std::string Made(const TiffSpec& spec, const std::string& name = "in.tif")
    {
        testing::WriteTestTiff(dir.File(name), spec, SamplesOf(spec));
        return dir.File(name);
    }
    testing::TempDir dir;
    testing::FakeHost host;
};

TEST_F(GeoTiffTest, StrippedBandsOfEveryCodecComeOutByteForByte)
{
    for (int compression : {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE}) {
        for (int bits : {8, 16}) {
            TiffSpec spec;
            spec.bits = bits;
            spec.compression = compression;
            const std::string in = Made(spec);
            ASSERT_EQ(ExtractGeoTiff(in, dir.File("~tmp000.tmp"), host), 1)
                << compression << " " << bits;
            EXPECT_EQ(testing::ReadFileBytes(dir.File("~tmp000.tmp")), BandBytes(spec, 0));
        }
    }
    EXPECT_THAT(host.Messages(), IsEmpty());
    EXPECT_EQ(host.Pumps(), 3 * 2 * 3);  // before each of the three strips
}

TEST_F(GeoTiffTest, InterleavedAndSeparateSamplesGiveBandSequentialOrTheSelectedBand)
{
    for (int planar : {PLANARCONFIG_CONTIG, PLANARCONFIG_SEPARATE}) {
        for (int bits : {8, 16}) {
            TiffSpec spec;
            spec.samples = 4;
            spec.planar = planar;
            spec.bits = bits;
            spec.compression = bits == 8 ? COMPRESSION_LZW : COMPRESSION_NONE;
            const std::string in = Made(spec);
            ASSERT_EQ(ExtractGeoTiff(in, dir.File("all.tmp"), host), 1);
            EXPECT_EQ(testing::ReadFileBytes(dir.File("all.tmp")), FourBands(spec));
            ASSERT_EQ(ExtractGeoTiffSample(in, dir.File("third.tmp"), 2, host), 1);
            EXPECT_EQ(testing::ReadFileBytes(dir.File("third.tmp")), BandBytes(spec, 2));
            EXPECT_EQ(ExtractGeoTiffSample(in, dir.File("fifth.tmp"), 4, host), 0);
            EXPECT_FALSE(testing::Exists(dir.File("fifth.tmp")));
        }
    }
    EXPECT_THAT(host.Messages(), ElementsAre(kReadError, kReadError, kReadError, kReadError));
}

TEST_F(GeoTiffTest, TiledBrokenAndMissingInputsEndInTheirMessageAndLeaveNoRawFile)
{
    TiffSpec tiled;
    tiled.tile = 16;
    EXPECT_EQ(ExtractGeoTiff(Made(tiled, "tiled.tif"), dir.File("a.tmp"), host), 0);
    TiffSpec contiguousShort;
    contiguousShort.shortStrips = true;
    EXPECT_EQ(ExtractGeoTiff(Made(contiguousShort, "short1.tif"), dir.File("b.tmp"), host), 0);
    TiffSpec separateShort = contiguousShort;
    separateShort.samples = 3;
    separateShort.planar = PLANARCONFIG_SEPARATE;
    EXPECT_EQ(ExtractGeoTiffSample(Made(separateShort, "short3.tif"), dir.File("c.tmp"), 1, host),
              0);
    TiffSpec big;  // one strip of 120,000 bytes that libtiff reads in pieces
    big.width = 300;
    big.height = 200;
    big.rowsPerStrip = 200;
    const std::string cut = Made(big, "cut.tif");
    PointStripNearTheEnd(cut);
    EXPECT_EQ(ExtractGeoTiff(cut, dir.File("d.tmp"), host), 0);
    EXPECT_EQ(ExtractGeoTiff(dir.File("absent.tif"), dir.File("e.tmp"), host), 0);
    EXPECT_EQ(ExtractGeoTiff(Made(TiffSpec{}), dir.File("missing/f.tmp"), host), 0);
    EXPECT_THAT(host.Messages(),
                ElementsAre(kCompressed, kReadError, kReadError, kReadError, kReadError,
                            "Error: Cannot generate temporary files when reading GeoTIFF. \n"
                            "You may wish to copy files from CD-ROM to hard disk."));
    for (const char* raw : {"a.tmp", "b.tmp", "c.tmp", "d.tmp", "e.tmp"}) {
        EXPECT_FALSE(testing::Exists(dir.File(raw))) << raw;
    }
}

// One strip declared over 60000 x 40000 samples holding 16 bytes, whatever byte count it states.
TEST_F(GeoTiffTest, HugeDeclaredStripsFailWithTheReadingMessageAndLittleMemory)
{
    for (const std::uint32_t byteCount : {16u, 0xffffffffu}) {
        for (const std::uint16_t compression : {COMPRESSION_NONE, COMPRESSION_ADOBE_DEFLATE}) {
            testing::WriteFileBytes(dir.File("huge.tif"),
                                    testing::CraftedStripTiff(60000, 40000, byteCount, compression));
            // Refused with the reading message, in a child process.
            const long peakKiB = testing::PeakKiBInChild([this] {
                testing::FakeHost child;
                return ExtractGeoTiff(dir.File("huge.tif"), dir.File("huge.raw"), child) == 0 &&
                       child.Messages() == std::vector<std::string>{kReadError};
            });
            EXPECT_GE(peakKiB, 0) << byteCount << " " << compression;
            EXPECT_LT(peakKiB, 256 * 1024) << byteCount << " " << compression;
            EXPECT_FALSE(testing::Exists(dir.File("huge.raw")));
        }
    }
}

class GeoTiffWriterTest : public GeoTiffTest {
protected:
    // Raw plane files 0..3 holding bands 0..3 of spec.
    void MakePlanes()
    {
        for (int band = 0; band < 4; ++band) {
            planes.push_back(dir.File("plane" + std::to_string(band) + ".raw"));
            testing::WriteFileBytes(planes.back(), BandBytes(spec, band));
        }
    }
    TiffSpec spec;
    std::vector<std::string> planes;
};

TEST_F(GeoTiffWriterTest, FourPlanesTakeTheTemplatesGeoreferenceAndTagsAndKeepTheirSamples)
{
    MakePlanes();
    const std::string pan = Made(spec, "pan.tif");
    const std::string out = dir.File("pan_Fused.tif");
    ASSERT_EQ(WriteGeoTiff(pan, out, planes[0], planes[1], planes[2], planes[3], 2, true, host), 1);
    EXPECT_THAT(host.Messages(), IsEmpty());
    EXPECT_THAT(host.ProgressCaptions(), ElementsAre("Writing GeoTIFF imagery ..."));
    EXPECT_EQ(host.ProgressPositions().size(), 20u);  // before each of 4 x 5 rows
    EXPECT_EQ(host.ProgressPositions().back(), 95);

    TIFF* tiff = XTIFFOpen(out.c_str(), "r");
    ASSERT_NE(tiff, nullptr);
    std::uint32_t rowsPerStrip = 0;
    std::uint16_t page = 0, pages = 0;
    char* description = nullptr;
    char* software = nullptr;
    TIFFGetField(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    TIFFGetField(tiff, TIFFTAG_PAGENUMBER, &page, &pages);
    ASSERT_TRUE(TIFFGetField(tiff, TIFFTAG_IMAGEDESCRIPTION, &description));
    ASSERT_TRUE(TIFFGetField(tiff, TIFFTAG_SOFTWARE, &software));
    EXPECT_THAT(
        (std::vector<int>{Field16(tiff, TIFFTAG_SAMPLESPERPIXEL),
                          Field16(tiff, TIFFTAG_PLANARCONFIG), Field16(tiff, TIFFTAG_BITSPERSAMPLE),
                          Field16(tiff, TIFFTAG_PHOTOMETRIC), Field16(tiff, TIFFTAG_SAMPLEFORMAT),
                          page, pages, static_cast<int>(rowsPerStrip)}),
        ElementsAre(4, 2, 16, 2, 2, 1, 2, 1));
    // RGB plus one extra sample of unstated meaning, so that readers open it without a warning.
    std::uint16_t extraCount = 0;
    std::uint16_t* extra = nullptr;
    ASSERT_TRUE(TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extra));
    ASSERT_EQ(extraCount, 1);
    EXPECT_EQ(extra[0], EXTRASAMPLE_UNSPECIFIED);
    EXPECT_STREQ(software, "test scene");
    EXPECT_STREQ(description,
                 "{\n\t\t\tbandList = \n\t\t\t[ "
                 "\n\t\t\t\t1;\n\t\t\t\t2;\n\t\t\t\t3;\n\t\t\t\t4;\n\t\t\t]\n\t\t\t}");
    std::uint16_t count = 0;
    double* tiepoints = nullptr;
    ASSERT_TRUE(TIFFGetField(tiff, TIFFTAG_GEOTIEPOINTS, &count, &tiepoints));
    EXPECT_EQ(std::vector<double>(tiepoints, tiepoints + count),
              (std::vector<double>{0, 0, 0, 500000, 4500000, 0}));
    double* scale = nullptr;
    ASSERT_TRUE(TIFFGetField(tiff, TIFFTAG_GEOPIXELSCALE, &count, &scale));
    EXPECT_EQ(std::vector<double>(scale, scale + count), (std::vector<double>{2, 2, 0}));
    GTIF* gtif = GTIFNew(tiff);
    unsigned short projected = 0, model = 0, raster = 0;
    char citation[64] = {};
    EXPECT_EQ(GTIFKeyGetSHORT(gtif, ProjectedCSTypeGeoKey, &projected, 0, 1), 1);
    GTIFKeyGetSHORT(gtif, GTModelTypeGeoKey, &model, 0, 1);
    GTIFKeyGetSHORT(gtif, GTRasterTypeGeoKey, &raster, 0, 1);
    EXPECT_EQ(std::vector<int>({projected, model, raster}),
              std::vector<int>({PCS_WGS84_UTM_zone_18N, ModelTypeProjected, RasterPixelIsArea}));
    EXPECT_GT(GTIFKeyGetASCII(gtif, GTCitationGeoKey, citation, sizeof citation), 0);
    EXPECT_STREQ(citation, "WGS 84 / UTM zone 18N");
    GTIFFree(gtif);
    XTIFFClose(tiff);

    ASSERT_EQ(ExtractGeoTiff(out, dir.File("back.raw"), host), 1);
    EXPECT_EQ(testing::ReadFileBytes(dir.File("back.raw")), FourBands(spec));
}

// A no-data value given is declared, whether libtiff or GDAL (for a VRT template) writes.
TEST_F(GeoTiffWriterTest, NoDataIsDeclaredWhenGiven)
{
    MakePlanes();
    const std::string pan = Made(spec, "pan.tif"), vrt = dir.File("pan.vrt"), out = dir.File("o.tif");
    testing::WriteFileBytes(vrt, "<VRTDataset rasterXSize='6' rasterYSize='5'><VRTRasterBand "
                                 "dataType='Int16' band='1'><SimpleSource><SourceFilename>" +
                                     pan + "</SourceFilename></SimpleSource></VRTRasterBand></VRTDataset>");
    ASSERT_EQ(WriteGeoTiff(pan, out, planes[0], planes[1], planes[2], planes[3], 2, true, host), 1);
    EXPECT_EQ(DeclaredNoData(out), std::nullopt);
    for (const std::string& reference : {pan, vrt}) {
        std::remove(out.c_str());
        ASSERT_EQ(WriteGeoTiff(reference, out, planes[0], planes[1], planes[2], planes[3], 2, true, host, -3.0), 1);
        EXPECT_EQ(DeclaredNoData(out), -3.0) << reference;
    }
}

TEST_F(GeoTiffWriterTest, TiledCompressedByteTemplateGivesThreeTiledPlanes)
{
    spec.bits = 8;
    spec.width = 20;
    spec.height = 18;
    spec.tile = 16;
    spec.samples = 3;
    spec.compression = COMPRESSION_LZW;
    MakePlanes();
    const std::string out = dir.File("composite.tif");
    // The four-plane flag has no effect on 8-bit outputs: they always have three planes.
    ASSERT_EQ(
        WriteGeoTiff(Made(spec), out, planes[0], planes[1], planes[2], planes[3], 1, true, host),
        1);
    TIFF* tiff = XTIFFOpen(out.c_str(), "r");
    ASSERT_NE(tiff, nullptr);
    std::uint32_t tileWidth = 0;
    TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
    EXPECT_THAT((std::vector<int>{Field16(tiff, TIFFTAG_SAMPLESPERPIXEL),
                                  Field16(tiff, TIFFTAG_COMPRESSION),
                                  Field16(tiff, TIFFTAG_PREDICTOR), static_cast<int>(tileWidth)}),
                ElementsAre(3, COMPRESSION_LZW, 2, 16));
    std::uint16_t extraCount = 0;
    std::uint16_t* extra = nullptr;
    EXPECT_FALSE(TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extra));
    std::vector<std::uint8_t> tile(16 * 16);
    for (std::uint16_t plane = 0; plane < 3; ++plane) {
        for (std::uint32_t y = 0; y < spec.height; y += 16) {
            for (std::uint32_t x = 0; x < spec.width; x += 16) {
                ASSERT_EQ(TIFFReadTile(tiff, tile.data(), x, y, 0, plane), 256);
                EXPECT_EQ(tile, testing::TiffBlock(spec, SamplesOf(spec), {plane}, x, y, 16, 16))
                    << plane << " " << x << " " << y;
            }
        }
    }
    XTIFFClose(tiff);
    EXPECT_THAT(host.Messages(), IsEmpty());
}

// A JPEG template's compression cannot take the result's planes: the result is uncompressed.
TEST_F(GeoTiffWriterTest, JpegStripTemplateGivesAnUncompressedResultWithTheSamples)
{
    spec.width = spec.height = spec.rowsPerStrip = 16;
    spec.bits = 8;
    spec.compression = COMPRESSION_JPEG;
    testing::WriteTestTiff(dir.File("jpeg.tif"), spec, [](int, std::uint32_t, std::uint32_t) { return 100; });
    const std::string plane(16 * 16, '\x64');
    for (const char* name : {"r.raw", "g.raw", "b.raw"}) testing::WriteFileBytes(dir.File(name), plane);
    ASSERT_EQ(WriteGeoTiff(dir.File("jpeg.tif"), dir.File("out.tif"), dir.File("r.raw"),
                           dir.File("g.raw"), dir.File("b.raw"), 1, false, host),
              1)
        << ::testing::PrintToString(host.Messages());
    ASSERT_EQ(ExtractGeoTiff(dir.File("out.tif"), dir.File("back.raw"), host), 1);
    EXPECT_EQ(testing::ReadFileBytes(dir.File("back.raw")), plane + plane + plane);
    EXPECT_THAT(host.Messages(), IsEmpty());
}

TEST_F(GeoTiffWriterTest, RefusalsFailuresAndCancelLeaveNoOutputAndTheTemplateIntact)
{
    MakePlanes();
    const std::string pan = Made(spec, "pan.tif");
    const std::string panBytes = testing::ReadFileBytes(pan);
    const std::string out = dir.File("out.tif");
    TiffSpec twoDirectories = spec;
    twoDirectories.directories = 2;
    testing::WriteFileBytes(dir.File("short.raw"), BandBytes(spec, 2).substr(0, 20));

    EXPECT_EQ(WriteGeoTiff(Made(twoDirectories, "two.tif"), out, planes[0], planes[1], planes[2], 2,
                           false, host),
              0);
    EXPECT_EQ(WriteGeoTiff(pan, out, planes[0], planes[1], dir.File("none.raw"), 2, false, host),
              0);
    EXPECT_EQ(WriteGeoTiff(pan, out, planes[0], planes[1], dir.File("short.raw"), 2, false, host),
              0);
    host.cancelAtPump = host.Pumps() + 7;
    EXPECT_EQ(WriteGeoTiff(pan, out, planes[0], planes[1], planes[2], planes[3], 2, true, host), 0);
    host.cancelAtPump = 0;
    EXPECT_EQ(WriteGeoTiff(pan, pan, planes[0], planes[1], planes[2], 2, false, host), 0);
    EXPECT_EQ(WriteGeoTiff(pan, out, planes[0], planes[1], planes[2], 1, false, host), 0);
    EXPECT_EQ(
        WriteGeoTiff(dir.File("absent.tif"), out, planes[0], planes[1], planes[2], 2, false, host),
        0);
    EXPECT_THAT(
        host.Messages(),
        ElementsAre("GeoTIFF file with more than one directories is not supported.",
                    "Error: Writing GeoTIFF", kWriteError, kWriteError, kWriteError, kWriteError));
    EXPECT_FALSE(testing::Exists(out));
    EXPECT_EQ(testing::ReadFileBytes(pan), panBytes);
}

TEST_F(GeoTiffTest, SharedScenesExtractToTheirRawBytesAndWriteBackGeoreferenced)
{
    const std::string scenes = testing::SharedScenesFolder();
    if (scenes.empty()) GTEST_SKIP() << "shared scenes absent";
    const std::string ps16 = scenes + "ps16/";
    ASSERT_EQ(ExtractGeoTiff(ps16 + "geotiff4/ms.tif", dir.File("ms.raw"), host), 1);
    EXPECT_EQ(testing::ReadFileBytes(dir.File("ms.raw")),
              testing::ReadFileBytes(ps16 + "envi4/ms.img"));
    ASSERT_EQ(ExtractGeoTiffSample(ps16 + "geotiff4/ms.tif", dir.File("red.raw"), 2, host), 1);
    EXPECT_EQ(testing::ReadFileBytes(dir.File("red.raw")),
              testing::ReadFileBytes(ps16 + "envi4/ms.img").substr(2 * 61440, 61440));

    // The 8-bit UTM scene written back as a three-plane composite with blue.tif as template.
    const std::string combine = scenes + "combine8/geotiff/";
    ASSERT_EQ(ExtractGeoTiff(combine + "green.tif", dir.File("green.raw"), host), 1);
    const std::string out = dir.File("blue_Composite.tif");
    ASSERT_EQ(WriteGeoTiff(combine + "blue.tif", out, dir.File("green.raw"), dir.File("green.raw"),
                           dir.File("green.raw"), 1, false, host),
              1);
    ASSERT_EQ(ExtractGeoTiffSample(out, dir.File("green.back"), 2, host), 1);
    EXPECT_EQ(testing::ReadFileBytes(dir.File("green.back")),
              testing::ReadFileBytes(scenes + "combine8/envi/green.img"));
    EXPECT_THAT(host.Messages(), IsEmpty());
}

}  // namespace
}  // namespace lumesta
