#include "raster/declared_no_data.h"

#include <gdal.h>

#include "raster/file_name.h"
#include "raster/output/gdal_library.h"

namespace lumesta {

std::optional<double> DeclaredNoData(const std::string& path)
{
    const std::string four = LastFourLower(path);
    if (four != ".img" && four != ".tif" && four != ".rst") return std::nullopt;
    UseGdal();
    const char* const drivers[] = {four == ".img"   ? "ENVI"
                                   : four == ".tif" ? "GTiff"
                                                    : "RST",
                                   nullptr};
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

}  // namespace lumesta
