#pragma once
// Eight doubles handled as one value, for the hot loops that are built for several processors
// (target_clones). Every operation works lane by lane with the same IEEE rounding as the scalar
// code (no fused multiply-add: the build keeps -ffp-contract=off), so the results equal the
// scalar sums bit for bit whatever registers the processor has. The helpers are always inlined,
// so that each clone gets its own vector code.

#include <cstdint>
#include <cstring>

// These vectors never cross a function interface: the helpers are always inlined and the
// kernels that use them take pointers. The warning that a 64-byte vector is passed differently
// with and without AVX-512 therefore does not concern the files that include this header.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace lumesta {

constexpr int kWideLanes = 8;
using WideLanes = double __attribute__((vector_size(kWideLanes * sizeof(double))));
using WideMask = std::int64_t __attribute__((vector_size(kWideLanes * sizeof(std::int64_t))));

[[gnu::always_inline]] inline WideLanes LoadWide(const double* p)
{
    WideLanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

[[gnu::always_inline]] inline WideLanes LoadWide(const float* p)
{
    using FloatLanes = float __attribute__((vector_size(kWideLanes * sizeof(float))));
    FloatLanes v;
    std::memcpy(&v, p, sizeof v);
    return __builtin_convertvector(v, WideLanes);
}

[[gnu::always_inline]] inline WideLanes LoadWide(const std::int16_t* p)
{
    using ShortLanes = std::int16_t __attribute__((vector_size(kWideLanes * sizeof(std::int16_t))));
    using IntLanes = std::int32_t __attribute__((vector_size(kWideLanes * sizeof(std::int32_t))));
    ShortLanes v;
    std::memcpy(&v, p, sizeof v);
    return __builtin_convertvector(__builtin_convertvector(v, IntLanes), WideLanes);
}

[[gnu::always_inline]] inline void StoreWide(double* p, WideLanes v)
{
    std::memcpy(p, &v, sizeof v);
}

}  // namespace lumesta
