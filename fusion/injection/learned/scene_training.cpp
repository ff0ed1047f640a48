#include "fusion/injection/learned/scene_training.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>

#include "core/worker_threads.h"
#include "fusion/parallel_rows.h"

namespace lumesta {
namespace {

// Fixed seeds: the same scene trains to the same network on every run and machine.
constexpr std::uint64_t kInitialSeed = 0x243F6A8885A308D3ULL;
constexpr std::uint64_t kPatchSeed = 0x13198A2E03707344ULL;
constexpr std::int64_t kPatchSide = 64;
constexpr int kPatchesPerStep = 8;
constexpr double kLearningRate = 1e-3;
constexpr double kLeastGain = 0.01;  // the held-out error must fall by at least 1 %

struct Patch {
    const TrainingBlock* block = nullptr;
    std::int64_t x0 = 0;  // within the block
    std::int64_t y0 = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
};

// A workspace for each thread at work, lent for one patch at a time. What a workspace held
// before does not reach the results: every pass writes all it reads.
class Workspaces {
public:
    explicit Workspaces(int bands) : m_bands(bands) {}

    std::unique_ptr<NetworkWorkspace> Take()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_free.empty()) {
            return std::make_unique<NetworkWorkspace>(m_bands, kBlockSide, kBlockSide);
        }
        std::unique_ptr<NetworkWorkspace> workspace = std::move(m_free.back());
        m_free.pop_back();
        return workspace;
    }

    void Give(std::unique_ptr<NetworkWorkspace> workspace)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_free.push_back(std::move(workspace));
    }

private:
    int m_bands;
    std::mutex m_mutex;
    std::vector<std::unique_ptr<NetworkWorkspace>> m_free;
};

// Copies the patch's inputs, its reach around it included, into the workspace.
void LoadInputs(const Patch& patch, int bands, NetworkWorkspace& workspace)
{
    const TrainingBlock& block = *patch.block;
    const std::int64_t wide = block.width + 2 * kNetworkReach;
    const std::int64_t tall = block.height + 2 * kNetworkReach;
    const PlaneLayout& layout = workspace.Layout();
    for (int c = 0; c < 2 * bands; ++c) {
        for (std::int64_t r = 0; r < patch.height + 2 * kNetworkReach; ++r) {
            const float* from =
                block.inputs.data() + (c * tall + patch.y0 + r) * wide + patch.x0;
            std::copy(from, from + patch.width + 2 * kNetworkReach,
                      workspace.Inputs() + c * layout.channelStride + r * layout.rowStride);
        }
    }
}

std::int64_t ValidCount(const Patch& patch)
{
    const TrainingBlock& block = *patch.block;
    std::int64_t count = 0;
    for (std::int64_t y = 0; y < patch.height; ++y) {
        const std::uint8_t* row = block.valid.data() + (patch.y0 + y) * block.width + patch.x0;
        for (std::int64_t x = 0; x < patch.width; ++x) count += row[x];
    }
    return count;
}

// The absolute error of the patch's valid outputs, summed in order; without a workspace, that
// of the base method alone. With perElement given, the error's sign times perElement becomes
// the workspace's output gradient (cleared before).
double PatchError(const Patch& patch, int bands, NetworkWorkspace* workspace, float perElement)
{
    const TrainingBlock& block = *patch.block;
    double sum = 0;
    for (int k = 0; k < bands; ++k) {
        for (std::int64_t y = 0; y < patch.height; ++y) {
            const std::int64_t at =
                k * block.height * block.width + (patch.y0 + y) * block.width + patch.x0;
            const std::uint8_t* valid =
                block.valid.data() + (patch.y0 + y) * block.width + patch.x0;
            const float* out = nullptr;
            float* delta = nullptr;
            if (workspace != nullptr) {
                const PlaneLayout& layout = workspace->Layout();
                const std::int64_t plane = k * layout.channelStride + y * layout.rowStride;
                out = workspace->Outputs() + plane;
                delta = workspace->OutputGradient() + plane;
            }
            for (std::int64_t x = 0; x < patch.width; ++x) {
                if (!valid[x]) continue;
                const float error = block.base[at + x] + (out != nullptr ? out[x] : 0.0f) -
                                    block.target[at + x];
                sum += std::fabs(double{error});
                if (delta != nullptr && perElement != 0) {
                    delta[x] = error > 0 ? perElement : (error < 0 ? -perElement : 0.0f);
                }
            }
        }
    }
    return sum;
}

