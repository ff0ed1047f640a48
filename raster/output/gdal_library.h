#pragma once
// GDAL for the whole program: its drivers registered once, its block cache bounded so that
// reads and writes through it keep a run's memory flat whatever the image size, and its own
// messages kept off standard error (the text of a failure goes to the code that asked, which
// turns it into its message).

#include <cstdint>
#include <string>

#include "raster/gdal/gdal_setup.h"
#include "raster/georeference.h"

namespace lumesta {

// Registers the drivers of the results, bounds the cache and installs the quiet error handler,
// once per process (PrepareGdalForResults); every routine that writes through GDAL calls it
// first. Safe from any thread.
void UseGdal();

// The text of the last failure GDAL reported on this thread since ClearGdalFailure (empty when
// none).
std::string LastGdalFailure();
void ClearGdalFailure();

// The well-known text of a georeference's coordinate system: its own when it has one, else
// the one its EPSG code names; empty when neither is known.
std::string CrsWktOf(const Georeference& geo);

}  // namespace lumesta
