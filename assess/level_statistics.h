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

// The nine statistics of count samples (count ≥ 2). Sums are double-precision and taken in
// sample order; 0/0 (a constant level, a mean of 0) gives not-a-number.
LevelStatistics ComputeLevelStatistics(const float* x, std::int64_t count);

// Writes the table: a size line and nine statistics lines with one column per level, each
// field followed by a tab, then three empty lines. "Error - output multi-resolution
// statistics!" when the file cannot be created or written (nothing stays behind); false then.
bool WriteStatisticsTable(const std::string& path, const std::vector<LevelSize>& sizes,
                          const std::vector<LevelStatistics>& rows, Host& host);

}  // namespace lumesta
