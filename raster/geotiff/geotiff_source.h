#pragma once
// GeoTIFF images read with libtiff (the reader behind OpenRaster for the ".tif" files the strip
// reader takes): any sample type of 8 to 64 bits, stripped or tiled, compressed or not,
// contiguous or separate planes.

#include <cstdint>
#include <memory>
#include <string>

#include "raster/raster_source.h"

namespace lumesta {

// Opens the GeoTIFF at path; nothing (with error set) when it cannot be shown. A strip larger
// than maxBlockBytes is decoded row by row instead of whole.
std::unique_ptr<RasterSource> OpenGeoTiffSource(const std::string& path, std::string& error,
                                                std::int64_t maxBlockBytes = std::int64_t{64}
                                                                             << 20);

}  // namespace lumesta
