// Raw band reads: whole-file and partial reads at offsets and counts taken from the input's
// first bytes (bounded), over a file of the remaining bytes.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "raster/band_io.h"
#include "tests/fuzz/fuzz_support.h"

using namespace lumesta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 8) return 0;
    std::uint32_t offset = 0;
    std::uint32_t count = 0;
    std::memcpy(&offset, data, 4);
    std::memcpy(&count, data + 4, 4);
    const std::int64_t byteOffset = static_cast<std::int32_t>(offset) % 4096;
    const std::int64_t samples = count % 2048;
    const std::string path = fuzz::WriteScratch("band.raw", data + 8, size - 8);
    fuzz::QuietHost host;
    const std::int64_t length = GetDataBlockLength(path, host);
    std::vector<std::uint8_t> whole(static_cast<std::size_t>(length > 0 ? length : 0) + 1);
    ReadDataBlock(path, whole.data(), host);
    std::vector<std::int16_t> sixteen(static_cast<std::size_t>(samples) + 1);
    ReadDataBlockPart(path, byteOffset / 2, samples, sixteen.data(), host);
    ReadDataBlockPartAt(path, byteOffset, samples, sixteen.data(), host);
    std::vector<std::uint8_t> eight(static_cast<std::size_t>(samples) + 1);
    ReadDataBlockPart(path, byteOffset, samples, eight.data(), host);
    ReadBytesAt(path, byteOffset, samples, eight.data(), "unreadable", host);
    return 0;
}
