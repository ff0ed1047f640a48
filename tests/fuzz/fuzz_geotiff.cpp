// GeoTIFF files: the header reader's tags, the extraction of every band and of one sample,
// and the writer taking the file as its template.

#include <cstddef>
#include <cstdint>
#include <string>

#include "raster/geotiff/geotiff_extract.h"
#include "raster/geotiff/geotiff_write.h"
#include "raster/image_info.h"
#include "tests/fuzz/fuzz_support.h"

using namespace lumesta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string tiff = fuzz::WriteScratch("input.tif", data, size);
    const std::string raw = fuzz::ScratchFolder() + "input.raw";
    fuzz::QuietHost host;
    CImageInfo eight, sixteen;
    eight.ReadHeader8(tiff, host);
    sixteen.ReadHeader16(tiff, host);
    ExtractGeoTiff(tiff, raw, host);
    ExtractGeoTiffSample(tiff, raw, 1, host);
    // Small planes keep the writer's work bounded; a template larger than they are fails as
    // a short plane file.
    static const std::uint8_t kPlane[4096] = {};
    const std::string plane = fuzz::WriteScratch("plane.raw", kPlane, sizeof kPlane);
    WriteGeoTiff(tiff, fuzz::ScratchFolder() + "output.tif", plane, plane, plane, plane,
                 sixteen.bitsPerSample == 16 ? 2 : 1, true, host);
    return 0;
}
