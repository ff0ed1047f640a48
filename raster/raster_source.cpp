#include "raster/raster_source.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "raster/raw_file.h"
#include "raster/sample_convert.h"

namespace lumesta {
namespace {

// Above this span one row is read sample by sample instead of in one piece.
constexpr std::int64_t kMaxRowSpan = 4 << 20;
// Bytes of whole rows read at once where they follow each other in the file.
constexpr std::int64_t kWholeRowsBytes = std::int64_t{1} << 20;

std::int64_t FileLength(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? static_cast<std::int64_t>(status.st_size) : -1;
}

class RawSource : public RasterSource {
public:
    RawSource(RawFile file, RasterDescription description, const RawLayout& layout,
              std::int64_t fileLength)
        : m_file(std::move(file)), m_layout(layout), m_fileLength(fileLength)
    {
        m_description = std::move(description);
        m_sampleBytes = SampleBytes(m_description.type);
        m_description.availableRows = CountAvailableRows();
        if (m_description.availableRows < m_description.height) {
            m_description.missingNote = "The file ends after " +
                                        std::to_string(m_description.availableRows) + " of " +
                                        std::to_string(m_description.height) +
                                        " rows; the rest is missing and shows black.";
        }
    }

    bool ReadWindow(int band, const SampleWindow& window, float* out,
                    const std::atomic<bool>* cancel) override
    {
        std::vector<std::uint8_t> bytes;
        for (int j = 0; j < window.rows;) {
            if (cancel && cancel->load()) return false;
            float* row = out + static_cast<std::int64_t>(j) * window.columns;
            const int rows = WholeRowsAt(window, j);
            if (rows > 0) {
                ReadWholeRows(band, window.y0 + j, rows, row, bytes);
                j += rows;
                continue;
            }
            ReadRow(band, window, window.y0 + j * window.step, row, bytes);
            ++j;
        }
        return true;
    }

    std::optional<double> ReadValue(int band, int x, int y) override
    {
        const RasterDescription& d = m_description;
        if (band < 0 || band >= d.bands || x < 0 || y < 0 || x >= d.width || y >= d.height)
            return {};
        std::uint8_t sample[8] = {};
        if (m_file.ReadAt(Offset(band, y, x), m_sampleBytes, sample) != m_sampleBytes) return {};
        return SampleValue(sample, d.type, m_layout.bigEndian);
    }

private:
    std::int64_t Offset(int band, int y, int x) const
    {
        return m_layout.firstSample + band * m_layout.bandStride + y * m_layout.rowStride +
               x * m_layout.pixelStride;
    }

    // True when the first rows rows of every band lie inside the file.
    bool RowsComplete(int rows) const
    {
        if (rows <= 0) return true;
        for (int band = 0; band < m_description.bands; ++band) {
            const std::int64_t end =
                Offset(band, rows - 1, m_description.width - 1) + m_sampleBytes;
            if (end > m_fileLength || Offset(band, rows - 1, 0) < 0) return false;
        }
        return true;
    }

    // Rows that the file holds completely. Bottom-up files lose their top rows first, so for
    // them a short file counts no complete row.
    int CountAvailableRows() const
    {
        const int height = m_description.height;
        if (RowsComplete(height)) return height;
        if (m_layout.rowStride < 0) return 0;
        int low = 0;
        int high = height;
        while (high - low > 1) {
            const int middle = low + (high - low) / 2;
            (RowsComplete(middle) ? low : high) = middle;
        }
        return low;
    }

    // How many window rows from row j on lie one after the other in the file as whole rows of
    // consecutive little-endian 8- or 16-bit samples, up to kWholeRowsBytes of them; 0 when
    // row j does not, or is longer than that (it is then read alone).
    int WholeRowsAt(const SampleWindow& window, int j) const
    {
        const RasterDescription& d = m_description;
        const std::int64_t rowBytes = static_cast<std::int64_t>(d.width) * m_sampleBytes;
        const int y = window.y0 + j * window.step;
        const bool packed = d.type == SampleType::UInt8 || d.type == SampleType::Int16 ||
                            d.type == SampleType::UInt16;
        if (window.step != 1 || window.x0 != 0 || window.columns != d.width || !packed ||
            m_layout.bigEndian || m_layout.pixelStride != m_sampleBytes ||
            m_layout.rowStride != rowBytes || rowBytes > kWholeRowsBytes || y < 0 ||
            y >= d.height) {
            return 0;
        }
        const std::int64_t most = kWholeRowsBytes / rowBytes;
        return static_cast<int>(std::min<std::int64_t>(
            {most, window.rows - j, static_cast<std::int64_t>(d.height) - y}));
    }

