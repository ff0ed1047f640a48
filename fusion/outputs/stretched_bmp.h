#pragma once
// The stretched 24-bit picture of three fused bands, written by both pan-sharpening runs.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/host.h"
#include "core/step_result.h"
#include "imaging/stretch.h"
#include "raster/raw_file.h"

namespace lumesta {

// Everything the stretched picture of three fused bands needs.
struct StretchedBmpJob {
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::array<const RawFile*, 3> bands{};  // Blue, Green, Red fused files
    std::array<StretchCutoffs, 3> limits;
    std::array<int, 3> nonlinear{};
    std::string path;
    std::optional<int> noData;  // samples of this value show black
};

// Writes the 24-bit BMP in its eight strips, each byte the stretched value of its band, and
// sets the progress to rows done × 100 / height after each strip. Samples are 16-bit or 8-bit.
StepResult WriteStretchedBmp16(const StretchedBmpJob& job, RunProgress& progress,
                               const std::function<bool()>& pump, Host& host);
StepResult WriteStretchedBmp8(const StretchedBmpJob& job, RunProgress& progress,
                              const std::function<bool()>& pump, Host& host);

}  // namespace lumesta
