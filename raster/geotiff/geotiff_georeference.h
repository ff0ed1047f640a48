#pragma once
// Reading the georeferencing of a GeoTIFF: model tags through libtiff, keys through libgeotiff.

#include <string>

#include "raster/georeference.h"

namespace lumesta {

// The georeferencing of the GeoTIFF at path (ModelTransformation, or ModelTiepoint with
// ModelPixelScale, raster type PixelIsArea or PixelIsPoint, CRS from the GeoTIFF keys): not
// valid when the file has none or cannot be opened.
Georeference ReadGeoTiffGeoreference(const std::string& path);

}  // namespace lumesta
