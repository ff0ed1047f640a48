#include "fusion/optimisation/etm_arithmetic.h"

#include <algorithm>
#include <cmath>

#include "core/truncate.h"

namespace lumesta {

bool EtmCoefficientsPlausible(const EtmCoefficients& coefficients)
{
    for (int k = 0; k < coefficients.Count(); ++k) {
        const double magnitude = std::fabs(static_cast<double>(coefficients.c[k]));
        if (!(magnitude >= 1e-13 && magnitude <= 1e+12)) return false;  // NaN fails too
    }
    return true;
}

void BlockAverage2(int msRows, int msCols, const std::uint8_t* panStrip, int panWidth,
                   std::uint8_t* out)
{
    const std::int64_t width = panWidth;
    for (std::int64_t i = 0; i < msRows; ++i) {
        const std::uint8_t* top = panStrip + 2 * i * width;
        const std::uint8_t* bottom = top + width;
        for (std::int64_t j = 0; j < msCols; ++j) {
            const std::int32_t sum = top[2 * j] + top[2 * j + 1] + bottom[2 * j] + bottom[2 * j + 1];
            // sum × 0.25 is exact and lies in 0 .. 255, so its truncation is sum / 4.
            out[i * msCols + j] = static_cast<std::uint8_t>(sum / 4);
        }
    }
}

BilinearWeights BilinearWeights2(int p, int q)
{
    static constexpr double kOffsets[2] = {0.25, 0.75};
    const double a = kOffsets[p];
    const double b = kOffsets[q];
    return BilinearWeights{(1 - a) * (1 - b), (1 - a) * b, a * (1 - b), a * b};
}

void ReplicateBorders2(int height, int width, std::uint8_t* band)
{
    if (height < 3 || width < 3) return;
    const std::int64_t w = width;
    std::copy(band + w, band + 2 * w, band);
    std::copy(band + (height - 2) * w, band + (height - 1) * w, band + (height - 1) * w);
    for (std::int64_t y = 0; y < height; ++y) {
        std::uint8_t* row = band + y * w;
        row[0] = row[1];
        row[w - 1] = row[w - 2];
    }
}

}  // namespace lumesta
