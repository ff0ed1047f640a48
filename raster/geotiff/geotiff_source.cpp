#include "raster/geotiff/geotiff_source.h"

// Blocks (strips or tiles) are decoded on demand and a few are kept; a strip too large to hold
// is decoded row by row.

#include <sys/stat.h>
#include <tiffio.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <deque>
#include <limits>
#include <list>
#include <map>
#include <mutex>
#include <vector>

#include "core/memory_available.h"
#include "raster/declared_size.h"
#include "raster/geotiff/geotiff_georeference.h"
#include "raster/image_open.h"
#include "raster/sample_convert.h"
#include "raster/tiff_handle.h"

namespace lumesta {
namespace {

// Decoded blocks kept: at least a row of tiles across the image (a decimated read walks along
// rows), within a memory bound. A strip larger than the limit is read by scanlines instead.
constexpr std::size_t kMinKeptBlocks = 24;
constexpr tmsize_t kKeptBytes = 24 << 20;

struct TiffLayout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t samples = 1;
    std::uint16_t bits = 8;
    std::uint16_t format = SAMPLEFORMAT_UINT;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    std::uint16_t compression = COMPRESSION_NONE;
    bool tiled = false;
    std::uint32_t blockWidth = 0;   // tile width, or the image width for strips
    std::uint32_t blockHeight = 0;  // tile height or rows per strip
};

std::optional<SampleType> TypeOf(const TiffLayout& t)
{
    const bool isSigned = t.format == SAMPLEFORMAT_INT;
    if (t.format == SAMPLEFORMAT_IEEEFP) {
        if (t.bits == 32) return SampleType::Float32;
        if (t.bits == 64) return SampleType::Float64;
        return std::nullopt;
    }
    if (t.format != SAMPLEFORMAT_UINT && t.format != SAMPLEFORMAT_INT &&
        t.format != SAMPLEFORMAT_VOID) {
        return std::nullopt;
    }
    if (t.bits == 8) return isSigned ? SampleType::Int8 : SampleType::UInt8;
    if (t.bits == 16) return isSigned ? SampleType::Int16 : SampleType::UInt16;
    if (t.bits == 32) return isSigned ? SampleType::Int32 : SampleType::UInt32;
    if (t.bits == 64) return isSigned ? SampleType::Int64 : SampleType::UInt64;
    return std::nullopt;
}

std::string CompressionName(std::uint16_t compression)
{
    switch (compression) {
        case COMPRESSION_NONE:
            return "uncompressed";
        case COMPRESSION_LZW:
            return "LZW";
        case COMPRESSION_ADOBE_DEFLATE:
        case COMPRESSION_DEFLATE:
            return "Deflate";
        case COMPRESSION_PACKBITS:
            return "PackBits";
        case COMPRESSION_JPEG:
            return "JPEG";
        default:
            return "compression " + std::to_string(compression);
    }
}

// Converts count samples of type T, stride bytes apart from first, to floats through double,
// as SampleValue gives them, so that wide integers round exactly as a single sample does.
template <typename T>
void ConvertRun(const std::uint8_t* first, std::size_t stride, int count, float* out)
{
    if (stride == sizeof(T)) {  // a band alone in its block: let the loop run packed
        for (int r = 0; r < count; ++r) {
            T value;
            std::memcpy(&value, first + static_cast<std::size_t>(r) * sizeof(T), sizeof(T));
            out[r] = static_cast<float>(static_cast<double>(value));
        }
        return;
    }
    for (int r = 0; r < count; ++r) {
        T value;
        std::memcpy(&value, first + static_cast<std::size_t>(r) * stride, sizeof(T));
        out[r] = static_cast<float>(static_cast<double>(value));
    }
}

void ConvertSamples(SampleType type, const std::uint8_t* first, std::size_t stride, int count,
                    float* out)
{
    switch (type) {
        case SampleType::UInt8:
            return ConvertRun<std::uint8_t>(first, stride, count, out);
        case SampleType::Int8:
            return ConvertRun<std::int8_t>(first, stride, count, out);
        case SampleType::UInt16:
            return ConvertRun<std::uint16_t>(first, stride, count, out);
        case SampleType::Int16:
            return ConvertRun<std::int16_t>(first, stride, count, out);
        case SampleType::UInt32:
            return ConvertRun<std::uint32_t>(first, stride, count, out);
        case SampleType::Int32:
            return ConvertRun<std::int32_t>(first, stride, count, out);
        case SampleType::UInt64:
            return ConvertRun<std::uint64_t>(first, stride, count, out);
        case SampleType::Int64:
            return ConvertRun<std::int64_t>(first, stride, count, out);
        case SampleType::Float32:
            return ConvertRun<float>(first, stride, count, out);
        case SampleType::Float64:
            return ConvertRun<double>(first, stride, count, out);
    }
}

class GeoTiffSource : public RasterSource {
public:
    GeoTiffSource(TiffPtr tiff, const TiffLayout& layout, RasterDescription description,
                  tmsize_t blockBytes, tmsize_t maxBlockBytes)
        : m_tiff(std::move(tiff)), m_t(layout)
    {
        m_description = std::move(description);
        m_sampleBytes = SampleBytes(m_description.type);
        m_blockBytes = blockBytes;
        m_byScanline = !m_t.tiled && m_blockBytes > maxBlockBytes;
        const std::size_t across = (m_t.width + m_t.blockWidth - 1) / m_t.blockWidth + 1;
        const std::size_t affordable =
            static_cast<std::size_t>(kKeptBytes / std::max<tmsize_t>(m_blockBytes, 1));
        m_keptBlocks = std::max<std::size_t>(std::min(across, affordable),
                                             std::min(kMinKeptBlocks, affordable));
        m_keptBlocks = std::max<std::size_t>(m_keptBlocks, 1);
        m_scanline.resize(static_cast<std::size_t>(TIFFScanlineSize(m_tiff.get())));
    }

