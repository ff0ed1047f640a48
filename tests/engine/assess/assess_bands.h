#pragma once
// Small generated bands for the assessment tool tests: an Idrisi32 header (ENVI headers:
// scene_builder.h), and a band of values without a visible pattern.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"

namespace lumesta::testing {

inline void WriteAssessIdrisiHeader(const std::string& rstPath, int width, int height,
                                    const std::string& dataType = "integer")
{
    const std::string text =
        "file format : IDRISI Raster A.1\r\nfile title  : test\r\ndata type   : " + dataType +
        "\r\nfile type   : binary\r\ncolumns     : " + std::to_string(width) +
        "\r\nrows        : " + std::to_string(height) +
        "\r\nref. system : plane\r\nref. units  : m\r\nunit dist.  : 1\r\nmin. X      : 0\r\n"
        "max. X      : 64\r\nmin. Y      : 0\r\nmax. Y      : 64\r\npos'n error : unknown\r\n"
        "resolution  : 1\r\nmin. value  : 0\r\nmax. value  : 2047\r\ndisplay min : 0\r\n"
        "display max : 2047\r\nvalue units : unspecified\r\n";
    WriteFileBytes(rstPath.substr(0, rstPath.size() - 4) + ".rdc", text);
}

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
