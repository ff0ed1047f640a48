#pragma once
// A raster source over float images held in memory: the coarser pair a learned method trains
// on, read by the detail-injection engine like any other input.

#include <cstdint>
#include <memory>
#include <vector>

#include "raster/raster_source.h"

namespace lumesta {

// bands images of width × height floats, row-major, one after the other; values holds
// bands × width × height samples. The description's sample type is Float32.
std::shared_ptr<RasterSource> MemoryRaster(std::vector<float> values, int width, int height,
                                           int bands);

}  // namespace lumesta
