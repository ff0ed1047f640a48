#include "raster/declared_size.h"

#include "core/memory_available.h"

namespace lumesta {
namespace {

constexpr std::int64_t kLargest = std::int64_t{1} << 62;

}  // namespace

std::optional<std::int64_t> CheckedProduct(std::int64_t a, std::int64_t b)
{
    if (a < 0 || b < 0) return std::nullopt;
    if (a != 0 && b > kLargest / a) return std::nullopt;
    return a * b;
}

std::optional<std::int64_t> DeclaredBytes(const DeclaredRaster& raster)
{
    std::optional<std::int64_t> bytes = CheckedProduct(raster.width, raster.height);
    if (bytes) bytes = CheckedProduct(*bytes, raster.bands);
    if (bytes) bytes = CheckedProduct(*bytes, raster.sampleBytes);
    return bytes;
}

bool StoredBytesCanHold(std::int64_t stored, std::int64_t decoded, bool compressed)
{
    if (stored < 0 || decoded < 0) return false;
    if (!compressed) return decoded <= stored;
    const std::optional<std::int64_t> most = CheckedProduct(stored, kMaxDecodedPerStoredByte);
    return !most || decoded <= *most;
}

DeclaredSizeVerdict CheckDeclaredRaster(const DeclaredRaster& raster, std::int64_t dataOffset,
                                        std::int64_t fileBytes, bool compressed,
                                        std::int64_t bufferBytes)
{
    const std::optional<std::int64_t> bytes = DeclaredBytes(raster);
    if (!bytes || dataOffset < 0 || *bytes > kLargest - dataOffset)
        return DeclaredSizeVerdict::Overflows;
    if (fileBytes < dataOffset || !StoredBytesCanHold(fileBytes - dataOffset, *bytes, compressed)) {
        return DeclaredSizeVerdict::BeyondFile;
    }
    if (bufferBytes < 0 || !MemoryAllows(static_cast<std::uint64_t>(bufferBytes)))
        return DeclaredSizeVerdict::BeyondMemory;
    return DeclaredSizeVerdict::Fits;
}

}  // namespace lumesta
