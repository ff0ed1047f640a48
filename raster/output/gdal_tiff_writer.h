#pragma once
// The plain GeoTIFF form of a multi-band result, written through GDAL: stripped, the bands in
// separate planes, uncompressed, with band descriptions, no-data tag and georeferencing.

#include <memory>
#include <string>

#include "raster/output/band_file_writer.h"

namespace lumesta {

// A writer of spec (checked by OpenBandFileWriter) into path, which exists (the run's staged
// name). Nothing after "Cannot write PATH." (GDAL could not create it).
std::unique_ptr<BandFileWriter> OpenGdalTiffWriter(const BandFileSpec& spec,
                                                   const std::string& path,
                                                   const std::string& shownPath, Host& host);

}  // namespace lumesta
