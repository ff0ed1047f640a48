// ENVI (.hdr) and Idrisi32 (.rdc) headers through the three header readers. The first byte
// picks the format; the rest is the header text beside a small data file.

#include <cstddef>
#include <cstdint>

#include "raster/image_info.h"
#include "tests/fuzz/fuzz_support.h"

using namespace lumesta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    const bool idrisi = (data[0] & 1) != 0;
    fuzz::WriteScratch(idrisi ? "band.rdc" : "band.hdr", data + 1, size - 1);
    static const std::uint8_t kSamples[64] = {};
    const std::string band =
        fuzz::WriteScratch(idrisi ? "band.rst" : "band.img", kSamples, sizeof kSamples);
    fuzz::QuietHost host;
    CImageInfo any, eight, sixteen;
    any.ReadHeader(band, host);
    eight.ReadHeader8(band, host);
    sixteen.ReadHeader16(band, host);
    return 0;
}
