#include "raster/gdal/gdal_setup.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal.h>
#include <gdal_frmts.h>

#include <mutex>

namespace lumesta {
namespace {

thread_local std::string t_keptFailure;

// Quiet: failures are kept for the code that asked; warnings and debug text are dropped. GDAL
// keeps the last message of each thread whatever the handler does.
void KeepFailure(CPLErr level, CPLErrorNum, const char* text)
{
    if (level >= CE_Failure) t_keptFailure = text != nullptr ? text : "";
}

void PrepareHandlerAndCache()
{
    static std::once_flag once;
    std::call_once(once, [] {
        CPLSetErrorHandler(KeepFailure);
        // GDAL would otherwise leave NAME.aux.xml beside every input it opened (the ENVI
        // header's band names, statistics): a run must not change or add files beside its
        // inputs. A setting of the user's own is kept.
        if (CPLGetConfigOption("GDAL_PAM_ENABLED", nullptr) == nullptr)
            CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");
        if (CPLGetConfigOption("GDAL_CACHEMAX", nullptr) == nullptr)
            GDALSetCacheMax64(kGdalCacheBytes);
    });
}

}  // namespace

void PrepareGdalForResults()
{
    PrepareHandlerAndCache();
    static std::once_flag once;
    std::call_once(once, [] {
        GDALRegister_GTiff();
        GDALRegister_COG();
        GDALRegister_VRT();
        GDALRegister_ENVI();
        GDALRegister_IDRISI();
    });
}

void PrepareGdal()
{
    PrepareGdalForResults();
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

std::string TakeGdalError()
{
    const char* text = CPLGetLastErrorMsg();
    std::string message = text != nullptr ? text : "";
    CPLErrorReset();
    t_keptFailure.clear();
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    return message;
}

const std::string& KeptGdalFailure()
{
    return t_keptFailure;
}

void ClearKeptGdalFailure()
{
    t_keptFailure.clear();
}

}  // namespace lumesta
