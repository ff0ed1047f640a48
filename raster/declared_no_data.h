#pragma once
// The no-data value a raster file declares for its bands: ENVI "data ignore value", the GeoTIFF
// no-data tag (as GDAL reads it), Idrisi32's flag value, the first band's no-data value of the
// names read through GDAL (JPEG 2000, VRT, ...). Headerless matrices declare none.

#include <optional>
#include <string>

namespace lumesta {

// The value declared for the file's first band; nothing when it declares none or cannot be read
// (the readers report an unreadable file themselves).
std::optional<double> DeclaredNoData(const std::string& path);

}  // namespace lumesta
