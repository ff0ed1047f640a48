#include "raster/sample_tiff_writer.h"

#include <tiffio.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "raster/tiff_handle.h"

namespace lumesta {
namespace {

template <typename T>
void Store(double value, unsigned char* out)
{
    T sample;
    if constexpr (std::is_floating_point_v<T>) {
        sample = static_cast<T>(value);
    } else {
        const double rounded = std::nearbyint(value);
        const double low = static_cast<double>(std::numeric_limits<T>::lowest());
        const double high = static_cast<double>(std::numeric_limits<T>::max());
        sample = !(rounded >= low) ? std::numeric_limits<T>::lowest()
                 : rounded >= high ? std::numeric_limits<T>::max()
                                   : static_cast<T>(rounded);
    }
    std::memcpy(out, &sample, sizeof(T));
}

void StoreSample(SampleType type, double value, unsigned char* out)
{
    switch (type) {
        case SampleType::UInt8:
            Store<std::uint8_t>(value, out);
            break;
        case SampleType::Int8:
            Store<std::int8_t>(value, out);
            break;
        case SampleType::UInt16:
            Store<std::uint16_t>(value, out);
            break;
        case SampleType::Int16:
            Store<std::int16_t>(value, out);
            break;
        case SampleType::UInt32:
            Store<std::uint32_t>(value, out);
            break;
        case SampleType::Int32:
            Store<std::int32_t>(value, out);
            break;
        case SampleType::UInt64:
            Store<std::uint64_t>(value, out);
            break;
        case SampleType::Int64:
            Store<std::int64_t>(value, out);
            break;
        case SampleType::Float32:
            Store<float>(value, out);
            break;
        case SampleType::Float64:
            Store<double>(value, out);
            break;
    }
}

std::uint16_t FormatOf(SampleType type)
{
    if (!IsIntegerType(type)) return SAMPLEFORMAT_IEEEFP;
    const bool isSigned = type == SampleType::Int8 || type == SampleType::Int16 ||
                          type == SampleType::Int32 || type == SampleType::Int64;
    return isSigned ? SAMPLEFORMAT_INT : SAMPLEFORMAT_UINT;
}

}  // namespace

struct SampleTiffWriter::State {
    std::string path;
    TiffPtr tiff;
    SampleType type = SampleType::Float32;
    std::int64_t width = 0;
    std::vector<unsigned char> row;
    bool ok = true;
    bool finished = false;
};

SampleTiffWriter::SampleTiffWriter() : m_state(std::make_unique<State>()) {}

SampleTiffWriter::~SampleTiffWriter()
{
    if (m_state->tiff && !m_state->finished) {
        m_state->tiff.reset();
        std::remove(m_state->path.c_str());
    }
}

bool SampleTiffWriter::Create(const std::string& path, std::int64_t width, std::int64_t height,
                              int bands, SampleType type)
{
    State& s = *m_state;
    s.path = path;
    s.type = type;
    s.width = width;
    const bool big = width * height * bands * SampleBytes(type) > (std::int64_t{1} << 31);
    s.tiff = OpenGeoTiff(path, big ? "w8" : "w");
    if (!s.tiff) return false;
    TIFF* t = s.tiff.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, static_cast<std::uint16_t>(bands));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, static_cast<std::uint16_t>(8 * SampleBytes(type)));
    TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, FormatOf(type));
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_SEPARATE);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 1u);
    if (bands > 1) {
        std::vector<std::uint16_t> extra(static_cast<std::size_t>(bands - 1),
                                         EXTRASAMPLE_UNSPECIFIED);
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, static_cast<std::uint16_t>(bands - 1), extra.data());
    }
    s.row.resize(static_cast<std::size_t>(width * SampleBytes(type)));
    return true;
}

bool SampleTiffWriter::WriteRow(int band, std::int64_t row, const double* samples)
{
    State& s = *m_state;
    if (!s.ok || !s.tiff) return false;
    const int size = SampleBytes(s.type);
    for (std::int64_t x = 0; x < s.width; ++x)
        StoreSample(s.type, samples[x], s.row.data() + x * size);
    s.ok = TIFFWriteScanline(s.tiff.get(), s.row.data(), static_cast<std::uint32_t>(row),
                             static_cast<tsample_t>(band)) == 1;
    return s.ok;
}

bool SampleTiffWriter::Finish()
{
    State& s = *m_state;
    if (!s.tiff) return false;
    if (s.ok) s.ok = TIFFFlush(s.tiff.get()) == 1;
    s.tiff.reset();
    s.finished = s.ok;
    if (!s.ok) std::remove(s.path.c_str());
    return s.ok;
}

bool WriteSampleTiff(const std::string& path, std::int64_t width, std::int64_t height,
                     const std::vector<std::vector<double>>& bands, SampleType type)
{
    SampleTiffWriter writer;
    if (!writer.Create(path, width, height, static_cast<int>(bands.size()), type)) return false;
    for (std::size_t band = 0; band < bands.size(); ++band) {
        for (std::int64_t row = 0; row < height; ++row) {
            if (!writer.WriteRow(static_cast<int>(band), row, bands[band].data() + row * width)) {
                return false;
            }
        }
    }
    return writer.Finish();
}

}  // namespace lumesta
