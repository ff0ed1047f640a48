#pragma once
// The loops of the scene-adaptive network's 3 × 3 convolutions, built for processors with
// AVX-512, with AVX2 and without either, and chosen when first used. Each output value is one
// sum in a fixed order, computed in the lane of its own column (no fused multiply-add; the
// build keeps -ffp-contract=off), and the weight gradients are summed in kConvLanes fixed lanes
// whatever the registers, so every processor gives the same bits.

#include <cstdint>

namespace lumesta {

// Channel c, row y, column x of a stack of float planes lies at
// data[c · channelStride + y · rowStride + x].
struct PlaneLayout {
    std::int64_t channelStride = 0;
    std::int64_t rowStride = 0;
};

// The columns a row is computed in: whole groups of kConvLanes, the last one reaching past the
// width. A row of planes read by a convolution holds PaddedColumns(width) + 2 columns.
constexpr std::int64_t kConvLanes = 16;
inline std::int64_t PaddedColumns(std::int64_t width)
{
    return (width + kConvLanes - 1) / kConvLanes * kConvLanes;
}

// One output row of a 3 × 3 convolution, for the columns x < PaddedColumns(width):
// out[o][x] = bias[o] + Σ_i Σ_dy Σ_dx weights[o][i][dy][dx] · in[i][dy][x + dx], summed in that
// order, then max(0, ·) when relu. in points at channel 0 of the first of the three input rows;
// out at channel 0 of the output row, its channels outChannelStride apart. weights hold
// outChannels × inChannels × 9 values.
void ConvolveRow(const float* in, int inChannels, const PlaneLayout& inLayout,
                 const float* weights, const float* bias, int outChannels, float* out,
                 std::int64_t outChannelStride, std::int64_t width, bool relu);

// Adds to gradient[o][i][dy][dx] the sum over rows × PaddedColumns(width) of
// delta[o][y][x] · in[i][y + dy][x + dx], and to biasGradient[o] the sum of delta[o][y][x].
// Each sum runs down the rows and along them a lane group at a time, column x in lane
// x mod kConvLanes; the lanes are then added in order. delta is 0 beyond width.
void AccumulateWeightGradient(const float* delta, int outChannels, const PlaneLayout& deltaLayout,
                              const float* in, int inChannels, const PlaneLayout& inLayout,
                              std::int64_t rows, std::int64_t width, float* gradient,
                              float* biasGradient);

}  // namespace lumesta
