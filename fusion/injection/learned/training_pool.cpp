#include "fusion/injection/learned/training_pool.h"

#include <algorithm>

#include "fusion/injection/injection_fusion.h"
#include "fusion/injection/injection_model.h"
#include "fusion/injection/learned/scene_network.h"
#include "imaging/row_stream.h"

namespace lumesta {
namespace {

// About this many bytes hold the coarse rows computed at once while the blocks are filled.
constexpr std::int64_t kFillBufferBytes = std::int64_t{16} << 20;

std::int64_t BlockBytes(std::int64_t width, std::int64_t height, int bands)
{
    const std::int64_t reach = 2 * kNetworkReach;
    return 4 * 2 * bands * ((height + reach) * (width + reach) + height * width) + height * width;
}

// Splits [0, side) into the fewest parts of at most kBlockSide, as equal as they can be.
std::vector<std::int64_t> Cuts(std::int64_t side)
{
    const std::int64_t parts = (side + kBlockSide - 1) / kBlockSide;
    std::vector<std::int64_t> cuts;
    for (std::int64_t i = 0; i <= parts; ++i) cuts.push_back(i * side / parts);
    return cuts;
}

// Copies what rows first .. first + count − 1 of the pair hold for the block: the inputs of
// the rows its reach takes (edge rows and columns replicated), its base values and reference.
void FillBlock(TrainingBlock& block, int bands, std::int64_t pairWidth, std::int64_t pairHeight,
               std::int64_t first, std::int64_t count, const float* features,
               std::int64_t featurePlane, const double* base, const std::vector<float>& target,
               const std::vector<std::uint8_t>& valid, const std::vector<double>& scales)
{
    const std::int64_t w = block.width, h = block.height;
    const std::int64_t wide = w + 2 * kNetworkReach;
    const std::int64_t tall = h + 2 * kNetworkReach;
    for (std::int64_t r = 0; r < tall; ++r) {
        const std::int64_t y = ClampIndex(block.y0 - kNetworkReach + r, pairHeight);
        if (y < first || y >= first + count) continue;
        for (int c = 0; c < 2 * bands; ++c) {
            const float* from = features + c * featurePlane + (y - first) * pairWidth;
            float* to = block.inputs.data() + (c * tall + r) * wide;
            for (std::int64_t j = 0; j < wide; ++j)
                to[j] = from[ClampIndex(block.x0 - kNetworkReach + j, pairWidth)];
        }
    }
    const std::int64_t y0 = std::max(first, block.y0);
    const std::int64_t y1 = std::min(first + count, block.y0 + h);
    const std::int64_t msWidth = pairWidth;
    for (std::int64_t y = y0; y < y1; ++y) {
        const std::int64_t at = (y - block.y0) * w;
        for (int k = 0; k < bands; ++k) {
            const double* from = base + (k * count + y - first) * pairWidth + block.x0;
            const float* reference = target.data() + (k * count + y - first) * msWidth + block.x0;
            float* toBase = block.base.data() + k * h * w + at;
            float* toTarget = block.target.data() + k * h * w + at;
            for (std::int64_t x = 0; x < w; ++x) {
                toBase[x] = static_cast<float>(from[x] / scales[k]);
                toTarget[x] = static_cast<float>(reference[x] / scales[k]);
            }
        }
        const std::uint8_t* ok = valid.data() + (y - first) * msWidth + block.x0;
        std::copy(ok, ok + w, block.valid.begin() + at);
    }
}

}  // namespace

std::vector<TrainingBlock> PlanTrainingBlocks(std::int64_t width, std::int64_t height, int bands,
                                              std::uint64_t seed)
{
    const std::vector<std::int64_t> rows = Cuts(height);
    std::vector<TrainingBlock> blocks;
    SplitMix64 random(seed);
    for (int half = 0; half < 2; ++half) {
        const std::int64_t left = half * (width / 2);
        const std::int64_t right = half == 0 ? width / 2 : width;
        const std::vector<std::int64_t> columns = Cuts(right - left);
        std::vector<TrainingBlock> all;
        for (std::size_t j = 0; j + 1 < rows.size(); ++j) {
            for (std::size_t i = 0; i + 1 < columns.size(); ++i) {
                TrainingBlock block;
                block.x0 = left + columns[i];
                block.y0 = rows[j];
                block.width = columns[i + 1] - columns[i];
                block.height = rows[j + 1] - rows[j];
                block.half = half;
                all.push_back(block);
            }
        }
        const std::int64_t largest = BlockBytes(all.front().width, all.front().height, bands);
        const auto keep = static_cast<std::size_t>(
            std::max<std::int64_t>(1, kPoolBytes / 2 / largest));
        // A partial shuffle draws the blocks kept; they are then taken in their order.
        std::vector<std::size_t> order(all.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        if (keep < all.size()) {
            for (std::size_t i = 0; i < keep; ++i) {
                const auto j = i + static_cast<std::size_t>(
                                       random.Below(static_cast<std::int64_t>(all.size() - i)));
                std::swap(order[i], order[j]);
            }
            order.resize(keep);
            std::sort(order.begin(), order.end());
        }
        for (std::size_t i : order) blocks.push_back(all[i]);
    }
    return blocks;
}

StepResult FillTrainingPool(const InjectionModel& model, const InjectionModel& coarse,
                            const std::vector<double>& scales, TrainingPool& pool,
                            const std::string& readFailure, Host& host,
                            const std::function<bool()>& pump)
{
    const int n = model.bands;
    const std::int64_t width = coarse.width;
    const std::int64_t height = coarse.height;
    for (TrainingBlock& block : pool.blocks) {
        const std::int64_t reach = 2 * kNetworkReach;
        block.inputs.assign(
            static_cast<std::size_t>(2 * n * (block.height + reach) * (block.width + reach)), 0);
        block.base.assign(static_cast<std::size_t>(n * block.height * block.width), 0);
        block.target.assign(block.base.size(), 0);
        block.valid.assign(static_cast<std::size_t>(block.height * block.width), 1);
    }
    // Per row: the base values and inputs of the pair, the MS and its validity.
    const std::int64_t rowBytes = width * (n * 8 + 2 * n * 4 + n * 4 + 1);
    const std::int64_t chunk = std::clamp<std::int64_t>(kFillBufferBytes / rowBytes, 1, height);
    std::vector<double> base(static_cast<std::size_t>(n * chunk * width));
    std::vector<float> features(static_cast<std::size_t>(2 * n * chunk * width));
    std::vector<float> ms(static_cast<std::size_t>(n * chunk * model.msWidth));
    std::vector<float> target(static_cast<std::size_t>(n * chunk * width));
    std::vector<std::uint8_t> valid(static_cast<std::size_t>(chunk * model.msWidth), 1);
    std::vector<std::uint8_t> validCut(static_cast<std::size_t>(chunk * width), 1);
    for (std::int64_t first = 0; first < height; first += chunk) {
        const std::int64_t count = std::min(chunk, height - first);
        BaseRowsTarget rows;
        rows.base = base.data();
        rows.baseFirst = first;
        rows.baseCount = count;
        rows.baseBandStride = count * width;
        rows.features = features.data();
        rows.featureChannelStride = count * width;
        rows.featureRowStride = width;
        const StepResult result =
            ComputeBaseRows(coarse, first, count, scales, rows, readFailure, host, pump);
        if (result != StepResult::Ok) return result;
        std::vector<float*> bands;
        for (int k = 0; k < n; ++k) bands.push_back(ms.data() + k * count * model.msWidth);
        if (!ReadMsRows(model, first, count, bands.data()) ||
            (model.scene.Masked() && !model.scene.ReadMsValid(first, count, valid.data()))) {
            host.ShowMessage(readFailure);
            return StepResult::Failed;
        }
        // The pair is the MS's top-left part: its rows cut to the pair's width.
        for (std::int64_t y = 0; y < count; ++y) {
            for (int k = 0; k < n; ++k) {
                const float* from = bands[k] + y * model.msWidth;
                std::copy(from, from + width, target.begin() + (k * count + y) * width);
            }
            const std::uint8_t* from = valid.data() + y * model.msWidth;
            std::copy(from, from + width, validCut.begin() + y * width);
        }
        for (TrainingBlock& block : pool.blocks) {
            FillBlock(block, n, width, height, first, count, features.data(), count * width,
                      base.data(), target, validCut, scales);
        }
        if (!pump()) return StepResult::Cancelled;
    }
    return StepResult::Ok;
}

}  // namespace lumesta
