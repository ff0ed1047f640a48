#pragma once
// Where an image lies on the ground: the affine map from pixel positions to map coordinates and
// the coordinate reference system, as read from GeoTIFF tags and keys, an ENVI "map info" line
// or an Idrisi32 reference system with its min./max. X/Y.

#include <string>

namespace lumesta {

struct MapPoint {
    double x = 0;
    double y = 0;
};

struct Georeference {
    bool valid = false;
    // x = originX + column × pixelWidth + row × rowSkewX
    // y = originY + column × columnSkewY + row × pixelHeight
    // with (column, row) = (0, 0) the upper-left corner of the upper-left pixel; pixelHeight is
    // negative for north-up images.
    double originX = 0;
    double originY = 0;
    double pixelWidth = 1;
    double pixelHeight = -1;
    double rowSkewX = 0;
    double columnSkewY = 0;
    std::string crsName;  // for people: "WGS 84 / UTM zone 18N", "utm-18n", ...
    std::string crsWkt;   // well-known text when known, else empty
    int epsg = 0;         // EPSG code when known, else 0
    std::string source;   // where it was read: "GeoTIFF tags", "ENVI map info", ...

    MapPoint PixelToMap(double column, double row) const
    {
        return {originX + column * pixelWidth + row * rowSkewX,
                originY + column * columnSkewY + row * pixelHeight};
    }
    // The same map on a grid of columns × rows covering the same ground as width × height
    // pixels of this one.
    Georeference Regridded(int width, int height, int columns, int rows) const;
};

// A readable name for an EPSG code of the common systems (WGS 84 and NAD83/NAD27 UTM zones,
// geographic WGS 84, NAD83, NAD27), else "EPSG:code".
std::string EpsgName(int epsg);
// The name in the first quotes of a well-known text ("WGS_1984_UTM_Zone_18N"), or empty.
std::string WktName(const std::string& wkt);
// Well-known text of a WGS 84 UTM system (EPSG 32601..32660, 32701..32760), else empty.
std::string UtmWkt(int epsg);

// The georeferencing of the ENVI header at headerPath ("map info" with the optional
// "coordinate system string"): not valid when the header has none or cannot be read.
Georeference ReadEnviGeoreference(const std::string& headerPath);

}  // namespace lumesta
