#pragma once
// Opening TIFF files with the GeoTIFF tags registered, and the one place where libtiff's and
// libgeotiff's own warning and error printing is switched off: the engine reports GeoTIFF
// problems through its own messages, and nothing of the libraries may reach stderr or the log.

#include <tiffio.h>

#include <memory>
#include <string>

namespace lumesta {

// Removes libtiff's warning and error handlers and makes GDAL's no-data tag (TIFFTAG_GDAL_NODATA)
// known (once per process). Every GeoTIFF routine of the engine calls it before opening a file;
// hosts may call it at start-up as well.
void SilenceTiffMessages();

struct TiffCloser {
    void operator()(TIFF* tiff) const;  // XTIFFClose
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

// Opens path with libgeotiff's GeoTIFF-aware open ("r" or "w"), libtiff silenced first.
// Empty when the file cannot be opened or is no TIFF; shows no message.
TiffPtr OpenGeoTiff(const std::string& path, const char* mode);

// The refusal shared by the extraction readers and the GeoTIFF writer for layouts they cannot
// take row by row (tiles, unusual sample sizes, unknown planar configurations).
inline const char kCannotReadThisGeoTiff[] =
    "Cannot read this GeoTIFF image which may be in a compressed format. \n"
    "Please convert this GeoTIFF image to other image formats supported.\n";

}  // namespace lumesta
