#pragma once
// Two doubles handled as one value, for the multiply-and-add loops of the filters. Every
// operation works lane by lane with the same IEEE rounding as the scalar code (no fused
// multiply-add: the build keeps -ffp-contract=off), so the results match the scalar sums bit
// for bit; the compiler maps them onto whatever vector registers the target has.

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lumesta {

constexpr int kLanes = 2;
// Vectors summed side by side in the filter loops (eight samples), enough independent sums
// to hide the latency of the additions.
constexpr int kBlockVectors = 4;
constexpr int kBlockSamples = kLanes * kBlockVectors;
using DoubleLanes = double __attribute__((vector_size(kLanes * sizeof(double))));

inline DoubleLanes LoadLanes(const double* p)
{
    DoubleLanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline DoubleLanes LoadLanes(const float* p)
{
    using FloatLanes = float __attribute__((vector_size(kLanes * sizeof(float))));
    FloatLanes v;
    std::memcpy(&v, p, sizeof v);
    return __builtin_convertvector(v, DoubleLanes);
}

inline DoubleLanes LoadLanes(const std::int16_t* p)
{
#if defined(__SSE2__)
    // The compiler's generic conversion goes one sample at a time here: the two samples are
    // sign-extended to 32 bits and converted together.
    std::int32_t pair;
    std::memcpy(&pair, p, sizeof pair);
    const __m128i wide = _mm_cvtsi32_si128(pair);
    return _mm_cvtepi32_pd(_mm_srai_epi32(_mm_unpacklo_epi16(wide, wide), 16));
#else
    using ShortLanes = std::int16_t __attribute__((vector_size(kLanes * sizeof(std::int16_t))));
    ShortLanes v;
    std::memcpy(&v, p, sizeof v);
    return __builtin_convertvector(v, DoubleLanes);
#endif
}

}  // namespace lumesta
