#include "raster/output/tile_deflate.h"

#include <libdeflate.h>

#include <cstring>

namespace lumesta {
namespace {

// Each sample less the one of its band in the pixel before (modulo the type's width), from the
// end of the row so that every difference takes the original neighbour.
template <typename T>
void DifferenceRow(T* row, std::size_t samples, std::size_t stride)
{
    for (std::size_t i = samples; i-- > stride;) row[i] = static_cast<T>(row[i] - row[i - stride]);
}

// The floating-point predictor: the row's bytes regrouped into planes, the most significant
// bytes of every sample first, then each byte less the one stride bytes before it.
void PredictFloatRow(std::uint8_t* row, std::size_t samples, std::size_t stride,
                     std::uint8_t* shuffled)
{
    for (std::size_t i = 0; i < samples; ++i) {
        std::uint32_t bits;
        std::memcpy(&bits, row + 4 * i, 4);
        for (std::size_t plane = 0; plane < 4; ++plane)
            shuffled[plane * samples + i] = static_cast<std::uint8_t>(bits >> (8 * (3 - plane)));
    }
    DifferenceRow(shuffled, 4 * samples, stride);
    std::memcpy(row, shuffled, 4 * samples);
}

}  // namespace

int PredictorOf(SampleType type)
{
    return type == SampleType::Float32 ? 3 : 2;
}

TileDeflater::TileDeflater(SampleType type, int bands, int side, int level)
    : m_type(type), m_bands(bands), m_side(side)
{
    const std::size_t samples = static_cast<std::size_t>(side) * static_cast<std::size_t>(side) *
                                static_cast<std::size_t>(bands);
    m_tile.resize(samples * static_cast<std::size_t>(SampleBytes(type)));
    if (type == SampleType::Float32)
        m_shuffled.resize(static_cast<std::size_t>(side) * static_cast<std::size_t>(bands) * 4);
    m_compressor = libdeflate_alloc_compressor(level);
}

TileDeflater::~TileDeflater()
{
    if (m_compressor != nullptr) libdeflate_free_compressor(m_compressor);
}

bool TileDeflater::Compress(std::vector<std::uint8_t>& out, std::size_t margin)
{
    if (m_compressor == nullptr) return false;
    const std::size_t rowSamples =
        static_cast<std::size_t>(m_side) * static_cast<std::size_t>(m_bands);
    const std::size_t stride = static_cast<std::size_t>(m_bands);
    const std::size_t rowBytes = rowSamples * static_cast<std::size_t>(SampleBytes(m_type));
    for (int y = 0; y < m_side; ++y) {
        std::uint8_t* row = m_tile.data() + static_cast<std::size_t>(y) * rowBytes;
        if (m_type == SampleType::Float32) {
            PredictFloatRow(row, rowSamples, stride, m_shuffled.data());
        } else if (m_type == SampleType::UInt8) {
            DifferenceRow(row, rowSamples, stride);
        } else {
            // Int16 differences wrap as unsigned 16-bit words, as TIFF readers undo them.
            std::uint16_t* words = reinterpret_cast<std::uint16_t*>(row);
            DifferenceRow(words, rowSamples, stride);
        }
    }
    const std::size_t bound = libdeflate_zlib_compress_bound(m_compressor, m_tile.size());
    out.resize(bound + 2 * margin);
    const std::size_t size = libdeflate_zlib_compress(m_compressor, m_tile.data(), m_tile.size(),
                                                      out.data() + margin, bound);
    out.resize(size + 2 * margin);
    return size > 0;
}

}  // namespace lumesta
