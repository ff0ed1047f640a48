#include "raster/output/gdal_library.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal.h>
#include <gdal_frmts.h>
#include <ogr_srs_api.h>

#include <mutex>

namespace lumesta {
namespace {

thread_local std::string t_lastFailure;

// Failures are kept for the code that asked; warnings and debug text are dropped.
void KeepFailure(CPLErr level, CPLErrorNum, const char* text)
{
    if (level >= CE_Failure) t_lastFailure = text != nullptr ? text : "";
}

}  // namespace

void UseGdal()
{
    static std::once_flag once;
    std::call_once(once, [] {
        CPLSetErrorHandler(KeepFailure);
        // The drivers of the formats written and of the declarations read: registering every
        // driver costs a run some 35 MB of memory.
        GDALRegister_GTiff();
        GDALRegister_COG();
        GDALRegister_VRT();
        GDALRegister_ENVI();
        GDALRegister_IDRISI();
        GDALSetCacheMax64(kGdalCacheBytes);
    });
}

std::string LastGdalFailure()
{
    if (!t_lastFailure.empty()) return t_lastFailure;
    // Another handler may have been installed since: GDAL's own record of the last error.
    if (CPLGetLastErrorType() >= CE_Failure) {
        const char* text = CPLGetLastErrorMsg();
        return text != nullptr && *text != '\0' ? text : "GDAL reported a failure";
    }
    return {};
}

void ClearGdalFailure()
{
    t_lastFailure.clear();
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