std::vector<const TrainingBlock*> BlocksOf(const TrainingPool& pool, int half)
{
    std::vector<const TrainingBlock*> blocks;
    for (const TrainingBlock& block : pool.blocks) {
        if (half < 0 || block.half == half) blocks.push_back(&block);
    }
    return blocks;
}

Patch WholeBlock(const TrainingBlock& block)
{
    return {&block, 0, 0, block.width, block.height};
}

// The patches of one step: every block whole when all are small, else eight drawn ones.
std::vector<Patch> DrawPatches(const std::vector<const TrainingBlock*>& blocks, SplitMix64& random)
{
    std::vector<Patch> patches;
    const bool small = std::all_of(blocks.begin(), blocks.end(), [](const TrainingBlock* b) {
        return b->width <= kPatchSide && b->height <= kPatchSide;
    });
    if (small) {
        for (const TrainingBlock* block : blocks) patches.push_back(WholeBlock(*block));
        return patches;
    }
    for (int p = 0; p < kPatchesPerStep; ++p) {
        const TrainingBlock& block =
            *blocks[static_cast<std::size_t>(random.Below(static_cast<std::int64_t>(blocks.size())))];
        Patch patch{&block, 0, 0, std::min(kPatchSide, block.width),
                    std::min(kPatchSide, block.height)};
        patch.y0 = random.Below(block.height - patch.height + 1);
        patch.x0 = random.Below(block.width - patch.width + 1);
        patches.push_back(patch);
    }
    return patches;
}

// The mean absolute error of the network on the blocks (without a network: of the base
// method); each block's sum on its own, the blocks' sums added in order. Negative when no
// pixel is valid.
bool MeanError(const std::vector<const TrainingBlock*>& blocks, const SceneNetwork* network,
               int bands, Workspaces& workspaces, const std::function<bool()>& pump,
               double& mean)
{
    std::vector<double> sums(blocks.size(), 0.0);
    std::vector<std::int64_t> counts(blocks.size(), 0);
    const bool going = ForEachRowInParallel(
        static_cast<std::int64_t>(blocks.size()),
        [&](std::int64_t b) {
            const Patch patch = WholeBlock(*blocks[b]);
            if (network == nullptr) {
                sums[b] = PatchError(patch, bands, nullptr, 0.0f);
            } else {
                std::unique_ptr<NetworkWorkspace> workspace = workspaces.Take();
                LoadInputs(patch, bands, *workspace);
                workspace->Forward(*network, patch.height, patch.width);
                sums[b] = PatchError(patch, bands, workspace.get(), 0.0f);
                workspaces.Give(std::move(workspace));
            }
            counts[b] = ValidCount(patch) * bands;
        },
        pump);
    double sum = 0;
    std::int64_t count = 0;
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        sum += sums[b];
        count += counts[b];
    }
    mean = count > 0 ? sum / static_cast<double>(count) : -1.0;
    return going;
}

}  // namespace

