#include "imaging/row_window.h"

#include <algorithm>

namespace lumesta {

BufferWindowSource::BufferWindowSource(std::int64_t width, std::int64_t height,
                                       std::vector<double> samples)
    : m_width(width), m_height(height), m_samples(std::move(samples))
{
}

bool BufferWindowSource::ReadRow(std::int64_t y, std::int64_t left, std::int64_t count, double* out)
{
    const double* row = m_samples.data() + y * m_width + left;
    std::copy(row, row + count, out);
    return true;
}

CroppedWindowSource::CroppedWindowSource(RowWindowSource& source, std::int64_t left,
                                         std::int64_t top, std::int64_t width, std::int64_t height)
    : m_source(source), m_left(left), m_top(top), m_width(width), m_height(height)
{
}

bool CroppedWindowSource::ReadRow(std::int64_t y, std::int64_t left, std::int64_t count,
                                  double* out)
{
    return m_source.ReadRow(m_top + y, m_left + left, count, out);
}

WindowRowStream::WindowRowStream(RowWindowSource& source, std::int64_t left, std::int64_t width,
                                 std::size_t window)
    : RowStream(width, source.Height(), window), m_source(source), m_left(left)
{
}

bool WindowRowStream::Produce(std::int64_t y, double* out)
{
    return m_source.ReadRow(y, m_left, Width(), out);
}

}  // namespace lumesta