    bool ReadWindow(int band, const SampleWindow& window, float* out,
                    const std::atomic<bool>* cancel) override
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        for (int j = 0; j < window.rows; ++j) {
            if (cancel && cancel->load()) return false;
            ReadRow(band, window, window.y0 + j * window.step,
                    out + static_cast<std::int64_t>(j) * window.columns);
        }
        return true;
    }

    // Gives nothing while another thread is reading: a pointer readout must never wait for a
    // long decode.
    std::optional<double> ReadValue(int band, int x, int y) override
    {
        const std::unique_lock<std::mutex> lock(m_mutex, std::try_to_lock);
        if (!lock.owns_lock()) return {};
        const std::uint8_t* sample = SampleAt(band, x, y);
        if (!sample) return {};
        return SampleValue(sample, m_description.type, false);
    }

private:
    struct Block {
        std::uint32_t index = 0;
        bool ok = false;
        std::vector<std::uint8_t> bytes;
    };

    // Where the samples of band on row y from column x to the end of x's block lie (a block
    // spans the image's width unless it is a tile): consecutive pixels, PixelBytes() apart.
    struct Run {
        const std::uint8_t* first = nullptr;  // the sample at (x, y)
        int pixels = 0;                       // pixels from x to the end of the block's row
        int held = 0;  // how many of those the decoded bytes hold: 0 for a block that fails
    };

    int PixelBytes() const
    {
        return (m_t.planar == PLANARCONFIG_SEPARATE ? 1 : m_t.samples) * m_sampleBytes;
    }

