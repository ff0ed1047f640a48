#include "raster/geotiff/geotiff_extract.h"

#include <sys/stat.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/allocate.h"
#include "raster/geotiff/geotiff_support.h"
#include "raster/raw_file.h"
#include "raster/tiff_handle.h"

namespace lumesta {
namespace {

const std::string kErrorReading = "Error when reading GeoTIFF.\n";

constexpr int kAllSamples = -1;

// The input's layout as the readers need it, read once from its directory.
struct InputLayout {
    std::int64_t width = 0;
    std::int64_t height = 0;
    int bitsPerSample = 0;
    int bytesPerSample = 0;
    int samples = 0;
    int planar = 0;

    std::int64_t BandRowBytes() const { return width * bytesPerSample; }
    std::int64_t BandBytes() const { return BandRowBytes() * height; }
};

enum class Reader { Contiguous, Separate, Refused };

// False when the directory has no usable size or sample count, or rows no sane buffer takes.
bool ReadLayout(TIFF* tiff, InputLayout& layout)
{
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t bits = 0;
    std::uint16_t samples = 0;
    std::uint16_t planar = 0;
    if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height)) {
        return false;
    }
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    layout.width = width;
    layout.height = height;
    layout.bitsPerSample = bits;
    layout.bytesPerSample = bits / 8;
    layout.samples = samples;
    layout.planar = planar;
    // One row of every sample must fit a sane buffer, whatever the header declares.
    constexpr std::int64_t kMaxRowBytes = std::int64_t{64} << 20;
    return width > 0 && height > 0 && samples > 0 &&
           layout.BandRowBytes() * samples <= kMaxRowBytes;
}

// Both readers take whole rows of whole 8- or 16-bit samples from strips; a row as libtiff
// decodes it must be exactly width x samples-in-the-row x bytes (subsampled colour data, for
// instance, is not).
Reader ChooseReader(TIFF* tiff, const InputLayout& layout)
{
    if (TIFFIsTiled(tiff)) return Reader::Refused;
    if (layout.bitsPerSample != 8 && layout.bitsPerSample != 16) return Reader::Refused;
    const bool separate = layout.planar == PLANARCONFIG_SEPARATE;
    if (!separate && layout.planar != PLANARCONFIG_CONTIG) return Reader::Refused;
    const std::int64_t rowSamples = separate ? 1 : layout.samples;
    if (TIFFScanlineSize64(tiff) !=
        static_cast<std::uint64_t>(layout.BandRowBytes() * rowSamples)) {
        return Reader::Refused;
    }
    return separate ? Reader::Separate : Reader::Contiguous;
}

// The raw file cannot be created or written (a read-only folder, a full disk); always false.
bool CannotGenerate(Host& host)
{
    static const char kCannotGenerate[] =
        "Error: Cannot generate temporary files when reading GeoTIFF. \n"
        "You may wish to copy files from CD-ROM to hard disk.";
    host.ShowMessage(kCannotGenerate);
    return false;
}

// Where the readers put their bands: band k of the raw file starts at k x band bytes.
class RawBands {
public:
    RawBands(const RawFile& raw, const InputLayout& layout) : m_raw(raw), m_layout(layout) {}

    // Writes rows of band k starting at firstRow; false after the message when the disk refuses.
    bool WriteRows(int k, std::int64_t firstRow, std::int64_t byteCount, const std::uint8_t* bytes,
                   Host& host) const
    {
        const std::int64_t offset = k * m_layout.BandBytes() + firstRow * m_layout.BandRowBytes();
        return m_raw.WriteAt(offset, byteCount, bytes) || CannotGenerate(host);
    }

private:
    const RawFile& m_raw;
    const InputLayout& m_layout;
};

