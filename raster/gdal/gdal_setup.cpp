#include "raster/gdal/gdal_setup.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal.h>

#include <mutex>

namespace lumesta {

void PrepareGdal()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // GDAL keeps the last message of each thread whatever the handler does: the readers
        // take it from there into their own messages.
        CPLSetErrorHandler(CPLQuietErrorHandler);
        // GDAL would otherwise leave NAME.aux.xml beside every input it opened (the ENVI
        // header's band names, statistics): a run must not change or add files beside its
        // inputs. A setting of the user's own is kept.
        if (CPLGetConfigOption("GDAL_PAM_ENABLED", nullptr) == nullptr)
            CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");
        GDALAllRegister();
        if (CPLGetConfigOption("GDAL_CACHEMAX", nullptr) == nullptr)
            GDALSetCacheMax64(kGdalCacheBytes);
    });
}

std::string TakeGdalError()
{
    const char* text = CPLGetLastErrorMsg();
    std::string message = text != nullptr ? text : "";
    CPLErrorReset();
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    return message;
}

}  // namespace lumesta
