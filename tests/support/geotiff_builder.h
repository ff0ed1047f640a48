#pragma once
// Writes small stripped GeoTIFFs (UTM 18N georeferencing) for tests of the runs.

#include <cstdint>
#include <string>
#include <vector>

namespace lumesta::testing {

// One or more bands of 16-bit signed samples (bands.size() samples per pixel, separate planes
// when more than one), deflate-compressed strips of 7 rows.
void WriteGeoTiff16(const std::string& path, int width, int height,
                    const std::vector<std::vector<std::int16_t>>& bands);
// One band of bytes, uncompressed strips of 7 rows.
void WriteGeoTiff8(const std::string& path, int width, int height, const std::vector<std::uint8_t>& band);

}  // namespace lumesta::testing
