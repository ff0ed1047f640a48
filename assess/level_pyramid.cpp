#include "assess/level_pyramid.h"

#include <algorithm>
#include <utility>

#include "core/allocate.h"

namespace lumesta {

LevelPyramid::LevelPyramid(std::vector<LevelSize> sizes)
    : m_sizes(std::move(sizes)),
      m_waiting(m_sizes.size()),
      m_isWaiting(m_sizes.size(), false),
      m_built(m_sizes.size())
{
}

bool LevelPyramid::Allocate(Host& host)
{
    for (std::size_t k = 1; k < m_sizes.size(); ++k) {
        if (!TryAllocate(m_waiting[k], m_sizes[k - 1].width, host) ||
            !TryAllocate(m_built[k], m_sizes[k].width, host)) {
            return false;
        }
    }
    return true;
}

bool LevelPyramid::TakeBaseLine(const float* line, ProgressCounter& counter, const LineSink& sink)
{
    return TakeLine(0, line, counter, sink);
}

bool LevelPyramid::TakeLine(int level, const float* line, ProgressCounter& counter,
                            const LineSink& sink)
{
    const auto k = static_cast<std::size_t>(level);
    sink(level, line, m_sizes[k].width);
    const std::size_t next = k + 1;
    if (next >= m_sizes.size()) return true;
    if (!m_isWaiting[next]) {
        std::copy(line, line + m_sizes[k].width, m_waiting[next].begin());
        m_isWaiting[next] = true;
        return true;
    }
    m_isWaiting[next] = false;
    if (!BuildNextLevelLine(m_waiting[next].data(), line, m_sizes[k].width, m_built[next].data(),
                            counter)) {
        return false;
    }
    return TakeLine(level + 1, m_built[next].data(), counter, sink);
}

bool LevelPyramid::Finish(ProgressCounter& counter, const LineSink& sink)
{
    // Upward, since a level's last line may leave the level above with an unpaired line.
    for (std::size_t k = 1; k < m_sizes.size(); ++k) {
        if (!m_isWaiting[k]) continue;
        m_isWaiting[k] = false;
        BuildNextLevelLine(m_waiting[k].data(), nullptr, m_sizes[k - 1].width, m_built[k].data(),
                           counter);
        if (!TakeLine(static_cast<int>(k), m_built[k].data(), counter, sink)) return false;
    }
    return true;
}

}  // namespace lumesta
