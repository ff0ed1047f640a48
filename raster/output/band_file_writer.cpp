#include "raster/output/band_file_writer.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "raster/file_name.h"
#include "raster/output/cog_writer.h"
#include "raster/output/envi_bsq_writer.h"
#include "raster/output/gdal_tiff_writer.h"
#include "raster/raster_source.h"

namespace lumesta {
namespace {

template <typename T>
void StoreRounded(const double* values, std::size_t count, void* out)
{
    constexpr double kLow = static_cast<double>(std::numeric_limits<T>::lowest());
    constexpr double kHigh = static_cast<double>(std::numeric_limits<T>::max());
    T* samples = static_cast<T*>(out);
    for (std::size_t i = 0; i < count; ++i) {
        const double rounded = std::nearbyint(values[i]);
        // NaN takes the low end, as anything below the range does.
        samples[i] = !(rounded >= kLow) ? static_cast<T>(kLow)
                     : rounded >= kHigh ? static_cast<T>(kHigh)
                                        : static_cast<T>(rounded);
    }
}

bool FitsType(double value, SampleType type)
{
    switch (type) {
        case SampleType::UInt8:
            return value >= 0 && value <= 255 && value == std::floor(value);
        case SampleType::UInt16:
            return value >= 0 && value <= 65535 && value == std::floor(value);
        case SampleType::Int16:
            return value >= -32768 && value <= 32767 && value == std::floor(value);
        default:
            // Any float, NaN included; finite doubles beyond the float range are not.
            return std::isnan(value) || std::isinf(value) ||
                   std::fabs(value) <= std::numeric_limits<float>::max();
    }
}

// Why spec cannot be written, or empty.
std::string SpecProblem(const BandFileSpec& spec, std::size_t stagedCount)
{
    const SampleType type = spec.type;
    if (type != SampleType::UInt8 && type != SampleType::UInt16 && type != SampleType::Int16 &&
        type != SampleType::Float32) {
        return "results are not written as " + SampleTypeName(type) + " samples";
    }
    std::string sizeError;
    if (!CheckImageSize(spec.width, spec.height, spec.bands, sizeError)) return sizeError;
    if (!spec.bandNames.empty() && spec.bandNames.size() != static_cast<std::size_t>(spec.bands))
        return "the band names do not match the band count";
    if (spec.noData && !FitsType(*spec.noData, type))
        return "the no-data value " + ExactNumberText(*spec.noData) + " is not a " +
               SampleTypeName(type) + " sample";
    if (stagedCount != BandFilePaths(spec.format, "name.img").size())
        return "the files to write are not named";
    return {};
}

}  // namespace

std::optional<BandFileFormat> BandFileFormatNamed(const std::string& name)
{
    if (name == "envi") return BandFileFormat::Envi;
    if (name == "geotiff") return BandFileFormat::GeoTiff;
    if (name == "cog") return BandFileFormat::Cog;
    return std::nullopt;
}

std::vector<std::string> BandFilePaths(BandFileFormat format, const std::string& path)
{
    if (format != BandFileFormat::Envi) return {path};
    return {path, WithoutLastFour(path) + ".hdr"};
}

std::string ExactNumberText(double value)
{
    if (std::isnan(value)) return "nan";
    char text[400];  // the longest double in fixed notation has 309 digits before the point
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed).ptr;
    return std::string(text, end);
}

void StoreSamples(const double* values, std::size_t count, SampleType type, void* out)
{
    switch (type) {
        case SampleType::UInt8:
            StoreRounded<std::uint8_t>(values, count, out);
            break;
        case SampleType::UInt16:
            StoreRounded<std::uint16_t>(values, count, out);
            break;
        case SampleType::Int16:
            StoreRounded<std::int16_t>(values, count, out);
            break;
        default: {
            float* samples = static_cast<float*>(out);
            for (std::size_t i = 0; i < count; ++i) samples[i] = static_cast<float>(values[i]);
            break;
        }
    }
}

BandFileWriter::BandFileWriter(const BandFileSpec& spec, std::string shownPath, Host& host)
    : m_spec(spec), m_shownPath(std::move(shownPath)), m_host(host)
{
}

bool BandFileWriter::Fail(const std::string& reason)
{
    m_host.ShowMessage("Cannot write " + m_shownPath + (reason.empty() ? "" : ": " + reason) + ".");
    return false;
}

bool BandFileWriter::CheckComplete()
{
    if (m_rowsWritten == m_spec.height) return true;
    return Fail("only " + std::to_string(m_rowsWritten) + " of its " +
                std::to_string(m_spec.height) + " rows were given");
}

bool BandFileWriter::TakesType(SampleType type)
{
    if (type == m_spec.type) return true;
    return Fail("its samples are " + SampleTypeName(m_spec.type) + ", not " + SampleTypeName(type));
}

bool BandFileWriter::Write(const void* const* bands, int rows)
{
    if (rows < 0 || rows > m_spec.height - m_rowsWritten)
        return Fail("more rows were given than it has");
    if (rows == 0) return true;
    if (!WriteStrip(bands, rows)) return false;
    m_rowsWritten += rows;
    return true;
}

bool BandFileWriter::WriteRows(const double* const* bands, int rows)
{
    if (rows < 0 || rows > m_spec.height - m_rowsWritten)
        return Fail("more rows were given than it has");
    const std::size_t count =
        static_cast<std::size_t>(rows) * static_cast<std::size_t>(m_spec.width);
    m_converted.resize(static_cast<std::size_t>(m_spec.bands));
    m_pointers.resize(static_cast<std::size_t>(m_spec.bands));
    for (std::size_t k = 0; k < m_converted.size(); ++k) {
        m_converted[k].resize(count * static_cast<std::size_t>(SampleBytes(m_spec.type)));
        StoreSamples(bands[k], count, m_spec.type, m_converted[k].data());
        m_pointers[k] = m_converted[k].data();
    }
    return Write(m_pointers.data(), rows);
}

std::unique_ptr<BandFileWriter> OpenBandFileWriter(const BandFileSpec& spec,
                                                   const std::vector<std::string>& stagedPaths,
                                                   const std::string& shownPath, Host& host)
{
    const std::string problem = SpecProblem(spec, stagedPaths.size());
    if (!problem.empty()) {
        host.ShowMessage("Cannot write " + shownPath + ": " + problem + ".");
        return nullptr;
    }
    if (spec.format == BandFileFormat::Envi)
        return OpenEnviBsqWriter(spec, stagedPaths[0], stagedPaths[1], shownPath, host);
    if (spec.format == BandFileFormat::Cog)
        return OpenCogWriter(spec, stagedPaths[0], shownPath, host);
    return OpenGdalTiffWriter(spec, stagedPaths[0], shownPath, host);
}

std::unique_ptr<BandFileWriter> OpenStagedBandFileWriter(const BandFileSpec& spec,
                                                         const std::string& finalPath,
                                                         RunFiles& files, Host& host)
{
    std::vector<std::string> staged;
    for (const std::string& path : BandFilePaths(spec.format, finalPath)) {
        staged.push_back(files.StageOutput(path));
        if (staged.back().empty()) {
            host.ShowMessage("Cannot write " + path + ".");
            return nullptr;
        }
    }
    return OpenBandFileWriter(spec, staged, finalPath, host);
}

}  // namespace lumesta
