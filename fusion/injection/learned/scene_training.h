#pragma once
// Training of the scene-adaptive network on the blocks of the coarser pair, with a held-out
// check that keeps the network only where it helps.
//
// Each training starts from the same initial network and draws its patches from the same
// seed: Adam (learning rate 1e-3) on the mean absolute error over the valid pixels and bands,
// eight patches of 64 × 64 pixels a step (or, when every block is that small, every block
// whole). The gradient of each patch is computed on its own and the patches' gradients are
// added in their order, so the trained weights do not depend on the number of threads.
//
// The held-out check trains on one half of the pair for kMostSteps steps and measures the error
// on the other half every kCheckEvery steps, both ways. The network is used only when, at the
// step count where the two halves' mean error is lowest, that mean lies at least 1 % below the
// base method's, and when no check of either half reached the base method's error (a network
// that overfits the scene within kMostSteps is not trusted); it is then trained on both
// halves for that many steps.

#include <functional>
#include <string>
#include <vector>

#include "core/host.h"
#include "core/step_result.h"
#include "fusion/injection/learned/scene_network.h"
#include "fusion/injection/learned/training_pool.h"

namespace lumesta {

constexpr int kMostSteps = 200;
constexpr int kCheckEvery = 25;

// What the training found.
struct TrainingOutcome {
    bool useNetwork = false;
    int steps = 0;  // of the training on both halves
    // The held-out error over the base method's, every kCheckEvery steps, of each half.
    std::vector<double> heldOut[2];
    std::vector<double> losses;  // the loss of every step of the training on both halves
};

// Reports a training's progress: which part of the training (0, 1: held-out checks; 2: the
// training on both halves), the steps done and the part's steps.
using TrainingProgress = std::function<void(int part, int step, int steps)>;

// Trains from the pool's blocks: network and outcome hold the result. pump is asked between
// steps; false answers Cancelled.
StepResult TrainSceneNetwork(const TrainingPool& pool, SceneNetwork& network,
                             TrainingOutcome& outcome, const TrainingProgress& progress,
                             const std::function<bool()>& pump);

// One training on the blocks of half (−1: both) for steps steps, its loss at every step added
// to losses; every kCheckEvery steps the error on the other half over the base method's is
// added to heldOut when given.
StepResult TrainOnBlocks(const TrainingPool& pool, int half, int steps, SceneNetwork& network,
                         std::vector<double>& losses, std::vector<double>* heldOut,
                         const std::function<void(int step)>& stepDone,
                         const std::function<bool()>& pump);

}  // namespace lumesta
