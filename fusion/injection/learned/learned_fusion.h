#pragma once
// The fusion pass of a scene-adaptive (learned) method: its network is trained on the scene
// itself, on the method's own pair degraded once more (coarse_pair.h, training_pool.h,
// scene_training.h), then run over the image strip by strip, its outputs added to the base
// method's fused values. When the held-out check finds that the network does not help, the
// base method's image is written unchanged.
//
// The same inputs give the same bytes whatever the number of threads, the processor or the
// strip height: the training sums each patch's gradient on its own and adds them in order,
// and every output is computed from the same values by the same sums.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/host.h"
#include "core/step_result.h"
#include "fusion/injection/injection_fusion.h"
#include "fusion/injection/learned/scene_network.h"
#include "fusion/injection/learned/scene_training.h"

namespace lumesta {

struct InjectionModel;

// The bar's share of the training, in per cent; the fusion takes the rest.
constexpr int kTrainingShare = 40;

// FuseInjectedImage for a learned method: the training's steps are shown on progress (its
// status text and the first kTrainingShare per cent of the bar), Cancel is checked between
// steps and strips. Messages and results as FuseInjectedImage's.
StepResult FuseLearnedImage(const InjectionModel& model, const FusedRowsSink& sink,
                            const std::array<int, 3>& colourAmounts, std::int64_t stripRows,
                            const std::string& readFailure, RunProgress& progress, Host& host,
                            const std::function<bool()>& pump);

// Trains the network on the scene's coarser pair: scales holds each band's scale, network and
// outcome what the training found (outcome.useNetwork false also when the window's MS is too
// small to learn from). The steps are shown on progress. Messages and results as
// FuseInjectedImage's.
StepResult TrainOnScene(const InjectionModel& model, std::vector<double>& scales,
                        SceneNetwork& network, TrainingOutcome& outcome,
                        const std::string& readFailure, RunProgress& progress, Host& host,
                        const std::function<bool()>& pump);

// The strip height for running the network over the model's image in about
// kNetworkBufferBytes.
constexpr std::int64_t kNetworkBufferBytes = std::int64_t{128} << 20;
std::int64_t NetworkStripRows(const InjectionModel& model);

// The fused values of a strip with the network: the base method's values plus each band's
// scale times the network's output, the network's inputs extended by replicating the window's
// edge rows and columns. network and scales outlive it.
StripValues NetworkStripValues(const InjectionModel& model, const SceneNetwork& network,
                               const std::vector<double>& scales, std::int64_t stripRows,
                               const std::string& readFailure, Host& host,
                               const std::function<bool()>& pump);

}  // namespace lumesta
