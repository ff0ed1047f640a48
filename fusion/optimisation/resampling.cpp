#include "fusion/optimisation/resampling.h"

#include <algorithm>
#include <array>

#include "core/truncate.h"

namespace lumesta {

void BlockAverage4(int msRows, int msCols, const std::int16_t* panStrip, int panWidth,
                   std::int16_t* out)
{
    const std::int64_t width = panWidth;
    for (std::int64_t i = 0; i < msRows; ++i) {
        for (std::int64_t j = 0; j < msCols; ++j) {
            std::int32_t sum = 0;
            const std::int16_t* block = panStrip + 4 * i * width + 4 * j;
            for (int row = 0; row < 4; ++row) {
                const std::int16_t* line = block + row * width;
                sum += line[0] + line[1] + line[2] + line[3];
            }
            // sum × 0.0625 is exact, so its truncation toward zero is the integer sum / 16.
            out[i * msCols + j] = WrapToInt16(sum / 16);
        }
    }
}

BilinearWeights BilinearWeights4(int p, int q)
{
    static constexpr std::array<double, 4> kOffsets{0.15, 0.40, 0.65, 0.90};
    const double a = kOffsets[static_cast<std::size_t>(p)];
    const double b = kOffsets[static_cast<std::size_t>(q)];
    return BilinearWeights{(1 - a) * (1 - b), (1 - a) * b, a * (1 - b), a * b};
}

void ReplicateBorders(int height, int width, std::int16_t* band)
{
    // Smaller bands have no inner row or column to copy from without overlapping the borders.
    if (height < 5 || width < 5) return;
    const std::int64_t w = width;
    const std::int16_t* top = band + 2 * w;
    const std::int16_t* bottom = band + (height - 3) * w;
    std::copy(top, top + w, band);
    std::copy(top, top + w, band + w);
    std::copy(bottom, bottom + w, band + (height - 2) * w);
    std::copy(bottom, bottom + w, band + (height - 1) * w);
    for (std::int64_t y = 0; y < height; ++y) {
        std::int16_t* row = band + y * w;
        row[0] = row[1] = row[2];
        row[w - 2] = row[w - 1] = row[w - 3];
    }
}

}  // namespace lumesta
