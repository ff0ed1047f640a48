#pragma once
// The compressed form of one tile of a tiled GeoTIFF: the horizontal predictor of the sample
// type (differences of neighbouring samples of a band for integers; for floats, each row's
// bytes sorted by significance and then differenced), then Deflate in the zlib wrapper TIFF
// readers expect. The bytes depend only on the tile's samples and the level, never on the thread
// that made them.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "raster/raster_layout.h"

struct libdeflate_compressor;

namespace lumesta {

class TileDeflater {
public:
    // Tiles of side × side pixels of bands interleaved samples of type (UInt8, UInt16, Int16 or
    // Float32), at Deflate level level.
    TileDeflater(SampleType type, int bands, int side, int level);
    ~TileDeflater();
    TileDeflater(const TileDeflater&) = delete;
    TileDeflater& operator=(const TileDeflater&) = delete;

    // The bytes of one tile (side rows of side × bands samples, native byte order); the caller
    // fills them, pixels outside the image included.
    std::uint8_t* Tile() { return m_tile.data(); }

    // Applies the predictor to Tile() (overwriting it) and compresses it into out: margin bytes
    // left free, the compressed bytes, margin bytes left free. False when the compressor could
    // not be made or failed.
    bool Compress(std::vector<std::uint8_t>& out, std::size_t margin);

private:
    SampleType m_type;
    int m_bands;
    int m_side;
    std::vector<std::uint8_t> m_tile;
    std::vector<std::uint8_t> m_shuffled;  // one float row sorted by byte significance
    libdeflate_compressor* m_compressor = nullptr;
};

// The TIFF predictor a tile of type takes: 3 (floating point) for Float32, else 2 (horizontal).
int PredictorOf(SampleType type);

}  // namespace lumesta
