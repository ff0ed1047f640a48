#include "fusion/injection/learned/learned_fusion.h"

#include <algorithm>
#include <memory>

#include "core/allocate.h"
#include "fusion/injection/injection_model.h"
#include "fusion/injection/learned/coarse_pair.h"
#include "fusion/injection/learned/scene_training.h"
#include "fusion/injection/learned/training_pool.h"
#include "fusion/parallel_rows.h"

namespace lumesta {
namespace {

constexpr std::uint64_t kBlockSeed = 0xA4093822299F31D0ULL;
constexpr std::int64_t kLeastStripRows = 8;

// The fusion's positions 0 .. 100 shown in the part of the bar after the training's.
class FusionProgress : public RunProgress {
public:
    explicit FusionProgress(RunProgress& outer) : m_outer(outer) {}
    void SetRange(int, int, int) override {}
    void SetPosition(int position) override
    {
        m_outer.SetPosition(kTrainingShare + position * (100 - kTrainingShare) / 100);
    }
    void SetStatusText(const std::string& text) override { m_outer.SetStatusText(text); }
    void PumpMessages(bool cancelOnEscape) override { m_outer.PumpMessages(cancelOnEscape); }
    bool IsCancelled() const override { return m_outer.IsCancelled(); }

private:
    RunProgress& m_outer;
};

// Shows a training step: the held-out checks take the first two fifths of the training's share
// of the bar each, the training on both halves the last.
void ShowTrainingStep(RunProgress& progress, int part, int step, int steps)
{
    if (step % 5 != 0 && step != steps) return;
    const std::string counted = "step " + std::to_string(step) + " of " + std::to_string(steps);
    progress.SetStatusText(part < 2 ? "Training on this scene: held-out check " +
                                          std::to_string(part + 1) + " of 2, " + counted
                                    : "Training on this scene: " + counted);
    const int done = part * 2 * steps + (part < 2 ? 2 : 1) * step;
    progress.SetPosition(kTrainingShare * done / (5 * steps));
}

// The planes of one strip and the passes over them.
class NetworkStrips {
public:
    NetworkStrips(const InjectionModel& model, const SceneNetwork& network,
                  const std::vector<double>& scales, std::int64_t stripRows,
                  const std::string& readFailure, Host& host, const std::function<bool()>& pump)
        : m_model(model),
          m_network(network),
          m_scales(scales),
          m_stripRows(stripRows),
          m_readFailure(readFailure),
          m_host(host),
          m_pump(pump)
    {
        m_layout.rowStride = PaddedColumns(model.width + 2 * kNetworkReach) + kConvLanes;
        m_layout.channelStride = (stripRows + 2 * kNetworkReach) * m_layout.rowStride;
    }

    StepResult operator()(std::int64_t row0, std::int64_t row1, double* values)
    {
        if (m_planes.empty() && !TryAllocate(m_planes, (3 * m_model.bands + 2 * kHiddenChannels) *
                                                           m_layout.channelStride,
                                             m_host)) {
            return StepResult::Failed;
        }
        const StepResult result = ComputeInputs(row0, row1, values);
        if (result != StepResult::Ok) return result;
        return RunNetwork(row1 - row0, values) ? StepResult::Ok : StepResult::Cancelled;
    }

private:
    float* Plane(int first) { return m_planes.data() + first * m_layout.channelStride; }

