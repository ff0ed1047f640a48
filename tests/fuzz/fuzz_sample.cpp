// The readers of the quality and degrade tools (DescribeRaster + BandRowReader): GeoTIFF of any
// sample type, ENVI and Idrisi32 by key, generic matrices. The first byte picks the format; for
// ENVI and Idrisi32 the header text runs up to the first NUL byte and the data file holds the
// rest. Rows of up to four bands are read, first, middle and last.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "raster/sample_raster.h"
#include "tests/fuzz/fuzz_support.h"

using namespace lumesta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    const std::uint8_t* rest = data + 1;
    const std::size_t restSize = size - 1;
    std::string path;
    GenericSize generic;
    switch (data[0] % 4) {
        case 0:
            path = fuzz::WriteScratch("band.tif", rest, restSize);
            break;
        case 1:
            path = fuzz::WriteHeaderAndData("band.hdr", "band.img", rest, restSize);
            break;
        case 2:
            path = fuzz::WriteHeaderAndData("band.rdc", "band.rst", rest, restSize);
            break;
        default:
            if (restSize < 3) return 0;
            generic = {1 + rest[0], 1 + rest[1], 1 + rest[2] % 2};
            path = fuzz::WriteScratch("band.raw", rest + 3, restSize - 3);
            break;
    }
    fuzz::QuietHost host;
    RasterLayout layout;
    if (!DescribeRaster(path, generic, layout, host)) return 0;
    std::vector<double> row(static_cast<std::size_t>(layout.width));
    for (int band = 0; band < std::min(layout.bands, 4); ++band) {
        BandRowReader reader;
        if (!reader.Open(layout, band, host)) continue;
        for (const std::int64_t y : {std::int64_t{0}, layout.height / 2, layout.height - 1}) {
            if (!reader.ReadRow(y, row.data())) break;
        }
    }
    return 0;
}
