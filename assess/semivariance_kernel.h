#pragma once
// The pair sums of the semivariance tool: Σ (x_a − x_b)² over the pixel pairs that lie a lag
// apart along one of four orientations. Sums are exact integers, computed with vector
// instructions on several threads, and equal to what a double-precision sum in pair order
// gives: when the total exceeds 2^53, where that order starts to round, the sum is taken again
// in exactly that order.

#include <cstdint>

namespace lumesta {

// 0°: the sample h columns to the right; 45°: h lines below and h columns to the left;
// 90°: h lines below; 135°: h lines below and h columns to the right.
enum class Orientation { Deg0 = 0, Deg45 = 1, Deg90 = 2, Deg135 = 3 };

// Where the pairs of one orientation and lag lie: for each of `rows` lines i, the samples
// x[i][first + j] and x[i + rowStep][second + j] for j < count.
struct PairRows {
    int rows;
    int rowStep;
    int first;
    int second;
    int count;
};
PairRows PairRowsOf(Orientation orientation, int width, int height, int lag);

// The exact Σ (a[j] − b[j])² of count pairs, with the widest vector instructions that cannot
// overflow for samples whose largest difference is `range`.
template <typename T>
class RowPairSummer {
public:
    explicit RowPairSummer(std::int64_t range);
    std::uint64_t operator()(const T* a, const T* b, std::int64_t count) const
    {
        return m_kernel(a, b, count, m_chunk);
    }

private:
    std::uint64_t (*m_kernel)(const T*, const T*, std::int64_t, std::int64_t);
    std::int64_t m_chunk = 1;  // vectors a 32-bit lane can take before it is widened
};

// The largest difference between two of the samples.
template <typename T>
std::int64_t SampleRange(const T* samples, std::int64_t count);

// N(h): H·(W−h) at 0°, (H−h)·(W−h) at 45° and 135°, (H−h)·W at 90°.
std::int64_t PairCount(Orientation orientation, int width, int height, int lag);

// Sums over one band held by the caller (row-major, width × height samples, not owned).
// T is std::uint8_t (8-bit data) or std::int16_t (16-bit data, signed).
template <typename T>
class PairSumKernel {
public:
    PairSumKernel(const T* band, int width, int height);

    // Σ d² over the pairs of the orientation at lag (1 ≤ lag < width and height), pairs taken
    // line by line from the top and, within a line, from the left.
    double SumOfSquares(Orientation orientation, int lag) const;

private:
    using RowKernel = std::uint64_t (*)(const T*, const T*, std::int64_t, std::int64_t);

    const T* m_band;
    int m_width;
    int m_height;
    RowKernel m_rowKernel;
    std::int64_t m_chunk = 1;  // vectors a 32-bit lane can take before it is widened
    int m_threads = 1;
};

extern template class PairSumKernel<std::uint8_t>;
extern template class PairSumKernel<std::int16_t>;
extern template class RowPairSummer<std::uint8_t>;
extern template class RowPairSummer<std::int16_t>;
extern template std::int64_t SampleRange<std::uint8_t>(const std::uint8_t*, std::int64_t);
extern template std::int64_t SampleRange<std::int16_t>(const std::int16_t*, std::int64_t);

}  // namespace lumesta