    // The base values of rows row0 .. row1 − 1 into values, the inputs of the rows the network
    // reaches into the input planes (window row r at plane row r − row0 + 3, column x at
    // x + 3), then the window's edge rows and columns replicated into the reach beyond.
    StepResult ComputeInputs(std::int64_t row0, std::int64_t row1, double* values)
    {
        const std::int64_t width = m_model.width;
        const std::int64_t rows = row1 - row0;
        const std::int64_t e0 = std::max<std::int64_t>(0, row0 - kNetworkReach);
        const std::int64_t e1 = std::min(m_model.height, row1 + kNetworkReach);
        const std::int64_t stride = m_layout.rowStride;
        BaseRowsTarget target;
        target.base = values;
        target.baseFirst = row0;
        target.baseCount = rows;
        target.baseBandStride = rows * width;
        target.features = Plane(0) + (e0 - row0 + kNetworkReach) * stride + kNetworkReach;
        target.featureChannelStride = m_layout.channelStride;
        target.featureRowStride = stride;
        const StepResult result = ComputeBaseRows(m_model, e0, e1 - e0, m_scales, target,
                                                  m_readFailure, m_host, m_pump);
        if (result != StepResult::Ok) return result;
        const std::int64_t top = e0 - row0 + kNetworkReach;
        const std::int64_t bottom = e1 - row0 + kNetworkReach;
        for (int c = 0; c < 2 * m_model.bands; ++c) {
            float* plane = Plane(c);
            for (std::int64_t r = top; r < bottom; ++r) {
                float* row = plane + r * stride;
                std::fill(row, row + kNetworkReach, row[kNetworkReach]);
                std::fill(row + kNetworkReach + width, row + 2 * kNetworkReach + width,
                          row[kNetworkReach + width - 1]);
            }
            for (std::int64_t r = 0; r < top; ++r)
                std::copy_n(plane + top * stride, stride, plane + r * stride);
            for (std::int64_t r = bottom; r < rows + 2 * kNetworkReach; ++r)
                std::copy_n(plane + (bottom - 1) * stride, stride, plane + r * stride);
        }
        return StepResult::Ok;
    }

    bool RunLayer(int l, const float* in, float* out, std::int64_t rows, std::int64_t width,
                  bool relu)
    {
        const NetworkLayer& layer = m_network.layers[l];
        return ForEachRowInParallel(
            rows,
            [&](std::int64_t r) {
                ConvolveRow(in + r * m_layout.rowStride, layer.inChannels, m_layout,
                            layer.weights.data(), layer.bias.data(), layer.outChannels,
                            out + r * m_layout.rowStride, m_layout.channelStride, width, relu);
            },
            m_pump);
    }

    bool RunNetwork(std::int64_t rows, double* values)
    {
        const int n = m_model.bands;
        const std::int64_t width = m_model.width;
        float* hidden1 = Plane(2 * n);
        float* hidden2 = Plane(2 * n + kHiddenChannels);
        float* outputs = Plane(2 * n + 2 * kHiddenChannels);
        if (!RunLayer(0, Plane(0), hidden1, rows + 4, width + 4, true) ||
            !RunLayer(1, hidden1, hidden2, rows + 2, width + 2, true) ||
            !RunLayer(2, hidden2, outputs, rows, width, false)) {
            return false;
        }
        return ForEachRowInParallel(
            rows,
            [&](std::int64_t i) {
                for (int k = 0; k < n; ++k) {
                    const float* out =
                        outputs + k * m_layout.channelStride + i * m_layout.rowStride;
                    double* value = values + (k * rows + i) * width;
                    for (std::int64_t x = 0; x < width; ++x)
                        value[x] = value[x] + m_scales[k] * double{out[x]};
                }
            },
            m_pump);
    }

