#include "raster/tiff_handle.h"

#include <xtiffio.h>

#include "core/input_file.h"

namespace lumesta {
namespace {

TIFFExtendProc g_previousExtender = nullptr;

// GDAL's no-data tag (ASCII text of the value) is known to every handle, so it is read instead
// of being skipped with a warning.
void AddGdalTags(TIFF* tiff)
{
    static const TIFFFieldInfo kGdalTags[] = {
        {TIFFTAG_GDAL_NODATA, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0,
         const_cast<char*>("GDALNoDataValue")}};
    TIFFMergeFieldInfo(tiff, kGdalTags, 1);
    if (g_previousExtender != nullptr) g_previousExtender(tiff);
}

}  // namespace

void SilenceTiffMessages()
{
    // With both global handlers removed libtiff formats nothing; the callers report failures
    // through their return values.
    static const bool silenced = [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
        g_previousExtender = TIFFSetTagExtender(AddGdalTags);
        return true;
    }();
    (void)silenced;
}

void TiffCloser::operator()(TIFF* tiff) const
{
    if (tiff != nullptr) XTIFFClose(tiff);
}

TiffPtr OpenGeoTiff(const std::string& path, const char* mode)
{
    SilenceTiffMessages();
    // Read from regular files only: a pipe would block the open forever.
    if (mode[0] == 'r' && !IsRegularFile(path)) return nullptr;
    return TiffPtr(XTIFFOpen(path.c_str(), mode));
}

}  // namespace lumesta