// Copies sample `sample` of each of pixelCount interleaved pixels into band.
void GatherSample(const std::uint8_t* pixels, std::int64_t pixelCount, const InputLayout& layout,
                  int sample, std::uint8_t* band)
{
    const std::int64_t pixelBytes = std::int64_t{layout.samples} * layout.bytesPerSample;
    const std::uint8_t* from = pixels + std::int64_t{sample} * layout.bytesPerSample;
    for (std::int64_t i = 0; i < pixelCount; ++i, from += pixelBytes) {
        std::copy(from, from + layout.bytesPerSample, band + i * layout.bytesPerSample);
    }
}

// Rows are decoded into a buffer of at most this many bytes (one row at least), so the memory
// a strip takes follows what is read, never what a header declares.
constexpr std::int64_t kChunkBytes = std::int64_t{8} << 20;

// An uncompressed strip must hold every byte of its rows, within the file: a file declaring
// more than it stores (a crafted or cut file) is refused before anything is read or allocated
// for it.
bool StripsHoldTheirRows(TIFF* tiff, std::int64_t stripRows, std::int64_t rowBytes,
                         std::int64_t height)
{
    std::uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    if (compression != COMPRESSION_NONE) return true;
    struct stat status {};
    if (::fstat(TIFFFileno(tiff), &status) != 0) return false;
    const auto fileBytes = static_cast<std::uint64_t>(status.st_size);
    std::uint32_t index = 0;
    for (std::int64_t first = 0; first < height; first += stripRows, ++index) {
        const auto needed =
            static_cast<std::uint64_t>(std::min(stripRows, height - first) * rowBytes);
        if (index >= TIFFNumberOfStrips(tiff)) return false;
        const std::uint64_t offset = TIFFGetStrileOffset(tiff, index);
        if (TIFFGetStrileByteCount(tiff, index) < needed || offset > fileBytes ||
            fileBytes - offset < needed) {
            return false;
        }
    }
    return true;
}

// Decodes the strips in order (the last one holding the remaining rows), row by row in chunks
// of bounded size, and writes the wanted samples of their rows to the wanted bands. A strip
// that holds fewer bytes than its rows need (a truncated or inconsistent file) ends the
// reading.
bool ReadContiguous(TIFF* tiff, const InputLayout& layout, const std::vector<int>& wanted,
                    const RawBands& bands, Host& host)
{
    std::uint32_t rowsPerStrip = 0;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    const std::int64_t stripRows = std::clamp<std::int64_t>(rowsPerStrip, 1, layout.height);
    const std::int64_t rowBytes = layout.BandRowBytes() * layout.samples;
    if (!StripsHoldTheirRows(tiff, stripRows, rowBytes, layout.height)) {
        host.ShowMessage(kErrorReading);
        return false;
    }
    const std::int64_t chunkRows = std::clamp<std::int64_t>(kChunkBytes / rowBytes, 1, stripRows);
    std::vector<std::uint8_t> chunk;
    std::vector<std::uint8_t> band;
    if (!TryAllocate(chunk, chunkRows * rowBytes, host, kErrorReading)) return false;
    if (layout.samples > 1 &&
        !TryAllocate(band, chunkRows * layout.BandRowBytes(), host, kErrorReading)) {
        return false;
    }
    for (std::int64_t strip = 0; strip < layout.height; strip += stripRows) {
        host.PumpPendingMessages();
        const std::int64_t stripEnd = std::min(strip + stripRows, layout.height);
        for (std::int64_t first = strip; first < stripEnd; first += chunkRows) {
            const std::int64_t rows = std::min(chunkRows, stripEnd - first);
            for (std::int64_t r = 0; r < rows; ++r) {
                if (TIFFReadScanline(tiff, chunk.data() + r * rowBytes,
                                     static_cast<std::uint32_t>(first + r), 0) < 0) {
                    host.ShowMessage(kErrorReading);
                    return false;
                }
            }
            SwapRawSamples(chunk.data(), static_cast<std::size_t>(rows * rowBytes),
                           layout.bytesPerSample);
            for (std::size_t k = 0; k < wanted.size(); ++k) {
                const std::uint8_t* rowsOfBand = chunk.data();
                if (layout.samples > 1) {
                    GatherSample(chunk.data(), rows * layout.width, layout, wanted[k], band.data());
                    rowsOfBand = band.data();
                }
                const std::int64_t bytes = rows * layout.BandRowBytes();
                if (!bands.WriteRows(static_cast<int>(k), first, bytes, rowsOfBand, host))
                    return false;
            }
        }
    }
    return true;
}

