#include "raster/georeference.h"

#include <optional>
#include <vector>

#include "raster/file_name.h"
#include "raster/header_fields.h"

namespace lumesta {
namespace {

constexpr int kUtmNorthBase = 32600;
constexpr int kUtmSouthBase = 32700;

bool IsWgs84(const std::string& datum)
{
    const std::string lower = LowerText(datum);
    return lower == "wgs-84" || lower == "wgs84" || lower == "wgs_1984" || lower == "wgs 84";
}

// The CRS of an ENVI map info: its coordinate system string when present, else what the
// projection name, zone and datum say.
void SetEnviCrs(const std::vector<std::string>& items, const HeaderFields& fields,
                Georeference& geo)
{
    const std::string projection = LowerText(items[0]);
    if (projection == "utm" && items.size() >= 10 && IsWgs84(items[9])) {
        const std::optional<long long> zone = ParseHeaderInteger(items[7]);
        const bool south = LowerText(items[8]) == "south";
        if (zone && *zone >= 1 && *zone <= 60) {
            geo.epsg = static_cast<int>((south ? kUtmSouthBase : kUtmNorthBase) + *zone);
        }
    } else if (projection == "geographic lat/lon" && items.size() >= 8 && IsWgs84(items[7])) {
        geo.epsg = 4326;
    }
    const auto wkt = fields.find("coordinate system string");
    if (wkt != fields.end()) {
        geo.crsWkt = Trimmed(wkt->second);
        if (!geo.crsWkt.empty() && geo.crsWkt.front() == '{') geo.crsWkt.erase(0, 1);
        if (!geo.crsWkt.empty() && geo.crsWkt.back() == '}') geo.crsWkt.pop_back();
    }
    if (geo.crsWkt.empty()) geo.crsWkt = UtmWkt(geo.epsg);
    if (geo.epsg != 0) {
        geo.crsName = EpsgName(geo.epsg);
    } else if (!geo.crsWkt.empty()) {
        geo.crsName = WktName(geo.crsWkt);
    } else {
        geo.crsName = items[0];
    }
}

}  // namespace

std::string WktName(const std::string& wkt)
{
    const std::size_t open = wkt.find('"');
    if (open == std::string::npos) return {};
    const std::size_t close = wkt.find('"', open + 1);
    return close == std::string::npos ? std::string() : wkt.substr(open + 1, close - open - 1);
}

Georeference Georeference::Regridded(int width, int height, int columns, int rows) const
{
    Georeference grid = *this;
    if (columns <= 0 || rows <= 0) return grid;
    const double sx = static_cast<double>(width) / columns;
    const double sy = static_cast<double>(height) / rows;
    grid.pixelWidth *= sx;
    grid.columnSkewY *= sx;
    grid.pixelHeight *= sy;
    grid.rowSkewX *= sy;
    return grid;
}

std::string EpsgName(int epsg)
{
    const auto zoned = [](const char* datum, int zone, char hemisphere) {
        return std::string(datum) + " / UTM zone " + std::to_string(zone) + hemisphere;
    };
    if (epsg > kUtmNorthBase && epsg <= kUtmNorthBase + 60)
        return zoned("WGS 84", epsg - kUtmNorthBase, 'N');
    if (epsg > kUtmSouthBase && epsg <= kUtmSouthBase + 60)
        return zoned("WGS 84", epsg - kUtmSouthBase, 'S');
    if (epsg >= 26901 && epsg <= 26923) return zoned("NAD83", epsg - 26900, 'N');
    if (epsg >= 26703 && epsg <= 26722) return zoned("NAD27", epsg - 26700, 'N');
    if (epsg == 4326) return "WGS 84";
    if (epsg == 4269) return "NAD83";
    if (epsg == 4267) return "NAD27";
    return "EPSG:" + std::to_string(epsg);
}

std::string UtmWkt(int epsg)
{
    int zone = 0;
    bool south = false;
    if (epsg > kUtmNorthBase && epsg <= kUtmNorthBase + 60) {
        zone = epsg - kUtmNorthBase;
    } else if (epsg > kUtmSouthBase && epsg <= kUtmSouthBase + 60) {
        zone = epsg - kUtmSouthBase;
        south = true;
    } else {
        return {};
    }
    const std::string z = std::to_string(zone);
    const std::string meridian = std::to_string(6 * zone - 183);
    return "PROJCS[\"WGS 84 / UTM zone " + z + (south ? "S" : "N") +
           "\",GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,298.257223563,"
           "AUTHORITY[\"EPSG\",\"7030\"]],AUTHORITY[\"EPSG\",\"6326\"]],PRIMEM[\"Greenwich\",0,"
           "AUTHORITY[\"EPSG\",\"8901\"]],UNIT[\"degree\",0.0174532925199433,AUTHORITY[\"EPSG\","
           "\"9122\"]],AUTHORITY[\"EPSG\",\"4326\"]],PROJECTION[\"Transverse_Mercator\"],"
           "PARAMETER[\"latitude_of_origin\",0],PARAMETER[\"central_meridian\"," +
           meridian +
           "],PARAMETER[\"scale_factor\",0.9996],PARAMETER[\"false_easting\",500000],"
           "PARAMETER[\"false_northing\"," +
           (south ? "10000000" : "0") +
           "],UNIT[\"metre\",1,AUTHORITY[\"EPSG\",\"9001\"]],AXIS[\"Easting\",EAST],"
           "AXIS[\"Northing\",NORTH],AUTHORITY[\"EPSG\",\"" +
           std::to_string(epsg) + "\"]]";
}

// map info = {projection, reference pixel x, y (1-based, (1, 1) the upper-left corner of the
// upper-left pixel), easting, northing, pixel width, height[, zone, North|South], datum, ...}.
// A rotated map is left out: its sense is not fixed firmly enough to place pictures by it.
Georeference ReadEnviGeoreference(const std::string& headerPath)
{
    Georeference geo;
    const std::optional<HeaderFields> fields = ReadEnviFields(headerPath);
    if (!fields) return geo;
    const auto info = fields->find("map info");
    if (info == fields->end()) return geo;
    const std::vector<std::string> items = SplitItems(info->second);
    if (items.size() < 7) return geo;
    for (const std::string& item : items) {
        if (LowerText(item).rfind("rotation", 0) == 0) return geo;
    }
    std::optional<double> numbers[6];
    for (int i = 0; i < 6; ++i)
        numbers[i] = ParseHeaderNumber(items[static_cast<std::size_t>(i) + 1]);
    for (const auto& number : numbers) {
        if (!number) return geo;
    }
    if (*numbers[4] <= 0 || *numbers[5] <= 0) return geo;
    geo.pixelWidth = *numbers[4];
    geo.pixelHeight = -*numbers[5];
    geo.originX = *numbers[2] - (*numbers[0] - 1) * geo.pixelWidth;
    geo.originY = *numbers[3] - (*numbers[1] - 1) * geo.pixelHeight;
    SetEnviCrs(items, *fields, geo);
    geo.source = "ENVI map info";
    geo.valid = true;
    return geo;
}

}  // namespace lumesta
