#pragma once
// The levels of a Haar decomposition computed line by line as the band arrives: each level
// keeps the approximation line waiting for its partner, so the run holds a few lines per level
// whatever the image height. Every finished line of a sub-band goes straight to its place in
// the float raster; each sub-band's minimum and maximum are kept for the picture.

#include <array>
#include <cfloat>
#include <cstdint>
#include <vector>

#include "core/host.h"
#include "assess/assess_run.h"
#include "raster/raw_file.h"

namespace lumesta {

// The four coefficients of the 2 × 2 block a b / p q, each integer sum multiplied by f in
// single precision: approximation, left minus right column, top minus bottom line, diagonal.
struct HaarCoefficients {
    float approximation;
    float detail1;
    float detail2;
    float detail3;
};
HaarCoefficients HaarBlock(std::int64_t a, std::int64_t b, std::int64_t p, std::int64_t q, float f);
// The same for a block holding no data: the samples flagged invalid take the mean of the valid
// ones, so the approximation averages the valid samples only. Every coefficient is NaN when no
// sample is valid.
HaarCoefficients HaarPartialBlock(const std::int64_t (&samples)[4], const bool (&valid)[4], float f);

// The smallest and largest value taken (≤ and ≥ replace, as the picture's stretch expects).
struct HaarRange {
    double minimum = DBL_MAX;
    double maximum = -DBL_MAX;
    void Take(double value)
    {
        if (value <= minimum) minimum = value;
        if (value >= maximum) maximum = value;
    }
    void Take(const HaarRange& other)
    {
        Take(other.minimum);
        Take(other.maximum);
    }
};

// Per level k = 1 … L (entry k − 1): approximation, D1, D2, D3.
using HaarRanges = std::vector<std::array<HaarRange, 4>>;

class HaarCascade {
public:
    // A width × height band (powers of two), `levels` levels, coefficient factor f; the raster
    // is width × height floats. The counter advances once per coefficient position.
    HaarCascade(int width, int height, int levels, float factor, const RawFile& raster,
                ProgressCounter& counter, Host& host);
    // Makes the line buffers; false after the allocation message.
    bool Allocate();
    // Takes the next line of the band (width samples). Stopped after "Error: Writing to
    // float/binary file.", Cancelled when the user cancelled.
    RunOutcome TakeBandLine(const std::int32_t* line);
    // The same with a flag per sample: a sample flagged false is no data and takes no part; a
    // block without a valid sample is NaN in every sub-band.
    RunOutcome TakeBandLine(const std::int32_t* line, const std::uint8_t* valid);
    const HaarRanges& Ranges() const { return m_ranges; }

private:
    RunOutcome TakeLine(int level, const std::int32_t* line, const std::uint8_t* valid);
    RunOutcome BuildLine(int k, const std::int32_t* even, const std::int32_t* odd,
                         const std::uint8_t* evenValid, const std::uint8_t* oddValid);
    bool WriteRow(int k, int subband, std::int64_t line, std::int64_t column);

    const int m_width;
    const int m_levels;
    const float m_factor;
    const RawFile& m_raster;
    ProgressCounter& m_counter;
    Host& m_host;
    std::vector<int> m_levelWidth;   // W_k, k = 0 … L
    std::vector<int> m_levelHeight;  // H_k
    std::vector<int> m_linesDone;    // lines of level k written so far
    std::vector<std::vector<std::int32_t>> m_waiting;  // per k ≥ 1: level k − 1's unpaired line
    std::vector<bool> m_isWaiting;
    std::vector<std::vector<std::int32_t>> m_approximation;  // per k: line passed to level k + 1
    // With no data: the validity flags of m_waiting and m_approximation.
    std::vector<std::vector<std::uint8_t>> m_waitingValid;
    std::vector<std::vector<std::uint8_t>> m_approximationValid;
    std::array<std::vector<float>, 4> m_rows;                // the sub-band lines being built
    HaarRanges m_ranges;
};

}  // namespace lumesta
