#include "fusion/optimisation/valid_area.h"

#include <algorithm>

namespace lumesta {
namespace {

// For each of the count entries, the nearest index whose flag is set (the lower one on a tie);
// -1 for every entry when none is.
std::vector<std::int64_t> NearestSet(const std::vector<char>& set)
{
    const auto count = static_cast<std::int64_t>(set.size());
    std::vector<std::int64_t> nearest(set.size(), -1);
    std::int64_t last = -1;
    for (std::int64_t k = 0; k < count; ++k) {
        if (set[static_cast<std::size_t>(k)]) last = k;
        nearest[static_cast<std::size_t>(k)] = last;
    }
    std::int64_t next = -1;
    for (std::int64_t k = count - 1; k >= 0; --k) {
        if (set[static_cast<std::size_t>(k)]) next = k;
        std::int64_t& chosen = nearest[static_cast<std::size_t>(k)];
        if (next >= 0 && (chosen < 0 || next - k < k - chosen)) chosen = next;
    }
    return nearest;
}

}  // namespace

ValidArea::ValidArea(int ratio, std::int64_t width, std::int64_t height, std::int64_t msWidth,
                     std::int64_t msHeight)
    : m_ratio(ratio),
      m_width(width),
      m_height(height),
      m_msWidth(msWidth),
      m_msHeight(msHeight),
      m_valid(static_cast<std::size_t>(width * height), true),
      m_usable(static_cast<std::size_t>(msWidth * msHeight), 1)
{
}

void ValidArea::MarkPanSample(std::int64_t x, std::int64_t y)
{
    MarkPanPixel(x, y);
    // Only the samples of a block enter its degraded pan.
    if (x < m_ratio * m_msWidth && y < m_ratio * m_msHeight) m_usable[MsIndex(x / m_ratio, y / m_ratio)] = 0;
}

bool ValidArea::Finish()
{
    m_left = m_msWidth;
    m_top = m_msHeight;
    m_right = m_bottom = 0;
    for (std::int64_t y = 0; y < m_height; ++y) {
        std::int64_t first = -1, last = -1;
        for (std::int64_t x = 0; x < m_width; ++x) {
            if (m_valid[Index(x, y)]) {
                if (first < 0) first = x;
                last = x;
            }
        }
        if (first < 0) continue;
        const std::int64_t i = std::min(y / m_ratio, m_msHeight - 1);
        m_left = std::min(m_left, std::min(first / m_ratio, m_msWidth - 1));
        m_right = std::max(m_right, std::min(last / m_ratio, m_msWidth - 1) + 1);
        m_top = std::min(m_top, i);
        m_bottom = std::max(m_bottom, i + 1);
    }
    if (m_right <= m_left) return false;
    std::vector<char> holds(static_cast<std::size_t>(m_bottom - m_top), 0);
    for (std::int64_t i = m_top; i < m_bottom; ++i) {
        for (std::int64_t j = m_left; j < m_right; ++j) {
            if (Usable(j, i)) holds[static_cast<std::size_t>(i - m_top)] = 1;
        }
    }
    m_sourceRow = NearestSet(holds);
    return true;
}

std::int64_t ValidArea::SourceRow(std::int64_t i) const
{
    if (i < m_top || i >= m_bottom) return i;
    const std::int64_t nearest = m_sourceRow[static_cast<std::size_t>(i - m_top)];
    return nearest < 0 ? i : m_top + nearest;
}

std::vector<std::int64_t> ValidArea::SourceColumns(std::int64_t i) const
{
    std::vector<char> usable(static_cast<std::size_t>(m_right - m_left), 0);
    bool any = false;
    for (std::int64_t j = m_left; j < m_right; ++j) {
        usable[static_cast<std::size_t>(j - m_left)] = Usable(j, i) ? 1 : 0;
        any = any || Usable(j, i);
    }
    if (!any) return {};
    std::vector<std::int64_t> columns = NearestSet(usable);
    for (auto& column : columns) column += m_left;
    return columns;
}

}  // namespace lumesta
