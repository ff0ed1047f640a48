#pragma once
// What a scene-adaptive network is trained on: blocks of the coarser pair (coarse_pair.h), each
// with the network's inputs reaching kNetworkReach pixels around it, the base method's fused
// values and the MS as reference, all over each band's scale, and which pixels are valid. The
// pair is split into a left and a right half for the held-out check; each half is cut into
// blocks of at most kBlockSide pixels a side, and where they would not fit in kPoolBytes a
// seeded draw keeps as many blocks of each half as do.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/host.h"
#include "core/step_result.h"

namespace lumesta {

struct InjectionModel;

constexpr std::int64_t kBlockSide = 128;
constexpr std::int64_t kPoolBytes = std::int64_t{96} << 20;

struct TrainingBlock {
    std::int64_t x0 = 0;  // on the pair's grid
    std::int64_t y0 = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
    int half = 0;  // 0: the left half of the pair, 1: the right
    // 2N planes of (height + 6) × (width + 6) inputs, pixel (y, x) of the block at (y + 3, x + 3).
    std::vector<float> inputs;
    std::vector<float> base;     // N planes of height × width
    std::vector<float> target;   // N planes of height × width
    std::vector<std::uint8_t> valid;  // height × width
};

struct TrainingPool {
    int bands = 0;
    std::vector<TrainingBlock> blocks;  // top to bottom, left to right within each half
};

// The blocks of a width × height pair (sizes only), kept by the draw from seed where too many.
std::vector<TrainingBlock> PlanTrainingBlocks(std::int64_t width, std::int64_t height, int bands,
                                              std::uint64_t seed);

// Fills the planned blocks: the inputs and base values from coarse, the base method fitted on
// the pair (injection_fusion.h's ComputeBaseRows), the reference and its validity from the
// MS of model's window; everything over scales. A read failure shows readFailure and answers
// Failed; pump answering false answers Cancelled.
StepResult FillTrainingPool(const InjectionModel& model, const InjectionModel& coarse,
                            const std::vector<double>& scales, TrainingPool& pool,
                            const std::string& readFailure, Host& host,
                            const std::function<bool()>& pump);

}  // namespace lumesta
