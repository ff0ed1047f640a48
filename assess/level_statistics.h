#pragma once
// The pieces of the multi-resolution statistics tool: one pyramid level from the previous one
// by 2 × 2 averaging, the nine statistics of a level, and the table.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/host.h"
#include "assess/assess_run.h"

namespace lumesta {

// Minimum, maximum, mean, variance, standard deviation, coefficient of variation, skewness,
// kurtosis, entropy.
using LevelStatistics = std::array<double, 9>;

struct LevelSize {
    int width = 0;
    int height = 0;
};

// Half the width and height, rounded up (an odd side keeps its last column or row as pair means).
LevelSize NextLevelSize(LevelSize size);

// Builds the next level y (NextLevelSize(size) floats, zero-filled by the caller) from x: block
// means of 2 × 2 samples, then the last column, last row and corner of odd sides. The counter
// advances before every block mean; false as soon as the user cancelled.
bool BuildNextLevel(const float* x, LevelSize size, float* y, ProgressCounter& counter);

// Builds one line of the next level from two lines of a level `width` samples wide (odd =
// null for the last line of an odd height, which gives pair means along the line and the
// corner). The counter advances before every block mean; false as soon as the user cancelled.
bool BuildNextLevelLine(const float* even, const float* odd, int width, float* y,
                        ProgressCounter& counter);

// The nine statistics of count samples (count ≥ 2). Sums are double-precision and taken in
// sample order; 0/0 (a constant level, a mean of 0) gives not-a-number.
LevelStatistics ComputeLevelStatistics(const float* x, std::int64_t count);

// The statistics of one level whose samples arrive a line at a time, in two walks over the
// level: the first takes the sum, minimum and maximum, the second (after StartSecondWalk) the
// sums that need the mean. Every sum is taken in sample order, so the result equals
// ComputeLevelStatistics over the whole level. Holds a few megabytes, whatever the level's size.
class PowerCache;

class LevelAccumulator {
public:
    // count: the samples the level will have (decides the threads of the second walk).
    explicit LevelAccumulator(std::int64_t count);
    ~LevelAccumulator();
    LevelAccumulator(LevelAccumulator&&) noexcept;
    LevelAccumulator& operator=(LevelAccumulator&&) noexcept;

    void TakeFirst(const float* x, std::int64_t count);
    void StartSecondWalk();
    void TakeSecond(const float* x, std::int64_t count);
    // After the second walk.
    LevelStatistics Finish();

private:
    void SumBlock();

    std::int64_t m_count = 0;
    double m_sum = 0.0;
    double m_minimum;
    double m_maximum;
    double m_mean = 0.0;
    double m_squares = 0.0;
    double m_cubes = 0.0;
    double m_fourths = 0.0;
    std::array<std::int64_t, 256> m_bins{};
    std::int64_t m_expected;
    std::vector<float> m_block;  // samples of the second walk waiting for their powers
    std::size_t m_blockFill = 0;
    std::vector<PowerCache> m_caches;
};

// Writes the table: a size line and nine statistics lines with one column per level, each
// field followed by a tab, then three empty lines. "Error - output multi-resolution
// statistics!" when the file cannot be created or written (nothing stays behind); false then.
bool WriteStatisticsTable(const std::string& path, const std::vector<LevelSize>& sizes,
                          const std::vector<LevelStatistics>& rows, Host& host);

}  // namespace lumesta
