#pragma once
// The file of a Cloud Optimized GeoTIFF, put together from tiles compressed beforehand: the
// header with GDAL's structural note (its directories come before the data, tiles in row order,
// each tile led by its size and trailed by a repeat of its last four bytes), then the directory of
// every level (the image, then its overviews from the largest), their tile tables, then the tiles
// of the smallest overview first and those of the image last. Tiled, Deflate with the predictor
// of the sample type, pixels interleaved, the georeferencing, band descriptions and no data as
// GDAL writes them into a GeoTIFF.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "raster/output/band_file_writer.h"

namespace lumesta {

// One field of a TIFF directory; values holds count values of type in native byte order.
struct TiffField {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint64_t count = 0;
    std::vector<std::uint8_t> values;
};

// The georeferencing, band description and no-data fields GDAL writes into a GeoTIFF of spec:
// main for the image's directory, overview for each overview's (no data). False after a GDAL
// failure.
bool GdalDescriptionFields(const BandFileSpec& spec, std::vector<TiffField>& main,
                           std::vector<TiffField>& overview);

// Where a compressed tile lies in the file that stores them: length bytes from offset, its size
// as four bytes first and its last four bytes repeated last (length = its bytes + 8).
struct StoredTile {
    std::int64_t offset = 0;
    std::int64_t length = 0;
};

struct CogLevel {
    int width = 0;
    int height = 0;
    std::vector<StoredTile> tiles;  // row after row of tiles
};

struct CogDescription {
    SampleType type = SampleType::UInt16;
    int bands = 1;
    int tileSide = 512;
    std::vector<CogLevel> levels;       // the image first, then each overview
    std::vector<TiffField> mainFields;  // GdalDescriptionFields
    std::vector<TiffField> overviewFields;
    bool bigTiff = false;  // 64-bit offsets
};

// True when the file of description is a BigTIFF (64-bit offsets): when its levels hold over 2 GB
// of samples uncompressed, as GDAL decides for a COG, or when 32-bit offsets cannot reach its end.
bool NeedsBigTiff(const CogDescription& description);

// The bytes before the first tile: header, structural note, directories, tile tables.
std::vector<std::uint8_t> CogHead(const CogDescription& description);

// Writes the file to out, front to back (a pipe takes it too): the head, then every tile copied
// from store. keepGoing (optional) is asked before each level and every few tiles; false from it
// sets cancelled and stops. False when a write or read failed or the run was cancelled.
bool WriteCogFile(int out, int store, const CogDescription& description,
                  const std::function<bool()>& keepGoing, bool& cancelled);

// The bytes before and after a compressed tile in the file: its size, and its last four bytes
// repeated, as the structural note declares.
inline constexpr std::size_t kTileMargin = 4;

// Fills the margins of tile (kTileMargin free bytes, the compressed bytes, kTileMargin free
// bytes).
void WrapTile(std::vector<std::uint8_t>& tile);

}  // namespace lumesta
