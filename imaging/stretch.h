#pragma once
// Image stretching for the colour pictures: histogram cutoffs per band and the byte mapping
// (linear stretch between the cutoffs, then an optional logarithmic stretch).

#include <array>
#include <cstdint>
#include <vector>

namespace lumesta {

// The nine stretch parameters of a tool dialog, each per band in the order Blue, Green, Red.
struct StretchParams {
    std::array<int, 3> leftCutoff{2, 2, 2};   // percent, 1..20
    std::array<int, 3> rightCutoff{2, 2, 2};  // percent, 1..20
    std::array<int, 3> nonlinear{0, 0, 0};    // strength, 0..20
};

struct StretchCutoffs {
    int low = 0;
    int high = 0;
};

// Histogram of the values 1..2047 (0 and values outside are not counted); low is the first
// value whose cumulative percentage reaches leftPercent, high the first reaching
// 100 − rightPercent. A band with no counted sample gives low = high = 0.
StretchCutoffs ComputeStretchCutoffs16(std::int64_t count, const std::int16_t* samples,
                                       double leftPercent, double rightPercent);
// The same over the values 1..255.
StretchCutoffs ComputeStretchCutoffs8(std::int64_t count, const std::uint8_t* samples,
                                      double leftPercent, double rightPercent);

// The histogram behind the cutoffs, filled a part of the band at a time (the counts, and so
// the cutoffs, do not depend on how the band is split). bins: 2048 for 16-bit samples, 256 for
// 8-bit ones; values outside 0..bins−1 are not counted.
class StretchHistogram {
public:
    explicit StretchHistogram(int bins);
    void Add(std::int64_t count, const std::int16_t* samples);
    void Add(std::int64_t count, const std::uint8_t* samples);
    // The cutoffs of ComputeStretchCutoffs16 / ComputeStretchCutoffs8 over everything added.
    StretchCutoffs Cutoffs(double leftPercent, double rightPercent) const;

private:
    int m_bins;
    static constexpr int kLanes = 8;
    // kLanes partial histograms of m_bins + 1 places (the last for samples without a bin),
    // summed by Cutoffs.
    std::vector<std::int64_t> m_partial;
};

// Linear stretch of v between low and high (0 at or below low, 255 at or above high, otherwise
// trunc((v − low) × 255 / (high − low)) in double precision).
std::uint8_t LinearStretchByte(double value, double low, double high);

// Logarithmic stretch of a byte with strength s > 0: trunc(255 × ln(1 + s·b/255) / ln(1 + s))
// kept to 8 bits, with 0 → 0 and 255 → 255 fixed. Strength 0 returns the byte unchanged.
std::uint8_t NonlinearStretchByte(std::uint8_t byte, int strength);

// Both steps: the byte of value v for a band with the given limits and strength.
inline std::uint8_t StretchByte(double value, double low, double high, int strength)
{
    const std::uint8_t linear = LinearStretchByte(value, low, high);
    return strength > 0 ? NonlinearStretchByte(linear, strength) : linear;
}

// A 256-entry table of NonlinearStretchByte for one strength, for use in pixel loops.
std::array<std::uint8_t, 256> NonlinearStretchTable(int strength);

}  // namespace lumesta
