#pragma once
// Sizes a file declares, checked before anything is made from them. A header can declare any
// size; what a reader allocates, zero-fills or loops over must follow from bytes the file
// really holds and fit the memory the program can still commit, so that a crafted file of a
// few bytes is refused at once instead of filling the memory until the system ends the program.
// All arithmetic is overflow-safe.

#include <cstdint>
#include <optional>

namespace lumesta {

// Compressed data is believed to expand to at most this many bytes per stored byte. Deflate
// stops near 1032, LZW near 1300 and PackBits at 64; only data that is all one value comes
// close to them.
inline constexpr std::int64_t kMaxDecodedPerStoredByte = 4096;

// The product of the factors; nothing when one is negative or the product passes 2^62.
std::optional<std::int64_t> CheckedProduct(std::int64_t a, std::int64_t b);

// A raster as its header declares it.
struct DeclaredRaster {
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::int64_t bands = 0;
    std::int64_t sampleBytes = 0;
};

// width × height × bands × sampleBytes; nothing when it overflows (or a factor is negative).
std::optional<std::int64_t> DeclaredBytes(const DeclaredRaster& raster);

// True when decoded bytes can come from stored bytes of a file: stored as they are (at most
// as many) or compressed (at most kMaxDecodedPerStoredByte times as many).
bool StoredBytesCanHold(std::int64_t stored, std::int64_t decoded, bool compressed);

enum class DeclaredSizeVerdict {
    Fits,
    Overflows,     // the declared size is beyond any file
    BeyondFile,    // the file is too short for it (truncated, or crafted)
    BeyondMemory,  // the buffers the reader would make cannot be had
};

// Checks a raster whose data starts at dataOffset of a file of fileBytes (stored as it is, or
// compressed), and bufferBytes of buffers a reader makes from it (0 for none) against the
// memory the program can still commit (core/memory_available).
DeclaredSizeVerdict CheckDeclaredRaster(const DeclaredRaster& raster, std::int64_t dataOffset,
                                        std::int64_t fileBytes, bool compressed,
                                        std::int64_t bufferBytes);

}  // namespace lumesta
