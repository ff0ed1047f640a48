// World files must put a picture where the georeferenced input lies: the numbers are checked
// against what the GeoTIFF tags and the ENVI map info say, pixel corner against pixel centre.

#include "raster/geotiff/geotiff_georeference.h"
#include "raster/world_file.h"

#include <geotiff.h>
#include <geovalues.h>
#include <gtest/gtest.h>
#include <xtiffio.h>

#include "raster/image_open.h"
#include "tests/engine/raster/shared_scenes.h"
#include "tests/support/geotiff_builder.h"
#include "tests/support/temp_dir.h"

namespace lumesta {
namespace {

using testing::TempDir;

class WorldFileTest : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(WorldFileTest, GeoTiffAreaTiepointGivesCornerOriginAndCentreInTheWorldFile)
{
    testing::WriteGeoTiff16(dir.File("pan.tif"), 6, 5, {std::vector<std::int16_t>(30, 7)});
    const Georeference geo = ReadInputGeoreference(dir.File("pan.tif"));
    ASSERT_TRUE(geo.valid);
    // The tags: tiepoint (0, 0) -> (500000, 4500000), pixels of 2 m, UTM zone 18N.
    EXPECT_EQ(geo.originX, 500000);
    EXPECT_EQ(geo.originY, 4500000);
    EXPECT_EQ(geo.epsg, 32618);
    EXPECT_EQ(geo.crsName, "WGS 84 / UTM zone 18N");
    EXPECT_EQ(WorldFileText(geo), "2\n0\n0\n-2\n500001\n4499999\n");
    const std::string aux = AuxXmlText(geo);
    EXPECT_NE(aux.find("<SRS>PROJCS[&quot;WGS 84 / UTM zone 18N&quot;"), std::string::npos);
    EXPECT_NE(aux.find("AUTHORITY[&quot;EPSG&quot;,&quot;32618&quot;]]</SRS>"), std::string::npos);
    EXPECT_NE(aux.find("<GeoTransform>500000, 2, 0, 4500000, 0, -2</GeoTransform>"),
              std::string::npos);
}

TEST_F(WorldFileTest, PointTiepointAwayFromTheCornerIsShiftedHalfAPixel)
{
    TIFF* tiff = XTIFFOpen(dir.File("p.tif").c_str(), "w");
    ASSERT_NE(tiff, nullptr);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 4);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, 4);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 4);
    const double tiepoint[6] = {10, 20, 0, 1000, 2000, 0};
    const double scale[3] = {30, 30, 0};
    TIFFSetField(tiff, TIFFTAG_GEOTIEPOINTS, 6, tiepoint);
    TIFFSetField(tiff, TIFFTAG_GEOPIXELSCALE, 3, scale);
    GTIF* keys = GTIFNew(tiff);
    GTIFKeySet(keys, GTRasterTypeGeoKey, TYPE_SHORT, 1, RasterPixelIsPoint);
    GTIFKeySet(keys, ProjectedCSTypeGeoKey, TYPE_SHORT, 1, 26915);
    GTIFWriteKeys(keys);
    GTIFFree(keys);
    std::uint8_t pixels[16] = {};
    TIFFWriteEncodedStrip(tiff, 0, pixels, 16);
    XTIFFClose(tiff);
    const Georeference geo = ReadGeoTiffGeoreference(dir.File("p.tif"));
    ASSERT_TRUE(geo.valid);
    // Pixel (10, 20)'s centre is (1000, 2000): the upper-left centre lies 10 and 20 pixels away.
    EXPECT_EQ(WorldFileText(geo), "30\n0\n0\n-30\n700\n2600\n");
    EXPECT_EQ(geo.crsName, "NAD83 / UTM zone 15N");
    EXPECT_NE(AuxXmlText(geo).find("<SRS>EPSG:26915</SRS>"), std::string::npos);
}

