#include "fusion/injection/learned/network_kernels.h"

#include <cstring>

// The vectors never cross a function interface (the helpers are always inlined), so the
// warning that wide vectors are passed differently with and without AVX does not apply here.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace lumesta {
namespace {

using Float16 = float __attribute__((vector_size(16 * sizeof(float))));
using Float8 = float __attribute__((vector_size(8 * sizeof(float))));
using Float4 = float __attribute__((vector_size(4 * sizeof(float))));
static_assert(sizeof(Float16) == kConvLanes * sizeof(float), "one lane per column of a group");

template <typename V>
[[gnu::always_inline]] inline V LoadLanes(const float* p)
{
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename V>
[[gnu::always_inline]] inline void StoreLanes(float* p, V v)
{
    std::memcpy(p, &v, sizeof v);
}

// Outputs o0 .. o0 + B − 1 of G groups of columns from x on (V holds a group's lanes): each
// weight read serves every group.
template <typename V, int B, int G>
[[gnu::always_inline]] inline void ConvolveGroup(const float* in, int inChannels,
                                                 const PlaneLayout& layout, const float* weights,
                                                 const float* bias, int o0, float* out,
                                                 std::int64_t outChannelStride, std::int64_t x,
                                                 bool relu)
{
    constexpr std::int64_t kLanes = sizeof(V) / sizeof(float);
    const std::int64_t perOutput = std::int64_t{inChannels} * 9;
    V acc[B][G];
    for (int b = 0; b < B; ++b) {
        for (int g = 0; g < G; ++g) acc[b][g] = V{} + bias[o0 + b];
    }
    for (int i = 0; i < inChannels; ++i) {
        const float* plane = in + i * layout.channelStride + x;
        const float* w = weights + o0 * perOutput + i * 9;
        for (int dy = 0; dy < 3; ++dy) {
            const float* row = plane + dy * layout.rowStride;
            V v[G][3];
            for (int g = 0; g < G; ++g) {
                for (int dx = 0; dx < 3; ++dx) v[g][dx] = LoadLanes<V>(row + g * kLanes + dx);
            }
            for (int b = 0; b < B; ++b) {
                const float* wb = w + b * perOutput + dy * 3;
                for (int dx = 0; dx < 3; ++dx) {
                    const float weight = wb[dx];
                    for (int g = 0; g < G; ++g) acc[b][g] += v[g][dx] * weight;
                }
            }
        }
    }
    for (int b = 0; b < B; ++b) {
        for (int g = 0; g < G; ++g) {
            V value = acc[b][g];
            if (relu) value = value > V{} ? value : V{};
            StoreLanes(out + (o0 + b) * outChannelStride + x + g * kLanes, value);
        }
    }
}

// The outputs of G column groups from x on, B at a time, then the rest fewer at a time.
template <typename V, int B, int G>
[[gnu::always_inline]] inline void ConvolveColumns(const float* in, int inChannels,
                                                   const PlaneLayout& layout,
                                                   const float* weights, const float* bias,
                                                   int outChannels, float* out,
                                                   std::int64_t outChannelStride, std::int64_t x,
                                                   bool relu)
{
    int o = 0;
    for (; o + B <= outChannels; o += B) {
        ConvolveGroup<V, B, G>(in, inChannels, layout, weights, bias, o, out, outChannelStride, x,
                               relu);
    }
    for (; o + 4 <= outChannels; o += 4) {
        ConvolveGroup<V, 4, G>(in, inChannels, layout, weights, bias, o, out, outChannelStride, x,
                               relu);
    }
    for (; o < outChannels; ++o) {
        ConvolveGroup<V, 1, G>(in, inChannels, layout, weights, bias, o, out, outChannelStride, x,
                               relu);
    }
}

// A column group's inputs stay in the first-level cache while every output takes them.
template <typename V, int B, int G>
[[gnu::always_inline]] inline void ConvolveRowOf(const float* in, int inChannels,
                                                 const PlaneLayout& layout, const float* weights,
                                                 const float* bias, int outChannels, float* out,
                                                 std::int64_t outChannelStride,
                                                 std::int64_t width, bool relu)
{
    constexpr std::int64_t kLanes = sizeof(V) / sizeof(float);
    const std::int64_t padded = PaddedColumns(width);
    std::int64_t x = 0;
    for (; x + G * kLanes <= padded; x += G * kLanes) {
        ConvolveColumns<V, B, G>(in, inChannels, layout, weights, bias, outChannels, out,
                                 outChannelStride, x, relu);
    }
    for (; x < padded; x += kLanes) {
        ConvolveColumns<V, B, 1>(in, inChannels, layout, weights, bias, outChannels, out,
                                 outChannelStride, x, relu);
    }
}

// Gradients of outputs o0 .. o0 + B − 1 against input i at row offset dy, in kConvLanes lanes
// (column x + l adds to lane l), held as vectors V of fewer lanes where the registers are
// narrower: the same sums in the same order, in vectors no wider than the registers.
template <typename V, int B>
[[gnu::always_inline]] inline void GradientGroup(const float* delta, const PlaneLayout& deltaLayout,
                                                 const float* in, int inChannels,
                                                 const PlaneLayout& inLayout, std::int64_t rows,
                                                 std::int64_t padded, int o0, int i, int dy,
                                                 float* gradient)
{
    constexpr int kLanes = static_cast<int>(sizeof(V) / sizeof(float));
    constexpr int kParts = kConvLanes / kLanes;
    V acc[B][3][kParts] = {};
    for (std::int64_t y = 0; y < rows; ++y) {
        const float* source = in + i * inLayout.channelStride + (y + dy) * inLayout.rowStride;
        const float* d = delta + o0 * deltaLayout.channelStride + y * deltaLayout.rowStride;
        for (std::int64_t x = 0; x < padded; x += kConvLanes) {
            for (int h = 0; h < kParts; ++h) {
                const std::int64_t at = x + h * kLanes;
                const V v0 = LoadLanes<V>(source + at);
                const V v1 = LoadLanes<V>(source + at + 1);
                const V v2 = LoadLanes<V>(source + at + 2);
                for (int b = 0; b < B; ++b) {
                    const V dv = LoadLanes<V>(d + b * deltaLayout.channelStride + at);
                    acc[b][0][h] += dv * v0;
                    acc[b][1][h] += dv * v1;
                    acc[b][2][h] += dv * v2;
                }
            }
        }
    }
    for (int b = 0; b < B; ++b) {
        for (int dx = 0; dx < 3; ++dx) {
            float sum = acc[b][dx][0][0];
            for (int lane = 1; lane < kConvLanes; ++lane) {
                sum += acc[b][dx][lane / kLanes][lane % kLanes];
            }
            gradient[((o0 + b) * std::int64_t{inChannels} + i) * 9 + dy * 3 + dx] += sum;
        }
    }
}

template <typename V, int B>
[[gnu::always_inline]] inline void AccumulateWeightGradientOf(
    const float* delta, int outChannels, const PlaneLayout& deltaLayout, const float* in,
    int inChannels, const PlaneLayout& inLayout, std::int64_t rows, std::int64_t width,
    float* gradient, float* biasGradient)
{
    const std::int64_t padded = PaddedColumns(width);
    for (int i = 0; i < inChannels; ++i) {
        for (int dy = 0; dy < 3; ++dy) {
            int o = 0;
            for (; o + B <= outChannels; o += B) {
                GradientGroup<V, B>(delta, deltaLayout, in, inChannels, inLayout, rows, padded,
                                    o, i, dy, gradient);
            }
            for (; o < outChannels; ++o) {
                GradientGroup<V, 1>(delta, deltaLayout, in, inChannels, inLayout, rows, padded,
                                    o, i, dy, gradient);
            }
        }
    }
    constexpr int kLanes = static_cast<int>(sizeof(V) / sizeof(float));
    constexpr int kParts = kConvLanes / kLanes;
    for (int o = 0; o < outChannels; ++o) {
        V acc[kParts] = {};
        for (std::int64_t y = 0; y < rows; ++y) {
            const float* d = delta + o * deltaLayout.channelStride + y * deltaLayout.rowStride;
            for (std::int64_t x = 0; x < padded; x += kConvLanes) {
                for (int h = 0; h < kParts; ++h) acc[h] += LoadLanes<V>(d + x + h * kLanes);
            }
        }
        float sum = acc[0][0];
        for (int lane = 1; lane < kConvLanes; ++lane) sum += acc[lane / kLanes][lane % kLanes];
        biasGradient[o] += sum;
    }
}

// Each processor's copy: as many lanes, outputs and column groups at once as its registers
// hold.
using ConvolveRowFunction = void (*)(const float*, int, const PlaneLayout&, const float*,
                                     const float*, int, float*, std::int64_t, std::int64_t, bool);
using GradientFunction = void (*)(const float*, int, const PlaneLayout&, const float*, int,
                                  const PlaneLayout&, std::int64_t, std::int64_t, float*, float*);

__attribute__((target("avx512f"))) void ConvolveRowAvx512(
    const float* in, int inChannels, const PlaneLayout& inLayout, const float* weights,
    const float* bias, int outChannels, float* out, std::int64_t outChannelStride,
    std::int64_t width, bool relu)
{
    ConvolveRowOf<Float16, 8, 2>(in, inChannels, inLayout, weights, bias, outChannels, out,
                              outChannelStride, width, relu);
}

__attribute__((target("avx2"))) void ConvolveRowAvx2(const float* in, int inChannels,
                                                     const PlaneLayout& inLayout,
                                                     const float* weights, const float* bias,
                                                     int outChannels, float* out,
                                                     std::int64_t outChannelStride,
                                                     std::int64_t width, bool relu)
{
    ConvolveRowOf<Float8, 8, 1>(in, inChannels, inLayout, weights, bias, outChannels, out,
                             outChannelStride, width, relu);
}

void ConvolveRowPlain(const float* in, int inChannels, const PlaneLayout& inLayout,
                      const float* weights, const float* bias, int outChannels, float* out,
                      std::int64_t outChannelStride, std::int64_t width, bool relu)
{
    ConvolveRowOf<Float4, 4, 1>(in, inChannels, inLayout, weights, bias, outChannels, out,
                             outChannelStride, width, relu);
}

__attribute__((target("avx512f"))) void GradientAvx512(
    const float* delta, int outChannels, const PlaneLayout& deltaLayout, const float* in,
    int inChannels, const PlaneLayout& inLayout, std::int64_t rows, std::int64_t width,
    float* gradient, float* biasGradient)
{
    AccumulateWeightGradientOf<Float16, 4>(delta, outChannels, deltaLayout, in, inChannels,
                                             inLayout, rows, width, gradient, biasGradient);
}

__attribute__((target("avx2"))) void GradientAvx2(const float* delta, int outChannels,
                                                  const PlaneLayout& deltaLayout, const float* in,
                                                  int inChannels, const PlaneLayout& inLayout,
                                                  std::int64_t rows, std::int64_t width,
                                                  float* gradient, float* biasGradient)
{
    AccumulateWeightGradientOf<Float8, 2>(delta, outChannels, deltaLayout, in, inChannels,
                                             inLayout, rows, width, gradient, biasGradient);
}

void GradientPlain(const float* delta, int outChannels, const PlaneLayout& deltaLayout,
                   const float* in, int inChannels, const PlaneLayout& inLayout, std::int64_t rows,
                   std::int64_t width, float* gradient, float* biasGradient)
{
    AccumulateWeightGradientOf<Float4, 1>(delta, outChannels, deltaLayout, in, inChannels,
                                             inLayout, rows, width, gradient, biasGradient);
}

ConvolveRowFunction ChooseConvolveRow()
{
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) return ConvolveRowAvx512;
    if (__builtin_cpu_supports("avx2")) return ConvolveRowAvx2;
    return ConvolveRowPlain;
}

GradientFunction ChooseGradient()
{
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) return GradientAvx512;
    if (__builtin_cpu_supports("avx2")) return GradientAvx2;
    return GradientPlain;
}

}  // namespace

void ConvolveRow(const float* in, int inChannels, const PlaneLayout& inLayout,
                 const float* weights, const float* bias, int outChannels, float* out,
                 std::int64_t outChannelStride, std::int64_t width, bool relu)
{
    static const ConvolveRowFunction kChosen = ChooseConvolveRow();
    kChosen(in, inChannels, inLayout, weights, bias, outChannels, out, outChannelStride, width,
            relu);
}

void AccumulateWeightGradient(const float* delta, int outChannels, const PlaneLayout& deltaLayout,
                              const float* in, int inChannels, const PlaneLayout& inLayout,
                              std::int64_t rows, std::int64_t width, float* gradient,
                              float* biasGradient)
{
    static const GradientFunction kChosen = ChooseGradient();
    kChosen(delta, outChannels, deltaLayout, in, inChannels, inLayout, rows, width, gradient,
            biasGradient);
}

}  // namespace lumesta