    // One row of a window, a block-run at a time: a decimated row takes every step-th sample
    // of the run. Columns outside the image, or beyond what a block decodes, read 0.
    void ReadRow(int band, const SampleWindow& window, int y, float* row)
    {
        const std::size_t stride = static_cast<std::size_t>(PixelBytes()) *
                                   static_cast<std::size_t>(std::max(window.step, 1));
        // Of at most limit columns step apart from the run's first pixel, those within pixels.
        const auto columnsIn = [&window](int pixels, int limit) {
            if (pixels <= 0) return 0;
            if (window.step < 1) return std::min(1, limit);
            return static_cast<int>(std::min<std::int64_t>(
                limit, (static_cast<std::int64_t>(pixels) + window.step - 1) / window.step));
        };
        for (int i = 0; i < window.columns;) {
            const Run run = RunAt(band, window.x0 + static_cast<std::int64_t>(i) * window.step, y);
            const int count = std::max(1, columnsIn(run.pixels, window.columns - i));
            const int held = columnsIn(run.held, count);
            ConvertSamples(m_description.type, run.first, stride, held, row + i);
            std::fill(row + i + held, row + i + count, 0.0f);
            i += count;
        }
    }

    // The bytes of one sample, or null outside the image or in a block that cannot be decoded.
    const std::uint8_t* SampleAt(int band, int x, int y)
    {
        const Run run = RunAt(band, x, y);
        return run.held > 0 ? run.first : nullptr;
    }

    // The run that starts at (x, y); one of no pixels outside the image.
    Run RunAt(int band, std::int64_t x, int y)
    {
        if (band < 0 || band >= m_t.samples || x < 0 || y < 0 || x >= m_t.width ||
            y >= static_cast<int>(m_t.height)) {
            return {};
        }
        const bool separate = m_t.planar == PLANARCONFIG_SEPARATE;
        const int plane = separate ? band : 0;
        const std::size_t inPixel = separate ? 0 : static_cast<std::size_t>(band) * m_sampleBytes;
        const auto ux = static_cast<std::uint32_t>(x);
        const auto uy = static_cast<std::uint32_t>(y);
        const std::uint32_t bx = m_t.tiled ? ux % m_t.blockWidth : ux;
        Run run;
        run.pixels = static_cast<int>(std::min(m_t.blockWidth - bx, m_t.width - ux));
        if (m_byScanline) {
            const std::uint8_t* line = RowOf(y, plane);
            if (!line) return run;
            run.first = line + static_cast<std::size_t>(ux) * PixelBytes() + inPixel;
            run.held = run.pixels;
            return run;
        }
        const std::uint32_t index =
            m_t.tiled ? TIFFComputeTile(m_tiff.get(), ux, uy, 0, static_cast<std::uint16_t>(plane))
                      : TIFFComputeStrip(m_tiff.get(), uy, static_cast<std::uint16_t>(plane));
        const Block* block = LoadBlock(index);
        if (!block || !block->ok) return run;
        const std::uint32_t by = uy % m_t.blockHeight;
        const std::size_t at =
            (static_cast<std::size_t>(by) * m_t.blockWidth + bx) * PixelBytes() + inPixel;
        const std::size_t size = block->bytes.size();
        if (at + m_sampleBytes > size) return run;
        run.first = block->bytes.data() + at;
        run.held = static_cast<int>(
            std::min<std::size_t>(run.pixels, (size - at - m_sampleBytes) / PixelBytes() + 1));
        return run;
    }

    const Block* LoadBlock(std::uint32_t index)
    {
        for (auto it = m_blocks.begin(); it != m_blocks.end(); ++it) {
            if (it->index == index) {
                m_blocks.splice(m_blocks.begin(), m_blocks, it);
                return &m_blocks.front();
            }
        }
        Block block;
        block.index = index;
        // A block is made only as large as the bytes the file stores for it can decode to: a
        // header may declare blocks of gigabytes over a few stored bytes.
        const bool compressed = m_t.compression != COMPRESSION_NONE;
        const std::int64_t stored = StoredBytes(index);
        if (StoredBytesCanHold(stored, m_blockBytes, compressed) ||
            (!m_t.tiled && StoredBytesCanHold(stored, LastStripBytes(index), compressed))) {
            block.bytes.resize(static_cast<std::size_t>(m_blockBytes));
            const tmsize_t got =
                m_t.tiled
                    ? TIFFReadEncodedTile(m_tiff.get(), index, block.bytes.data(), m_blockBytes)
                    : TIFFReadEncodedStrip(m_tiff.get(), index, block.bytes.data(), m_blockBytes);
            block.ok = got > 0;
            if (got > 0) block.bytes.resize(static_cast<std::size_t>(got));
        }
        m_blocks.push_front(std::move(block));
        if (m_blocks.size() > m_keptBlocks) m_blocks.pop_back();
        return &m_blocks.front();
    }