TEST_F(WorldFileTest, EnviMapInfoReferencePixelIsOneBasedCorner)
{
    testing::WriteFileBytes(
        dir.File("a.hdr"),
        "ENVI\nsamples = 4\nlines = 4\nbands = 1\ndata type = 1\ninterleave = bsq\n"
        "map info = {UTM, 1.5, 1.5, 1000.5, 2000.25, 10, 20, 33, South, WGS-84, "
        "units=Meters}\n");
    const Georeference geo = ReadEnviGeoreference(dir.File("a.hdr"));
    ASSERT_TRUE(geo.valid);
    EXPECT_EQ(WorldFileText(geo), "10\n0\n0\n-20\n1000.5\n2000.25\n");
    EXPECT_EQ(geo.epsg, 32733);
    EXPECT_EQ(geo.crsName, "WGS 84 / UTM zone 33S");

    testing::WriteFileBytes(dir.File("r.hdr"),
                            "ENVI\nmap info = {UTM, 1, 1, 0, 0, 1, 1, 18, North, "
                            "WGS-84, rotation=30}\n");
    EXPECT_FALSE(ReadEnviGeoreference(dir.File("r.hdr")).valid);
    testing::WriteFileBytes(dir.File("n.hdr"), "ENVI\nsamples = 4\n");
    EXPECT_FALSE(ReadEnviGeoreference(dir.File("n.hdr")).valid);
}

TEST_F(WorldFileTest, WrittenFilesReadBackAndAPictureWithoutGeoreferenceGetsNone)
{
    testing::WriteFileBytes(dir.File("pic.bmp"), "BM");
    Georeference geo;
    geo.valid = true;
    geo.originX = 161992.585335019;
    geo.originY = 2712899.12256267;
    geo.pixelWidth = 300.037926675095;
    geo.pixelHeight = -300.041782729805;
    geo.epsg = 32618;
    geo.crsWkt = UtmWkt(32618);
    ASSERT_TRUE(WriteWorldFiles(dir.File("pic.bmp"), geo));
    EXPECT_TRUE(testing::Exists(dir.File("pic.wld")));
    EXPECT_FALSE(testing::Exists(dir.File("pic.wld.part")));
    const Georeference back = ReadWorldFiles(dir.File("pic.bmp"));
    ASSERT_TRUE(back.valid);
    EXPECT_DOUBLE_EQ(back.originX, geo.originX);
    EXPECT_DOUBLE_EQ(back.originY, geo.originY);
    EXPECT_EQ(back.pixelWidth, geo.pixelWidth);
    EXPECT_EQ(back.crsWkt, geo.crsWkt);
    EXPECT_EQ(back.crsName, "WGS 84 / UTM zone 18N");

    testing::WriteFileBytes(dir.File("plain.bmp"), "BM");
    testing::WriteFileBytes(dir.File("plain.hdr"), "ENVI\nsamples = 4\n");
    testing::WriteFileBytes(dir.File("plain.img"), "");
    WriteWorldFilesFromInput(dir.File("plain.bmp"), dir.File("plain.img"));
    EXPECT_FALSE(testing::Exists(dir.File("plain.wld")));
    EXPECT_FALSE(testing::Exists(dir.File("plain.bmp.aux.xml")));
    WriteWorldFilesFromInput(dir.File("missing.bmp"), dir.File("pic.bmp"));
    EXPECT_FALSE(testing::Exists(dir.File("missing.wld")));
}

TEST_F(WorldFileTest, SharedLandsatSceneAgreesAcrossEnviIdrisiAndGeoTiff)
{
    const std::string scenes = testing::SharedScenesFolder();
    if (scenes.empty()) GTEST_SKIP() << "no shared scenes";
    const Georeference envi = ReadInputGeoreference(scenes + "combine8/envi/blue.img");
    const Georeference tiff = ReadInputGeoreference(scenes + "combine8/geotiff/blue.tif");
    std::string error;
    const auto idrisi = OpenRaster(scenes + "combine8/idrisi/blue.rst", {}, error);
    ASSERT_TRUE(envi.valid && tiff.valid && idrisi);
    const Georeference& rdc = idrisi->Description().geo;
    for (const Georeference* other : {&tiff, &rdc}) {
        EXPECT_NEAR(other->originX, envi.originX, 1e-3);
        EXPECT_NEAR(other->originY, envi.originY, 1e-3);
        EXPECT_NEAR(other->pixelWidth, envi.pixelWidth, 1e-6);
        EXPECT_NEAR(other->pixelHeight, envi.pixelHeight, 1e-6);
    }
    EXPECT_EQ(envi.epsg, 32618);
    EXPECT_EQ(tiff.epsg, 32618);
}

}  // namespace
}  // namespace lumesta
