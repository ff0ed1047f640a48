#include "raster/input_extract.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/allocate.h"
#include "raster/gdal/gdal_source.h"
#include "raster/geotiff/geotiff_extract.h"
#include "raster/geotiff/geotiff_support.h"
#include "raster/raw_file.h"
#include "raster/reader_choice.h"

namespace lumesta {
namespace {

// Rows are read into a float buffer of about this size (one row at least).
constexpr std::int64_t kStripFloats = std::int64_t{2} << 20;

// A sample within the type's range: GDAL may hand over values a file declares outside it (a
// VRT's no-data value fills its empty areas whatever the band's type); NaN gives 0.
float InRange(float value, SampleType type)
{
    if (std::isnan(value)) return 0.0f;
    const float low = type == SampleType::Int16 ? -32768.0f : 0.0f;
    const float high = type == SampleType::UInt8   ? 255.0f
                       : type == SampleType::Int16 ? 32767.0f
                                                   : 65535.0f;
    return std::clamp(value, low, high);
}

// The samples of a strip as the raw file stores them: bytes, or 16-bit little-endian.
void ToRawBytes(const std::vector<float>& samples, std::int64_t count, SampleType type,
                std::vector<std::uint8_t>& bytes)
{
    for (std::int64_t i = 0; i < count; ++i) {
        const float value = InRange(samples[static_cast<std::size_t>(i)], type);
        if (type == SampleType::UInt8) {
            bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value);
            continue;
        }
        const auto word = type == SampleType::Int16
                              ? static_cast<std::uint16_t>(static_cast<std::int16_t>(value))
                              : static_cast<std::uint16_t>(value);
        bytes[static_cast<std::size_t>(2 * i)] = static_cast<std::uint8_t>(word & 0xff);
        bytes[static_cast<std::size_t>(2 * i + 1)] = static_cast<std::uint8_t>(word >> 8);
    }
}

bool CopyBand(RasterSource& source, int band, std::int64_t bandStart, const RawFile& raw,
              const std::string& rawPath, Host& host)
{
    const RasterDescription& d = source.Description();
    const int sampleBytes = SampleBytes(d.type);
    const int rows =
        static_cast<int>(std::clamp<std::int64_t>(kStripFloats / d.width, 1, d.height));
    const std::int64_t strip = static_cast<std::int64_t>(rows) * d.width;
    std::vector<float> samples;
    std::vector<std::uint8_t> bytes;
    if (!TryAllocate(samples, strip, host) || !TryAllocate(bytes, strip * sampleBytes, host))
        return false;
    for (int y = 0; y < d.height; y += rows) {
        host.PumpPendingMessages();
        const int count = std::min(rows, d.height - y);
        if (!source.ReadWindow(band, SampleWindow{0, y, d.width, count, 1}, samples.data(),
                               nullptr)) {
            host.ShowMessage(source.ReadError());
            return false;
        }
        const std::int64_t n = static_cast<std::int64_t>(count) * d.width;
        ToRawBytes(samples, n, d.type, bytes);
        const std::int64_t offset =
            bandStart + static_cast<std::int64_t>(y) * d.width * sampleBytes;
        if (!raw.WriteAt(offset, n * sampleBytes, bytes.data())) {
            host.ShowMessage("Cannot write the temporary file " + rawPath + ".");
            return false;
        }
    }
    return true;
}

int ExtractThroughGdal(const std::string& path, const std::string& rawPath, int band, Host& host)
{
    std::string error;
    const std::unique_ptr<RasterSource> source = OpenGdalSource(path, error);
    if (!source) {
        host.ShowMessage(error);
        return 0;
    }
    const RasterDescription& d = source->Description();
    if (band >= d.bands) {
        host.ShowMessage(path + " has no band " + std::to_string(band + 1) + ".");
        return 0;
    }
    if (d.type != SampleType::UInt8 && d.type != SampleType::UInt16 &&
        d.type != SampleType::Int16) {
        host.ShowMessage(path + " holds " + SampleTypeName(d.type) +
                         " samples: only 8- and 16-bit integer samples can be extracted.");
        return 0;
    }
    RawFile raw;
    if (!raw.CreateForReadWrite(rawPath)) {
        host.ShowMessage("Cannot write the temporary file " + rawPath + ".");
        return 0;
    }
    RemoveUnlessKept partial(rawPath);
    const std::int64_t bandBytes =
        static_cast<std::int64_t>(d.width) * d.height * SampleBytes(d.type);
    const int first = band < 0 ? 0 : band;
    const int last = band < 0 ? d.bands - 1 : band;
    for (int b = first; b <= last; ++b) {
        if (!CopyBand(*source, b, (b - first) * bandBytes, raw, rawPath, host)) return 0;
    }
    if (!raw.Close()) {
        host.ShowMessage("Cannot write the temporary file " + rawPath + ".");
        return 0;
    }
    partial.Keep();
    return 1;
}

}  // namespace

int ExtractInputBands(const std::string& path, const std::string& rawPath, int band, Host& host)
{
    if (ChooseReader(path) == ReaderKind::Gdal)
        return ExtractThroughGdal(path, rawPath, band, host);
    return band < 0 ? ExtractGeoTiff(path, rawPath, host)
                    : ExtractGeoTiffSample(path, rawPath, band, host);
}

}  // namespace lumesta
