#pragma once
// The arithmetic of the Landsat ETM+ tool (8-bit data, ratio 2): 2 × 2 block averaging, the
// interpolation weights at 0.25 and 0.75, the residual, the per-pixel ratio scaling, the
// coefficient check and border replication of a fused band.

#include <array>
#include <cstdint>

#include "fusion/optimisation/pansharpen_arithmetic.h"
#include "core/truncate.h"
#include "fusion/optimisation/resampling.h"

namespace lumesta {

// The coefficients of Blue, Green and Red.
using EtmCoefficients = BandCoefficients<3>;

// Both methods accept 1e-13 ≤ |c| ≤ 1e+12 for every coefficient; NaN fails.
bool EtmCoefficientsPlausible(const EtmCoefficients& coefficients);

// out[i × msCols + j] = trunc((Σ of pan rows 2i, 2i+1, columns 2j, 2j+1) × 0.25).
void BlockAverage2(int msRows, int msCols, const std::uint8_t* panStrip, int panWidth,
                   std::uint8_t* out);

// Weights of sub-position (p, q), p and q in 0..1, with v = 0.25, 0.75.
BilinearWeights BilinearWeights2(int p, int q);

// r = PanLow − (c1·B + c2·G + c3·R), with c0 first inside the parentheses for Optimisation 2,
// in single precision and not clipped.
// Inline, so that loops over whole rows become vector loops.
inline float EtmResidual(const EtmCoefficients& coefficients, std::uint8_t panLow,
                         std::uint8_t blue, std::uint8_t green, std::uint8_t red)
{
    const std::array<float, 4>& c = coefficients.c;
    const float synthetic = coefficients.method == FusionMethod::Optimisation1
                                ? c[0] * blue + c[1] * green + c[2] * red
                                : c[0] + c[1] * blue + c[2] * green + c[3] * red;
    return static_cast<float>(panLow) - synthetic;
}

// The three fused bytes of one pan pixel: each interpolated band × pan / synthetic pan, above
// 255 → 255, otherwise truncated; all 0 where the synthetic pan is not positive.
inline std::array<std::uint8_t, 3> FuseEtmPixel(const EtmCoefficients& coefficients, double blue,
                                         double green, double red, double residual,
                                         std::uint8_t pan)
{
    const std::array<float, 4>& c = coefficients.c;
    const double synthetic =
        coefficients.method == FusionMethod::Optimisation1
            ? static_cast<double>(c[0]) * blue + static_cast<double>(c[1]) * green +
                  static_cast<double>(c[2]) * red + residual
            : static_cast<double>(c[0]) + static_cast<double>(c[1]) * blue +
                  static_cast<double>(c[2]) * green + static_cast<double>(c[3]) * red + residual;
    if (!(synthetic > 0)) return {0, 0, 0};
    const double ratio = pan / synthetic;
    auto scale = [ratio](double value) -> std::uint8_t {
        const double product = value * ratio;
        return product > 255 ? 255 : TruncToByte(product);
    };
    return {scale(blue), scale(green), scale(red)};
}

// Row 0 takes row 1 and row H − 1 takes row H − 2; then in every row column 0 takes column 1
// and column W − 1 takes column W − 2. Bands smaller than 3 × 3 are left unchanged.
void ReplicateBorders2(int height, int width, std::uint8_t* band);

}  // namespace lumesta
