#include "fusion/optimisation/pansharpen_arithmetic.h"

#include <cmath>

#include "core/truncate.h"

namespace lumesta {
namespace {

// Adjusts a fused value with two's-complement wrap-around: it may already be the out-of-range
// marker INT32_MIN, and only its low 16 bits are kept in the end anyway.
std::int32_t WrappingAdd(std::int32_t value, std::int32_t change)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) +
                                     static_cast<std::uint32_t>(change));
}

std::int32_t WrappingSubtract(std::int32_t value, std::int32_t change)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) -
                                     static_cast<std::uint32_t>(change));
}

}  // namespace

bool CoefficientsPlausible(const Coefficients& coefficients)
{
    const bool withIntercept = coefficients.method == FusionMethod::Optimisation2;
    const double lowest = withIntercept ? 1e-13 : 1e-08;
    const double highest = withIntercept ? 1e+12 : 1e+07;
    for (int k = 0; k < coefficients.Count(); ++k) {
        const double magnitude = std::fabs(static_cast<double>(coefficients.c[k]));
        if (!(magnitude >= lowest && magnitude <= highest)) return false;  // NaN fails too
    }
    return true;
}


void AdjustColours(double red, double nir, const ColourAmounts& amounts, std::int32_t& fusedBlue,
                   std::int32_t& fusedGreen, std::int32_t& fusedRed)
{
    // Where NIR + Red is 0 the NDVI is undefined; 0 (no vegetation signal) keeps it finite.
    const double sum = nir + red;
    const double ndvi = sum == 0 ? 0.0 : (nir - red) / sum;
    const int blueAmount = amounts[0];
    const int greenAmount = amounts[1];
    const int redAmount = amounts[2];
    if (blueAmount != 0) {
        fusedBlue =
            WrappingAdd(fusedBlue, TruncToInt(-0.5 * blueAmount / (1 + std::exp(4 - 20 * ndvi))));
    }
    if (greenAmount != 0) {
        fusedGreen =
            WrappingAdd(fusedGreen, TruncToInt(-2.0 * greenAmount / (1 + std::exp(20 * ndvi - 4))));
    }
    if (redAmount != 0) {
        fusedRed =
            WrappingSubtract(fusedRed, TruncToInt(redAmount / (1 + std::exp(4 - 20 * ndvi))));
    }
}

}  // namespace lumesta
