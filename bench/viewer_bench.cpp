// Time to the viewer's first picture and its peak memory on large 16-bit bands.
//
//   viewer_bench make PATH SIZE [strip]
//                                 writes PATH (.img + .hdr, ENVI, or .tif, tiled GeoTIFF, or
//                                 with "strip" one Deflate-compressed strip) of SIZE x SIZE
//                                 16-bit samples
//   viewer_bench view PATH        opens it as the viewer does, reads the overview (the first
//                                 picture), computes its stretch limits and statistics, then
//                                 reads the tiles of a 1400 x 900 window at 1:1 in the middle,
//                                 then the averaged overview that replaces the first; prints
//                                 the times and the peak resident memory
//
// The reading is the viewer's own engine code; drawing on screen is not part of it.

#include <sys/resource.h>
#include <tiffio.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "imaging/view_stretch.h"
#include "raster/area_average.h"
#include "raster/file_name.h"
#include "raster/image_open.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int64_t kOverviewSamples = std::int64_t{1} << 20;  // as the viewer's canvas
constexpr int kTile = 256;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

std::int16_t SampleAt(std::int64_t x, std::int64_t y)
{
    return static_cast<std::int16_t>(1 + (x * 7 + y * 3 + ((x ^ y) & 63)) % 2047);
}

int MakeEnvi(const std::string& path, int size)
{
    std::ofstream data(path, std::ios::binary);
    std::vector<std::int16_t> row(static_cast<std::size_t>(size));
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) row[static_cast<std::size_t>(x)] = SampleAt(x, y);
        data.write(reinterpret_cast<const char*>(row.data()),
                   static_cast<std::streamsize>(row.size() * 2));
    }
    std::ofstream header(lumesta::WithoutLastFour(path) + ".hdr");
    header << "ENVI\ndescription = {bench}\nsamples = " << size << "\nlines = " << size
           << "\nbands = 1\nheader offset = 0\nfile type = ENVI Standard\ndata type = 2\n"
              "interleave = bsq\nbyte order = 0\n";
    return data && header ? 0 : 1;
}

// The whole band as one Deflate strip: the layout a viewer must decode from its start.
int MakeOneStripTiff(const std::string& path, int size)
{
    TIFF* tiff = TIFFOpen(path.c_str(), "w8");
    if (!tiff) return 1;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, size);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, size);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_INT);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, size);
    std::vector<std::int16_t> row(static_cast<std::size_t>(size));
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) row[static_cast<std::size_t>(x)] = SampleAt(x, y);
        if (TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y), 0) != 1) {
            TIFFClose(tiff);
            return 1;
        }
    }
    TIFFClose(tiff);
    return 0;
}

int MakeTiledTiff(const std::string& path, int size)
{
    TIFF* tiff = TIFFOpen(path.c_str(), "w8");
    if (!tiff) return 1;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, size);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, size);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_INT);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tiff, TIFFTAG_TILEWIDTH, kTile);
    TIFFSetField(tiff, TIFFTAG_TILELENGTH, kTile);
    std::vector<std::int16_t> tile(static_cast<std::size_t>(kTile) * kTile);
    for (int ty = 0; ty < size; ty += kTile) {
        for (int tx = 0; tx < size; tx += kTile) {
            for (int y = 0; y < kTile; ++y) {
                for (int x = 0; x < kTile; ++x)
                    tile[static_cast<std::size_t>(y) * kTile + x] = SampleAt(tx + x, ty + y);
            }
            TIFFWriteTile(tiff, tile.data(), static_cast<std::uint32_t>(tx),
                          static_cast<std::uint32_t>(ty), 0, 0);
        }
    }
    TIFFClose(tiff);
    return 0;
}

int View(const std::string& path)
{
    const auto start = Clock::now();
    std::string error;
    const auto source = lumesta::OpenRaster(path, {}, error);
    if (!source) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const lumesta::RasterDescription& d = source->Description();
    const double scale = std::sqrt(static_cast<double>(d.width) * d.height / kOverviewSamples);
    const int step = std::max(1, static_cast<int>(std::ceil(scale)));
    const int columns = (d.width + step - 1) / step;
    const int rows = (d.height + step - 1) / step;
    std::vector<float> overview(static_cast<std::size_t>(columns) * rows);
    source->ReadWindow(0, {0, 0, columns, rows, step}, overview.data(), nullptr);
    const lumesta::ViewLimits limits = lumesta::ComputeViewLimits(
        overview.data(), static_cast<std::int64_t>(overview.size()), 2, 2);
    lumesta::ComputeBandStatistics(overview.data(), static_cast<std::int64_t>(overview.size()));
    const double firstPicture = Seconds(start);

    const auto tilesStart = Clock::now();
    std::vector<float> tile(static_cast<std::size_t>(kTile) * kTile);
    int tiles = 0;
    const int x0 = (d.width / 2 - 700) / kTile;
    const int y0 = (d.height / 2 - 450) / kTile;
    for (int ty = y0; ty <= y0 + 900 / kTile + 1; ++ty) {
        for (int tx = x0; tx <= x0 + 1400 / kTile + 1; ++tx) {
            source->ReadWindow(0, {tx * kTile, ty * kTile, kTile, kTile, 1}, tile.data(), nullptr);
            ++tiles;
        }
    }
    const double tilesTime = Seconds(tilesStart);
    // The averaged overview that replaces the first one while the viewer is idle.
    const auto averageStart = Clock::now();
    lumesta::ReadAreaAverage(*source, 0, {0, 0, columns, rows, step}, overview.data(), nullptr);
    const double averageTime = Seconds(averageStart);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf(
        "%d x %d %s: first picture %.3f s (overview %d x %d, step %d, limits %g..%g); "
        "%d tiles at 1:1 %.3f s; averaged overview %.3f s; peak memory %.1f MiB\n",
        d.width, d.height, d.format.c_str(), firstPicture, columns, rows, step, limits.low,
        limits.high, tiles, tilesTime, averageTime, usage.ru_maxrss / 1024.0);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "make" && (argc == 4 || argc == 5)) {
        const std::string path = argv[2];
        const int size = std::stoi(argv[3]);
        if (argc == 5 && std::string(argv[4]) == "strip") return MakeOneStripTiff(path, size);
        return lumesta::LastFourLower(path) == ".tif" ? MakeTiledTiff(path, size)
                                                      : MakeEnvi(path, size);
    }
    if (command == "view" && argc == 3) return View(argv[2]);
    std::fprintf(stderr, "usage: viewer_bench make PATH SIZE [strip] | viewer_bench view PATH\n");
    return 2;
}
