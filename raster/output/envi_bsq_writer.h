#pragma once
// The ENVI form of a multi-band result: the bands one after the other in one .img file, little-
// endian, and a header with the size, type, band names, no-data value ("data ignore value") and,
// when georeferenced, "map info" and "coordinate system string".

#include <memory>
#include <string>

#include "raster/output/band_file_writer.h"

namespace lumesta {

// A writer of spec (checked by OpenBandFileWriter) into imgPath and hdrPath (the run's staged
// names, or new files). Nothing after "Cannot write PATH: REASON." (a grid that is rotated or
// not north-up, which ENVI's map info cannot hold) or "Cannot write PATH." (an image that cannot
// be opened).
std::unique_ptr<BandFileWriter> OpenEnviBsqWriter(const BandFileSpec& spec,
                                                  const std::string& imgPath,
                                                  const std::string& hdrPath,
                                                  const std::string& shownPath, Host& host);

}  // namespace lumesta
