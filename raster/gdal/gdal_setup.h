#pragma once
// GDAL's process-wide settings, made once before the first GDAL call: drivers registered, the
// block cache bounded, GDAL's own messages kept from stderr (they reach the user only inside
// the reader's or writer's message naming the file).

#include <cstdint>
#include <string>

namespace lumesta {

// GDAL's block cache, in bytes, unless GDAL_CACHEMAX is set in the environment.
inline constexpr std::int64_t kGdalCacheBytes = std::int64_t{64} << 20;

// Registers every driver, bounds the cache and installs the quiet error handler, once; safe to
// call from any thread, any number of times.
void PrepareGdal();

// The same settings with only the drivers of the results written and of the declarations read
// (GTiff, COG, VRT, ENVI, IDRISI): registering every driver costs a run some megabytes, which a
// run that reads no image through GDAL is spared. PrepareGdal later adds the others.
void PrepareGdalForResults();

// GDAL's last error message on this thread ("" when none), then clears it.
std::string TakeGdalError();

// The text of the last failure (not warning) GDAL reported on this thread since
// ClearKeptGdalFailure, kept by the quiet handler where a later warning cannot replace it.
const std::string& KeptGdalFailure();
void ClearKeptGdalFailure();

}  // namespace lumesta
