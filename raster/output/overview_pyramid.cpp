#include "raster/output/overview_pyramid.h"

#include <algorithm>
#include <cmath>

namespace lumesta {

namespace {

// The nearest whole number, ties to even, of a value well within ±2^51: adding and taking away
// 1.5 × 2^52 leaves no fraction bits, and the sum rounds as the machine does (to nearest, ties to
// even), so this equals std::nearbyint there while the loop around it stays free of calls.
inline double NearestEven(double value)
{
    constexpr double kShift = 6755399441055744.0;  // 1.5 × 2^52
    return (value + kShift) - kShift;
}

}  // namespace

int OverviewPyramid::LevelSide(int side, int level)
{
    for (int i = 0; i < level; ++i) side = (side + 1) / 2;
    return side;
}

OverviewPyramid::OverviewPyramid(int width, int height, int bands, int levels, bool integer,
                                 std::optional<double> noData, RowSink sink)
    : m_bands(bands), m_integer(integer), m_noData(noData), m_sink(std::move(sink))
{
    // Level i receives rows of width LevelSide(width, i) and makes those of level i + 1.
    for (int i = 0; i < levels; ++i) {
        Level level;
        level.width = LevelSide(width, i);
        level.height = LevelSide(height, i);
        level.pending.assign(static_cast<std::size_t>(bands),
                             std::vector<double>(static_cast<std::size_t>(level.width)));
        level.out.assign(static_cast<std::size_t>(bands),
                         std::vector<double>(static_cast<std::size_t>(LevelSide(width, i + 1))));
        m_levels.push_back(std::move(level));
    }
}

bool OverviewPyramid::AddRow(const double* const* bands)
{
    return m_levels.empty() || Feed(0, bands);
}

bool OverviewPyramid::Feed(std::size_t index, const double* const* bands)
{
    Level& level = m_levels[index];
    const int row = level.nextRow++;
    const bool last = row == level.height - 1;
    if (row % 2 == 0) {
        for (std::size_t k = 0; k < level.pending.size(); ++k)
            std::copy(bands[k], bands[k] + level.width, level.pending[k].begin());
        // A lone last row makes a row of the level above by itself.
        if (!last) return true;
    }
    std::vector<const double*> even;
    for (const auto& band : level.pending) even.push_back(band.data());
    return Emit(index, even.data(), row % 2 == 0 ? nullptr : bands);
}

bool OverviewPyramid::Emit(std::size_t index, const double* const* even, const double* const* odd)
{
    Level& level = m_levels[index];
    const int outWidth = static_cast<int>(level.out[0].size());
    const bool hasNoData = m_noData.has_value();
    const double noData = m_noData.value_or(0);
    const double empty = m_noData.value_or(std::nan(""));
    for (int k = 0; k < m_bands; ++k) {
        const double* top = even[k];
        const double* bottom = odd != nullptr ? odd[k] : nullptr;
        double* out = level.out[static_cast<std::size_t>(k)].data();
        int x = 0;
        if (m_integer && bottom != nullptr) {
            // Whole numbers (never NaN): the blocks of four, without branches. Leaving a value
            // out adds 0, which changes no sum.
            const double skip = hasNoData ? noData : std::nan("");
            for (const int whole = level.width / 2; x < whole; ++x) {
                const int left = 2 * x;
                const double values[4] = {top[left], top[left + 1], bottom[left], bottom[left + 1]};
                double sum = 0;
                int count = 0;
                for (const double value : values) {
                    const bool valid = value != skip;
                    sum += valid ? value : 0.0;
                    count += valid;
                }
                out[x] = count > 0 ? NearestEven(sum / count) : empty;
            }
        }
        for (; x < outWidth; ++x) {
            const int left = 2 * x;
            const bool pair = left + 1 < level.width;
            double sum = 0;
            int count = 0;
            // Valid values only (not NaN, not no data), added in the same order everywhere.
            const auto add = [&](double value) {
                if (value != value || (hasNoData && value == noData)) return;
                sum += value;
                ++count;
            };
            add(top[left]);
            if (pair) add(top[left + 1]);
            if (bottom != nullptr) {
                add(bottom[left]);
                if (pair) add(bottom[left + 1]);
            }
            const double mean = count > 0 ? sum / count : empty;
            out[x] = m_integer && count > 0 ? std::nearbyint(mean) : mean;
        }
    }
    const int outRow = (level.nextRow - 1) / 2;
    if (!m_sink(static_cast<int>(index) + 1, outRow, level.out)) return false;
    if (index + 1 >= m_levels.size()) return true;
    std::vector<const double*> rows;
    for (const auto& band : level.out) rows.push_back(band.data());
    return Feed(index + 1, rows.data());
}

}  // namespace lumesta
