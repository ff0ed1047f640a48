#include "fusion/injection/learned/scene_network.h"

#include <algorithm>
#include <cmath>

namespace lumesta {
namespace {

constexpr double kBeta1 = 0.9;
constexpr double kBeta2 = 0.999;
constexpr double kEpsilon = 1e-8;

NetworkLayer ZeroLayer(int inChannels, int outChannels)
{
    NetworkLayer layer;
    layer.inChannels = inChannels;
    layer.outChannels = outChannels;
    layer.weights.assign(static_cast<std::size_t>(inChannels) * outChannels * 9, 0.0f);
    layer.bias.assign(static_cast<std::size_t>(outChannels), 0.0f);
    return layer;
}

// Every parameter of the network in storage order, with its counterpart in the others.
template <typename Visit>
void ForEachParameter(SceneNetwork& a, Visit visit)
{
    for (NetworkLayer& layer : a.layers) {
        for (float& w : layer.weights) visit(w);
        for (float& b : layer.bias) visit(b);
    }
}

// The rows of one layer over rows × width outputs from the rows of in.
void ConvolveLayer(const NetworkLayer& layer, const float* in, const PlaneLayout& layout,
                   float* out, std::int64_t rows, std::int64_t width, bool relu)
{
    for (std::int64_t y = 0; y < rows; ++y) {
        ConvolveRow(in + y * layout.rowStride, layer.inChannels, layout, layer.weights.data(),
                    layer.bias.data(), layer.outChannels, out + y * layout.rowStride,
                    layout.channelStride, width, relu);
    }
}

// delta becomes 0 wherever the layer's ReLU output was not positive (rows × width).
void MaskByActivation(float* delta, const float* activation, int channels,
                      const PlaneLayout& layout, std::int64_t rows, std::int64_t width)
{
    for (int c = 0; c < channels; ++c) {
        for (std::int64_t y = 0; y < rows; ++y) {
            float* d = delta + c * layout.channelStride + y * layout.rowStride;
            const float* a = activation + c * layout.channelStride + y * layout.rowStride;
            for (std::int64_t x = 0; x < width; ++x) d[x] = a[x] > 0 ? d[x] : 0.0f;
        }
    }
}

}  // namespace

std::uint64_t SplitMix64::Next()
{
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

double SplitMix64::Uniform()
{
    return static_cast<double>(Next() >> 11) * 0x1.0p-53;
}

std::int64_t SplitMix64::Below(std::int64_t count)
{
    return static_cast<std::int64_t>(Next() % static_cast<std::uint64_t>(count));
}

SceneNetwork ZeroNetwork(int bands)
{
    SceneNetwork network;
    network.layers[0] = ZeroLayer(2 * bands, kHiddenChannels);
    network.layers[1] = ZeroLayer(kHiddenChannels, kHiddenChannels);
    network.layers[2] = ZeroLayer(kHiddenChannels, bands);
    return network;
}

SceneNetwork InitialNetwork(int bands, std::uint64_t seed)
{
    SceneNetwork network = ZeroNetwork(bands);
    SplitMix64 random(seed);
    for (int l = 0; l < 2; ++l) {
        NetworkLayer& layer = network.layers[l];
        const double bound = 1.0 / std::sqrt(9.0 * layer.inChannels);
        for (float& w : layer.weights) w = static_cast<float>((2 * random.Uniform() - 1) * bound);
        for (float& b : layer.bias) b = static_cast<float>((2 * random.Uniform() - 1) * bound);
    }
    return network;
}

void AddNetwork(SceneNetwork& a, const SceneNetwork& b)
{
    for (std::size_t l = 0; l < a.layers.size(); ++l) {
        NetworkLayer& to = a.layers[l];
        const NetworkLayer& from = b.layers[l];
        for (std::size_t i = 0; i < to.weights.size(); ++i) to.weights[i] += from.weights[i];
        for (std::size_t i = 0; i < to.bias.size(); ++i) to.bias[i] += from.bias[i];
    }
}

AdamOptimiser::AdamOptimiser(const SceneNetwork& network, double learningRate)
    : m_rate(learningRate),
      m_first(ZeroNetwork(network.Bands())),
      m_second(ZeroNetwork(network.Bands()))
{
}

void AdamOptimiser::Step(SceneNetwork& network, const SceneNetwork& gradient)
{
    ++m_steps;
    const double correction1 = 1 - std::pow(kBeta1, m_steps);
    const double correction2 = 1 - std::pow(kBeta2, m_steps);
    const float stepSize = static_cast<float>(m_rate / correction1);
    const float root2 = static_cast<float>(std::sqrt(correction2));
    const float beta1 = static_cast<float>(kBeta1), beta2 = static_cast<float>(kBeta2);
    const float epsilon = static_cast<float>(kEpsilon);
    for (std::size_t l = 0; l < network.layers.size(); ++l) {
        const auto update = [&](std::vector<float>& p, const std::vector<float>& g,
                                std::vector<float>& m, std::vector<float>& v) {
            for (std::size_t i = 0; i < p.size(); ++i) {
                m[i] = beta1 * m[i] + (1 - beta1) * g[i];
                v[i] = beta2 * v[i] + (1 - beta2) * g[i] * g[i];
                p[i] -= stepSize * m[i] / (std::sqrt(v[i]) / root2 + epsilon);
            }
        };
        update(network.layers[l].weights, gradient.layers[l].weights, m_first.layers[l].weights,
               m_second.layers[l].weights);
        update(network.layers[l].bias, gradient.layers[l].bias, m_first.layers[l].bias,
               m_second.layers[l].bias);
    }
}

SceneNetwork Transposed(const SceneNetwork& network)
{
    SceneNetwork out;
    for (std::size_t l = 0; l < network.layers.size(); ++l) {
        const NetworkLayer& from = network.layers[l];
        NetworkLayer& to = out.layers[l];
        to = ZeroLayer(from.outChannels, from.inChannels);
        for (int o = 0; o < from.outChannels; ++o) {
            for (int i = 0; i < from.inChannels; ++i) {
                for (int t = 0; t < 9; ++t) {
                    to.weights[(static_cast<std::size_t>(i) * from.outChannels + o) * 9 + 8 - t] =
                        from.weights[(static_cast<std::size_t>(o) * from.inChannels + i) * 9 + t];
                }
            }
        }
    }
    return out;
}

NetworkWorkspace::NetworkWorkspace(int bands, std::int64_t rows, std::int64_t columns)
    : m_rows(rows), m_columns(columns)
{
    m_layout.rowStride = PaddedColumns(columns + 2 * kNetworkReach) + kConvLanes;
    m_layout.channelStride = (rows + 2 * kNetworkReach) * m_layout.rowStride;
    const auto planes = [&](int channels) {
        return std::vector<float>(static_cast<std::size_t>(channels * m_layout.channelStride), 0.0f);
    };
    m_inputs = planes(2 * bands);
    m_hidden1 = planes(kHiddenChannels);
    m_hidden2 = planes(kHiddenChannels);
    m_output = planes(bands);
    m_outputGradient = planes(bands);
    m_hidden2Gradient = planes(kHiddenChannels);
    m_hidden1Gradient = planes(kHiddenChannels);
}

void NetworkWorkspace::Forward(const SceneNetwork& network, std::int64_t rows, std::int64_t columns)
{
    ConvolveLayer(network.layers[0], m_inputs.data(), m_layout, m_hidden1.data(), rows + 4,
                  columns + 4, true);
    ConvolveLayer(network.layers[1], m_hidden1.data(), m_layout, m_hidden2.data(), rows + 2,
                  columns + 2, true);
    ConvolveLayer(network.layers[2], m_hidden2.data(), m_layout, m_output.data(), rows, columns,
                  false);
}

void NetworkWorkspace::ClearOutputGradient()
{
    std::fill(m_outputGradient.begin(), m_outputGradient.end(), 0.0f);
}

// Each layer's input gradient is the next layer's output gradient, framed by two zero rows and
// columns, run through the flipped, transposed weights; the ReLU passes it where its output
// was positive.
void NetworkWorkspace::Backward(const SceneNetwork& network, const SceneNetwork& transposed,
                                std::int64_t rows, std::int64_t columns, SceneNetwork& gradient)
{
    const std::int64_t frame = 2 * m_layout.rowStride + 2;
    const int bands = network.Bands();
    AccumulateWeightGradient(OutputGradient(), bands, m_layout, m_hidden2.data(), kHiddenChannels,
                             m_layout, rows, columns, gradient.layers[2].weights.data(),
                             gradient.layers[2].bias.data());
    std::fill(m_hidden2Gradient.begin(), m_hidden2Gradient.end(), 0.0f);
    float* hidden2Gradient = m_hidden2Gradient.data() + frame;
    ConvolveLayer(transposed.layers[2], m_outputGradient.data(), m_layout, hidden2Gradient,
                  rows + 2, columns + 2, false);
    MaskByActivation(hidden2Gradient, m_hidden2.data(), kHiddenChannels, m_layout, rows + 2,
                     columns + 2);
    AccumulateWeightGradient(hidden2Gradient, kHiddenChannels, m_layout, m_hidden1.data(),
                             kHiddenChannels, m_layout, rows + 2, columns + 2,
                             gradient.layers[1].weights.data(), gradient.layers[1].bias.data());
    ConvolveLayer(transposed.layers[1], m_hidden2Gradient.data(), m_layout,
                  m_hidden1Gradient.data(), rows + 4, columns + 4, false);
    MaskByActivation(m_hidden1Gradient.data(), m_hidden1.data(), kHiddenChannels, m_layout,
                     rows + 4, columns + 4);
    // Columns past the width take no part in the sums.
    for (int c = 0; c < kHiddenChannels; ++c) {
        for (std::int64_t y = 0; y < rows + 4; ++y) {
            float* row = m_hidden1Gradient.data() + c * m_layout.channelStride +
                         y * m_layout.rowStride;
            std::fill(row + columns + 4, row + PaddedColumns(columns + 4), 0.0f);
        }
    }
    AccumulateWeightGradient(m_hidden1Gradient.data(), kHiddenChannels, m_layout, m_inputs.data(),
                             network.layers[0].inChannels, m_layout, rows + 4, columns + 4,
                             gradient.layers[0].weights.data(), gradient.layers[0].bias.data());
}

}  // namespace lumesta
