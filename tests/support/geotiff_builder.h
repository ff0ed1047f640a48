#pragma once
// Writes small TIFFs for tests of the GeoTIFF reader, writer and runs: UTM 18N georeferenced
// (2 m pixels), strips or tiles, any codec, interleaved or separate planes.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lumesta::testing {

struct TiffSpec {
    std::uint32_t width = 6;
    std::uint32_t height = 5;
    int bits = 16;  // 8, 16, 32 or 64
    int samples = 1;
    int planar = 1;                  // PLANARCONFIG_CONTIG (1) or PLANARCONFIG_SEPARATE (2)
    std::uint32_t rowsPerStrip = 2;  // the last strip of the default 5 rows holds one row
    std::uint32_t tile = 0;          // tiles of tile x tile instead of strips
    int compression = 1;             // COMPRESSION_*; compressed files use predictor 2
    int directories = 1;
    bool shortStrips = false;  // strips stored with half the bytes their rows need
    int format = 0;            // SAMPLEFORMAT_*; 0: signed for 16 bits, unsigned otherwise
};

// The value of band `band` at (x, y).
using SampleAt = std::function<int(int band, std::uint32_t x, std::uint32_t y)>;

// Machine-order samples of `rows` rows from y0 and `columns` columns from x0 of the given bands,
// interleaved; 0 outside the image.
std::vector<std::uint8_t> TiffBlock(const TiffSpec& spec, const SampleAt& sample,
                                    const std::vector<int>& bands, std::uint32_t x0,
                                    std::uint32_t y0, std::uint32_t columns, std::uint32_t rows);

// Throws std::runtime_error when the file cannot be created.
void WriteTestTiff(const std::string& path, const TiffSpec& spec, const SampleAt& sample);

// One or more bands of 16-bit signed samples (separate planes when more than one),
// deflate-compressed strips of 7 rows.
void WriteGeoTiff16(const std::string& path, int width, int height,
                    const std::vector<std::vector<std::int16_t>>& bands);
// One band of bytes, uncompressed strips of 7 rows.
void WriteGeoTiff8(const std::string& path, int width, int height, const std::vector<std::uint8_t>& band);

// One tag of a crafted TIFF directory with a single SHORT (3) or LONG (4) value.
struct CraftedTag {
    std::uint16_t tag;
    std::uint16_t type;
    std::uint32_t value;
};

// The bytes of a little-endian TIFF of one directory holding tags (in ascending order), then
// dataBytes bytes of 0x11 at CraftedDataOffset(tags.size()), where offsets tags may point.
std::string CraftedTiff(const std::vector<CraftedTag>& tags, std::size_t dataBytes);
constexpr std::uint32_t CraftedDataOffset(std::size_t tagCount)
{
    return static_cast<std::uint32_t>(8 + 2 + 12 * tagCount + 4);
}

// One strip of 16-bit samples declaring width x height over 16 stored bytes, with the given
// byte count and compression.
std::string CraftedStripTiff(std::uint32_t width, std::uint32_t height, std::uint32_t byteCount,
                             std::uint16_t compression);

// The exit status GDAL's Cloud Optimized GeoTIFF validator gives the file ("0\n": valid), run with
// its full check; empty where the validator (python3-gdal) is not installed.
std::string CogValidatorVerdict(const std::string& path);

}  // namespace lumesta::testing
