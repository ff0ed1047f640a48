#include "assess/haar_cascade.h"

#include <algorithm>
#include <cmath>

#include "core/allocate.h"
#include "core/truncate.h"

namespace lumesta {

HaarCoefficients HaarBlock(std::int64_t a, std::int64_t b, std::int64_t p, std::int64_t q, float f)
{
    return {static_cast<float>(a + b + p + q) * f, static_cast<float>(a - b + p - q) * f,
            static_cast<float>(a + b - p - q) * f, static_cast<float>(a - b - p + q) * f};
}

HaarCoefficients HaarPartialBlock(const std::int64_t (&samples)[4], const bool (&valid)[4], float f)
{
    std::int64_t sum = 0;
    int count = 0;
    for (int i = 0; i < 4; ++i) {
        if (!valid[i]) continue;
        sum += samples[i];
        ++count;
    }
    if (count == 0) {
        const float none = std::nanf("");
        return {none, none, none, none};
    }
    const double mean = static_cast<double>(sum) / count;
    double x[4];
    for (int i = 0; i < 4; ++i) x[i] = valid[i] ? static_cast<double>(samples[i]) : mean;
    return {static_cast<float>(x[0] + x[1] + x[2] + x[3]) * f,
            static_cast<float>(x[0] - x[1] + x[2] - x[3]) * f,
            static_cast<float>(x[0] + x[1] - x[2] - x[3]) * f,
            static_cast<float>(x[0] - x[1] - x[2] + x[3]) * f};
}

HaarCascade::HaarCascade(int width, int height, int levels, float factor, const RawFile& raster,
                         ProgressCounter& counter, Host& host)
    : m_width(width),
      m_levels(levels),
      m_factor(factor),
      m_raster(raster),
      m_counter(counter),
      m_host(host),
      m_linesDone(static_cast<std::size_t>(levels) + 1, 0),
      m_waiting(static_cast<std::size_t>(levels) + 1),
      m_isWaiting(static_cast<std::size_t>(levels) + 1, false),
      m_approximation(static_cast<std::size_t>(levels) + 1),
      m_waitingValid(static_cast<std::size_t>(levels) + 1),
      m_approximationValid(static_cast<std::size_t>(levels) + 1),
      m_ranges(static_cast<std::size_t>(levels))
{
    m_levelWidth.push_back(width);
    m_levelHeight.push_back(height);
    for (int k = 1; k <= levels; ++k) {
        m_levelWidth.push_back(TruncToInt(m_levelWidth.back() * 0.5));
        m_levelHeight.push_back(TruncToInt(m_levelHeight.back() * 0.5));
    }
}

bool HaarCascade::Allocate()
{
    for (auto& row : m_rows) {
        if (!TryAllocate(row, m_levelWidth[1], m_host)) return false;
    }
    for (int k = 1; k <= m_levels; ++k) {
        const auto at = static_cast<std::size_t>(k);
        if (!TryAllocate(m_waiting[at], m_levelWidth[at - 1], m_host) ||
            !TryAllocate(m_approximation[at], m_levelWidth[at], m_host) ||
            !TryAllocate(m_waitingValid[at], m_levelWidth[at - 1], m_host) ||
            !TryAllocate(m_approximationValid[at], m_levelWidth[at], m_host)) {
            return false;
        }
    }
    return true;
}

RunOutcome HaarCascade::TakeBandLine(const std::int32_t* line)
{
    return TakeLine(0, line, nullptr);
}

RunOutcome HaarCascade::TakeBandLine(const std::int32_t* line, const std::uint8_t* valid)
{
    return TakeLine(0, line, valid);
}

RunOutcome HaarCascade::TakeLine(int level, const std::int32_t* line, const std::uint8_t* valid)
{
    const auto next = static_cast<std::size_t>(level) + 1;
    if (!m_isWaiting[next]) {
        std::copy(line, line + m_levelWidth[next - 1], m_waiting[next].begin());
        if (valid) std::copy(valid, valid + m_levelWidth[next - 1], m_waitingValid[next].begin());
        m_isWaiting[next] = true;
        return RunOutcome::Finished;
    }
    m_isWaiting[next] = false;
    return BuildLine(level + 1, m_waiting[next].data(), line,
                     valid ? m_waitingValid[next].data() : nullptr, valid);
}

// One line of level k's four sub-bands from two lines of level k − 1: the details go to their
// quadrants, the approximation to the raster (last level) or on to level k + 1 truncated
// toward zero.
RunOutcome HaarCascade::BuildLine(int k, const std::int32_t* even, const std::int32_t* odd,
                                  const std::uint8_t* evenValid, const std::uint8_t* oddValid)
{
    const auto at = static_cast<std::size_t>(k);
    const int w = m_levelWidth[at];
    std::array<HaarRange, 4>& ranges = m_ranges[at - 1];
    if (w > 0 && !m_counter.AdvanceBy(w)) return RunOutcome::Cancelled;
    for (int j = 0; j < w; ++j) {
        const bool allValid = !evenValid || (evenValid[2 * j] && evenValid[2 * j + 1] &&
                                             oddValid[2 * j] && oddValid[2 * j + 1]);
        const HaarCoefficients c =
            allValid ? HaarBlock(even[2 * j], even[2 * j + 1], odd[2 * j], odd[2 * j + 1], m_factor)
                     : HaarPartialBlock({even[2 * j], even[2 * j + 1], odd[2 * j], odd[2 * j + 1]},
                                        {evenValid[2 * j] != 0, evenValid[2 * j + 1] != 0,
                                         oddValid[2 * j] != 0, oddValid[2 * j + 1] != 0},
                                        m_factor);
        m_rows[0][static_cast<std::size_t>(j)] = c.approximation;
        m_rows[1][static_cast<std::size_t>(j)] = c.detail1;
        m_rows[2][static_cast<std::size_t>(j)] = c.detail2;
        m_rows[3][static_cast<std::size_t>(j)] = c.detail3;
    }
    // No data (NaN) stays out of the ranges.
    for (std::size_t s = 0; s < 4; ++s) {
        for (int j = 0; j < w; ++j) {
            const float value = m_rows[s][static_cast<std::size_t>(j)];
            if (!std::isnan(value)) ranges[s].Take(value);
        }
    }
    const std::int64_t i = m_linesDone[at]++;
    const std::int64_t h = m_levelHeight[at];
    // A cancel is also taken between the written lines.
    if (!WriteRow(k, 1, i, w) || !WriteRow(k, 2, h + i, 0) || !WriteRow(k, 3, h + i, w)) {
        return m_host.IsCancelled() ? RunOutcome::Cancelled : RunOutcome::Stopped;
    }
    if (k == m_levels) {
        if (WriteRow(k, 0, i, 0)) return RunOutcome::Finished;
        return m_host.IsCancelled() ? RunOutcome::Cancelled : RunOutcome::Stopped;
    }
    std::vector<std::int32_t>& approximation = m_approximation[at];
    if (!evenValid) {
        for (int j = 0; j < w; ++j) {
            approximation[static_cast<std::size_t>(j)] =
                TruncToInt(m_rows[0][static_cast<std::size_t>(j)]);
        }
        return TakeLine(k, approximation.data(), nullptr);
    }
    std::vector<std::uint8_t>& valid = m_approximationValid[at];
    for (int j = 0; j < w; ++j) {
        const float value = m_rows[0][static_cast<std::size_t>(j)];
        valid[static_cast<std::size_t>(j)] = std::isnan(value) ? 0 : 1;
        approximation[static_cast<std::size_t>(j)] = std::isnan(value) ? 0 : TruncToInt(value);
    }
    return TakeLine(k, approximation.data(), valid.data());
}

bool HaarCascade::WriteRow(int k, int subband, std::int64_t line, std::int64_t column)
{
    static const char kCannotWrite[] = "Error: Writing to float/binary file.";
    m_host.PumpPendingMessages();
    if (m_host.IsCancelled()) return false;
    const std::int64_t count = m_levelWidth[static_cast<std::size_t>(k)];
    if (m_raster.WriteAt(4 * (line * m_width + column), 4 * count,
                         m_rows[static_cast<std::size_t>(subband)].data())) {
        return true;
    }
    m_host.ShowMessage(kCannotWrite);
    return false;
}

}  // namespace lumesta
