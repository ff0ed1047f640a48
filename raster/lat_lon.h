#pragma once
// Latitude and longitude (WGS 84) of map coordinates in an image's coordinate reference system,
// and back, through the PROJ library. Kept in its own small library so that only the programs
// that show geographic positions link PROJ.

#include <memory>
#include <optional>
#include <string>

#include "raster/georeference.h"

namespace lumesta {

struct LatLon {
    double latitude = 0;   // degrees, north positive
    double longitude = 0;  // degrees, east positive
};

// What PROJ is given for the CRS of geo: "EPSG:code", the well-known text, or for an Idrisi32
// system named "utm-18n" / "utm-33s" the WGS 84 UTM zone; empty when nothing is known.
std::string CrsDefinition(const Georeference& geo);

class LatLonConverter {
public:
    // Prepares the conversion for geo's CRS; Valid() is false when it has none that PROJ knows.
    explicit LatLonConverter(const Georeference& geo);
    ~LatLonConverter();
    LatLonConverter(const LatLonConverter&) = delete;
    LatLonConverter& operator=(const LatLonConverter&) = delete;

    bool Valid() const;
    // Nothing when the point cannot be converted (outside the projection's domain).
    std::optional<LatLon> ToLatLon(const MapPoint& point) const;
    std::optional<MapPoint> ToMap(const LatLon& position) const;

private:
    struct Projection;
    std::unique_ptr<Projection> m_projection;
};

}  // namespace lumesta
