#pragma once
// The Cloud Optimized GeoTIFF form of a multi-band result. The rows stream into temporary tiled
// images of the writer's own beside the output, one per level: the image and its overviews,
// each halving the one below (by averaging, no data left out) until the longer side is under
// 512 pixels. At Finish GDAL's COG driver copies them, through a virtual dataset that ties the
// levels together, into the output: tiles of 512, Deflate with the predictor of the sample type
// (2 for integers, 3 for floats), the overviews inside, band descriptions, no-data tag and
// georeferencing, the tiles compressed by spec.threads threads. The temporary images are
// removed on every path; memory stays flat in the image size (GDAL's bounded block cache and a
// few rows per level).

#include <memory>
#include <string>

#include "raster/output/band_file_writer.h"

namespace lumesta {

// A writer of spec (checked by OpenBandFileWriter) into path, which exists (the run's staged
// name). Nothing after "Cannot write PATH." (GDAL could not create it, or no temporary file
// could be made beside it).
std::unique_ptr<BandFileWriter> OpenCogWriter(const BandFileSpec& spec, const std::string& path,
                                              const std::string& shownPath, Host& host);

}  // namespace lumesta
