#pragma once
// Decimated reads that average instead of picking: each output sample is the mean of the
// step × step block of image pixels it stands for, so a reduced view of fine regular patterns
// (fields, roofs, sensor striping) shows their mean brightness instead of moiré. Works over any
// RasterSource through full-resolution row reads, one image row at a time, so memory stays at a
// few rows whatever the size of the image.

#include <atomic>

#include "raster/raster_source.h"

namespace lumesta {

// Fills out (window.columns × window.rows floats, row-major) for band: sample (i, j) is the mean
// of the pixels (x0 + i × step + u, y0 + j × step + v), 0 <= u, v < step, that lie inside the
// image, NaN samples left out; 0 where a block holds no such pixel. Checks cancel (when given)
// between rows: false when cancelled or when a read fails. step 1 is a plain window read.
bool ReadAreaAverage(RasterSource& source, int band, const SampleWindow& window, float* out,
                     const std::atomic<bool>* cancel);

}  // namespace lumesta