    // Image rows y .. y + rows − 1, whole and consecutive in the file (WholeRowsAt), in one
    // read; bytes the file is too short to hold read as 0, as ReadRow reads them.
    void ReadWholeRows(int band, int y, int rows, float* out, std::vector<std::uint8_t>& bytes)
    {
        const int width = m_description.width;
        const std::int64_t rowBytes = static_cast<std::int64_t>(width) * m_sampleBytes;
        const std::int64_t span = rows * rowBytes;
        bytes.resize(static_cast<std::size_t>(span));
        const std::int64_t got =
            std::max<std::int64_t>(0, m_file.ReadAt(Offset(band, y, 0), span, bytes.data()));
        std::fill(bytes.begin() + std::min(got, span), bytes.end(), 0);
        for (int j = 0; j < rows; ++j) {
            ConvertPacked(bytes.data() + j * rowBytes, width, m_description.type,
                          out + static_cast<std::int64_t>(j) * width);
        }
    }

    // Window row y into row (window.columns values): samples outside the image, and those
    // the file is too short to hold, read as 0.
    void ReadRow(int band, const SampleWindow& window, int y, float* row,
                 std::vector<std::uint8_t>& bytes)
    {
        const RasterDescription& d = m_description;
        if (y < 0 || y >= d.height) {
            std::fill(row, row + window.columns, 0.0f);
            return;
        }
        // The columns of the window inside the image: i from first to last.
        const int first = window.x0 >= 0 ? 0 : (-window.x0 + window.step - 1) / window.step;
        int last = window.columns - 1;
        if (window.x0 + static_cast<std::int64_t>(last) * window.step >= d.width) {
            last = d.width - 1 - window.x0 < 0 ? -1 : (d.width - 1 - window.x0) / window.step;
        }
        if (last < first) {
            std::fill(row, row + window.columns, 0.0f);
            return;
        }
        std::fill(row, row + first, 0.0f);
        std::fill(row + last + 1, row + window.columns, 0.0f);
        const int xFirst = window.x0 + first * window.step;
        const std::int64_t pixelBytes = m_layout.pixelStride * window.step;
        const std::int64_t span = (last - first) * pixelBytes + m_sampleBytes;
        if (span > kMaxRowSpan) {
            for (int i = first; i <= last; ++i) {
                row[i] =
                    static_cast<float>(ReadValue(band, window.x0 + i * window.step, y).value_or(0));
            }
            return;
        }
        bytes.resize(static_cast<std::size_t>(span));
        const std::int64_t got =
            std::max<std::int64_t>(0, m_file.ReadAt(Offset(band, y, xFirst), span, bytes.data()));
        std::fill(bytes.begin() + std::min(got, span), bytes.end(), 0);
        if (pixelBytes == m_sampleBytes && !m_layout.bigEndian &&
            ConvertPacked(bytes.data(), last - first + 1, d.type, row + first)) {
            return;
        }
        for (int i = first; i <= last; ++i) {
            row[i] = static_cast<float>(
                SampleValue(bytes.data() + (i - first) * pixelBytes, d.type, m_layout.bigEndian));
        }
    }

    // Consecutive little-endian 8- and 16-bit samples, converted in one typed loop (the rows
    // of the fusion runs); false for the other types, which take SampleValue.
    static bool ConvertPacked(const std::uint8_t* bytes, int count, SampleType type, float* row)
    {
        const auto convert = [&](auto sample) {
            for (int i = 0; i < count; ++i) {
                std::memcpy(&sample, bytes + static_cast<std::size_t>(i) * sizeof sample,
                            sizeof sample);
                row[i] = static_cast<float>(sample);
            }
        };
        if (type == SampleType::UInt8) {
            convert(std::uint8_t{});
        } else if (type == SampleType::Int16) {
            convert(std::int16_t{});
        } else if (type == SampleType::UInt16) {
            convert(std::uint16_t{});
        } else {
            return false;
        }
        return true;
    }

