#include "raster/lat_lon.h"

#include <proj.h>

#include <cmath>
#include <cstdio>

#include "raster/header_fields.h"

namespace lumesta {

struct LatLonConverter::Projection {
    PJ_CONTEXT* context = nullptr;
    PJ* transform = nullptr;
    ~Projection()
    {
        if (transform) proj_destroy(transform);
        if (context) proj_context_destroy(context);
    }
};

std::string CrsDefinition(const Georeference& geo)
{
    if (!geo.valid) return {};
    if (geo.epsg > 0) return "EPSG:" + std::to_string(geo.epsg);
    if (!geo.crsWkt.empty()) return geo.crsWkt;
    // Idrisi32 names its UTM systems utm-<zone><n|s>, on WGS 84.
    const std::string name = LowerText(geo.crsName);
    int zone = 0;
    char hemisphere = 0;
    int used = 0;
    if (std::sscanf(name.c_str(), "utm-%d%c%n", &zone, &hemisphere, &used) == 2 &&
        used == static_cast<int>(name.size()) && zone >= 1 && zone <= 60 &&
        (hemisphere == 'n' || hemisphere == 's')) {
        return "EPSG:" + std::to_string((hemisphere == 'n' ? 32600 : 32700) + zone);
    }
    if (name == "latlong") return "EPSG:4326";
    return {};
}

LatLonConverter::LatLonConverter(const Georeference& geo) : m_projection(new Projection)
{
    const std::string definition = CrsDefinition(geo);
    if (definition.empty()) return;
    m_projection->context = proj_context_create();
    // PROJ reports failures through its own log; the caller only needs to know it failed.
    proj_log_level(m_projection->context, PJ_LOG_NONE);
    PJ* raw = proj_create_crs_to_crs(m_projection->context, definition.c_str(), "EPSG:4326",
                                     nullptr);
    if (!raw) return;
    // Longitude first, latitude second, whatever the axis order of the definitions.
    m_projection->transform = proj_normalize_for_visualization(m_projection->context, raw);
    proj_destroy(raw);
}

LatLonConverter::~LatLonConverter() = default;

bool LatLonConverter::Valid() const
{
    return m_projection->transform != nullptr;
}

std::optional<LatLon> LatLonConverter::ToLatLon(const MapPoint& point) const
{
    if (!Valid()) return std::nullopt;
    const PJ_COORD out =
        proj_trans(m_projection->transform, PJ_FWD, proj_coord(point.x, point.y, 0, 0));
    if (!std::isfinite(out.xy.x) || !std::isfinite(out.xy.y) || std::abs(out.xy.y) > 90)
        return std::nullopt;
    return LatLon{out.xy.y, out.xy.x};
}

std::optional<MapPoint> LatLonConverter::ToMap(const LatLon& position) const
{
    if (!Valid() || !(std::abs(position.latitude) <= 90) || !(std::abs(position.longitude) <= 360))
        return std::nullopt;
    const PJ_COORD out = proj_trans(m_projection->transform, PJ_INV,
                                    proj_coord(position.longitude, position.latitude, 0, 0));
    if (!std::isfinite(out.xy.x) || !std::isfinite(out.xy.y)) return std::nullopt;
    return MapPoint{out.xy.x, out.xy.y};
}

}  // namespace lumesta
