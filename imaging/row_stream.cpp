#include "imaging/row_stream.h"

#include <algorithm>
#include <stdexcept>

namespace lumesta {

RowStream::RowStream(std::int64_t width, std::int64_t height, std::size_t window)
    : m_width(std::max<std::int64_t>(width, 0)),
      m_height(std::max<std::int64_t>(height, 0)),
      m_window(std::max<std::size_t>(window, 2))
{
}

const double* RowStream::Row(std::int64_t y)
{
    if (y < m_first || y >= m_height) throw std::logic_error("row outside the stream's window");
    while (m_next <= y) {
        std::vector<double> row;
        if (m_rows.size() >= m_window) {
            row.swap(m_rows.front());  // reuse the oldest row's storage
            m_rows.pop_front();
            ++m_first;
        }
        row.resize(static_cast<std::size_t>(m_width));  // Produce fills every sample
        if (m_failed) std::fill(row.begin(), row.end(), 0.0);
        if (!m_failed && !Produce(m_next, row.data())) {
            m_failed = true;
            std::fill(row.begin(), row.end(), 0.0);
        }
        m_rows.push_back(std::move(row));
        ++m_next;
    }
    if (y < m_first) throw std::logic_error("row outside the stream's window");
    return m_rows[static_cast<std::size_t>(y - m_first)].data();
}

std::int64_t MirrorIndex(std::int64_t i, std::int64_t n)
{
    if (n <= 1) return 0;
    const std::int64_t period = 2 * n;
    i %= period;
    if (i < 0) i += period;
    return i < n ? i : period - 1 - i;
}

BufferStream::BufferStream(std::int64_t width, std::int64_t height, std::vector<double> samples)
    : RowStream(width, height), m_samples(std::move(samples))
{
}

bool BufferStream::Produce(std::int64_t y, double* out)
{
    const auto start = m_samples.begin() + y * Width();
    std::copy(start, start + Width(), out);
    return true;
}

CropStream::CropStream(RowStream& source, std::int64_t left, std::int64_t top, std::int64_t width,
                       std::int64_t height, std::size_t window)
    : RowStream(width, height, window), m_source(source), m_left(left), m_top(top)
{
}

bool CropStream::Produce(std::int64_t y, double* out)
{
    const double* row = m_source.Row(m_top + y);
    std::copy(row + m_left, row + m_left + Width(), out);
    return !m_source.Failed();
}

std::vector<double> ReadAllRows(RowStream& stream)
{
    std::vector<double> all(static_cast<std::size_t>(stream.Width() * stream.Height()));
    for (std::int64_t y = 0; y < stream.Height(); ++y) {
        const double* row = stream.Row(y);
        std::copy(row, row + stream.Width(), all.begin() + y * stream.Width());
    }
    return all;
}

}  // namespace lumesta