    RawFile m_file;
    RawLayout m_layout;
    std::int64_t m_fileLength = 0;
    int m_sampleBytes = 1;
};

class StackedSource : public RasterSource {
public:
    StackedSource(std::vector<std::unique_ptr<RasterSource>> parts, const std::string& format,
                  std::optional<ReaderKind> reader)
        : m_parts(std::move(parts))
    {
        m_description = m_parts.front()->Description();
        m_description.format = format;
        if (reader) m_description.reader = *reader;
        m_description.bands = 0;
        m_description.byteSize = 0;
        m_description.dataPaths.clear();
        m_description.headerPaths.clear();
        m_description.bandNames.clear();
        for (const auto& part : m_parts) {
            const RasterDescription& d = part->Description();
            for (int band = 0; band < d.bands; ++band) m_bands.push_back({part.get(), band});
            m_description.bands += d.bands;
            m_description.availableRows = std::min(m_description.availableRows, d.availableRows);
            if (m_description.missingNote.empty()) m_description.missingNote = d.missingNote;
            // Several bands may come from one file: each file counts once.
            const auto isNew = [](const std::vector<std::string>& list, const std::string& path) {
                return std::find(list.begin(), list.end(), path) == list.end();
            };
            if (!d.dataPaths.empty() && isNew(m_description.dataPaths, d.dataPaths.front())) {
                m_description.byteSize += d.byteSize;
            }
            for (const auto& path : d.dataPaths) {
                if (isNew(m_description.dataPaths, path)) m_description.dataPaths.push_back(path);
            }
            for (const auto& path : d.headerPaths) {
                if (isNew(m_description.headerPaths, path))
                    m_description.headerPaths.push_back(path);
            }
            for (const auto& name : d.bandNames) m_description.bandNames.push_back(name);
        }
    }

    bool ReadWindow(int band, const SampleWindow& window, float* out,
                    const std::atomic<bool>* cancel) override
    {
        if (band < 0 || band >= static_cast<int>(m_bands.size())) return false;
        return Took(*m_bands[band].part,
                    m_bands[band].part->ReadWindow(m_bands[band].band, window, out, cancel));
    }

    // Each band's validity is its own file's: its no-data value, its GDAL masks.
    bool ReadMaskWindow(int band, const SampleWindow& window, std::uint8_t* out) override
    {
        if (band < 0 || band >= static_cast<int>(m_bands.size())) return false;
        return Took(*m_bands[band].part,
                    m_bands[band].part->ReadMaskWindow(m_bands[band].band, window, out));
    }

    std::optional<double> ReadValue(int band, int x, int y) override
    {
        if (band < 0 || band >= static_cast<int>(m_bands.size())) return {};
        return m_bands[band].part->ReadValue(m_bands[band].band, x, y);
    }

private:
    // A part's read result, with its reason when it failed.
    bool Took(const RasterSource& part, bool ok)
    {
        m_readError = ok ? std::string() : part.ReadError();
        return ok;
    }

    struct BandOf {
        RasterSource* part;
        int band;
    };
    std::vector<std::unique_ptr<RasterSource>> m_parts;
    std::vector<BandOf> m_bands;
};

class PickedSource : public RasterSource {
public:
    PickedSource(std::shared_ptr<RasterSource> inner, std::vector<int> bands,
                 const std::vector<std::string>& given)
        : m_inner(std::move(inner)), m_bands(std::move(bands))
    {
        m_description = m_inner->Description();
        m_description.bands = static_cast<int>(m_bands.size());
        m_description.bandNames.clear();
        const auto& names = m_inner->Description().bandNames;
        for (std::size_t i = 0; i < m_bands.size(); ++i) {
            const int band = m_bands[i];
            if (i < given.size() && !given[i].empty()) {
                m_description.bandNames.push_back(given[i]);
            } else {
                m_description.bandNames.push_back(band < static_cast<int>(names.size())
                                                      ? names[band]
                                                      : "Band " + std::to_string(band + 1));
            }
        }
    }

    bool ReadWindow(int band, const SampleWindow& window, float* out,
                    const std::atomic<bool>* cancel) override
    {
        if (band < 0 || band >= static_cast<int>(m_bands.size())) return false;
        const bool ok = m_inner->ReadWindow(m_bands[band], window, out, cancel);
        m_readError = ok ? std::string() : m_inner->ReadError();
        return ok;
    }

