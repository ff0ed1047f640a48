#pragma once
// The 23-tap interpolator along one axis as explicit weights: fine sample n of an upsampled line
// is the weighted sum of a few neighbouring coarse samples. The weights come from running the
// interpolator (its zero insertion, phases and mirrored borders) on unit impulses, so a band
// can be upsampled row by row, in any strip, with the same sums for every pixel.

#include <cstdint>
#include <vector>

namespace lumesta {

class AxisWeights {
public:
    AxisWeights() = default;  // a line of no samples
    // The weights of a line of coarse samples upsampled by ratio (a power of two).
    AxisWeights(std::int64_t coarse, int ratio);

    std::int64_t Fine() const { return static_cast<std::int64_t>(m_first.size()); }
    // The first coarse sample that reaches fine sample n, and how many do (from there on).
    std::int64_t First(std::int64_t n) const { return m_first[static_cast<std::size_t>(n)]; }
    int Count(std::int64_t n) const { return m_count[static_cast<std::size_t>(n)]; }
    const double* Weights(std::int64_t n) const
    {
        return m_weights.data() + static_cast<std::size_t>(Slot(n)) * m_stride;
    }

    // out[n] = Σ Weights(n)[j] · in[First(n) + j], summed in order of j, for every fine n.
    void Apply(const double* in, double* out) const;

private:
    // Finds the stretch of fine samples whose weights repeat every ratio samples (the line away
    // from its borders), which Apply sums phase by phase over whole runs of samples.
    void FindPeriodicStretch(int ratio);
    // Keeps the weights of the samples before the periodic stretch, of its first ratio samples
    // and of the samples after it: the stretch repeats its first ratio samples' weights, so a
    // line's weights take the same memory whatever its length.
    void DropRepeatedWeights();
    // Where sample n's weights are kept.
    std::int64_t Slot(std::int64_t n) const
    {
        if (n < m_periodicBegin + m_ratio || n >= m_periodicEnd) {
            return n < m_periodicEnd ? n : n - m_periodicEnd + m_keptBeforeEnd;
        }
        return m_periodicBegin + (n - m_periodicBegin) % m_ratio;
    }

    std::vector<std::int64_t> m_first;
    std::vector<int> m_count;
    std::vector<double> m_weights;
    std::size_t m_stride = 0;
    int m_ratio = 1;
    std::int64_t m_periodicBegin = 0;  // empty when no stretch repeats
    std::int64_t m_periodicEnd = 0;
    std::int64_t m_keptBeforeEnd = 0;  // slots of the samples before m_periodicEnd
};

}  // namespace lumesta
