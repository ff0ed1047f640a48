#pragma once
// Where the MS lies on the pan's grid: the resolution ratio and the MS origin's offset in pan
// pixels, from the two images' georeferencing when both have one, else from their sizes.
// Offsets are geometric (pixel-is-area): (0, 0) means MS pixel j covers pan pixels R·j to
// R·j + R − 1; (dx, dy) moves that dx pan pixels right and dy down. Fractions are kept.

#include <string>

#include "raster/raster_source.h"

namespace lumesta {

struct MsPlacement {
    int ratio = 0;                  // R: 2, 4, 8 or 16
    double offsetX = 0;             // MS origin − pan origin, in pan pixels along the rows
    double offsetY = 0;             // ... down the columns
    bool fromGeoreference = false;  // both images georeferenced: the geotransforms decided
};

// The placement of ms on pan. givenRatio is the user's --ratio (0: none given). pan and ms are
// named in messages by their first data path. Both georeferenced: R = MS pixel size / pan pixel
// size on both axes (a power of two within 0.1 %), offset = (MS origin − pan origin) / pan
// pixel size. Otherwise R from the sizes (pan = R × MS on both axes, or givenRatio) and offset
// 0. False with error set (a sentence naming both files) for different coordinate systems,
// rotated or skewed grids, a ratio that is no power of two, a givenRatio that disagrees, sizes
// that disagree, or an MS that does not overlap the pan.
bool PlaceMsOnPan(const RasterDescription& pan, const RasterDescription& ms, int givenRatio,
                  MsPlacement& placement, std::string& error);

}  // namespace lumesta