StepResult TrainOnBlocks(const TrainingPool& pool, int half, int steps, SceneNetwork& network,
                         std::vector<double>& losses, std::vector<double>* heldOut,
                         const std::function<void(int step)>& stepDone,
                         const std::function<bool()>& pump)
{
    const int bands = pool.bands;
    const std::vector<const TrainingBlock*> blocks = BlocksOf(pool, half);
    const std::vector<const TrainingBlock*> others = BlocksOf(pool, 1 - half);
    Workspaces workspaces(bands);
    double baseError = 0;
    if (heldOut != nullptr && !MeanError(others, nullptr, bands, workspaces, pump, baseError)) {
        return StepResult::Cancelled;
    }
    network = InitialNetwork(bands, kInitialSeed);
    AdamOptimiser adam(network, kLearningRate);
    SplitMix64 random(kPatchSeed);
    for (int step = 1; step <= steps; ++step) {
        const std::vector<Patch> patches = DrawPatches(blocks, random);
        std::int64_t count = 0;
        for (const Patch& patch : patches) count += ValidCount(patch) * bands;
        const float perElement = count > 0 ? static_cast<float>(1.0 / count) : 0.0f;
        const SceneNetwork transposed = Transposed(network);
        std::vector<SceneNetwork> gradients(patches.size(), ZeroNetwork(bands));
        std::vector<double> errors(patches.size(), 0.0);
        const bool going = ForEachRowInParallel(
            static_cast<std::int64_t>(patches.size()),
            [&](std::int64_t p) {
                const Patch& patch = patches[p];
                std::unique_ptr<NetworkWorkspace> workspace = workspaces.Take();
                LoadInputs(patch, bands, *workspace);
                workspace->Forward(network, patch.height, patch.width);
                workspace->ClearOutputGradient();
                errors[p] = PatchError(patch, bands, workspace.get(), perElement);
                if (perElement != 0) {
                    workspace->Backward(network, transposed, patch.height, patch.width,
                                        gradients[p]);
                }
                workspaces.Give(std::move(workspace));
            },
            pump);
        if (!going) return StepResult::Cancelled;
        double error = 0;
        for (std::size_t p = 1; p < patches.size(); ++p) AddNetwork(gradients[0], gradients[p]);
        for (double e : errors) error += e;
        losses.push_back(count > 0 ? error / static_cast<double>(count) : 0.0);
        if (count > 0) adam.Step(network, gradients[0]);
        if (heldOut != nullptr && step % kCheckEvery == 0) {
            double mean = 0;
            if (!MeanError(others, &network, bands, workspaces, pump, mean)) {
                return StepResult::Cancelled;
            }
            heldOut->push_back(baseError > 0 && mean >= 0 ? mean / baseError : 1.0);
        }
        if (stepDone) stepDone(step);
        if (!pump()) return StepResult::Cancelled;
    }
    return StepResult::Ok;
}

StepResult TrainSceneNetwork(const TrainingPool& pool, SceneNetwork& network,
                             TrainingOutcome& outcome, const TrainingProgress& progress,
                             const std::function<bool()>& pump)
{
    outcome = TrainingOutcome();
    std::vector<double> losses;
    for (int half = 0; half < 2; ++half) {
        const StepResult result = TrainOnBlocks(
            pool, half, kMostSteps, network, losses, &outcome.heldOut[half],
            [&](int step) { progress(half, step, kMostSteps); }, pump);
        if (result != StepResult::Ok) return result;
    }
    // The step count where the halves' mean held-out error is lowest (the first such).
    const std::size_t checks = outcome.heldOut[0].size();
    std::size_t best = 0;
    double bestMean = 2;
    for (std::size_t i = 0; i < checks; ++i) {
        const double mean = (outcome.heldOut[0][i] + outcome.heldOut[1][i]) / 2;
        if (mean < bestMean) {
            bestMean = mean;
            best = i;
        }
    }
    // A held-out error that reaches the base method's at any check shows a network that
    // overfits this scene within the steps tried: its corrections are not to be trusted.
    bool steady = true;
    for (const auto& half : outcome.heldOut) {
        for (double error : half) steady = steady && error < 1;
    }
    outcome.useNetwork = checks > 0 && steady && bestMean < 1 - kLeastGain;
    network = ZeroNetwork(pool.bands);
    if (!outcome.useNetwork) return StepResult::Ok;
    outcome.steps = static_cast<int>(best + 1) * kCheckEvery;
    return TrainOnBlocks(
        pool, -1, outcome.steps, network, outcome.losses, nullptr,
        [&](int step) { progress(2, step, outcome.steps); }, pump);
}

}  // namespace lumesta
