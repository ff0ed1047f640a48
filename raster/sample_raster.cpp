#include "raster/sample_raster.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/allocate.h"
#include "raster/gdal/gdal_source.h"
#include "raster/raw_file.h"
#include "raster/tiff_handle.h"

namespace lumesta {
namespace {

template <typename T>
double Load(const unsigned char* bytes, bool swap)
{
    unsigned char copy[sizeof(T)];
    std::memcpy(copy, bytes, sizeof(T));
    if (swap) std::reverse(copy, copy + sizeof(T));
    T value;
    std::memcpy(&value, copy, sizeof(T));
    return static_cast<double>(value);
}

template <typename T>
void LoadRow(const unsigned char* first, std::int64_t stride, std::int64_t count, bool swap,
             double* out)
{
    for (std::int64_t x = 0; x < count; ++x) out[x] = Load<T>(first + x * stride, swap);
}

// The samples of one row, the type decided once per row.
void LoadSamples(SampleType type, const unsigned char* first, std::int64_t stride,
                 std::int64_t count, bool swap, double* out)
{
    switch (type) {
        case SampleType::UInt8:
            LoadRow<std::uint8_t>(first, stride, count, false, out);
            break;
        case SampleType::Int8:
            LoadRow<std::int8_t>(first, stride, count, false, out);
            break;
        case SampleType::UInt16:
            LoadRow<std::uint16_t>(first, stride, count, swap, out);
            break;
        case SampleType::Int16:
            LoadRow<std::int16_t>(first, stride, count, swap, out);
            break;
        case SampleType::UInt32:
            LoadRow<std::uint32_t>(first, stride, count, swap, out);
            break;
        case SampleType::Int32:
            LoadRow<std::int32_t>(first, stride, count, swap, out);
            break;
        case SampleType::UInt64:
            LoadRow<std::uint64_t>(first, stride, count, swap, out);
            break;
        case SampleType::Int64:
            LoadRow<std::int64_t>(first, stride, count, swap, out);
            break;
        case SampleType::Float32:
            LoadRow<float>(first, stride, count, swap, out);
            break;
        case SampleType::Float64:
            LoadRow<double>(first, stride, count, swap, out);
            break;
    }
}

bool MachineIsBigEndian()
{
    const std::uint16_t probe = 1;
    return *reinterpret_cast<const unsigned char*>(&probe) == 0;
}

// True when the TIFF open now is still the one layout describes: a file replaced since it was
// described would be read with another layout, past the end of its strips.
bool SameTiffLayout(TIFF* tiff, const RasterLayout& layout)
{
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t samples = 1;
    std::uint16_t bits = 8;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    return width == layout.width && height == layout.height && samples == layout.bands &&
           bits == 8 * SampleBytes(layout.type) && !TIFFIsTiled(tiff);
}

}  // namespace

struct BandRowReader::State {
    RasterLayout layout;
    int band = 0;
    Host* host = nullptr;
    RawFile file;
    TiffPtr tiff;
    std::unique_ptr<RasterSource> gdal;
    std::vector<unsigned char> bytes;
    tstrip_t cachedStrip = static_cast<tstrip_t>(-1);
    std::int64_t cachedBytes = 0;  // decoded bytes of the cached strip
    std::uint32_t rowsPerStrip = 1;
    bool separate = false;
};

BandRowReader::BandRowReader() : m_state(std::make_unique<State>()) {}
BandRowReader::~BandRowReader() = default;

bool BandRowReader::Open(const RasterLayout& layout, int band, Host& host)
{
    State& s = *m_state;
    s.layout = layout;
    s.band = band;
    s.host = &host;
    if (layout.reader == ReaderKind::Gdal) {
        std::string error;
        s.gdal = OpenGdalSource(layout.path, error);
        if (!s.gdal || band < 0 || band >= s.gdal->Description().bands) {
            host.ShowMessage(s.gdal ? "Cannot open " + layout.path + "." : error);
            return false;
        }
        return true;
    }
    if (layout.tiff) {
        s.tiff = OpenGeoTiff(layout.path, "r");
        if (!s.tiff) {
            host.ShowMessage("Cannot open " + layout.path + ".");
            return false;
        }
        if (!SameTiffLayout(s.tiff.get(), layout)) {
            host.ShowMessage(layout.path + " changed while it was being read.");
            return false;
        }
        std::uint16_t planar = PLANARCONFIG_CONTIG;
        TIFFGetFieldDefaulted(s.tiff.get(), TIFFTAG_PLANARCONFIG, &planar);
        s.separate = planar == PLANARCONFIG_SEPARATE;
        TIFFGetFieldDefaulted(s.tiff.get(), TIFFTAG_ROWSPERSTRIP, &s.rowsPerStrip);
        s.rowsPerStrip = std::max<std::uint32_t>(
            1, std::min<std::uint32_t>(s.rowsPerStrip, static_cast<std::uint32_t>(layout.height)));
        return TryAllocate(s.bytes, static_cast<std::int64_t>(TIFFStripSize(s.tiff.get())), host);
    }
    if (!s.file.OpenForReading(layout.path)) {
        host.ShowMessage("Cannot open " + layout.path + ".");
        return false;
    }
    const std::int64_t perPixel = layout.interleave == Interleave::Bip ? layout.bands : 1;
    return TryAllocate(s.bytes, layout.width * perPixel * SampleBytes(layout.type), host);
}

bool BandRowReader::HasOwnMask() const
{
    return m_state->gdal && m_state->gdal->Description().maskBand;
}

bool BandRowReader::ReadMaskRow(std::int64_t y, std::uint8_t* out)
{
    State& s = *m_state;
    const SampleWindow row{0, static_cast<int>(y), static_cast<int>(s.layout.width), 1, 1};
    if (s.gdal && s.gdal->ReadMaskWindow(s.band, row, out)) return true;
    s.host->ShowMessage(s.gdal && !s.gdal->ReadError().empty() ? s.gdal->ReadError()
                                                               : "Error reading " + s.layout.path + ".");
    return false;
}

bool BandRowReader::ReadRow(std::int64_t y, double* out)
{
    State& s = *m_state;
    const RasterLayout& l = s.layout;
    const int size = SampleBytes(l.type);
    std::int64_t stride = size;  // bytes from one sample of the band to the next
    const unsigned char* first = nullptr;
    bool swap = false;
    if (s.gdal) {
        const SampleWindow row{0, static_cast<int>(y), static_cast<int>(l.width), 1, 1};
        if (s.gdal->ReadWindowDouble(s.band, row, out, nullptr)) return true;
        s.host->ShowMessage(s.gdal->ReadError());
        return false;
    }
    if (l.tiff) {
        const tstrip_t strip = TIFFComputeStrip(s.tiff.get(), static_cast<std::uint32_t>(y),
                                                static_cast<tsample_t>(s.separate ? s.band : 0));
        if (strip != s.cachedStrip) {
            s.cachedStrip = static_cast<tstrip_t>(-1);
            s.cachedBytes = TIFFReadEncodedStrip(s.tiff.get(), strip, s.bytes.data(),
                                                 static_cast<tmsize_t>(s.bytes.size()));
            if (s.cachedBytes >= 0) s.cachedStrip = strip;
        }
        const std::int64_t rowSamples = l.width * (s.separate ? 1 : l.bands);
        const std::int64_t rowInStrip = y % s.rowsPerStrip;
        const std::int64_t start = (rowInStrip * rowSamples + (s.separate ? 0 : s.band)) * size;
        if (!s.separate) stride = static_cast<std::int64_t>(size) * l.bands;
        // A strip that decoded short (damaged, or stored in a layout of other row sizes) does
        // not hold the row.
        if (s.cachedStrip != strip || start + (l.width - 1) * stride + size > s.cachedBytes) {
            s.host->ShowMessage("Error reading " + l.path + ".");
            return false;
        }
        first = s.bytes.data() + start;
    } else {
        std::int64_t offset = 0;
        const std::int64_t rowBytes = l.width * size;
        switch (l.interleave) {
            case Interleave::Bsq:
                offset = (s.band * l.height + y) * rowBytes;
                break;
            case Interleave::Bil:
                offset = (y * l.bands + s.band) * rowBytes;
                break;
            case Interleave::Bip:
                offset = y * rowBytes * l.bands;
                break;
        }
        const std::int64_t count = static_cast<std::int64_t>(s.bytes.size());
        if (s.file.ReadAt(l.headerOffset + offset, count, s.bytes.data()) != count) {
            s.host->ShowMessage("Error reading " + l.path + ".");
            return false;
        }
        first = s.bytes.data();
        if (l.interleave == Interleave::Bip) {
            first += static_cast<std::int64_t>(s.band) * size;
            stride = static_cast<std::int64_t>(size) * l.bands;
        }
        swap = l.bigEndian != MachineIsBigEndian();
    }
    LoadSamples(l.type, first, stride, l.width, swap, out);
    return true;
}

}  // namespace lumesta
