#pragma once
// The GeoTIFF result of a run whose reference image is read through GDAL and cannot serve as a
// libtiff template (a JPEG 2000, NITF or VRT pan, a GeoTIFF with overviews): the fused plane
// files written as one GeoTIFF of the reference's size and georeferencing, separate planes in
// tiles of 256 × 256, RGB, uncompressed.

#include <optional>
#include <string>
#include <vector>

#include "core/host.h"

namespace lumesta {

// Writes outputPath from the raw plane files (each width × height samples of bytesPerSample
// bytes, little-endian: 1 gives Byte, 2 the reference's 16-bit type, UInt16 unless it is
// Int16), with referencePath's geotransform and coordinate system, and noData declared for every
// band when given. Shows the progress window
// "Writing GeoTIFF imagery ..." with Cancel. Returns 1 when the output is complete, else 0
// after "Error with GeoTIFF writing.\n" (the reference cannot be read, a plane file is short
// or unreadable, the output names an input, a write fails, Cancel); a failed output is removed.
int WriteGeoTiffThroughGdal(const std::string& referencePath, const std::string& outputPath,
                            const std::vector<std::string>& planes, int bytesPerSample, Host& host,
                            std::optional<double> noData = std::nullopt);

}  // namespace lumesta
