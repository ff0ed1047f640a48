// Latitude and longitude of UTM map coordinates, from an EPSG code or an Idrisi32 system name,
// and back; an image without a known CRS gives none.

#include "raster/lat_lon.h"

#include <gtest/gtest.h>

namespace lumesta {
namespace {

Georeference Utm(int epsg, const std::string& name = {})
{
    Georeference geo;
    geo.valid = true;
    geo.epsg = epsg;
    geo.crsName = name;
    return geo;
}

TEST(LatLonTest, UtmZonesGiveTheirCentralMeridianAndEquatorAndConvertBack)
{
    for (const Georeference& geo : {Utm(32618), Utm(0, "utm-18n"), Utm(0, "UTM-18N")}) {
        const LatLonConverter north(geo);
        ASSERT_TRUE(north.Valid()) << geo.crsName;
        const std::optional<LatLon> equator = north.ToLatLon({500000, 0});
        ASSERT_TRUE(equator);
        EXPECT_NEAR(equator->latitude, 0, 1e-9);
        EXPECT_NEAR(equator->longitude, -75, 1e-9);
        const std::optional<LatLon> inland = north.ToLatLon({500000, 4500000});
        ASSERT_TRUE(inland);
        EXPECT_NEAR(inland->longitude, -75, 1e-9);
        EXPECT_GT(inland->latitude, 40.6);  // 4500 km north of the equator
        EXPECT_LT(inland->latitude, 40.7);
        const std::optional<LatLon> east = north.ToLatLon({612345.5, 4456789.25});
        ASSERT_TRUE(east);
        EXPECT_GT(east->longitude, -75);
        const std::optional<MapPoint> back = north.ToMap(*east);
        ASSERT_TRUE(back);
        EXPECT_NEAR(back->x, 612345.5, 1e-6);
        EXPECT_NEAR(back->y, 4456789.25, 1e-6);
    }
    const LatLonConverter south(Utm(0, "utm-33s"));
    const std::optional<LatLon> below = south.ToLatLon({500000, 9000000});
    ASSERT_TRUE(below);
    EXPECT_LT(below->latitude, -8.9);
    EXPECT_NEAR(below->longitude, 15, 1e-9);
}

TEST(LatLonTest, NoKnownCrsGivesNoPosition)
{
    Georeference none;
    EXPECT_FALSE(LatLonConverter(none).Valid());
    EXPECT_FALSE(LatLonConverter(Utm(0, "plane")).Valid());
    EXPECT_FALSE(LatLonConverter(Utm(0, "utm-61n")).Valid());
    const LatLonConverter utm(Utm(32618));
    EXPECT_FALSE(utm.ToMap({95, 10}));
}

}  // namespace
}  // namespace lumesta
