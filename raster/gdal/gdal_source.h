#pragma once
// Images read through GDAL (GeoTIFF of any layout, JPEG 2000, NITF, VRT, ...): the GDAL-backed
// RasterSource. Opened read-only with only the driver the name stands for; declared sizes are
// checked before anything is read (image size, block size against memory); samples come
// through RasterIO windows only, never whole bands, within GDAL's bounded block cache.

#include <memory>
#include <string>

#include "raster/raster_source.h"

namespace lumesta {

// Opens path through GDAL; nothing (with error set to a sentence naming the file and saying
// why, GDAL's own text included) when it cannot be read. Every GDAL sample type but complex
// ones is described; the tools decide which they take. Alpha bands are not counted as bands:
// they become the mask (maskBand). The source is read from one thread at a time.
std::unique_ptr<RasterSource> OpenGdalSource(const std::string& path, std::string& error);

}  // namespace lumesta
