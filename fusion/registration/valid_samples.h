#pragma once
// The samples of a window of one band together with where they are valid, for the estimates
// that skip no data.

#include <cstdint>
#include <optional>
#include <vector>

#include "raster/raster_source.h"

namespace lumesta {

// One band of a source (several bands may share a source: they are read one after another).
struct SourceBand {
    RasterSource* source = nullptr;
    int band = 0;
};

// Reads window of band into samples (columns × rows, row-major) and sets valid to 1 where the
// sample is not noData (everywhere when there is none) and lies inside the image, 0 elsewhere.
// Both buffers are resized here and owned by the caller.
void ReadValidSamples(RasterSource& source, int band, const SampleWindow& window,
                      std::optional<double> noData, std::vector<float>& samples,
                      std::vector<std::uint8_t>& valid);

}  // namespace lumesta