    // The bytes stored for a block that lie inside the file (a byte count or offset may point
    // past its end).
    std::int64_t StoredBytes(std::uint32_t index) const
    {
        const std::uint64_t offset = TIFFGetStrileOffset(m_tiff.get(), index);
        const std::uint64_t count = TIFFGetStrileByteCount(m_tiff.get(), index);
        const auto file =
            static_cast<std::uint64_t>(std::max<std::int64_t>(m_description.byteSize, 0));
        if (offset >= file) return 0;
        return static_cast<std::int64_t>(std::min(count, file - offset));
    }

    // The decoded size of the last strip of its plane when index is one (it holds only the
    // rows left), else -1.
    std::int64_t LastStripBytes(std::uint32_t index) const
    {
        const std::uint32_t perPlane = (m_t.height + m_t.blockHeight - 1) / m_t.blockHeight;
        if (perPlane == 0 || index % perPlane != perPlane - 1) return -1;
        const std::uint32_t rows = m_t.height - (perPlane - 1) * m_t.blockHeight;
        return static_cast<std::int64_t>(TIFFVStripSize(m_tiff.get(), rows));
    }

    // Compressed strips decode only forward: rows between the last one decoded and y are
    // decoded and dropped, an earlier row starts again at the beginning of its strip. Rows asked
    // for are kept (within kKeptBytes), so the tiles of one tile row decode their rows once.
    const std::uint8_t* RowOf(int y, int plane)
    {
        const std::int64_t key = static_cast<std::int64_t>(y) * m_t.samples + plane;
        const auto kept = m_rows.find(key);
        if (kept != m_rows.end()) return kept->second.data();
        const int stripStart = y - y % static_cast<int>(m_t.blockHeight);
        const bool onward = plane == m_scanlinePlane && m_scanlineOk &&
                            m_scanlineRow >= stripStart && m_scanlineRow < y;
        m_scanlinePlane = plane;
        m_scanlineOk = true;
        for (int row = onward ? m_scanlineRow + 1 : stripStart; row <= y && m_scanlineOk; ++row) {
            m_scanlineRow = row;
            m_scanlineOk =
                TIFFReadScanline(m_tiff.get(), m_scanline.data(), static_cast<std::uint32_t>(row),
                                 static_cast<std::uint16_t>(plane)) == 1;
        }
        if (!m_scanlineOk) return nullptr;
        const std::size_t keep =
            std::max<std::size_t>(1, static_cast<std::size_t>(kKeptBytes) / m_scanline.size());
        if (m_rowOrder.size() >= keep) {
            m_rows.erase(m_rowOrder.front());
            m_rowOrder.pop_front();
        }
        m_rowOrder.push_back(key);
        return m_rows.emplace(key, m_scanline).first->second.data();
    }

    std::mutex m_mutex;
    TiffPtr m_tiff;
    TiffLayout m_t;
    int m_sampleBytes = 1;
    tmsize_t m_blockBytes = 0;
    bool m_byScanline = false;
    std::size_t m_keptBlocks = kMinKeptBlocks;
    std::list<Block> m_blocks;
    std::vector<std::uint8_t> m_scanline;
    std::map<std::int64_t, std::vector<std::uint8_t>>
        m_rows;                           // decoded rows kept, by row and plane
    std::deque<std::int64_t> m_rowOrder;  // oldest first
    int m_scanlineRow = -1;
    int m_scanlinePlane = -1;
    bool m_scanlineOk = false;
};