    bool ReadMaskWindow(int band, const SampleWindow& window, std::uint8_t* out) override
    {
        if (band < 0 || band >= static_cast<int>(m_bands.size())) return false;
        const bool ok = m_inner->ReadMaskWindow(m_bands[band], window, out);
        m_readError = ok ? std::string() : m_inner->ReadError();
        return ok;
    }

    std::optional<double> ReadValue(int band, int x, int y) override
    {
        if (band < 0 || band >= static_cast<int>(m_bands.size())) return {};
        return m_inner->ReadValue(m_bands[band], x, y);
    }

private:
    std::shared_ptr<RasterSource> m_inner;
    std::vector<int> m_bands;
};

class ResampledSource : public RasterSource {
public:
    ResampledSource(std::unique_ptr<RasterSource> inner, int width, int height)
        : m_inner(std::move(inner))
    {
        const RasterDescription& d = m_inner->Description();
        m_description = d;
        m_description.width = width;
        m_description.height = height;
        m_description.availableRows = static_cast<int>(static_cast<std::int64_t>(d.availableRows) *
                                                       height / std::max(d.height, 1));
        m_description.layout = d.layout + ", shown on a " + std::to_string(width) + " x " +
                               std::to_string(height) + " grid by nearest neighbour";
        if (d.geo.valid) m_description.geo = d.geo.Regridded(d.width, d.height, width, height);
    }

    bool ReadWindow(int band, const SampleWindow& window, float* out,
                    const std::atomic<bool>* cancel) override
    {
        std::vector<int> columns(static_cast<std::size_t>(window.columns));
        for (int i = 0; i < window.columns; ++i) columns[i] = InnerX(window.x0 + i * window.step);
        int low = m_inner->Description().width;
        int high = -1;
        for (const int x : columns) {
            if (x >= 0) {
                low = std::min(low, x);
                high = std::max(high, x);
            }
        }
        std::vector<float> innerRow(static_cast<std::size_t>(std::max(high - low + 1, 1)));
        for (int j = 0; j < window.rows; ++j) {
            if (cancel && cancel->load()) return false;
            float* row = out + static_cast<std::int64_t>(j) * window.columns;
            std::fill(row, row + window.columns, 0.0f);
            const int y = InnerY(window.y0 + j * window.step);
            if (y < 0 || high < 0) continue;
            const SampleWindow source{low, y, high - low + 1, 1, 1};
            if (!m_inner->ReadWindow(band, source, innerRow.data(), cancel)) return false;
            for (int i = 0; i < window.columns; ++i) {
                if (columns[i] >= 0) row[i] = innerRow[static_cast<std::size_t>(columns[i] - low)];
            }
        }
        return true;
    }

    std::optional<double> ReadValue(int band, int x, int y) override
    {
        const int innerX = InnerX(x);
        const int innerY = InnerY(y);
        if (innerX < 0 || innerY < 0) return {};
        return m_inner->ReadValue(band, innerX, innerY);
    }

private:
    int InnerX(int x) const
    {
        if (x < 0 || x >= m_description.width) return -1;
        return static_cast<int>(static_cast<std::int64_t>(x) * m_inner->Description().width /
                                m_description.width);
    }
    int InnerY(int y) const
    {
        if (y < 0 || y >= m_description.height) return -1;
        return static_cast<int>(static_cast<std::int64_t>(y) * m_inner->Description().height /
                                m_description.height);
    }

