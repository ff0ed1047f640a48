#include "fusion/filters.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/truncate.h"

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
        // sum × 0.0625 is exact and far inside the 32-bit range, so its truncation toward zero
        // is the integer quotient sum / 16.
        return WrapToInt16(sum / 16);
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

// The 8-bit kernels of the Landsat tool. Smooth: 1 1 1 / 1 5 1 / 1 1 1 scaled by the
// single-precision 1/13 and truncated (its results cannot leave 0..255).
struct SmoothKernel8 {
    static std::uint8_t Apply(const std::uint8_t* above, const std::uint8_t* centre,
                              const std::uint8_t* below, std::int64_t x)
    {
        const std::int32_t sum = above[x - 1] + above[x] + above[x + 1] + centre[x - 1] +
                                 5 * centre[x] + centre[x + 1] + below[x - 1] + below[x] +
                                 below[x + 1];
        return TruncToByte(static_cast<float>(sum) * 0.07692308f);
    }
};

// A single-precision result kept within 0..255, otherwise truncated.
inline std::uint8_t ClampToByte(float value)
{
    if (value > 255.0f) return 255;
    if (value < 0.0f) return 0;
    return TruncToByte(value);
}

struct SharpenKernel8 {
    static std::uint8_t Apply(const std::uint8_t* above, const std::uint8_t* centre,
                              const std::uint8_t* below, std::int64_t x)
    {
        const std::int32_t sum = -2 * above[x - 1] - 2 * above[x] - 2 * above[x + 1] -
                                 2 * centre[x - 1] + 32 * centre[x] - 2 * centre[x + 1] -
                                 2 * below[x - 1] - 2 * below[x] - 2 * below[x + 1];
        // sum × 0.0625 is exact in single precision (|sum| < 2^14), so the clamped truncation
        // is 0 below 0, 255 above 255 × 16 and sum / 16 between.
        return static_cast<std::uint8_t>(std::clamp(sum, 0, 255 * 16 + 15) / 16);
    }
};

struct DetailKernel8 {
    static std::uint8_t Apply(const std::uint8_t* above, const std::uint8_t* centre,
                              const std::uint8_t* below, std::int64_t x)
    {
        const std::int32_t sum =
            -above[x] - centre[x - 1] + 10 * centre[x] - centre[x + 1] - below[x];
        return ClampToByte(static_cast<float>(sum) * 0.16666667f);
    }
};

template <typename Kernel, typename T>
void ApplyToRow(const T* above, const T* centre, const T* below, std::int64_t width, T* out)
{
    for (std::int64_t x = 1; x < width - 1; ++x) out[x] = Kernel::Apply(above, centre, below, x);
}

// The filtered row is written straight into the band while its unfiltered neighbours are read
// from three rolling copies: the row above, the row itself and the row below.
template <typename Kernel, typename T>
void FilterRows(std::int64_t height, std::int64_t width, T* band, Host& host)
{
    std::vector<T> buffers(static_cast<std::size_t>(3 * width));
    T* above = buffers.data();
    T* centre = above + width;
    T* below = centre + width;
    std::copy(band, band + width, above);
    std::copy(band + width, band + 2 * width, centre);
    for (std::int64_t y = 1; y < height - 1; ++y) {
        host.PumpPendingMessages();
        const T* next = band + (y + 1) * width;
        std::copy(next, next + width, below);
        ApplyToRow<Kernel>(above, centre, below, width, band + y * width);
        T* oldest = above;
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

void FilterBand8(int height, int width, std::uint8_t* band, Kernel8 kernel, Host& host)
{
    if (height < 3 || width < 3) return;  // no inner pixel
    switch (kernel) {
        case Kernel8::Smooth: FilterRows<SmoothKernel8>(height, width, band, host); break;
        case Kernel8::Sharpen: FilterRows<SharpenKernel8>(height, width, band, host); break;
        case Kernel8::Detail: FilterRows<DetailKernel8>(height, width, band, host); break;
    }
}

// Built for AVX-512, AVX2 and older processors and chosen when the program starts; the
// arithmetic is the same in each (whole numbers, or the same single-precision steps).
__attribute__((target_clones("arch=x86-64-v4", "avx2", "default"))) void FilterRow(
    Kernel16 kernel, const std::int16_t* above, const std::int16_t* centre,
    const std::int16_t* below, std::int64_t width, std::int16_t* out)
{
    if (width <= 0) return;
    out[0] = centre[0];
    out[width - 1] = centre[width - 1];
    if (kernel == Kernel16::Sharpen) {
        ApplyToRow<SharpenKernel>(above, centre, below, width, out);
    } else {
        ApplyToRow<DetailKernel>(above, centre, below, width, out);
    }
}

__attribute__((target_clones("arch=x86-64-v4", "avx2", "default"))) void FilterRow(
    Kernel8 kernel, const std::uint8_t* above, const std::uint8_t* centre,
    const std::uint8_t* below, std::int64_t width, std::uint8_t* out)
{
    if (width <= 0) return;
    out[0] = centre[0];
    out[width - 1] = centre[width - 1];
    switch (kernel) {
        case Kernel8::Smooth: ApplyToRow<SmoothKernel8>(above, centre, below, width, out); break;
        case Kernel8::Sharpen: ApplyToRow<SharpenKernel8>(above, centre, below, width, out); break;
        case Kernel8::Detail: ApplyToRow<DetailKernel8>(above, centre, below, width, out); break;
    }
}

void ClipBand(std::int64_t count, std::int16_t* band)
{
    for (std::int64_t i = 0; i < count; ++i) {
        band[i] = std::clamp<std::int16_t>(band[i], 0, 2047);
    }
}

}  // namespace lumesta
