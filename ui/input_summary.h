#pragma once
// The compact line a pan-sharpening dialog shows under each input before the run: size, bands,
// sample type, georeferencing and no-data value as the image model reads them, and what the MS
// should measure for the pan chosen.

#include <optional>
#include <string>

#include "raster/raster_source.h"

namespace lumesta {

// "2048 × 2048 px, 1 band, UInt16, WGS 84 / UTM zone 33N, 0.5 m pixels, no data 0": what a
// user checks before a run. "not georeferenced" and "no data: none" say when they are absent.
std::string InputSummary(const RasterDescription& description);

// The description of the file at path (headers only; nothing is read of its samples), or
// nothing with error set: a headerless matrix (its size is typed in the dialog) or a file the
// program cannot read.
std::optional<RasterDescription> DescribeInput(const std::string& path, std::string& error);

// What the MS should measure for this pan: pan / ratio for a tool of a fixed ratio
// ("Expected MS: 512 × 512 px (ratio 4)"); with the MS known and both georeferenced (or the
// ratio free, fixedRatio 0), its place on the pan ("MS on the pan: ratio 4, origin at 2, 0 pan
// px", "... corners aligned"), or why it cannot be placed.
std::string ExpectedMsText(const RasterDescription& pan, const RasterDescription* ms,
                           int fixedRatio);

}  // namespace lumesta