    std::unique_ptr<RasterSource> m_inner;
};

}  // namespace

bool RasterSource::ReadWindowDouble(int band, const SampleWindow& window, double* out,
                                    const std::atomic<bool>* cancel)
{
    // Row by row through a float row, so no second window-sized buffer is made.
    std::vector<float> row(static_cast<std::size_t>(std::max(window.columns, 0)));
    for (int j = 0; j < window.rows; ++j) {
        const SampleWindow one{window.x0, window.y0 + j * window.step, window.columns, 1,
                               window.step};
        if (!ReadWindow(band, one, row.data(), cancel)) return false;
        std::copy(row.begin(), row.end(), out + static_cast<std::int64_t>(j) * window.columns);
    }
    return true;
}

bool RasterSource::ReadMaskWindow(int band, const SampleWindow& window, std::uint8_t* out)
{
    const std::int64_t count = static_cast<std::int64_t>(window.columns) * window.rows;
    const RasterDescription& d = m_description;
    const auto inside = [&](int i, int j) {
        const std::int64_t x = window.x0 + static_cast<std::int64_t>(i) * window.step;
        const std::int64_t y = window.y0 + static_cast<std::int64_t>(j) * window.step;
        return x >= 0 && y >= 0 && x < d.width && y < d.height;
    };
    std::vector<float> samples;
    if (d.noData) {
        samples.resize(static_cast<std::size_t>(count));
        if (!ReadWindow(band, window, samples.data(), nullptr)) return false;
    }
    const float noData = d.noData ? static_cast<float>(*d.noData) : 0.0f;
    // A NaN no-data value marks the NaN samples (no NaN equals another).
    const bool nanNoData = d.noData && std::isnan(noData);
    for (int j = 0; j < window.rows; ++j) {
        for (int i = 0; i < window.columns; ++i) {
            const std::int64_t at = static_cast<std::int64_t>(j) * window.columns + i;
            const bool marked =
                d.noData && (nanNoData ? std::isnan(samples[at]) : samples[at] == noData);
            const bool valid = inside(i, j) && !marked;
            out[at] = valid ? 1 : 0;
        }
    }
    return true;
}

bool CheckImageSize(std::int64_t width, std::int64_t height, std::int64_t bands, std::string& error)
{
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (width < 1 || height < 1 || bands < 1) {
        error = "The header gives a size of " + size + " with " + std::to_string(bands) +
                " band(s): an image needs at least one row, one column and one band.";
        return false;
    }
    if (width > kMaxImageSide || height > kMaxImageSide || bands > kMaxImageBands ||
        width * height > kMaxImageSamples / bands) {
        error = "The header gives a size of " + size + " with " + std::to_string(bands) +
                " band(s), too large for a real image.";
        return false;
    }
    return true;
}

std::string SampleTypeName(SampleType type)
{
    switch (type) {
        case SampleType::UInt8:
            return "8-bit unsigned integer";
        case SampleType::Int8:
            return "8-bit signed integer";
        case SampleType::UInt16:
            return "16-bit unsigned integer";
        case SampleType::Int16:
            return "16-bit signed integer";
        case SampleType::UInt32:
            return "32-bit unsigned integer";
        case SampleType::Int32:
            return "32-bit signed integer";
        case SampleType::UInt64:
            return "64-bit unsigned integer";
        case SampleType::Int64:
            return "64-bit signed integer";
        case SampleType::Float32:
            return "32-bit float";
        case SampleType::Float64:
            return "64-bit float";
    }
    return {};
}

std::unique_ptr<RasterSource> OpenRawSource(const std::string& path, RasterDescription description,
                                            const RawLayout& layout, std::string& error)
{
    RawFile file;
    const std::int64_t length = FileLength(path);
    if (length < 0 || !file.OpenForReading(path)) {
        error = "Cannot open " + path + ".";
        return nullptr;
    }
    description.byteSize += length;
    if (description.dataPaths.empty()) description.dataPaths.push_back(path);
    if (description.bandNames.empty()) {
        for (int band = 0; band < description.bands; ++band) {
            description.bandNames.push_back("Band " + std::to_string(band + 1));
        }
    }
    return std::make_unique<RawSource>(std::move(file), std::move(description), layout, length);
}

std::unique_ptr<RasterSource> StackSources(std::vector<std::unique_ptr<RasterSource>> parts,
                                           const std::string& format,
                                           std::optional<ReaderKind> reader)
{
    if (parts.empty()) return nullptr;
    return std::make_unique<StackedSource>(std::move(parts), format, reader);
}

std::unique_ptr<RasterSource> PickBands(std::shared_ptr<RasterSource> inner, std::vector<int> bands,
                                        const std::vector<std::string>& names)
{
    for (const int band : bands) {
        if (!inner || band < 0 || band >= inner->Description().bands) return nullptr;
    }
    return std::make_unique<PickedSource>(std::move(inner), std::move(bands), names);
}

std::unique_ptr<RasterSource> ResampleNearest(std::unique_ptr<RasterSource> inner, int width,
                                              int height)
{
    if (!inner || width <= 0 || height <= 0) return nullptr;
    return std::make_unique<ResampledSource>(std::move(inner), width, height);
}

}  // namespace lumesta