    const InjectionModel& m_model;
    const SceneNetwork& m_network;
    const std::vector<double>& m_scales;
    std::int64_t m_stripRows;
    const std::string& m_readFailure;
    Host& m_host;
    const std::function<bool()>& m_pump;
    PlaneLayout m_layout;
    std::vector<float> m_planes;  // inputs, hidden layers, outputs
};

}  // namespace

StepResult TrainOnScene(const InjectionModel& model, std::vector<double>& scales,
                        SceneNetwork& network, TrainingOutcome& outcome,
                        const std::string& readFailure, RunProgress& progress, Host& host,
                        const std::function<bool()>& pump)
{
    progress.SetStatusText("Preparing the training pair");
    CoarsePair pair;
    StepResult result = MakeCoarsePair(model, pair, readFailure, host, pump);
    scales = pair.scales;
    outcome = TrainingOutcome();
    if (result != StepResult::Ok || pair.width == 0) return result;
    TrainingPool pool;
    pool.bands = model.bands;
    pool.blocks = PlanTrainingBlocks(pair.width, pair.height, model.bands, kBlockSeed);
    {
        // The base method fitted on the pair; its temporary file goes with it.
        InjectionModel coarse(CoarseInputs(model, pair));
        result = FitInjectionModel(coarse, readFailure, host, pump);
        if (result == StepResult::Ok) {
            result = FillTrainingPool(model, coarse, scales, pool, readFailure, host, pump);
        }
    }
    pair = CoarsePair();
    if (result != StepResult::Ok) return result;
    return TrainSceneNetwork(
        pool, network, outcome,
        [&](int part, int step, int steps) { ShowTrainingStep(progress, part, step, steps); },
        pump);
}

std::int64_t NetworkStripRows(const InjectionModel& model)
{
    const std::int64_t n = model.bands;
    const std::int64_t stride = PaddedColumns(model.width + 2 * kNetworkReach) + kConvLanes;
    const std::int64_t lows = model.recipe.lowPassPans ? model.lows.Count() : 0;
    // Per strip row: the network's planes, the fused values, the pan row, the stored samples
    // and mask, the MS rows; per strip: the reach's rows.
    const std::int64_t rowBytes =
        (3 * n + 2 * kHiddenChannels) * stride * 4 + n * model.width * 8 + model.width * 4 +
        model.inputs.width * (n * SampleBytes(model.inputs.type) + 1) +
        (n + lows) * model.msWidth * 4 / model.ratio;
    const std::int64_t reachBytes = 2 * kNetworkReach * (3 * n + 2 * kHiddenChannels) * stride * 4;
    const std::int64_t rows = (kNetworkBufferBytes - reachBytes) / rowBytes;
    return std::clamp<std::int64_t>(rows, kLeastStripRows, std::max<std::int64_t>(1, model.height));
}

StripValues NetworkStripValues(const InjectionModel& model, const SceneNetwork& network,
                               const std::vector<double>& scales, std::int64_t stripRows,
                               const std::string& readFailure, Host& host,
                               const std::function<bool()>& pump)
{
    auto strips = std::make_shared<NetworkStrips>(model, network, scales, stripRows, readFailure,
                                                  host, pump);
    return [strips](std::int64_t row0, std::int64_t row1, double* values) {
        return (*strips)(row0, row1, values);
    };
}

StepResult FuseLearnedImage(const InjectionModel& model, const FusedRowsSink& sink,
                            const std::array<int, 3>& colourAmounts, std::int64_t stripRows,
                            const std::string& readFailure, RunProgress& progress, Host& host,
                            const std::function<bool()>& pump)
{
    std::vector<double> scales;
    SceneNetwork network;
    TrainingOutcome outcome;
    const StepResult trained =
        TrainOnScene(model, scales, network, outcome, readFailure, progress, host, pump);
    if (trained != StepResult::Ok) return trained;
    FusionProgress fusion(progress);
    if (!outcome.useNetwork) {
        progress.SetStatusText("The network does not help on this scene: fusing without it");
        return FuseInjectedImageWith(model, StripValues(), sink, colourAmounts, stripRows,
                                     readFailure, fusion, host, pump);
    }
    progress.SetStatusText("Fusing with the network trained on this scene");
    if (stripRows <= 0) stripRows = NetworkStripRows(model);
    return FuseInjectedImageWith(
        model, NetworkStripValues(model, network, scales, stripRows, readFailure, host, pump),
        sink, colourAmounts, stripRows, readFailure, fusion, host, pump);
}

}  // namespace lumesta
