#pragma once
// Step 0 of the tools that read TIFF and GDAL-read inputs through raw band files: the input is
// extracted into a headerless raw file (row-major, 8-bit bytes or 16-bit little-endian
// samples, bands one after the other), which the run then reads in its place. Strip TIFFs go
// through the strip reader (geotiff_extract.h, its messages and bytes); files ChooseReader
// gives to GDAL are read through GDAL windows, a bounded strip of rows at a time.
//
// The caller names and owns the raw file; after a failure it does not exist.

#include <string>

#include "core/host.h"

namespace lumesta {

// Every band (band < 0) or band `band` (0-based) of the image at path into rawPath (created or
// truncated). Lets pending messages be handled before each strip. Returns 1 on success, 0 after
// one message: the strip reader's, or for GDAL-read files the reader's sentence naming the file,
// "PATH has no band N.", "PATH holds TYPE samples: only 8- and 16-bit integer samples can be
// extracted.", "Cannot write the temporary file RAW.".
int ExtractInputBands(const std::string& path, const std::string& rawPath, int band, Host& host);

}  // namespace lumesta
