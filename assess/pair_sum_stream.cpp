#include "assess/pair_sum_stream.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <system_error>
#include <thread>

#include "core/worker_threads.h"

namespace lumesta {
namespace {

constexpr std::uint64_t kExactInDouble = std::uint64_t{1} << 53;
constexpr unsigned kMaxThreads = 8;
// Columns of the window summed at a time: with the strip and the lag's lines they fit the
// second-level cache.
constexpr int kTileColumns = 2048;

// Calls work(unit) for units 0 … count − 1 on the worker threads; each unit is one thread's.
void ForEachUnit(int count, const std::function<void(int)>& work)
{
    const int threads = static_cast<int>(std::min<unsigned>(WorkerThreads(kMaxThreads),
                                                            static_cast<unsigned>(count)));
    std::atomic<int> next{0};
    const auto loop = [&] {
        for (int unit = next++; unit < count; unit = next++) work(unit);
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back(loop);
        } catch (const std::system_error&) {
            break;  // no thread to be had: this one does the rest
        }
    }
    loop();
    for (auto& helper : helpers) helper.join();
}

// The lines of pairs of one orientation and lag whose first sample lies in [first, end).
struct LineRange {
    int first;
    int end;
};
LineRange PairLinesIn(const PairRows& pairs, int first, int lines)
{
    return {first, std::min(first + lines, pairs.rows)};
}

}  // namespace

template <typename T>
PairSumStream<T>::PairSumStream(int width, int height, int maxLag)
    : m_width(width),
      m_height(height),
      m_maxLag(maxLag),
      m_exact(static_cast<std::size_t>(4 * maxLag), 0),
      m_beyond(static_cast<std::size_t>(4 * maxLag), 0),
      m_ordered(static_cast<std::size_t>(4 * maxLag), 0.0)
{
}

template <typename T>
void PairSumStream<T>::Add(const T* window, int windowFirst, int windowLines, int first, int lines)
{
    const RowPairSummer<T> sum(SampleRange(window, static_cast<std::int64_t>(windowLines) * m_width));
    const int units = 4 * m_maxLag;
    const int threads = static_cast<int>(std::min<unsigned>(WorkerThreads(kMaxThreads),
                                                            static_cast<unsigned>(units)));
    // Each thread takes its share of orientations and lags through the window a band of
    // columns at a time, so that the lines it reads again and again stay in its cache.
    const auto work = [&](int part) {
        const int firstUnit = units * part / threads;
        const int endUnit = units * (part + 1) / threads;
        for (int column = 0; column < m_width; column += kTileColumns) {
            for (int unit = firstUnit; unit < endUnit; ++unit) {
                const auto orientation = static_cast<Orientation>(unit / m_maxLag);
                const PairRows pairs = PairRowsOf(orientation, m_width, m_height, unit % m_maxLag + 1);
                const int count = std::min(kTileColumns, pairs.count - column);
                if (count <= 0) continue;
                const LineRange range = PairLinesIn(pairs, first, lines);
                std::uint64_t& total = m_exact[static_cast<std::size_t>(unit)];
                char& beyond = m_beyond[static_cast<std::size_t>(unit)];
                for (int i = range.first; i < range.end; ++i) {
                    const T* a = window + static_cast<std::int64_t>(i - windowFirst) * m_width +
                                 pairs.first + column;
                    const T* b = window + static_cast<std::int64_t>(i + pairs.rowStep - windowFirst) * m_width +
                                 pairs.second + column;
                    if (__builtin_add_overflow(total, sum(a, b, count), &total)) beyond = 1;
                }
                if (total > kExactInDouble) beyond = 1;
            }
        }
    };
    std::vector<std::thread> helpers;
    for (int part = 1; part < threads; ++part) {
        try {
            helpers.emplace_back(work, part);
        } catch (const std::system_error&) {
            work(part);  // no thread to be had: this one does the part
        }
    }
    work(0);
    for (auto& helper : helpers) helper.join();
}

template <typename T>
bool PairSumStream<T>::NeedsPairOrderWalk() const
{
    return std::any_of(m_beyond.begin(), m_beyond.end(), [](char beyond) { return beyond != 0; });
}

template <typename T>
void PairSumStream<T>::AddInPairOrder(const T* window, int windowFirst, int, int first, int lines)
{
    ForEachUnit(4 * m_maxLag, [&](int unit) {
        if (m_beyond[static_cast<std::size_t>(unit)] == 0) return;
        const auto orientation = static_cast<Orientation>(unit / m_maxLag);
        const PairRows pairs = PairRowsOf(orientation, m_width, m_height, unit % m_maxLag + 1);
        const LineRange range = PairLinesIn(pairs, first, lines);
        double& sum = m_ordered[static_cast<std::size_t>(unit)];
        for (int i = range.first; i < range.end; ++i) {
            const T* a = window + static_cast<std::int64_t>(i - windowFirst) * m_width + pairs.first;
            const T* b = window + static_cast<std::int64_t>(i + pairs.rowStep - windowFirst) * m_width +
                         pairs.second;
            for (int j = 0; j < pairs.count; ++j) {
                const std::int64_t d = static_cast<std::int64_t>(a[j]) - static_cast<std::int64_t>(b[j]);
                sum += static_cast<double>(d * d);
            }
        }
    });
}

template <typename T>
double PairSumStream<T>::SumOfSquares(Orientation orientation, int lag) const
{
    const std::size_t unit = Unit(orientation, lag);
    return m_beyond[unit] != 0 ? m_ordered[unit] : static_cast<double>(m_exact[unit]);
}

template class PairSumStream<std::uint8_t>;
template class PairSumStream<std::int16_t>;

}  // namespace lumesta
