#pragma once
// A band of values without a visible pattern for the assessment tool tests (headers:
// scene_builder.h).

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"

namespace lumesta::testing {

// A deterministic band of values 0..range−1 (hashed sample indices, no visible pattern).
inline std::vector<std::int16_t> PatternBand(int width, int height, int range,
                                             std::uint64_t seed = 7)
{
    std::vector<std::int16_t> band(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < band.size(); ++i) {
        std::uint64_t h = (i + seed) * 0x9e3779b97f4a7c15ULL;
        h ^= h >> 31;
        h *= 0xbf58476d1ce4e5b9ULL;
        h ^= h >> 29;
        band[i] = static_cast<std::int16_t>(
            static_cast<std::uint16_t>(h % static_cast<std::uint64_t>(range)));
    }
    return band;
}

}  // namespace lumesta::testing
