#include "raster/geotiff/geotiff_georeference.h"

#include <geotiff.h>
#include <xtiffio.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "raster/tiff_handle.h"

namespace lumesta {
namespace {

constexpr unsigned short kPixelIsPoint = 2;

void IgnoreKeyMessage(GTIF*, int, const char*, ...) {}

struct KeysFreer {
    void operator()(GTIF* gtif) const { GTIFFree(gtif); }
};

std::vector<double> DoubleTag(TIFF* tiff, std::uint32_t tag)
{
    std::uint16_t count = 0;
    double* values = nullptr;
    if (!TIFFGetField(tiff, tag, &count, &values) || values == nullptr) return {};
    return std::vector<double>(values, values + count);
}

unsigned short ShortKey(GTIF* keys, geokey_t key)
{
    unsigned short value = 0;
    return GTIFKeyGet(keys, key, &value, 0, 1) == 1 ? value : 0;
}

std::string TextKey(GTIF* keys, geokey_t key)
{
    int size = 0;
    tagtype_t type = TYPE_UNKNOWN;
    const int count = GTIFKeyInfo(keys, key, &size, &type);
    if (count <= 0 || type != TYPE_ASCII) return {};
    std::vector<char> text(static_cast<std::size_t>(count) + 1, '\0');
    GTIFKeyGet(keys, key, text.data(), 0, count);
    std::string result(text.data());
    while (!result.empty() && (result.back() == '|' || result.back() == ' ')) result.pop_back();
    return result;
}

// The affine map from the model tags, corner-based; false when the file has none.
bool ReadModelTags(TIFF* tiff, Georeference& geo)
{
    const std::vector<double> matrix = DoubleTag(tiff, TIFFTAG_GEOTRANSMATRIX);
    if (matrix.size() >= 16) {
        geo.pixelWidth = matrix[0];
        geo.rowSkewX = matrix[1];
        geo.originX = matrix[3];
        geo.columnSkewY = matrix[4];
        geo.pixelHeight = matrix[5];
        geo.originY = matrix[7];
        return true;
    }
    const std::vector<double> tiepoint = DoubleTag(tiff, TIFFTAG_GEOTIEPOINTS);
    const std::vector<double> scale = DoubleTag(tiff, TIFFTAG_GEOPIXELSCALE);
    if (tiepoint.size() < 6 || scale.size() < 2 || scale[0] == 0 || scale[1] == 0) return false;
    geo.pixelWidth = scale[0];
    geo.pixelHeight = -scale[1];
    geo.originX = tiepoint[3] - tiepoint[0] * geo.pixelWidth;
    geo.originY = tiepoint[4] - tiepoint[1] * geo.pixelHeight;
    return true;
}

void ReadKeys(TIFF* tiff, Georeference& geo)
{
    const std::unique_ptr<GTIF, KeysFreer> keys(GTIFNewEx(tiff, IgnoreKeyMessage, nullptr));
    if (!keys) return;
    // A point raster's tiepoints name pixel centres: its corner lies half a pixel up and left.
    if (ShortKey(keys.get(), GTRasterTypeGeoKey) == kPixelIsPoint) {
        geo.originX -= 0.5 * (geo.pixelWidth + geo.rowSkewX);
        geo.originY -= 0.5 * (geo.columnSkewY + geo.pixelHeight);
    }
    const unsigned short projected = ShortKey(keys.get(), ProjectedCSTypeGeoKey);
    const unsigned short geographic = ShortKey(keys.get(), GeographicTypeGeoKey);
    constexpr unsigned short kUserDefined = 32767;
    if (projected != 0 && projected != kUserDefined) {
        geo.epsg = projected;
    } else if (projected == 0 && geographic != 0 && geographic != kUserDefined) {
        geo.epsg = geographic;
    }
    std::string citation = TextKey(keys.get(), PCSCitationGeoKey);
    if (citation.empty()) citation = TextKey(keys.get(), GTCitationGeoKey);
    geo.crsName = geo.epsg != 0 ? EpsgName(geo.epsg) : citation;
    geo.crsWkt = UtmWkt(geo.epsg);
}

}  // namespace

Georeference ReadGeoTiffGeoreference(const std::string& path)
{
    Georeference geo;
    const TiffPtr tiff = OpenGeoTiff(path, "r");
    if (!tiff || !ReadModelTags(tiff.get(), geo)) return geo;
    ReadKeys(tiff.get(), geo);
    geo.source = "GeoTIFF tags";
    geo.valid = true;
    return geo;
}

}  // namespace lumesta
