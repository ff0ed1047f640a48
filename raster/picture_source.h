#pragma once
// The two readers of the viewer without a text header (behind OpenRaster): 24-bit BMP pictures
// and headerless matrices whose size the user gives.

#include <memory>
#include <string>

#include "raster/raster_source.h"

namespace lumesta {

// What the user types for a headerless matrix.
struct MatrixSize {
    int width = 0;
    int height = 0;
    int sampleBytes = 2;  // 1: 8-bit unsigned, 2: 16-bit signed little-endian, 4: 32-bit float
};

// A 24-bit BMP as its blue, green and red bands, georeferenced by a world file beside it;
// nothing (with error set) when it cannot be shown.
std::unique_ptr<RasterSource> OpenBmpSource(const std::string& path, std::string& error);
// A headerless matrix of the given size, with as many bands as the file length holds; nothing
// (with error set) when it cannot be shown.
std::unique_ptr<RasterSource> OpenMatrixSource(const std::string& path, const MatrixSize& matrix,
                                               std::string& error);

}  // namespace lumesta