// Reads every row of each wanted plane, plane after plane, with one scanline buffer.
bool ReadSeparate(TIFF* tiff, const InputLayout& layout, const std::vector<int>& wanted,
                  const RawBands& bands, Host& host)
{
    std::vector<std::uint8_t> line;
    if (!TryAllocate(line, layout.BandRowBytes(), host, kErrorReading)) return false;
    for (std::size_t k = 0; k < wanted.size(); ++k) {
        const auto plane = static_cast<std::uint16_t>(wanted[k]);
        for (std::int64_t row = 0; row < layout.height; ++row) {
            host.PumpPendingMessages();
            if (TIFFReadScanline(tiff, line.data(), static_cast<std::uint32_t>(row), plane) < 0) {
                host.ShowMessage(kErrorReading);
                return false;
            }
            SwapRawSamples(line.data(), line.size(), layout.bytesPerSample);
            const std::int64_t bytes = layout.BandRowBytes();
            if (!bands.WriteRows(static_cast<int>(k), row, bytes, line.data(), host)) return false;
        }
    }
    return true;
}

int Extract(const std::string& geoTiffPath, const std::string& rawPath, int sampleIndex, Host& host)
{
    const TiffPtr tiff = OpenGeoTiff(geoTiffPath, "r");
    InputLayout layout;
    if (!tiff || !ReadLayout(tiff.get(), layout)) {
        host.ShowMessage(kErrorReading);
        return 0;
    }
    const Reader reader = ChooseReader(tiff.get(), layout);
    if (reader == Reader::Refused) {
        host.ShowMessage(kCannotReadThisGeoTiff);
        return 0;
    }
    std::vector<int> wanted;
    if (sampleIndex == kAllSamples) {
        for (int sample = 0; sample < layout.samples; ++sample) wanted.push_back(sample);
    } else if (sampleIndex >= 0 && sampleIndex < layout.samples) {
        wanted.push_back(sampleIndex);
    } else {
        host.ShowMessage(kErrorReading);
        return 0;
    }
    RawFile raw;
    if (!raw.CreateForReadWrite(rawPath)) {
        CannotGenerate(host);
        return 0;
    }
    RemoveUnlessKept partial(rawPath);
    const RawBands bands(raw, layout);
    const bool done = reader == Reader::Contiguous
                          ? ReadContiguous(tiff.get(), layout, wanted, bands, host)
                          : ReadSeparate(tiff.get(), layout, wanted, bands, host);
    if (!done) return 0;
    partial.Keep();
    return 1;
}

}  // namespace

StripReaderVerdict JudgeForStripReader(const std::string& path)
{
    const TiffPtr tiff = OpenGeoTiff(path, "r");
    InputLayout layout;
    if (!tiff || !ReadLayout(tiff.get(), layout)) return StripReaderVerdict::Damaged;
    std::uint16_t format = SAMPLEFORMAT_UINT;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLEFORMAT, &format);
    // Floating-point samples of 16 bits would be copied as integers: another sample type.
    if (format == SAMPLEFORMAT_IEEEFP || ChooseReader(tiff.get(), layout) == Reader::Refused)
        return StripReaderVerdict::Layout;
    return StripReaderVerdict::Takes;
}

int ExtractGeoTiff(const std::string& geoTiffPath, const std::string& rawPath, Host& host)
{
    return Extract(geoTiffPath, rawPath, kAllSamples, host);
}

int ExtractGeoTiffSample(const std::string& geoTiffPath, const std::string& rawPath,
                         int sampleIndex, Host& host)
{
    return Extract(geoTiffPath, rawPath, sampleIndex, host);
}

}  // namespace lumesta
