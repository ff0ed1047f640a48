#include "raster/placement.h"

#include <ogr_spatialref.h>

#include <charconv>
#include <cmath>

#include "raster/gdal/gdal_setup.h"

namespace lumesta {
namespace {

// Ratios a pan and an MS grid may have; a measured ratio counts when within 0.1 % of one.
constexpr int kRatios[] = {2, 4, 8, 16};
constexpr double kRatioTolerance = 0.001;
// A skew below this share of the pixel size is rounding in the file, not a rotation.
constexpr double kSkewTolerance = 1e-9;

std::string NameOf(const RasterDescription& d)
{
    return d.dataPaths.empty() ? std::string("(unnamed)") : d.dataPaths.front();
}

std::string Number(double value)
{
    char text[32];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
    return std::string(text, result.ptr);
}

int PowerOfTwoNear(double ratio)
{
    for (const int r : kRatios) {
        if (std::fabs(ratio - r) <= kRatioTolerance * r) return r;
    }
    return 0;
}

bool Importable(const Georeference& geo, OGRSpatialReference& srs)
{
    if (geo.epsg != 0 && srs.importFromEPSG(geo.epsg) == OGRERR_NONE) return true;
    return !geo.crsWkt.empty() && srs.importFromWkt(geo.crsWkt.c_str()) == OGRERR_NONE;
}

// The same coordinate system: equal EPSG codes, else equal systems as GDAL compares them; a
// system unknown on either side counts as the same (nothing tells them apart, and names alone
// are written too differently to refuse on).
bool SameSystem(const Georeference& a, const Georeference& b)
{
    if (a.epsg != 0 && b.epsg != 0) return a.epsg == b.epsg;
    PrepareGdal();
    OGRSpatialReference first;
    OGRSpatialReference second;
    if (Importable(a, first) && Importable(b, second)) {
        const bool same = first.IsSame(&second) != 0;
        TakeGdalError();
        return same;
    }
    TakeGdalError();
    return true;
}

bool Skewed(const Georeference& geo)
{
    return std::fabs(geo.rowSkewX) > kSkewTolerance * std::fabs(geo.pixelWidth) ||
           std::fabs(geo.columnSkewY) > kSkewTolerance * std::fabs(geo.pixelHeight) ||
           geo.pixelWidth == 0 || geo.pixelHeight == 0;
}

bool PlaceBySizes(const RasterDescription& pan, const RasterDescription& ms, int givenRatio,
                  MsPlacement& placement, std::string& error)
{
    const std::string both = "PAN " + NameOf(pan) + " and MS " + NameOf(ms);
    int ratio = givenRatio;
    if (ratio == 0 && ms.width > 0 && pan.width % ms.width == 0)
        ratio = PowerOfTwoNear(static_cast<double>(pan.width / ms.width));
    if (ratio == 0 || static_cast<std::int64_t>(ms.width) * ratio != pan.width ||
        static_cast<std::int64_t>(ms.height) * ratio != pan.height) {
        error = "The sizes of " + both + " (" + std::to_string(pan.width) + " x " +
                std::to_string(pan.height) + " and " + std::to_string(ms.width) + " x " +
                std::to_string(ms.height) + ") do not give " +
                (givenRatio != 0 ? "the ratio " + std::to_string(givenRatio)
                                 : std::string("a ratio of 2, 4, 8 or 16")) +
                ".";
        return false;
    }
    placement = MsPlacement{ratio, 0, 0, false};
    return true;
}

}  // namespace

bool PlaceMsOnPan(const RasterDescription& pan, const RasterDescription& ms, int givenRatio,
                  MsPlacement& placement, std::string& error)
{
    if (!pan.geo.valid || !ms.geo.valid) return PlaceBySizes(pan, ms, givenRatio, placement, error);
    const std::string both = "PAN " + NameOf(pan) + " and MS " + NameOf(ms);
    if (!SameSystem(pan.geo, ms.geo)) {
        error = "The coordinate systems of " + both + " differ.";
        return false;
    }
    if (Skewed(pan.geo) || Skewed(ms.geo)) {
        error = "The grid of " + (Skewed(pan.geo) ? "PAN " + NameOf(pan) : "MS " + NameOf(ms)) +
                " is rotated or skewed; " + both + " cannot be placed on one grid.";
        return false;
    }
    const double ratioX = ms.geo.pixelWidth / pan.geo.pixelWidth;
    const double ratioY = ms.geo.pixelHeight / pan.geo.pixelHeight;
    const int ratio = PowerOfTwoNear(ratioX);
    if (ratio == 0 || PowerOfTwoNear(ratioY) != ratio) {
        error = "The pixel sizes of " + both + " give a ratio of " + Number(ratioX) +
                (std::fabs(ratioX - ratioY) > kRatioTolerance * std::fabs(ratioX)
                     ? " across and " + Number(ratioY) + " down"
                     : std::string()) +
                ", not a power of two.";
        return false;
    }
    if (givenRatio != 0 && givenRatio != ratio) {
        error = "The pixel sizes of " + both + " give a ratio of " + std::to_string(ratio) +
                ", not the ratio " + std::to_string(givenRatio) + " given.";
        return false;
    }
    const double offsetX = (ms.geo.originX - pan.geo.originX) / pan.geo.pixelWidth;
    const double offsetY = (ms.geo.originY - pan.geo.originY) / pan.geo.pixelHeight;
    const double right = offsetX + static_cast<double>(ratio) * ms.width;
    const double bottom = offsetY + static_cast<double>(ratio) * ms.height;
    if (right <= 0 || bottom <= 0 || offsetX >= pan.width || offsetY >= pan.height) {
        error = "The MS does not overlap the PAN: " + both + " cover different ground.";
        return false;
    }
    placement = MsPlacement{ratio, offsetX, offsetY, true};
    return true;
}

}  // namespace lumesta
