#pragma once
// The scene-adaptive method's network: three 3 × 3 convolutions, 2N inputs → 16 → 16 → N
// outputs, ReLU after the first two, in single precision. Its inputs at a pixel are each band's
// upsampled MS over the band's scale and each band's relative pan detail; its outputs, times
// the band's scale, are added to the classical base method's fused values. The last layer starts
// at zero, so the untrained network gives the base method's result exactly.
//
// Its workspace runs the network over a rectangle of outputs from inputs that reach
// kNetworkReach pixels further on every side (valid convolutions: nothing is padded inside),
// and runs the L1 loss's gradient back through it.

#include <array>
#include <cstdint>
#include <vector>

#include "fusion/injection/learned/network_kernels.h"

namespace lumesta {

constexpr int kHiddenChannels = 16;
constexpr int kNetworkReach = 3;  // input pixels an output reads beyond itself, on each side

// Pseudo-random numbers of the SplitMix64 generator: the same sequence from the same seed on
// every machine.
class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next();
    // Uniform in [0, 1), 53 bits.
    double Uniform();
    // Uniform whole number in [0, count), count > 0.
    std::int64_t Below(std::int64_t count);

private:
    std::uint64_t m_state;
};

struct NetworkLayer {
    int inChannels = 0;
    int outChannels = 0;
    std::vector<float> weights;  // outChannels × inChannels × 3 × 3
    std::vector<float> bias;
};

// The parameters of the network, or their gradients, or an optimiser's moments of them.
struct SceneNetwork {
    std::array<NetworkLayer, 3> layers;
    int Bands() const { return layers[2].outChannels; }
};

// The network for bands bands with every parameter 0.
SceneNetwork ZeroNetwork(int bands);
// The untrained network: the first two layers' weights and biases uniform in ±1/√(9 · inputs)
// drawn from seed, layer after layer in storage order, the last layer 0.
SceneNetwork InitialNetwork(int bands, std::uint64_t seed);

// Adds b's parameters to a's, one by one.
void AddNetwork(SceneNetwork& a, const SceneNetwork& b);

// Adam (β 0.9 / 0.999, ε 1e-8) on the parameters from their summed gradients.
class AdamOptimiser {
public:
    AdamOptimiser(const SceneNetwork& network, double learningRate);
    void Step(SceneNetwork& network, const SceneNetwork& gradient);

private:
    double m_rate;
    int m_steps = 0;
    SceneNetwork m_first;
    SceneNetwork m_second;
};

// The planes a forward and backward pass over at most rows × columns outputs work in. Not
// shared between threads.
class NetworkWorkspace {
public:
    NetworkWorkspace(int bands, std::int64_t rows, std::int64_t columns);

    // The inputs: 2N channels of (rows + 6) × (columns + 6) pixels, output pixel (y, x) centred
    // on input pixel (y + 3, x + 3). Columns past those are 0.
    float* Inputs() { return m_inputs.data(); }
    const PlaneLayout& Layout() const { return m_layout; }

    // The network's outputs over rows × columns, N planes in the workspace's layout.
    void Forward(const SceneNetwork& network, std::int64_t rows, std::int64_t columns);
    const float* Outputs() const { return m_output.data(); }

    // After Forward: the loss's gradient at the outputs (N planes, rows × columns in the
    // layout; 0 elsewhere) is run back through the network and its parameters' gradients added
    // to gradient. transposed holds the layers' weights flipped and transposed (Transposed).
    float* OutputGradient() { return m_outputGradient.data() + 2 * m_layout.rowStride + 2; }
    void Backward(const SceneNetwork& network, const SceneNetwork& transposed, std::int64_t rows,
                  std::int64_t columns, SceneNetwork& gradient);
    // Clears the output gradient for the next patch.
    void ClearOutputGradient();

private:
    std::int64_t m_rows, m_columns;
    PlaneLayout m_layout;
    std::vector<float> m_inputs, m_hidden1, m_hidden2, m_output;
    std::vector<float> m_outputGradient, m_hidden2Gradient, m_hidden1Gradient;
};

// The layers' weights for running gradients backwards: layer l's weights[o][i][dy][dx] as
// [i][o][2 − dy][2 − dx], no bias.
SceneNetwork Transposed(const SceneNetwork& network);

}  // namespace lumesta
