#pragma once
// Engine-internal part of the GeoTIFF writer: the tags an output GeoTIFF takes over from its
// template GeoTIFF. Both files are open libtiff handles; nothing is shown to the user.

#include <tiffio.h>

namespace lumesta {

// Copies each descriptive tag of the fixed list (SubfileType .. SMaxSampleValue) that the
// template has. The output's SamplesPerPixel must be set already: ExtraSamples is copied only
// when it leaves at least the three colour samples of an RGB output.
void CopyDescriptiveTags(TIFF* input, TIFF* output);

// Copies the ModelTiepoint, ModelPixelScale and ModelTransformation tags the template has and
// all its GeoTIFF keys (read and written through libgeotiff, key directory version kept).
// False when libgeotiff cannot take the keys over; a template without keys is no failure.
bool CopyGeoreferencing(TIFF* input, TIFF* output);

}  // namespace lumesta
