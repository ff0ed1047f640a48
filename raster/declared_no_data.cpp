#include "raster/declared_no_data.h"

#include <gdal.h>

#include "raster/file_name.h"
#include "raster/header_fields.h"
#include "raster/output/gdal_library.h"

namespace lumesta {
namespace {

std::optional<double> FieldNumber(const std::optional<HeaderFields>& fields, const char* key)
{
    if (!fields) return std::nullopt;
    const auto found = fields->find(key);
    return found == fields->end() ? std::nullopt : ParseHeaderNumber(found->second);
}

// The GeoTIFF no-data tag, as GDAL reads it.
std::optional<double> TiffNoData(const std::string& path)
{
    UseGdal();
    const char* const drivers[] = {"GTiff", nullptr};
    GDALDatasetH dataset =
        GDALOpenEx(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, drivers, nullptr, nullptr);
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
    if (four == ".tif") return TiffNoData(path);
    return std::nullopt;
}

}  // namespace lumesta