TiffLayout ReadLayout(TIFF* tiff)
{
    TiffLayout t;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &t.width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &t.height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &t.samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &t.bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &t.format);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &t.planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &t.compression);
    t.tiled = TIFFIsTiled(tiff) != 0;
    if (t.tiled) {
        TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &t.blockWidth);
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &t.blockHeight);
    } else {
        t.blockWidth = t.width;
        TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &t.blockHeight);
        if (t.blockHeight == 0 || t.blockHeight > t.height) t.blockHeight = t.height;
    }
    return t;
}

// The value of GDAL's no-data tag, when the file has one that reads as a number.
std::optional<double> NoDataOf(TIFF* tiff)
{
    const char* text = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_GDAL_NODATA, &text) != 1 || text == nullptr) return {};
    const std::string value = text;
    if (value == "nan" || value == "NaN") return std::numeric_limits<double>::quiet_NaN();
    double number = 0;
    const auto end = value.data() + value.size();
    const auto result = std::from_chars(value.data(), end, number);
    if (result.ec != std::errc() || result.ptr == value.data()) return {};
    return number;
}

}  // namespace

std::unique_ptr<RasterSource> OpenGeoTiffSource(const std::string& path, std::string& error,
                                                std::int64_t maxBlockBytes)
{
    // "m": read, not memory-mapped, so that only the blocks decoded take memory.
    TiffPtr tiff = OpenGeoTiff(path, "rm");
    if (!tiff) {
        error = "This file cannot be read as a TIFF image.";
        return nullptr;
    }
    const TiffLayout t = ReadLayout(tiff.get());
    const std::optional<SampleType> type = TypeOf(t);
    if (!type) {
        error = "TIFF samples of " + std::to_string(t.bits) + " bits in sample format " +
                std::to_string(t.format) + " cannot be shown.";
        return nullptr;
    }
    if (!CheckImageSize(static_cast<std::int64_t>(t.width), t.height, t.samples, error))
        return nullptr;
    if (t.blockWidth == 0 || t.blockHeight == 0) {
        error = "The TIFF file has no usable strip or tile size.";
        return nullptr;
    }
    // A block is decoded whole unless it is a strip larger than maxBlockBytes, which goes row by
    // row: what the reader holds at once must fit in memory.
    const tmsize_t blockBytes = t.tiled ? TIFFTileSize(tiff.get()) : TIFFStripSize(tiff.get());
    const tmsize_t scanlineBytes = TIFFScanlineSize(tiff.get());
    const tmsize_t heldBytes = !t.tiled && blockBytes > maxBlockBytes ? scanlineBytes : blockBytes;
    if (blockBytes <= 0 || scanlineBytes <= 0 ||
        !MemoryAllows(static_cast<std::uint64_t>(heldBytes) +
                      static_cast<std::uint64_t>(scanlineBytes))) {
        error = "The TIFF file's " + std::string(t.tiled ? "tiles" : "strips") +
                " are larger than the memory that is free.";
        return nullptr;
    }
    RasterDescription d;
    d.format = "GeoTIFF";
    d.reader = ReaderKind::StripTiff;
    d.dataPaths = {path};
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) d.byteSize = status.st_size;
    d.width = static_cast<int>(t.width);
    d.height = static_cast<int>(t.height);
    d.bands = t.samples;
    d.type = *type;
    for (int band = 0; band < d.bands; ++band)
        d.bandNames.push_back("Band " + std::to_string(band + 1));
    d.layout = (t.tiled ? "tiles of " + std::to_string(t.blockWidth) + " x " +
                              std::to_string(t.blockHeight)
                        : "strips of " + std::to_string(t.blockHeight) + " rows") +
               ", " + CompressionName(t.compression) + ", " +
               (t.planar == PLANARCONFIG_SEPARATE ? "separate planes" : "contiguous samples");
    d.availableRows = d.height;
    d.geo = ReadGeoTiffGeoreference(path);
    d.noData = NoDataOf(tiff.get());
    return std::make_unique<GeoTiffSource>(std::move(tiff), t, std::move(d), blockBytes,
                                           static_cast<tmsize_t>(maxBlockBytes));
}

}  // namespace lumesta
