#include "raster/output/gdal_library.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <ogr_srs_api.h>

namespace lumesta {

void UseGdal()
{
    PrepareGdalForResults();
}

std::string LastGdalFailure()
{
    if (!KeptGdalFailure().empty()) return KeptGdalFailure();
    // Another handler may have been installed since: GDAL's own record of the last error.
    if (CPLGetLastErrorType() >= CE_Failure) {
        const char* text = CPLGetLastErrorMsg();
        return text != nullptr && *text != '\0' ? text : "GDAL reported a failure";
    }
    return {};
}

void ClearGdalFailure()
{
    ClearKeptGdalFailure();
    CPLErrorReset();
}

std::string CrsWktOf(const Georeference& geo)
{
    if (!geo.crsWkt.empty()) return geo.crsWkt;
    if (geo.epsg == 0) return {};
    UseGdal();
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    std::string wkt;
    char* text = nullptr;
    if (OSRImportFromEPSG(srs, geo.epsg) == OGRERR_NONE &&
        OSRExportToWkt(srs, &text) == OGRERR_NONE && text != nullptr) {
        wkt = text;
    }
    CPLFree(text);
    OSRDestroySpatialReference(srs);
    return wkt;
}

}  // namespace lumesta
