#include "fusion/delivery/delivery_picture.h"

#include <algorithm>
#include <cstring>

#include "core/allocate.h"
#include "raster/bmp_writer.h"

namespace lumesta {
namespace {

const std::string kWriteFailure =
    "Error when writing output file.\nYou may wish to copy files from CD-ROM to hard disk.";
const std::string kLengthProblem = "Error! reading an image  file - length problem.";

// Rows of the picture converted and written at a time.
constexpr std::int64_t kPieceBytes = std::int64_t{8} << 20;

template <typename T>
void CountSamples(const T* samples, std::int64_t count, int lowest, const std::optional<double>& skip,
                  std::vector<std::int64_t>& counts)
{
    const bool skipping = skip.has_value();
    const T skipped = skipping ? static_cast<T>(*skip) : T{};
    for (std::int64_t i = 0; i < count; ++i) {
        if (skipping && samples[i] == skipped) continue;
        ++counts[static_cast<std::size_t>(samples[i] - lowest)];
    }
}

// The byte of every sample value of one band: the linear stretch between the cutoffs, then the
// nonlinear one; no data black.
std::vector<std::uint8_t> ByteTable(SampleType type, const StretchCutoffs& cutoffs, int strength,
                                    const std::optional<double>& noData)
{
    const int lowest = type == SampleType::Int16 ? -32768 : 0;
    const int values = type == SampleType::UInt8 ? 256 : 65536;
    std::vector<std::uint8_t> table(static_cast<std::size_t>(values));
    for (int i = 0; i < values; ++i) {
        const int value = lowest + i;
        table[static_cast<std::size_t>(i)] =
            noData && value == *noData ? 0 : StretchByte(value, cutoffs.low, cutoffs.high, strength);
    }
    return table;
}

// The table index of sample i of a row of the type.
int IndexOf(SampleType type, const unsigned char* row, std::int64_t i)
{
    if (type == SampleType::UInt8) return row[i];
    if (type == SampleType::UInt16) {
        std::uint16_t v;
        std::memcpy(&v, row + 2 * i, 2);
        return v;
    }
    std::int16_t v;
    std::memcpy(&v, row + 2 * i, 2);
    return v + 32768;
}

}  // namespace

SampleHistogram::SampleHistogram(SampleType type)
    : m_type(type),
      m_lowest(type == SampleType::Int16 ? -32768 : 0),
      m_counts(type == SampleType::UInt8 ? 256 : 65536, 0)
{
}

void SampleHistogram::Add(const void* samples, std::int64_t count,
                          const std::optional<double>& skip)
{
    if (m_type == SampleType::UInt8) {
        CountSamples(static_cast<const std::uint8_t*>(samples), count, m_lowest, skip, m_counts);
    } else if (m_type == SampleType::UInt16) {
        CountSamples(static_cast<const std::uint16_t*>(samples), count, m_lowest, skip, m_counts);
    } else {
        CountSamples(static_cast<const std::int16_t*>(samples), count, m_lowest, skip, m_counts);
    }
}

StretchCutoffs SampleHistogram::Cutoffs(double leftPercent, double rightPercent) const
{
    std::int64_t total = 0;
    for (std::int64_t c : m_counts) total += c;
    StretchCutoffs cutoffs;
    if (total == 0) return cutoffs;
    const double highPercent = 100 - rightPercent;
    bool lowFound = false;
    std::int64_t cumulative = 0;
    for (std::size_t i = 0; i < m_counts.size(); ++i) {
        cumulative += m_counts[i];
        const double percent = static_cast<double>(cumulative) * 100.0 / total;
        if (!lowFound && percent >= leftPercent) {
            cutoffs.low = m_lowest + static_cast<int>(i);
            lowFound = true;
        }
        if (percent >= highPercent) {
            cutoffs.high = m_lowest + static_cast<int>(i);
            break;
        }
    }
    return cutoffs;
}

DeliveryPicture::DeliveryPicture(SampleType type, std::int64_t width, std::int64_t height,
                                 std::optional<double> noData)
    : m_type(type), m_width(width), m_height(height), m_noData(noData)
{
    for (int c = 0; c < 3; ++c) m_histograms.emplace_back(type);
}

bool DeliveryPicture::Open(const std::string& path, Host& host)
{
    if (m_file.CreateForReadWrite(path)) {
        m_file.StreamWrites(false);
        return true;
    }
    host.ShowMessage(kWriteFailure);
    return false;
}

bool DeliveryPicture::Take(const std::array<const void*, 3>& blueGreenRed, std::int64_t rows,
                           Host& host)
{
    const std::int64_t bytes = SampleBytes(m_type);
    const std::int64_t bandBytes = m_width * m_height * bytes;
    for (int c = 0; c < 3; ++c) {
        m_histograms[static_cast<std::size_t>(c)].Add(blueGreenRed[c], rows * m_width, m_noData);
        if (!m_file.WriteAt(c * bandBytes + m_rowsTaken * m_width * bytes, rows * m_width * bytes,
                            blueGreenRed[c])) {
            host.ShowMessage(kWriteFailure);
            return false;
        }
    }
    m_rowsTaken += rows;
    return true;
}

StepResult DeliveryPicture::Write(const std::string& path, const StretchParams& stretch,
                                  RunProgress& progress, const std::function<bool()>& pump,
                                  Host& host)
{
    std::array<std::vector<std::uint8_t>, 3> tables;
    for (int c = 0; c < 3; ++c) {
        const StretchCutoffs cutoffs = m_histograms[static_cast<std::size_t>(c)].Cutoffs(
            stretch.leftCutoff[c], stretch.rightCutoff[c]);
        tables[c] = ByteTable(m_type, cutoffs, stretch.nonlinear[c], m_noData);
    }
    const std::int64_t bytes = SampleBytes(m_type);
    const std::int64_t stride = BmpRowStride(m_width);
    const std::int64_t pieceRows = std::clamp<std::int64_t>(
        kPieceBytes / std::max<std::int64_t>(1, stride + 3 * m_width * bytes), 1, m_height);
    std::vector<std::uint8_t> rows;
    std::vector<unsigned char> samples;
    if (!TryAllocate(rows, pieceRows * stride, host) ||
        !TryAllocate(samples, 3 * pieceRows * m_width * bytes, host)) {
        return StepResult::Failed;
    }
    BmpStripWriter writer;
    if (!writer.Create(path, static_cast<std::int32_t>(m_width), static_cast<std::int32_t>(m_height),
                       host)) {
        return StepResult::Failed;
    }
    const std::int64_t bandBytes = m_width * m_height * bytes;
    for (std::int64_t first = 0; first < m_height; first += pieceRows) {
        progress.SetPosition(static_cast<int>(first * 100 / m_height));
        if (!pump()) return StepResult::Cancelled;
        const std::int64_t count = std::min(pieceRows, m_height - first);
        const std::int64_t pieceBytes = count * m_width * bytes;
        for (int c = 0; c < 3; ++c) {
            if (m_file.ReadAt(c * bandBytes + first * m_width * bytes, pieceBytes,
                              samples.data() + c * pieceBytes) != pieceBytes) {
                host.ShowMessage(kLengthProblem);
                return StepResult::Failed;
            }
        }
        std::fill(rows.begin(), rows.end(), 0);
        for (std::int64_t i = 0; i < count; ++i) {
            std::uint8_t* out = rows.data() + (count - 1 - i) * stride;  // bottom-up
            for (int c = 0; c < 3; ++c) {
                const unsigned char* row = samples.data() + c * pieceBytes + i * m_width * bytes;
                const std::uint8_t* table = tables[c].data();
                for (std::int64_t x = 0; x < m_width; ++x) {
                    out[3 * x + c] = table[IndexOf(m_type, row, x)];
                }
            }
        }
        if (!writer.WriteStrip(static_cast<std::int32_t>(first), static_cast<std::int32_t>(count),
                               rows.data(), host)) {
            return StepResult::Failed;
        }
    }
    progress.SetPosition(100);
    return writer.Close(host) ? StepResult::Ok : StepResult::Failed;
}

}  // namespace lumesta
