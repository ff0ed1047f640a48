// Images read through GDAL: the first byte picks the name the rest is written under (".tif",
// ".jp2", ".vrt", ".ntf"), so each driver GDAL reads for us meets the bytes. The file is opened
// as the tools and the viewer open it, its description is checked, windows (full resolution,
// decimated, reaching past the edges), values and masks are read, and small images are
// extracted as a run's Step 0 does. GDAL's cache is bounded as in every run.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "raster/gdal/gdal_source.h"
#include "raster/image_info.h"
#include "raster/image_open.h"
#include "raster/input_extract.h"
#include "raster/raster_layout.h"
#include "raster/sample_raster.h"
#include "tests/fuzz/fuzz_support.h"

using namespace lumesta;

namespace {

// Samples one window may hold, and the largest image extracted whole.
constexpr std::int64_t kWindowSamples = 1 << 16;
constexpr std::int64_t kExtractedSamples = 1 << 20;

void ReadWindows(RasterSource& source)
{
    const RasterDescription& d = source.Description();
    if (d.width <= 0 || d.height <= 0 || d.bands <= 0) std::abort();
    int step = 1;
    while (static_cast<std::int64_t>(d.width / step + 1) * (d.height / step + 1) > kWindowSamples)
        step *= 2;
    const SampleWindow windows[] = {{0, 0, d.width / step + 1, d.height / step + 1, step},
                                    {-3, d.height - 5, 40, 9, 1}};
    std::vector<float> samples;
    std::vector<double> doubles;
    std::vector<std::uint8_t> mask;
    for (const SampleWindow& w : windows) {
        const auto count = static_cast<std::size_t>(w.columns) * w.rows;
        samples.resize(count);
        doubles.resize(count);
        mask.resize(count);
        const int band = d.bands - 1;
        source.ReadWindow(band, w, samples.data(), nullptr);
        source.ReadWindowDouble(0, w, doubles.data(), nullptr);
        source.ReadMaskWindow(band, w, mask.data());
    }
    source.ReadValue(0, d.width / 2, d.height / 2);
    source.ReadValue(0, d.width, 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Every run bounds GDAL's cache; the harness keeps it smaller still, and no file may make
    // GDAL wait on the network.
    setenv("GDAL_CACHEMAX", "16", 1);
    setenv("GDAL_HTTP_TIMEOUT", "1", 1);
    setenv("GDAL_HTTP_CONNECTTIMEOUT", "1", 1);
    setenv("GDAL_HTTP_MAX_RETRY", "0", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    static const char* const kNames[] = {"input.tif", "input.jp2", "input.vrt", "input.ntf"};
    const std::string path = fuzz::WriteScratch(kNames[data[0] % 4], data + 1, size - 1);
    fuzz::QuietHost host;
    std::string error;
    if (auto source = OpenRaster(path, {}, error)) ReadWindows(*source);
    RasterLayout layout;
    if (DescribeRaster(path, {}, layout, host)) {
        BandRowReader reader;
        std::vector<double> row(static_cast<std::size_t>(layout.width));
        if (reader.Open(layout, 0, host)) reader.ReadRow(layout.height - 1, row.data());
    }
    CImageInfo sixteen;
    sixteen.ReadHeader16(path, host);
    if (static_cast<std::int64_t>(layout.width) * layout.height * layout.bands <= kExtractedSamples)
        ExtractInputBands(path, fuzz::ScratchFolder() + "input.raw", -1, host);
    return 0;
}
