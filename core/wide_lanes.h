#pragma once
// Several doubles handled as one value, for the hot loops: as many as the processor's widest
// registers hold (eight with AVX-512, four with AVX2, two otherwise). Every operation works lane
// by lane with the same IEEE rounding as the scalar code (no fused multiply-add: the build keeps
// -ffp-contract=off), so the results equal the scalar sums bit for bit whatever the lane count.
// A kernel is a template on its vector type, and RunWide runs it with the processor's widest
// vectors: vectors wider than the registers go through memory and run many times slower.

#include <atomic>
#include <cstdint>
#include <cstring>
#include <utility>

// These vectors never cross a function interface: the helpers are always inlined and the
// kernels that use them take pointers. The warning that a 64-byte vector is passed differently
// with and without AVX-512 therefore does not concern the files that include this header.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace lumesta {

// N doubles as one value.
template <int N>
struct WideOf {
    typedef double Type __attribute__((vector_size(N * sizeof(double))));
};
template <int N>
using Wide = typename WideOf<N>::Type;

// The lanes of a vector type of doubles.
template <typename Lanes>
constexpr int kLanesOf = static_cast<int>(sizeof(Lanes) / sizeof(double));

// N values of another type as one value.
template <typename T, int N>
struct VectorOf {
    typedef T Type __attribute__((vector_size(N * sizeof(T))));
};

template <typename Lanes>
[[gnu::always_inline]] inline Lanes LoadWide(const double* p)
{
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename Lanes>
[[gnu::always_inline]] inline Lanes LoadWide(const float* p)
{
    typename VectorOf<float, kLanesOf<Lanes>>::Type v;
    std::memcpy(&v, p, sizeof v);
    return __builtin_convertvector(v, Lanes);
}

template <typename Lanes>
[[gnu::always_inline]] inline Lanes LoadWide(const std::int16_t* p)
{
    constexpr int n = kLanesOf<Lanes>;
    typename VectorOf<std::int16_t, n>::Type v;
    std::memcpy(&v, p, sizeof v);
    return __builtin_convertvector(
        __builtin_convertvector(v, typename VectorOf<std::int32_t, n>::Type), Lanes);
}

// The same samples by integer operations alone: each sample offset by 32768 goes into the
// mantissa of 2^52, and 2^52 + 32768 is taken away, both exactly. With AVX-512 this takes a few
// instructions where the compiler's conversion takes many; without it, LoadWide is the quicker.
template <typename Lanes>
[[gnu::always_inline]] inline Lanes LoadWideBiased(const std::int16_t* p)
{
    constexpr int n = kLanesOf<Lanes>;
    typename VectorOf<std::uint16_t, n>::Type v;
    std::memcpy(&v, p, sizeof v);
    v ^= 0x8000;
    auto bits = __builtin_convertvector(v, typename VectorOf<std::int64_t, n>::Type);
    bits |= 0x4330000000000000LL;
    Lanes value;
    std::memcpy(&value, &bits, sizeof value);
    return value - (4503599627370496.0 + 32768.0);
}

// LoadWide, or LoadWideBiased for the eight-lane loops (built for AVX-512) of 16-bit samples.
template <typename Lanes, typename Sample>
[[gnu::always_inline]] inline Lanes LoadSamples(const Sample* p)
{
    if constexpr (kLanesOf<Lanes> == 8 && sizeof(Sample) == 2) {
        return LoadWideBiased<Lanes>(p);
    } else {
        return LoadWide<Lanes>(p);
    }
}

template <typename Lanes>
[[gnu::always_inline]] inline void StoreWide(double* p, Lanes v)
{
    std::memcpy(p, &v, sizeof v);
}

// True when the processor has AVX-512 or AVX2.
inline bool HasAvx512()
{
    static const bool has = __builtin_cpu_supports("avx512f");
    return has;
}

inline bool HasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

// The most lanes RunWide takes (8 unless limited): the tests run the kernels with each count
// the processor allows and compare the results.
inline std::atomic<int>& MostWideLanes()
{
    static std::atomic<int> most{8};
    return most;
}

inline void LimitWideLanes(int lanes)
{
    MostWideLanes().store(lanes, std::memory_order_relaxed);
}

// Kernel::Run<Lanes>(args...) with the widest vectors the processor has: a copy of the kernel
// built for AVX-512, one for AVX2 and one for any processor (each with its whole kernel inlined,
// so that the vector code is made for that processor). clang refuses these vectors between
// functions built for different processors, so its builds (the fuzzing harnesses) take the
// portable copy alone.
#if defined(__clang__)
template <typename Kernel, typename... Args>
inline void RunWide(Args&&... args)
{
    Kernel::template Run<Wide<2>>(std::forward<Args>(args)...);
}
#else
template <typename Kernel, typename... Args>
__attribute__((target("avx512f"), flatten)) void RunWideAvx512(Args&&... args)
{
    Kernel::template Run<Wide<8>>(std::forward<Args>(args)...);
}

template <typename Kernel, typename... Args>
__attribute__((target("avx2"), flatten)) void RunWideAvx2(Args&&... args)
{
    Kernel::template Run<Wide<4>>(std::forward<Args>(args)...);
}

template <typename Kernel, typename... Args>
__attribute__((flatten)) void RunWidePortable(Args&&... args)
{
    Kernel::template Run<Wide<2>>(std::forward<Args>(args)...);
}

template <typename Kernel, typename... Args>
inline void RunWide(Args&&... args)
{
    const int most = MostWideLanes().load(std::memory_order_relaxed);
    if (most >= 8 && HasAvx512()) {
        RunWideAvx512<Kernel>(std::forward<Args>(args)...);
    } else if (most >= 4 && HasAvx2()) {
        RunWideAvx2<Kernel>(std::forward<Args>(args)...);
    } else {
        RunWidePortable<Kernel>(std::forward<Args>(args)...);
    }
}
#endif

}  // namespace lumesta
