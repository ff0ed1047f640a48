#pragma once
// The grey picture of a Haar decomposition, made from the float raster as written: every
// sub-band stretched from its own minimum (0) to its own maximum (255), the nested quadrant
// layout of the raster. Built a strip of lines at a time.

#include <string>

#include "core/host.h"
#include "assess/haar_cascade.h"
#include "raster/raw_file.h"

namespace lumesta {

// The picture value of one coefficient: trunc((value − minimum) × 255 / spread), 0 when the
// sub-band is constant.
std::uint8_t HaarPictureByte(float value, const HaarRange& range);

// Writes the 24-bit BMP of a width × height raster of `levels` levels. Pumps messages once per
// line and stops when the user cancels (Cancelled). Stopped after the BMP writer's message or
// "Error: Writing to float/binary file." when the raster cannot be read back. The caller
// removes the picture after a failure.
RunOutcome WriteHaarPicture(const RawFile& raster, int width, int height, int levels,
                            const HaarRanges& ranges, const std::string& bmpPath, Host& host);

}  // namespace lumesta
