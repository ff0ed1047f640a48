#pragma once
// The delivery part of a 16-bit pan-sharpening job: one multi-band MS file, every band of it
// fused into one multi-band result (`pansharpen --ms`), with the options that shape that run.

#include <array>
#include <string>

#include "raster/no_data_choice.h"

namespace lumesta {

struct DeliveryJob {
    std::string msPath;        // full path of the MS file; empty: the run takes --blue ...
    std::string outputPath;    // --output as a full path; empty: derived from the MS
    std::string outputFormat;  // --format: "envi", "geotiff", "cog"; empty: by the inputs
    std::array<int, 3> rgb{};  // --rgb: the picture's Red, Green, Blue bands, 1-based; 0: default
    int ratio = 0;             // --ratio; 0: from the georeferencing or the sizes
    bool bmpGiven = false;     // --bmp named the picture
    NoDataChoice noData;       // --nodata: both inputs
    NoDataChoice panNoData;    // --pan-nodata
    NoDataChoice msNoData;     // --ms-nodata

    bool Active() const { return !msPath.empty(); }
};

}  // namespace lumesta
