#pragma once
// The arithmetic of the two fusion methods of the 16-bit tool: "Optimisation 1" (no intercept,
// coefficients for Blue, Green, Red, NIR) and "Optimisation 2" (intercept first), the residual
// at MS resolution, the per-pixel ratio scaling and the colour adjustment.

#include <array>
#include <cstdint>

#include "core/truncate.h"
#include "fusion/fusion_method.h"

namespace lumesta {

// The coefficients of Blue, Green, Red and NIR.
using Coefficients = BandCoefficients<4>;

// True when every coefficient lies in the plausibility range on its absolute value:
// Optimisation 1: 1e-08 ≤ |c| ≤ 1e+07; Optimisation 2: 1e-13 ≤ |c| ≤ 1e+12. NaN fails.
bool CoefficientsPlausible(const Coefficients& coefficients);

// r = PanLow − (c1·B + c2·G + c3·R + c4·N [+ c0 first]) in single precision, clipped to
// [−50, 50].
// Inline, so that loops over whole rows become vector loops.
inline float Residual(const Coefficients& coefficients, std::int16_t panLow, std::int16_t blue,
                      std::int16_t green, std::int16_t red, std::int16_t nir)
{
    const std::array<float, 5>& c = coefficients.c;
    float synthetic;
    if (coefficients.method == FusionMethod::Optimisation1) {
        synthetic = c[0] * blue + c[1] * green + c[2] * red + c[3] * nir;
    } else {
        synthetic = c[0] + c[1] * blue + c[2] * green + c[3] * red + c[4] * nir;
    }
    float residual = static_cast<float>(panLow) - synthetic;
    if (residual > 50.0f) residual = 50.0f;
    if (residual < -50.0f) residual = -50.0f;
    return residual;
}

// Interpolated values of one pan pixel (double precision).
struct InterpolatedPixel {
    double blue, green, red, nir, residual;
};

// Colour-adjustment amounts for Blue, Green, Red (0..30).
using ColourAmounts = std::array<int, 3>;

// Adds the NDVI-driven colour adjustment to fused Blue, Green, Red (NDVI from the interpolated
// NIR and Red; taken as 0 when NIR + Red is 0).
void AdjustColours(double red, double nir, const ColourAmounts& amounts, std::int32_t& fusedBlue,
                   std::int32_t& fusedGreen, std::int32_t& fusedRed);

// The four fused values of one pan pixel with pan value pan: ratio scaling when the synthetic
// pan is positive (Blue keeps an offset of 70), zeros otherwise; then the colour adjustment.
// Results are 16-bit values before clipping.
inline std::array<std::int16_t, 4> FusePixel(const Coefficients& coefficients, const InterpolatedPixel& m,
                                      std::int16_t pan, const ColourAmounts& amounts)
{
    const std::array<float, 5>& c = coefficients.c;
    double synthetic;
    if (coefficients.method == FusionMethod::Optimisation1) {
        synthetic = static_cast<double>(c[0]) * m.blue + static_cast<double>(c[1]) * m.green +
                    static_cast<double>(c[2]) * m.red + static_cast<double>(c[3]) * m.nir +
                    m.residual;
    } else {
        synthetic = static_cast<double>(c[0]) + static_cast<double>(c[1]) * m.blue +
                    static_cast<double>(c[2]) * m.green + static_cast<double>(c[3]) * m.red +
                    static_cast<double>(c[4]) * m.nir + m.residual;
    }
    std::int32_t blue = 0;
    std::int32_t green = 0;
    std::int32_t red = 0;
    std::int32_t nir = 0;
    if (synthetic > 0) {
        const double ratio = pan / synthetic;
        blue = TruncToInt((m.blue - 70) * ratio + 70);  // Blue keeps an offset of 70
        green = TruncToInt(m.green * ratio);
        red = TruncToInt(m.red * ratio);
        nir = TruncToInt(m.nir * ratio);
    }
    if (amounts[0] != 0 || amounts[1] != 0 || amounts[2] != 0) {
        AdjustColours(m.red, m.nir, amounts, blue, green, red);
    }
    return {WrapToInt16(blue), WrapToInt16(green), WrapToInt16(red), WrapToInt16(nir)};
}

}  // namespace lumesta
