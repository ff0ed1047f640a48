#include "raster/geotiff/geotiff_write.h"

#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "core/allocate.h"
#include "raster/gdal/gdal_geotiff_write.h"
#include "raster/reader_choice.h"
#include "raster/geotiff/geotiff_support.h"
#include "raster/geotiff/geotiff_tags.h"
#include "raster/output/band_file_writer.h"
#include "raster/raw_file.h"
#include "raster/tiff_handle.h"

namespace lumesta {
namespace {

const std::string kWritingFailed = "Error with GeoTIFF writing.\n";

// Settings of one call of the writer, read by the copy routines.
struct WriterSettings {
    std::array<std::string, 4> planeFiles;
    int planes = 3;
    int bytesPerSample = 1;
    std::int64_t width = 0;
    std::int64_t height = 0;
    bool tiled = false;  // taken from the template
    std::uint32_t tileWidth = 0;
    std::uint32_t tileLength = 0;
    std::optional<double> noData;

    std::int64_t RowBytes() const { return width * bytesPerSample; }
};

using CopyRoutine = bool (*)(TIFF*, const WriterSettings&, Host&);

// Shows the writing failure; always false.
bool Failed(Host& host)
{
    host.ShowMessage(kWritingFailed);
    return false;
}

bool NamesSameFile(const std::string& first, const std::string& second)
{
    std::error_code error;
    return std::filesystem::equivalent(first, second, error);
}

// Size and tiling of the template; false when it has no usable size, or one whose rows or
// tiles no sane buffer takes (a damaged or crafted template).
bool ReadTemplate(TIFF* input, WriterSettings& settings)
{
    constexpr std::int64_t kMaxRowBytes = std::int64_t{64} << 20;
    constexpr std::int64_t kMaxTileRowsBytes = std::int64_t{512} << 20;
    std::uint32_t width = 0;
    std::uint32_t length = 0;
    TIFFGetField(input, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(input, TIFFTAG_IMAGELENGTH, &length);
    settings.width = width;
    settings.height = length;
    settings.tiled = TIFFIsTiled(input) != 0;
    if (settings.tiled) {
        TIFFGetField(input, TIFFTAG_TILEWIDTH, &settings.tileWidth);
        TIFFGetField(input, TIFFTAG_TILELENGTH, &settings.tileLength);
        if (settings.tileWidth == 0 || settings.tileLength == 0) return false;
        const std::int64_t tileRowBytes =
            std::int64_t{settings.tileWidth} * settings.bytesPerSample;
        if (tileRowBytes * settings.tileLength > kMaxRowBytes ||
            settings.RowBytes() * settings.tileLength > kMaxTileRowsBytes) {
            return false;
        }
    }
    return width > 0 && length > 0 && settings.RowBytes() <= kMaxRowBytes;
}

// The rows taken from the plane files must fill the template's samples exactly, and the output
// must not replace the template or a plane file it is being made from.
bool Acceptable(TIFF* input, const std::string& inputPath, const std::string& outputPath,
                const WriterSettings& settings)
{
    std::uint16_t bits = 0;
    TIFFGetFieldDefaulted(input, TIFFTAG_BITSPERSAMPLE, &bits);
    if (settings.bytesPerSample != 1 && settings.bytesPerSample != 2) return false;
    if (bits != 8 * settings.bytesPerSample) return false;
    if (NamesSameFile(inputPath, outputPath)) return false;
    for (int plane = 0; plane < settings.planes; ++plane) {
        if (NamesSameFile(settings.planeFiles[plane], outputPath)) return false;
    }
    return true;
}

// The template's compression, where it can encode the output's layout: JPEG encodes blocks of
// 8 or 16 rows and cannot take strips of one row, and a scheme this libtiff only decodes
// cannot write at all; such results are written uncompressed instead of failing.
void SetCompression(TIFF* input, TIFF* output, bool tiled)
{
    std::uint16_t compression = 0;
    TIFFGetFieldDefaulted(input, TIFFTAG_COMPRESSION, &compression);
    const bool blockCoded = compression == COMPRESSION_JPEG || compression == COMPRESSION_OJPEG;
    if ((blockCoded && !tiled) || compression == COMPRESSION_OJPEG ||
        !TIFFIsCODECConfigured(compression)) {
        compression = COMPRESSION_NONE;
    }
    TIFFSetField(output, TIFFTAG_COMPRESSION, compression);
    if (compression == COMPRESSION_LZW || compression == COMPRESSION_DEFLATE) {
        std::uint16_t predictor = 0;
        if (TIFFGetField(input, TIFFTAG_PREDICTOR, &predictor)) {
            TIFFSetField(output, TIFFTAG_PREDICTOR, predictor);
        }
    } else if (compression == COMPRESSION_JPEG) {
        TIFFSetField(output, TIFFTAG_JPEGQUALITY, 75);
        TIFFSetField(output, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    }
}

// The output directory: the template's size, sample size, compression and fill order; RGB
// photometric; separate planes in strips of one row, or in the template's tiles.
void SetUpDirectory(TIFF* input, TIFF* output, const WriterSettings& settings)
{
    std::uint16_t bits = 0;
    std::uint16_t fillOrder = 0;
    TIFFGetFieldDefaulted(input, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFSetField(output, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(settings.width));
    TIFFSetField(output, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(settings.height));
    TIFFSetField(output, TIFFTAG_BITSPERSAMPLE, bits);
    SetCompression(input, output, settings.tiled);
    TIFFSetField(output, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    if (TIFFGetField(input, TIFFTAG_FILLORDER, &fillOrder)) {
        TIFFSetField(output, TIFFTAG_FILLORDER, fillOrder);
    }
    TIFFSetField(output, TIFFTAG_SAMPLESPERPIXEL, settings.planes);
    // RGB takes three samples: a fourth plane is declared as an extra one (of no stated meaning),
    // or readers warn on every open.
    if (settings.planes > 3) {
        static const std::uint16_t kUnspecified[] = {EXTRASAMPLE_UNSPECIFIED};
        TIFFSetField(output, TIFFTAG_EXTRASAMPLES, std::uint16_t{1}, kUnspecified);
    }
    if (settings.tiled) {
        TIFFSetField(output, TIFFTAG_TILEWIDTH, settings.tileWidth);
        TIFFSetField(output, TIFFTAG_TILELENGTH, settings.tileLength);
    } else {
        TIFFSetField(output, TIFFTAG_ROWSPERSTRIP, std::uint32_t{1});
    }
    TIFFSetField(output, TIFFTAG_PLANARCONFIG, PLANARCONFIG_SEPARATE);
    // Taken only by fax compression; libtiff refuses it quietly for every other scheme.
    TIFFSetField(output, TIFFTAG_GROUP3OPTIONS, std::uint32_t{2});
}

void DescribeBands(TIFF* output, int planes)
{
    static const char kThreeBands[] =
        "{\n\t\t\tbandList = \n\t\t\t[ \n\t\t\t\t1;\n\t\t\t\t2;\n\t\t\t\t3;\n\t\t\t]\n\t\t\t}";
    static const char kFourBands[] =
        "{\n\t\t\tbandList = \n\t\t\t[ \n\t\t\t\t1;\n\t\t\t\t2;\n\t\t\t\t3;\n\t\t\t\t4;\n\t\t\t]"
        "\n\t\t\t}";
    TIFFSetField(output, TIFFTAG_IMAGEDESCRIPTION, planes == 4 ? kFourBands : kThreeBands);
}

std::unique_ptr<RunProgress> OpenWritingProgress(Host& host)
{
    static const char kCaption[] = "Writing GeoTIFF imagery ...";
    static const char kStatus[] = "Press Cancel to stop ...\n\n";
    auto progress = host.OpenProgress(kCaption, ProgressOwner::Window);
    progress->SetRange(0, 100, 1);
    progress->SetStatusText(kStatus);
    return progress;
}

// Advances the bar to done of total steps and lets the user act; false after the message once
// the user cancelled.
bool StepProgress(RunProgress& progress, std::int64_t done, std::int64_t total, Host& host)
{
    progress.SetPosition(static_cast<int>(done * 100 / total));
    progress.PumpMessages(true);
    return !progress.IsCancelled() || Failed(host);
}

bool OpenPlaneFiles(const WriterSettings& settings, std::array<RawFile, 4>& files, Host& host)
{
    static const char kCannotOpenPlane[] = "Error: Writing GeoTIFF";
    for (int plane = 0; plane < settings.planes; ++plane) {
        if (!files[plane].OpenForReading(settings.planeFiles[plane])) {
            host.ShowMessage(kCannotOpenPlane);
            return false;
        }
    }
    return true;
}

// Reads rows first .. first + rows - 1 of a plane file in the machine's sample order; a plane
// file shorter than the image is a failure, not a source of made-up samples.
bool ReadPlaneRows(const RawFile& file, const WriterSettings& settings, std::int64_t first,
                   std::int64_t rows, std::uint8_t* buffer, Host& host)
{
    const std::int64_t bytes = rows * settings.RowBytes();
    if (file.ReadAt(first * settings.RowBytes(), bytes, buffer) != bytes) return Failed(host);
    SwapRawSamples(buffer, static_cast<std::size_t>(bytes), settings.bytesPerSample);
    return true;
}

// Strips of one row: plane after plane, each row of the plane file written as its scanline.
bool CopyPlanesToStrips(TIFF* output, const WriterSettings& settings, Host& host)
{
    const auto progress = OpenWritingProgress(host);
    std::array<RawFile, 4> files;
    if (!OpenPlaneFiles(settings, files, host)) return false;
    std::vector<std::uint8_t> row;
    if (!TryAllocate(row, settings.RowBytes(), host, kWritingFailed)) return false;
    const std::int64_t total = settings.planes * settings.height;
    for (int plane = 0; plane < settings.planes; ++plane) {
        for (std::int64_t line = 0; line < settings.height; ++line) {
            if (!StepProgress(*progress, plane * settings.height + line, total, host)) return false;
            if (!ReadPlaneRows(files[plane], settings, line, 1, row.data(), host)) return false;
            if (TIFFWriteScanline(output, row.data(), static_cast<std::uint32_t>(line),
                                  static_cast<std::uint16_t>(plane)) < 0) {
                return Failed(host);
            }
        }
    }
    return true;
}

// Cuts one tile out of a band of tile-length rows; the parts beyond the image are zero.
void FillTile(const std::uint8_t* band, std::int64_t rows, std::int64_t x,
              const WriterSettings& settings, std::uint8_t* tile)
{
    const std::int64_t tileRowBytes = std::int64_t{settings.tileWidth} * settings.bytesPerSample;
    std::fill(tile, tile + tileRowBytes * settings.tileLength, std::uint8_t{0});
    const std::int64_t columns = std::min<std::int64_t>(settings.tileWidth, settings.width - x);
    for (std::int64_t r = 0; r < rows; ++r) {
        const std::uint8_t* from = band + r * settings.RowBytes() + x * settings.bytesPerSample;
        std::copy(from, from + columns * settings.bytesPerSample, tile + r * tileRowBytes);
    }
}

// Tiles of the template's size: plane after plane, one row of tiles at a time.
bool CopyPlanesToTiles(TIFF* output, const WriterSettings& settings, Host& host)
{
    const auto progress = OpenWritingProgress(host);
    std::array<RawFile, 4> files;
    if (!OpenPlaneFiles(settings, files, host)) return false;
    const std::int64_t tileLength = settings.tileLength;
    std::vector<std::uint8_t> band;
    std::vector<std::uint8_t> tile;
    if (!TryAllocate(band, tileLength * settings.RowBytes(), host, kWritingFailed) ||
        !TryAllocate(tile, static_cast<std::int64_t>(TIFFTileSize64(output)), host,
                     kWritingFailed)) {
        return false;
    }
    if (tile.size() !=
        std::size_t{settings.tileWidth} * settings.tileLength * settings.bytesPerSample) {
        return Failed(host);
    }
    const std::int64_t tileRows = (settings.height + tileLength - 1) / tileLength;
    for (int plane = 0; plane < settings.planes; ++plane) {
        for (std::int64_t y = 0; y < settings.height; y += tileLength) {
            if (!StepProgress(*progress, plane * tileRows + y / tileLength,
                              settings.planes * tileRows, host)) {
                return false;
            }
            const std::int64_t rows = std::min(tileLength, settings.height - y);
            if (!ReadPlaneRows(files[plane], settings, y, rows, band.data(), host)) return false;
            for (std::int64_t x = 0; x < settings.width; x += settings.tileWidth) {
                FillTile(band.data(), rows, x, settings, tile.data());
                if (TIFFWriteTile(output, tile.data(), static_cast<std::uint32_t>(x),
                                  static_cast<std::uint32_t>(y), 0,
                                  static_cast<std::uint16_t>(plane)) < 0) {
                    return Failed(host);
                }
            }
        }
    }
    return true;
}

// True unless a plane file is known to be shorter than one plane of the image; a file whose
// size cannot be read is left to the copy, which reports it when it opens the file.
bool PlanesHoldTheImage(const WriterSettings& settings)
{
    const std::uintmax_t needed =
        static_cast<std::uintmax_t>(settings.RowBytes()) * static_cast<std::uintmax_t>(settings.height);
    for (int plane = 0; plane < settings.planes; ++plane) {
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(settings.planeFiles[plane], error);
        if (!error && size < needed) return false;
    }
    return true;
}

// The samples come from the plane files, so neither the template's planar configuration nor
// its tiling changes how the output is filled: contiguous and separate templates, stripped or
// tiled, all take the routine of the output's layout (which follows the template's tiling).
CopyRoutine ChooseCopyRoutine(TIFF* input, TIFF* output)
{
    std::uint16_t planar = 0;
    TIFFGetFieldDefaulted(input, TIFFTAG_PLANARCONFIG, &planar);
    if (planar != PLANARCONFIG_CONTIG && planar != PLANARCONFIG_SEPARATE) return nullptr;
    return TIFFIsTiled(output) ? CopyPlanesToTiles : CopyPlanesToStrips;
}

// Everything after the output was created; false after the failure's message.
bool WriteOutput(TIFF* input, TIFF* output, const WriterSettings& settings, Host& host)
{
    SetUpDirectory(input, output, settings);
    CopyDescriptiveTags(input, output);
    DescribeBands(output, settings.planes);
    if (settings.noData) {
        TIFFSetField(output, TIFFTAG_GDAL_NODATA, ExactNumberText(*settings.noData).c_str());
    }
    if (!CopyGeoreferencing(input, output)) return Failed(host);
    const CopyRoutine copy = ChooseCopyRoutine(input, output);
    if (copy == nullptr) {
        host.ShowMessage(kCannotReadThisGeoTiff);
        return false;
    }
    // Plane files shorter than the template's image fail before libtiff sets up a strip table
    // sized by the template's declared height (which a hostile file can make huge).
    if (!PlanesHoldTheImage(settings)) return Failed(host);
    if (!copy(output, settings, host)) return false;
    // Every write reaches the file before the result counts (a full disk fails here).
    return (TIFFWriteDirectory(output) != 0 && TIFFFlush(output) != 0) || Failed(host);
}

}  // namespace

int WriteGeoTiff(const std::string& inputPath, const std::string& outputPath,
                 const std::string& plane1, const std::string& plane2, const std::string& plane3,
                 int bytesPerSample, bool fourPlanes, Host& host, std::optional<double> noData)
{
    return WriteGeoTiff(inputPath, outputPath, plane1, plane2, plane3, std::string(),
                        bytesPerSample, fourPlanes, host, noData);
}

int WriteGeoTiff(const std::string& inputPath, const std::string& outputPath,
                 const std::string& plane1, const std::string& plane2, const std::string& plane3,
                 const std::string& plane4, int bytesPerSample, bool fourPlanes, Host& host,
                 std::optional<double> noData)
{
    static const char kSeveralDirectories[] =
        "GeoTIFF file with more than one directories is not supported.";
    TiffPtr input = OpenGeoTiff(inputPath, "r");
    // A template read through GDAL that libtiff cannot serve (no TIFF, or one with overviews)
    // lends its size and georeferencing through GDAL instead.
    if ((!input || TIFFNumberOfDirectories(input.get()) > 1) &&
        ChooseReader(inputPath) == ReaderKind::Gdal) {
        input.reset();
        std::vector<std::string> planes = {plane1, plane2, plane3, plane4};
        planes.resize(bytesPerSample == 2 && fourPlanes ? 4 : 3);
        return WriteGeoTiffThroughGdal(inputPath, outputPath, planes, bytesPerSample, host, noData);
    }
    if (!input) return 0;
    if (TIFFNumberOfDirectories(input.get()) > 1) {
        // Nothing is written: the run that asked for the GeoTIFF did not get it.
        host.ShowMessage(kSeveralDirectories);
        return 0;
    }
    WriterSettings settings;
    settings.planeFiles = {plane1, plane2, plane3, plane4};
    settings.planes = bytesPerSample == 2 && fourPlanes ? 4 : 3;
    settings.bytesPerSample = bytesPerSample;
    settings.noData = noData;
    if (!ReadTemplate(input.get(), settings) ||
        !Acceptable(input.get(), inputPath, outputPath, settings)) {
        Failed(host);
        return 0;
    }
    TiffPtr output = OpenGeoTiff(outputPath, "w");
    if (!output) return 0;
    const bool written = WriteOutput(input.get(), output.get(), settings, host);
    output.reset();
    if (written) return 1;
    std::remove(outputPath.c_str());  // a partial GeoTIFF must not pass for a result
    return 0;
}

}  // namespace lumesta
