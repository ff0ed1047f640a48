// The MS's place on the pan grid from crafted geotransforms: ratios, offsets in pan pixels and
// every refusal, each naming both files.

#include "raster/placement.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace lumesta {
namespace {

using ::testing::HasSubstr;

RasterDescription Image(const std::string& path, int width, int height, double originX,
                        double originY, double pixel, int epsg = 32618)
{
    RasterDescription d;
    d.dataPaths = {path};
    d.width = width;
    d.height = height;
    d.geo.valid = true;
    d.geo.originX = originX;
    d.geo.originY = originY;
    d.geo.pixelWidth = pixel;
    d.geo.pixelHeight = -pixel;
    d.geo.epsg = epsg;
    return d;
}

class PlacementTest : public ::testing::Test {
protected:
    // The refusal's message for panImage and ms (with the user's ratio).
    std::string Refusal(const RasterDescription& panImage, const RasterDescription& ms,
                        int ratio = 0)
    {
        MsPlacement placement;
        std::string error;
        EXPECT_FALSE(PlaceMsOnPan(panImage, ms, ratio, placement, error));
        EXPECT_THAT(error, HasSubstr("PAN pan.tif and MS ms.tif"));
        return error;
    }

    const RasterDescription pan = Image("pan.tif", 800, 600, 500000, 4100000, 0.5);
};

TEST_F(PlacementTest, GeotransformsGiveRatioAndFractionalOffset)
{
    MsPlacement placement;
    std::string error;
    // The MS starts 3 pan pixels right and 1.25 below the pan's corner, pixels four times larger
    // (within 0.1 % of 4).
    const RasterDescription ms = Image("ms.tif", 200, 150, 500001.5, 4099999.375, 2.001);
    ASSERT_TRUE(PlaceMsOnPan(pan, ms, 0, placement, error)) << error;
    EXPECT_EQ(placement.ratio, 4);
    EXPECT_DOUBLE_EQ(placement.offsetX, 3.0);
    EXPECT_DOUBLE_EQ(placement.offsetY, 1.25);
    EXPECT_TRUE(placement.fromGeoreference);
    // An MS starting before the pan's corner: negative offsets; the given ratio agrees.
    const RasterDescription before = Image("ms.tif", 100, 100, 499996, 4100008, 1);
    ASSERT_TRUE(PlaceMsOnPan(pan, before, 2, placement, error)) << error;
    EXPECT_EQ(placement.ratio, 2);
    EXPECT_DOUBLE_EQ(placement.offsetX, -8);
    EXPECT_DOUBLE_EQ(placement.offsetY, -16);
}

TEST_F(PlacementTest, WithoutBothGeoreferencesTheSizesDecide)
{
    MsPlacement placement;
    std::string error;
    RasterDescription ms = Image("ms.tif", 200, 150, 0, 0, 3);
    ms.geo.valid = false;
    ASSERT_TRUE(PlaceMsOnPan(pan, ms, 0, placement, error)) << error;
    EXPECT_EQ(placement.ratio, 4);
    EXPECT_EQ(placement.offsetX, 0);
    EXPECT_FALSE(placement.fromGeoreference);
    EXPECT_THAT(Refusal(pan, ms, 2), HasSubstr("do not give the ratio 2"));
    ms.width = 201;
    EXPECT_THAT(Refusal(pan, ms), HasSubstr("(800 x 600 and 201 x 150) do not give a ratio"));
    ms.width = 800 / 3;  // not a whole ratio
    ms.height = 200;
    Refusal(pan, ms);
}

TEST_F(PlacementTest, EachMismatchIsRefusedNamingBothFiles)
{
    EXPECT_THAT(Refusal(pan, Image("ms.tif", 200, 150, 500000, 4100000, 2, 32619)),
                HasSubstr("coordinate systems"));
    RasterDescription rotated = Image("ms.tif", 200, 150, 500000, 4100000, 2);
    rotated.geo.rowSkewX = 0.3;
    EXPECT_THAT(Refusal(pan, rotated), HasSubstr("rotated or skewed"));
    EXPECT_THAT(Refusal(pan, Image("ms.tif", 200, 150, 500000, 4100000, 1.5)),
                HasSubstr("give a ratio of 3, not a power of two"));
    RasterDescription stretched = Image("ms.tif", 200, 150, 500000, 4100000, 2);
    stretched.geo.pixelHeight = -1;
    EXPECT_THAT(Refusal(pan, stretched), HasSubstr("4 across and 2 down, not a power of two"));
    EXPECT_THAT(Refusal(pan, Image("ms.tif", 200, 150, 500000, 4100000, 2), 8),
                HasSubstr("give a ratio of 4, not the ratio 8 given"));
    EXPECT_THAT(Refusal(pan, Image("ms.tif", 10, 10, 500400, 4100000, 2)),
                HasSubstr("does not overlap"));
    EXPECT_THAT(Refusal(pan, Image("ms.tif", 10, 10, 499000, 4100000, 2)),
                HasSubstr("does not overlap"));
}

TEST_F(PlacementTest, SameSystemInOtherSpellingsIsAccepted)
{
    MsPlacement placement;
    std::string error;
    // EPSG on one side, the same system as well-known text on the other.
    RasterDescription ms = Image("ms.tif", 200, 150, 500000, 4100000, 2, 0);
    ms.geo.crsWkt = UtmWkt(32618);
    EXPECT_TRUE(PlaceMsOnPan(pan, ms, 0, placement, error)) << error;
    ms.geo.crsWkt = UtmWkt(32619);
    Refusal(pan, ms);
    // Nothing known of the MS's system: nothing tells them apart.
    ms.geo.crsWkt.clear();
    EXPECT_TRUE(PlaceMsOnPan(pan, ms, 0, placement, error)) << error;
}

}  // namespace
}  // namespace lumesta
