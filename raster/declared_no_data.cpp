#include "raster/declared_no_data.h"

#include <gdal.h>

#include "raster/file_name.h"
#include "raster/gdal/gdal_setup.h"
#include "raster/header_fields.h"
#include "raster/output/gdal_library.h"
#include "raster/reader_choice.h"

namespace lumesta {
namespace {

std::optional<double> FieldNumber(const std::optional<HeaderFields>& fields, const char* key)
{
    if (!fields) return std::nullopt;
    const auto found = fields->find(key);
    return found == fields->end() ? std::nullopt : ParseHeaderNumber(found->second);
}

// GDAL's no-data value of the first band: the GeoTIFF no-data tag of a .tif, any driver's for
// the names read through GDAL.
std::optional<double> GdalNoData(const std::string& path, bool anyDriver)
{
    if (anyDriver) {
        PrepareGdal();
    } else {
        UseGdal();
    }
    const char* const tiff[] = {"GTiff", nullptr};
    GDALDatasetH dataset = GDALOpenEx(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY,
                                      anyDriver ? nullptr : tiff, nullptr, nullptr);
    if (dataset == nullptr) return std::nullopt;
    std::optional<double> value;
    int declared = 0;
    if (GDALGetRasterCount(dataset) > 0) {
        const double noData = GDALGetRasterNoDataValue(GDALGetRasterBand(dataset, 1), &declared);
        if (declared) value = noData;
    }
    GDALClose(dataset);
    return value;
}

}  // namespace

std::optional<double> DeclaredNoData(const std::string& path)
{
    const std::string four = LastFourLower(path);
    const std::string header = WithoutLastFour(path);
    if (four == ".img") return FieldNumber(ReadEnviFields(header + ".hdr"), "data ignore value");
    if (four == ".rst") {
        const std::optional<HeaderFields> fields = ReadIdrisiFields(header + ".rdc");
        const auto meaning = fields ? fields->find("flag def'n") : HeaderFields::const_iterator{};
        if (!fields || meaning == fields->end() || LowerText(meaning->second) == "none")
            return std::nullopt;
        return FieldNumber(fields, "flag value");
    }
    if (four == ".tif") return GdalNoData(path, false);
    if (IsGdalName(path)) return GdalNoData(path, true);
    return std::nullopt;
}

}  // namespace lumesta
