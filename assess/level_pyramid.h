#pragma once
// The pyramid of the multi-resolution statistics built line by line: each level keeps only the
// line waiting for its partner, so a walk over a band of any height holds a few lines per level.

#include <functional>
#include <vector>

#include "core/host.h"
#include "assess/assess_run.h"
#include "assess/level_statistics.h"

namespace lumesta {

class LevelPyramid {
public:
    // Receives every finished line of every level (the base's included), each level's lines in
    // order from the top.
    using LineSink = std::function<void(int level, const float* line, int width)>;

    // sizes: the sizes of levels 0 … L, from NextLevelSize.
    explicit LevelPyramid(std::vector<LevelSize> sizes);
    // Makes the line buffers; false after the allocation message.
    bool Allocate(Host& host);
    // Takes the next line of the base and builds what it completes; false when cancelled.
    bool TakeBaseLine(const float* line, ProgressCounter& counter, const LineSink& sink);
    // After the base's last line: the last lines of the levels above an odd height.
    bool Finish(ProgressCounter& counter, const LineSink& sink);

private:
    bool TakeLine(int level, const float* line, ProgressCounter& counter, const LineSink& sink);

    std::vector<LevelSize> m_sizes;
    std::vector<std::vector<float>> m_waiting;  // per level k ≥ 1: level k−1's unpaired line
    std::vector<bool> m_isWaiting;
    std::vector<std::vector<float>> m_built;  // per level k ≥ 1: the line being built
};

}  // namespace lumesta
