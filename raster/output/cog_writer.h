#pragma once
// The Cloud Optimized GeoTIFF form of a multi-band result: tiles of 512, pixels interleaved,
// Deflate with the predictor of the sample type (2 for integers, 3 for floats), the overviews
// inside (each halving the one below by averaging, no data left out, until the longer side is
// under 512 pixels), band descriptions, no-data tag and georeferencing. Each row of tiles is
// compressed by spec.threads threads (0: one per core) as soon as its rows have arrived, while
// the next rows stream in; the bytes do not depend on the thread count. The compressed tiles wait
// in a temporary file beside the output, and the overviews' rows in one per level, until Finish
// writes the file in the COG's order. The temporary files are removed on every path; memory
// stays flat in the image size: the image's rows for at most two rows of tiles, within 64 MiB (an
// image too wide for one row of tiles in them keeps its rows in a temporary file as well), and a
// few rows per level.

#include <memory>
#include <string>

#include "raster/output/band_file_writer.h"

namespace lumesta {

// A writer of spec (checked by OpenBandFileWriter) into path, which exists (the run's staged
// name). Nothing after "Cannot write PATH." (GDAL could not describe it, no temporary file could
// be made, or no compressing thread started), or after the message of memory that cannot be had.
std::unique_ptr<BandFileWriter> OpenCogWriter(const BandFileSpec& spec, const std::string& path,
                                              const std::string& shownPath, Host& host);

}  // namespace lumesta
