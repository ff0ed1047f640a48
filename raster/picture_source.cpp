#include "raster/picture_source.h"

#include <sys/stat.h>

#include <cstdint>
#include <fstream>

#include "raster/world_file.h"

namespace lumesta {
namespace {

constexpr int kBmpHeaderBytes = 54;

std::int64_t LittleEndian(const std::uint8_t* bytes, int count)
{
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
    if (count == 4) return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    return static_cast<std::int64_t>(value);
}

}  // namespace

std::unique_ptr<RasterSource> OpenBmpSource(const std::string& path, std::string& error)
{
    std::uint8_t header[kBmpHeaderBytes] = {};
    std::ifstream file(path, std::ios::binary);
    if (!file.read(reinterpret_cast<char*>(header), kBmpHeaderBytes) || header[0] != 'B' ||
        header[1] != 'M') {
        error = "This file is not a BMP picture (no \"BM\" header).";
        return nullptr;
    }
    const std::int64_t offset = LittleEndian(header + 10, 4);
    const std::int64_t width = LittleEndian(header + 18, 4);
    const std::int64_t signedHeight = LittleEndian(header + 22, 4);
    const std::int64_t bits = LittleEndian(header + 28, 2);
    const std::int64_t compression = LittleEndian(header + 30, 4);
    if (bits != 24 || compression != 0) {
        error = "Only uncompressed 24-bit BMP pictures can be shown (this one has " +
                std::to_string(bits) + " bits per pixel, compression " +
                std::to_string(compression) + ").";
        return nullptr;
    }
    const std::int64_t height = signedHeight < 0 ? -signedHeight : signedHeight;
    if (!CheckImageSize(width, height, 3, error)) return nullptr;
    const std::int64_t stride = (width * 3 + 3) / 4 * 4;
    RasterDescription d;
    d.format = "24-bit BMP";
    d.reader = ReaderKind::Bmp;
    d.width = static_cast<int>(width);
    d.height = static_cast<int>(height);
    d.bands = 3;
    d.type = SampleType::UInt8;
    d.bandNames = {"Blue", "Green", "Red"};
    d.layout = signedHeight < 0 ? "rows top-down" : "rows bottom-up";
    d.geo = ReadWorldFiles(path);
    if (d.geo.valid) d.headerPaths = {WorldFilePath(path)};
    RawLayout layout{offset, 1, stride, 3, false};
    if (signedHeight > 0) {
        layout.firstSample = offset + (height - 1) * stride;
        layout.rowStride = -stride;
    }
    return OpenRawSource(path, std::move(d), layout, error);
}

std::unique_ptr<RasterSource> OpenMatrixSource(const std::string& path, const MatrixSize& matrix,
                                               std::string& error)
{
    if (matrix.sampleBytes != 1 && matrix.sampleBytes != 2 && matrix.sampleBytes != 4) {
        error = "A sample size of " + std::to_string(matrix.sampleBytes) +
                " bytes is not one of 1, 2 or 4.";
        return nullptr;
    }
    if (!CheckImageSize(matrix.width, matrix.height, 1, error)) return nullptr;
    struct stat status {};
    const std::int64_t length = ::stat(path.c_str(), &status) == 0 ? status.st_size : 0;
    const std::int64_t bandBytes = std::int64_t{matrix.width} * matrix.height * matrix.sampleBytes;
    const std::int64_t bands = std::max<std::int64_t>(1, length / bandBytes);
    if (!CheckImageSize(matrix.width, matrix.height, bands, error)) return nullptr;
    RasterDescription d;
    d.format = "Generic Image Matrix";
    d.width = matrix.width;
    d.height = matrix.height;
    d.bands = static_cast<int>(bands);
    d.type = matrix.sampleBytes == 1   ? SampleType::UInt8
             : matrix.sampleBytes == 2 ? SampleType::Int16
                                       : SampleType::Float32;
    d.layout = "headerless, band-sequential";
    if (length % bandBytes != 0 && length > bandBytes) {
        d.layout +=
            " (" + std::to_string(length % bandBytes) + " bytes after the last band ignored)";
    }
    const RawLayout layout{0, bandBytes, std::int64_t{matrix.width} * matrix.sampleBytes,
                           matrix.sampleBytes, false};
    return OpenRawSource(path, std::move(d), layout, error);
}

}  // namespace lumesta
