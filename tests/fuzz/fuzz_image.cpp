// The viewer's image readers (OpenRaster): GeoTIFF, ENVI, Idrisi32, 24-bit BMP and generic
// matrices. The first byte picks the format; for ENVI and Idrisi32 the header text runs up to the
// first NUL byte and the data file holds the rest. Windows of up to four bands are read, whole
// and decimated, and single values.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "raster/image_open.h"
#include "tests/fuzz/fuzz_support.h"

using namespace lumesta;

namespace {

void ReadSome(RasterSource& source)
{
    const RasterDescription& d = source.Description();
    const int step = std::max(1, std::max(d.width, d.height) / 48);
    const SampleWindow windows[] = {
        {0, 0, (d.width + step - 1) / step, (d.height + step - 1) / step, step},
        {-2, d.height / 2 - 1, 5, 3, 1}};
    std::vector<float> out;
    for (int band = 0; band < std::min(d.bands, 4); ++band) {
        for (const SampleWindow& window : windows) {
            out.assign(static_cast<std::size_t>(window.columns) * window.rows, 0.0f);
            source.ReadWindow(band, window, out.data(), nullptr);
        }
        source.ReadValue(band, d.width - 1, d.height - 1);
        source.ReadValue(band, d.width / 2, 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    const std::uint8_t* rest = data + 1;
    const std::size_t restSize = size - 1;
    std::string path;
    MatrixSize matrix;
    switch (data[0] % 5) {
        case 0:
            path = fuzz::WriteScratch("image.tif", rest, restSize);
            break;
        case 1:
            path = fuzz::WriteHeaderAndData("image.hdr", "image.img", rest, restSize);
            break;
        case 2:
            path = fuzz::WriteHeaderAndData("image.rdc", "image.rst", rest, restSize);
            break;
        case 3:
            path = fuzz::WriteScratch("image.bmp", rest, restSize);
            break;
        default:
            // A typed size from the first bytes, the matrix after them.
            if (restSize < 3) return 0;
            matrix = {1 + rest[0] % 64, 1 + rest[1] % 64, rest[2] % 3 == 2 ? 4 : 1 + rest[2] % 3};
            path = fuzz::WriteScratch("image.raw", rest + 3, restSize - 3);
            break;
    }
    std::string error;
    if (const auto source = OpenRaster(path, matrix, error)) ReadSome(*source);
    return 0;
}
