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

// The processors a hot loop is built for: LUMESTA_CLONES("avx512f", "avx2", "default") builds
// one copy for each and picks one at start-up; LUMESTA_TARGET("avx512f") builds a function for
// one. clang refuses these vectors between functions built for different processors, inlined
// helpers included, so its builds (the fuzzing harnesses) take the portable code alone.
#if defined(__clang__)
#define LUMESTA_CLONES(...)
#define LUMESTA_TARGET(...)
#else
#define LUMESTA_CLONES(...) __attribute__((target_clones(__VA_ARGS__)))
#define LUMESTA_TARGET(...) __attribute__((target(__VA_ARGS__)))
#endif

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

// The same samples by integer operations alone: each sample offset by 32768 goes into the
// mantissa of 2^52, and 2^52 + 32768 is taken away, both exactly. With AVX-512 this takes a few
// instructions where the compiler's conversion takes many; without it, LoadWide is the quicker.
[[gnu::always_inline]] inline WideLanes LoadWideBiased(const std::int16_t* p)
{
    using UshortLanes = std::uint16_t __attribute__((vector_size(kWideLanes * sizeof(std::uint16_t))));
    UshortLanes v;
    std::memcpy(&v, p, sizeof v);
    v ^= 0x8000;
    WideMask bits = __builtin_convertvector(v, WideMask);
    bits |= 0x4330000000000000LL;
    WideLanes value;
    std::memcpy(&value, &bits, sizeof value);
    return value - (4503599627370496.0 + 32768.0);
}

// LoadWide, or LoadWideBiased for the loops built for AVX-512 (Biased true).
template <bool Biased, typename Sample>
[[gnu::always_inline]] inline WideLanes LoadSamples(const Sample* p)
{
    if constexpr (Biased && sizeof(Sample) == 2) {
        return LoadWideBiased(p);
    } else {
        return LoadWide(p);
    }
}

// True when the processor has AVX-512 (the loops built for it may run).
inline bool HasAvx512()
{
    static const bool has = __builtin_cpu_supports("avx512f");
    return has;
}

[[gnu::always_inline]] inline void StoreWide(double* p, WideLanes v)
{
    std::memcpy(p, &v, sizeof v);
}

}  // namespace lumesta
