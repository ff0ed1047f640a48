#include "fusion/filters.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "app/truncate.h"

namespace lumesta {
namespace {

// −2 −2 −2 / −2 32 −2 / −2 −2 −2, scaled by 1/16 in double precision.
struct SharpenKernel {
    static std::int16_t Apply(const std::int16_t* above, const std::int16_t* centre,
                              const std::int16_t* below, std::int64_t x)
    {
        const std::int32_t sum = -2 * above[x - 1] - 2 * above[x] - 2 * above[x + 1] -
                                 2 * centre[x - 1] + 32 * centre[x] - 2 * centre[x + 1] -
                                 2 * below[x - 1] - 2 * below[x] - 2 * below[x + 1];
        return TruncToInt16(sum * 0.0625);
    }
};

// 0 −1 0 / −1 10 −1 / 0 −1 0, scaled by the single-precision 1/6 in single precision.
struct DetailKernel {
    static std::int16_t Apply(const std::int16_t* above, const std::int16_t* centre,
                              const std::int16_t* below, std::int64_t x)
    {
        const std::int32_t sum =
            -above[x] - centre[x - 1] + 10 * centre[x] - centre[x + 1] - below[x];
        const float scaled = static_cast<float>(sum) * 0.16666667f;
        return TruncToInt16(scaled);
    }
};

// The filtered row is written straight into the band while its unfiltered neighbours are read
// from three rolling copies: the row above, the row itself and the row below.
template <typename Kernel>
void FilterRows(std::int64_t height, std::int64_t width, std::int16_t* band, Host& host)
{
    std::vector<std::int16_t> buffers(static_cast<std::size_t>(3 * width));
    std::int16_t* above = buffers.data();
    std::int16_t* centre = above + width;
    std::int16_t* below = centre + width;
    std::copy(band, band + width, above);
    std::copy(band + width, band + 2 * width, centre);
    for (std::int64_t y = 1; y < height - 1; ++y) {
        host.PumpPendingMessages();
        const std::int16_t* next = band + (y + 1) * width;
        std::copy(next, next + width, below);
        std::int16_t* out = band + y * width;
        for (std::int64_t x = 1; x < width - 1; ++x)
            out[x] = Kernel::Apply(above, centre, below, x);
        std::int16_t* oldest = above;
        above = centre;
        centre = below;
        below = oldest;
    }
}

}  // namespace

void FilterBand(int height, int width, std::int16_t* band, Kernel16 kernel, Host& host)
{
    if (height < 3 || width < 3) return;  // no inner pixel
    if (kernel == Kernel16::Sharpen) {
        FilterRows<SharpenKernel>(height, width, band, host);
    } else {
        FilterRows<DetailKernel>(height, width, band, host);
    }
}

void ClipBand(std::int64_t count, std::int16_t* band)
{
    for (std::int64_t i = 0; i < count; ++i) {
        band[i] = std::clamp<std::int16_t>(band[i], 0, 2047);
    }
}

}  // namespace lumesta
