#pragma once
// The samples of a window of one band together with where they are valid, for the estimates
// that skip no data.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "raster/raster_source.h"

namespace lumesta {

// One band of a source (several bands may share a source: they are read one after another).
struct SourceBand {
    RasterSource* source = nullptr;
    int band = 0;
};

// Which pixels of an input are no data: those equal to noData when there is one; without it,
// those the source's own mask marks (its no-data value, GDAL's masks) when ownMask, else none.
struct Validity {
    std::optional<double> noData;
    bool ownMask = false;
};

// Reads window of the band into samples (columns × rows, row-major) and sets valid to 1 where
// the pixel lies inside the image and is not no data, 0 elsewhere. Both buffers are resized
// here and owned by the caller. False when the source could not be read (error: its reason).
bool ReadValidSamples(const SourceBand& band, const SampleWindow& window, const Validity& rule,
                      std::vector<float>& samples, std::vector<std::uint8_t>& valid,
                      std::string& error);

}  // namespace lumesta
