#include "fusion/band_pass.h"

#include <algorithm>
#include <array>

#include "core/allocate.h"

namespace lumesta {
namespace {

constexpr std::int64_t kStripBytes = std::int64_t{4} << 20;
const char kLengthProblem[] = "Error! reading an image  file - length problem.";
const char kWriteFailure[] =
    "Error when writing output file.\nYou may wish to copy files from CD-ROM to hard disk.";

}  // namespace

// One 3 × 3 filter between two stages of the walk: it keeps the unfiltered rows above and at
// the centre, and gives out each row once the row below it has arrived. The first and last
// rows leave unchanged.
template <typename T>
class FilterStage {
public:
    FilterStage(typename BandPassSpec<T>::KernelType kernel, std::int64_t width)
        : m_kernel(kernel), m_width(width)
    {
    }
    bool Allocate(Host& host)
    {
        for (auto& row : m_rows) {
            if (!TryAllocate(row, m_width, host)) return false;
        }
        return TryAllocate(m_out, m_width, host);
    }
    // Takes the next row; returns the row it completes, or null.
    const T* Push(const T* row)
    {
        const std::int64_t n = m_received++;
        if (n == 0) {
            std::copy(row, row + m_width, m_rows[0].begin());
            return m_rows[0].data();
        }
        if (n == 1) {
            std::copy(row, row + m_width, m_rows[1].begin());
            return nullptr;
        }
        ++m_filtered;
        std::vector<T>& above = m_rows[(n - 2) % 3];
        std::vector<T>& centre = m_rows[(n - 1) % 3];
        std::vector<T>& below = m_rows[n % 3];
        std::copy(row, row + m_width, below.begin());
        FilterRow(m_kernel, above.data(), centre.data(), below.data(), m_width, m_out.data());
        return m_out.data();
    }
    // Rows filtered since the last call.
    std::int64_t TakeFilteredCount()
    {
        const std::int64_t count = m_filtered;
        m_filtered = 0;
        return count;
    }
    // The last row, unchanged (null when it already left as the first).
    const T* Finish() const
    {
        return m_received >= 2 ? m_rows[(m_received - 1) % 3].data() : nullptr;
    }

private:
    typename BandPassSpec<T>::KernelType m_kernel;
    std::int64_t m_width;
    std::array<std::vector<T>, 3> m_rows;
    std::vector<T> m_out;
    std::int64_t m_received = 0;
    std::int64_t m_filtered = 0;
};

template <typename T>
BandPass<T>::BandPass(const RawFile& file, const BandPassSpec<T>& spec, Host& host)
    : m_file(&file), m_spec(spec), m_host(&host)
{
    m_right = spec.width;
    m_bottom = spec.height;
    if (spec.area) {
        m_left = spec.areaLeft;
        m_top = spec.areaTop;
        m_right = spec.areaRight;
        m_bottom = spec.areaBottom;
    }
    const std::int64_t d = spec.borderDepth;
    m_bordered = d > 0 && m_bottom - m_top >= 2 * d + 1 && m_right - m_left >= 2 * d + 1;
    m_stripRows = std::clamp<std::int64_t>(kStripBytes / std::max<std::int64_t>(1, spec.width * 2),
                                           1, std::max<std::int64_t>(spec.height, 1));
    for (const auto kernel : spec.filters) m_stages.emplace_back(kernel, spec.width);
    if (spec.histogram != HistogramPoint::None) m_figures.histogram.emplace(sizeof(T) == 2 ? 2048 : 256);
}

template <typename T>
BandPass<T>::~BandPass() = default;
template <typename T>
BandPass<T>::BandPass(BandPass&&) noexcept = default;

template <typename T>
bool BandPass<T>::Allocate()
{
    for (auto& stage : m_stages) {
        if (!stage.Allocate(*m_host)) return false;
    }
    return TryAllocate(m_out, m_stripRows * m_spec.width, *m_host) &&
           TryAllocate(m_row, m_spec.width, *m_host) &&
           TryAllocate(m_lastInner, m_spec.width, *m_host);
}

template <typename T>
bool BandPass<T>::Take(const T* rows, std::int64_t rowCount)
{
    for (std::int64_t r = 0; r < rowCount; ++r) {
        if (!TakeRow(rows + r * m_spec.width)) return false;
    }
    return true;
}

// Source row y (the next one): the rows of the bordered rectangle above its inner part leave
// with its first inner row, those below it as its last, each after border replication; rows
// outside the rectangle leave as they are.
template <typename T>
bool BandPass<T>::TakeRow(const T* row)
{
    const std::int64_t y = m_received++;
    if (y >= m_spec.height) return true;
    if (!m_bordered || y < m_top || y >= m_bottom) return SourceRow(row);
    const std::int64_t d = m_spec.borderDepth;
    if (y < m_top + d) return true;
    if (y > m_bottom - 1 - d) return SourceRow(m_lastInner.data());
    std::copy(row, row + m_spec.width, m_row.begin());
    for (std::int64_t x = 0; x < d; ++x) {
        m_row[static_cast<std::size_t>(m_left + x)] = m_row[static_cast<std::size_t>(m_left + d)];
        m_row[static_cast<std::size_t>(m_right - 1 - x)] = m_row[static_cast<std::size_t>(m_right - 1 - d)];
    }
    for (std::int64_t copy = y == m_top + d ? d : 0; copy >= 0; --copy) {
        if (!SourceRow(m_row.data())) return false;
    }
    if (y == m_bottom - 1 - d) std::copy(m_row.begin(), m_row.end(), m_lastInner.begin());
    return true;
}

// Zero is the histogram's background: no data counts as it.
template <typename T>
void BandPass<T>::Count(std::int64_t width, const T* row)
{
    if (!m_spec.noData) {
        m_figures.histogram->Add(width, row);
        return;
    }
    m_counted.assign(row, row + width);
    // Before the filters a row is not marked yet (no data comes with no filters, so it is the
    // row being completed): it is counted as it will be marked.
    if (m_spec.valid && m_spec.histogram == HistogramPoint::BeforeFilters) MarkNoData(m_counted.data());
    std::replace(m_counted.begin(), m_counted.end(), *m_spec.noData, T{0});
    m_figures.histogram->Add(width, m_counted.data());
}

template <typename T>
bool BandPass<T>::SourceRow(const T* row)
{
    if (m_spec.histogram == HistogramPoint::BeforeFilters) Count(m_spec.width, row);
    return Emit(0, row);
}

template <typename T>
bool BandPass<T>::Emit(std::size_t stage, const T* row)
{
    if (stage == m_stages.size()) return Complete(row);
    const T* done = m_stages[stage].Push(row);
    return done == nullptr || Emit(stage + 1, done);
}

template <typename T>
void BandPass<T>::MarkNoData(T* out) const
{
    const std::int64_t width = m_spec.width;
    const std::int64_t first = (m_outFirst + m_outRows) * width;
    const T mark = *m_spec.noData;
    const T middle = static_cast<T>(sizeof(T) == 2 ? 1024 : 128);
    const T inward = mark < middle ? static_cast<T>(mark + 1) : static_cast<T>(mark - 1);
    for (std::int64_t x = 0; x < width; ++x) {
        if (!(*m_spec.valid)[static_cast<std::size_t>(first + x)]) {
            out[x] = mark;
        } else if (out[x] == mark) {
            out[x] = inward;
        }
    }
}

// The last steps of a row: clipping, the figures after the filters, and the output strip.
template <typename T>
bool BandPass<T>::Complete(const T* row)
{
    const std::int64_t width = m_spec.width;
    T* out = m_out.data() + m_outRows * width;
    std::copy(row, row + width, out);
    if constexpr (sizeof(T) == 2) {
        if (m_spec.clip11Bit) {
            for (std::int64_t x = 0; x < width; ++x) out[x] = std::clamp<T>(out[x], 0, 2047);
        }
    }
    if (m_spec.valid && m_spec.noData) MarkNoData(out);
    if (m_spec.histogram == HistogramPoint::AfterFilters) Count(width, out);
    if (m_spec.minMax && width > 0) {
        const auto [lowest, highest] = std::minmax_element(out, out + width);
        m_figures.minimum = m_haveMinMax ? std::min(m_figures.minimum, *lowest) : *lowest;
        m_figures.maximum = m_haveMinMax ? std::max(m_figures.maximum, *highest) : *highest;
        m_haveMinMax = true;
    }
    return ++m_outRows < m_stripRows || Flush();
}

template <typename T>
bool BandPass<T>::Flush()
{
    const std::int64_t rowBytes = m_spec.width * static_cast<std::int64_t>(sizeof(T));
    if (m_outRows > 0 && !m_file->WriteAt(m_outFirst * rowBytes, m_outRows * rowBytes, m_out.data())) {
        m_failed = true;
        return false;
    }
    m_outFirst += m_outRows;
    m_outRows = 0;
    return true;
}

template <typename T>
void BandPass<T>::PumpForFilteredRows(Host& host)
{
    for (auto& stage : m_stages) {
        for (std::int64_t row = stage.TakeFilteredCount(); row > 0; --row) host.PumpPendingMessages();
    }
}

template <typename T>
void BandPass<T>::ShowFailure(Host& host) const
{
    if (m_failed) host.ShowMessage(kWriteFailure);
}

template <typename T>
bool BandPass<T>::Finish()
{
    for (std::size_t stage = 0; stage < m_stages.size(); ++stage) {
        const T* last = m_stages[stage].Finish();
        if (last != nullptr && !Emit(stage + 1, last)) return false;
    }
    return Flush();
}

template <typename T>
bool RunBandPass(const RawFile& file, const BandPassSpec<T>& spec, BandPassFigures<T>& figures,
                 Host& host)
{
    BandPass<T> pass(file, spec, host);
    const std::int64_t rowBytes = spec.width * static_cast<std::int64_t>(sizeof(T));
    const std::int64_t stripRows =
        std::clamp<std::int64_t>(kStripBytes / std::max<std::int64_t>(1, rowBytes), 1,
                                 std::max<std::int64_t>(spec.height, 1));
    std::vector<T> strip;
    if (!pass.Allocate() || !TryAllocate(strip, stripRows * spec.width, host)) return false;
    // The pass writes only rows it has been given, so every read lies ahead of the writes.
    for (std::int64_t first = 0; first < spec.height; first += stripRows) {
        const std::int64_t rows = std::min(stripRows, spec.height - first);
        if (file.ReadAt(first * rowBytes, rows * rowBytes, strip.data()) != rows * rowBytes) {
            host.ShowMessage(kLengthProblem);
            return false;
        }
        const bool taken = pass.Take(strip.data(), rows);
        pass.PumpForFilteredRows(host);
        if (!taken) {
            pass.ShowFailure(host);
            return false;
        }
    }
    const bool finished = pass.Finish();
    pass.PumpForFilteredRows(host);
    if (!finished) {
        pass.ShowFailure(host);
        return false;
    }
    figures = pass.Figures();
    return true;
}

template class BandPass<std::int16_t>;
template class BandPass<std::uint8_t>;
template bool RunBandPass<std::int16_t>(const RawFile&, const BandPassSpec<std::int16_t>&,
                                        BandPassFigures<std::int16_t>&, Host&);
template bool RunBandPass<std::uint8_t>(const RawFile&, const BandPassSpec<std::uint8_t>&,
                                        BandPassFigures<std::uint8_t>&, Host&);

}  // namespace lumesta
