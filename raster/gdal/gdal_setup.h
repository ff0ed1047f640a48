#pragma once
// GDAL's process-wide settings, made once before the first GDAL call: drivers registered, the
// block cache bounded, GDAL's own messages kept from stderr (they reach the user only inside
// the reader's message naming the file).

#include <cstdint>
#include <string>

namespace lumesta {

// GDAL's block cache, in bytes, unless GDAL_CACHEMAX is set in the environment.
inline constexpr std::int64_t kGdalCacheBytes = std::int64_t{64} << 20;

// Registers the drivers, bounds the cache and installs the quiet error handler, once; safe to
// call from any thread, any number of times.
void PrepareGdal();

// GDAL's last error message on this thread ("" when none), then clears it.
std::string TakeGdalError();

}  // namespace lumesta
