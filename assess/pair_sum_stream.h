#pragma once
// The pair sums of the semivariance tool taken over a band that arrives a strip of lines at a
// time: only the strip and the maximum lag's lines below it are held, whatever the band's
// height. The sums equal PairSumKernel's: exact integers, and where a total exceeds 2^53 (where
// double sums start to round) a second walk takes that orientation and lag in pair order.

#include <cstdint>
#include <vector>

#include "assess/semivariance_kernel.h"

namespace lumesta {

template <typename T>
class PairSumStream {
public:
    PairSumStream(int width, int height, int maxLag);

    // Adds, for every orientation and lag 1 … maxLag, the pairs whose first sample lies in lines
    // [first, first + lines). window holds band lines [windowFirst, windowFirst + windowLines),
    // which must reach line first + lines − 1 + maxLag or the band's last line. Orientations
    // and lags are shared out over the worker threads; each keeps its own sum.
    void Add(const T* window, int windowFirst, int windowLines, int first, int lines);
    // True when some total left the exact range: a second walk with AddInPairOrder is needed.
    bool NeedsPairOrderWalk() const;
    // The second walk: the same windows in the same order, summed in double precision pair
    // by pair for the totals that need it.
    void AddInPairOrder(const T* window, int windowFirst, int windowLines, int first, int lines);
    // Σ d² of an orientation and lag (1 ≤ lag ≤ maxLag) after the walks.
    double SumOfSquares(Orientation orientation, int lag) const;

private:
    std::size_t Unit(Orientation orientation, int lag) const
    {
        return static_cast<std::size_t>(static_cast<int>(orientation) * m_maxLag + lag - 1);
    }

    int m_width;
    int m_height;
    int m_maxLag;
    std::vector<std::uint64_t> m_exact;  // per orientation and lag
    std::vector<char> m_beyond;          // the exact sum overflowed 64 bits or passed 2^53
    std::vector<double> m_ordered;       // pair-order sums of the second walk
};

extern template class PairSumStream<std::uint8_t>;
extern template class PairSumStream<std::int16_t>;

}  // namespace lumesta
