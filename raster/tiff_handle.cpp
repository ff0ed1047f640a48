#include "raster/tiff_handle.h"

#include <xtiffio.h>

#include "core/input_file.h"

namespace lumesta {

void SilenceTiffMessages()
{
    // With both global handlers removed libtiff formats nothing; the callers report failures
    // through their return values.
    static const bool silenced = [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
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
