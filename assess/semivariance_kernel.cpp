#include "assess/semivariance_kernel.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

#include "core/worker_threads.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace lumesta {
namespace {

// Below 2^53 every partial sum of non-negative integers is exact in double precision, so the
// integer total equals the double sum in any order.
constexpr std::uint64_t kExactInDouble = std::uint64_t{1} << 53;
// Work below this many pairs is not worth a thread.
constexpr std::int64_t kPairsPerThread = std::int64_t{1} << 18;
constexpr unsigned kMaxThreads = 8;

template <typename T>
std::uint64_t RowSumScalar(const T* a, const T* b, std::int64_t count, std::int64_t)
{
    std::uint64_t sum = 0;
    for (std::int64_t j = 0; j < count; ++j) {
        const std::int64_t d = static_cast<std::int64_t>(a[j]) - static_cast<std::int64_t>(b[j]);
        sum += static_cast<std::uint64_t>(d * d);
    }
    return sum;
}

#if defined(__x86_64__)

// Eight samples as 16-bit lanes.
inline __m128i Load8(const std::int16_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline __m128i Load8(const std::uint8_t* p)
{
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                             _mm_setzero_si128());
}

// Differences are formed in 16-bit lanes (exact: the band's range is at most 32767) and their
// squares summed pairwise into 32-bit lanes, which are widened to 64 bits every `chunk`
// vectors, before they could exceed 2^31 − 1.
template <typename T>
std::uint64_t RowSumSse2(const T* a, const T* b, std::int64_t count, std::int64_t chunk)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i total = zero;
    const std::int64_t vectorEnd = count - count % 8;
    std::int64_t j = 0;
    while (j < vectorEnd) {
        const std::int64_t stop = std::min(vectorEnd, j + chunk * 8);
        __m128i lanes = zero;
        for (; j < stop; j += 8) {
            const __m128i d = _mm_sub_epi16(Load8(a + j), Load8(b + j));
            lanes = _mm_add_epi32(lanes, _mm_madd_epi16(d, d));
        }
        total = _mm_add_epi64(total, _mm_unpacklo_epi32(lanes, zero));
        total = _mm_add_epi64(total, _mm_unpackhi_epi32(lanes, zero));
    }
    alignas(16) std::uint64_t parts[2];
    _mm_store_si128(reinterpret_cast<__m128i*>(parts), total);
    return parts[0] + parts[1] + RowSumScalar(a + j, b + j, count - j, 0);
}

__attribute__((target("avx2"))) inline __m256i Load16(const std::int16_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
__attribute__((target("avx2"))) inline __m256i Load16(const std::uint8_t* p)
{
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

template <typename T>
__attribute__((target("avx2"))) std::uint64_t RowSumAvx2(const T* a, const T* b, std::int64_t count,
                                                         std::int64_t chunk)
{
    const __m256i zero = _mm256_setzero_si256();
    __m256i total = zero;
    const std::int64_t vectorEnd = count - count % 16;
    std::int64_t j = 0;
    while (j < vectorEnd) {
        const std::int64_t stop = std::min(vectorEnd, j + chunk * 16);
        __m256i lanes = zero;
        for (; j < stop; j += 16) {
            const __m256i d = _mm256_sub_epi16(Load16(a + j), Load16(b + j));
            lanes = _mm256_add_epi32(lanes, _mm256_madd_epi16(d, d));
        }
        total = _mm256_add_epi64(total, _mm256_unpacklo_epi32(lanes, zero));
        total = _mm256_add_epi64(total, _mm256_unpackhi_epi32(lanes, zero));
    }
    alignas(32) std::uint64_t parts[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(parts), total);
    return parts[0] + parts[1] + parts[2] + parts[3] + RowSumScalar(a + j, b + j, count - j, 0);
}

bool HasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

#endif

// A sum that remembers when it left the range where double sums are exact.
struct ExactSum {
    std::uint64_t value = 0;
    bool beyond = false;
    void Add(std::uint64_t part)
    {
        if (__builtin_add_overflow(value, part, &value)) beyond = true;
    }
    bool IsExactInDouble() const { return !beyond && value <= kExactInDouble; }
};

}  // namespace

PairRows PairRowsOf(Orientation orientation, int width, int height, int lag)
{
    switch (orientation) {
        case Orientation::Deg0:
            return {height, 0, 0, lag, width - lag};
        case Orientation::Deg45:
            return {height - lag, lag, lag, 0, width - lag};
        case Orientation::Deg90:
            return {height - lag, lag, 0, 0, width};
        case Orientation::Deg135:
            break;
    }
    return {height - lag, lag, 0, lag, width - lag};
}

template <typename T>
std::int64_t SampleRange(const T* samples, std::int64_t count)
{
    if (count <= 0) return 0;
    T low = samples[0];
    T high = samples[0];
    for (std::int64_t i = 1; i < count; ++i) {
        low = std::min(low, samples[i]);
        high = std::max(high, samples[i]);
    }
    return static_cast<std::int64_t>(high) - static_cast<std::int64_t>(low);
}

template <typename T>
RowPairSummer<T>::RowPairSummer(std::int64_t range) : m_kernel(&RowSumScalar<T>)
{
#if defined(__x86_64__)
    if (range <= 32767) {
        // Each 32-bit lane gains at most 2·range² per vector.
        const std::int64_t perVector = std::max<std::int64_t>(1, 2 * range * range);
        m_chunk = std::min<std::int64_t>(INT32_MAX / perVector, std::int64_t{1} << 16);
        m_kernel = HasAvx2() ? &RowSumAvx2<T> : &RowSumSse2<T>;
    }
#else
    (void)range;
#endif
}

std::int64_t PairCount(Orientation orientation, int width, int height, int lag)
{
    const PairRows rows = PairRowsOf(orientation, width, height, lag);
    return static_cast<std::int64_t>(rows.rows) * rows.count;
}

template <typename T>
PairSumKernel<T>::PairSumKernel(const T* band, int width, int height)
    : m_band(band), m_width(width), m_height(height), m_rowKernel(&RowSumScalar<T>)
{
    const std::int64_t samples = static_cast<std::int64_t>(width) * height;
#if defined(__x86_64__)
    const std::int64_t range = SampleRange(band, samples);
    if (range <= 32767) {
        // Each 32-bit lane gains at most 2·range² per vector.
        const std::int64_t perVector = std::max<std::int64_t>(1, 2 * range * range);
        m_chunk = std::min<std::int64_t>(INT32_MAX / perVector, std::int64_t{1} << 16);
        m_rowKernel = HasAvx2() ? &RowSumAvx2<T> : &RowSumSse2<T>;
    }
#endif
    const unsigned cores = WorkerThreads(kMaxThreads);
    m_threads = static_cast<int>(std::min<std::int64_t>(cores, 1 + samples / kPairsPerThread));
}

template <typename T>
double PairSumKernel<T>::SumOfSquares(Orientation orientation, int lag) const
{
    const PairRows pairs = PairRowsOf(orientation, m_width, m_height, lag);
    if (pairs.rows <= 0 || pairs.count <= 0) return 0.0;
    const int threads = std::min(m_threads, pairs.rows);
    std::vector<ExactSum> partial(static_cast<std::size_t>(threads));
    const auto sumRows = [&](int part) {
        const int firstRow =
            static_cast<int>(static_cast<std::int64_t>(pairs.rows) * part / threads);
        const int endRow =
            static_cast<int>(static_cast<std::int64_t>(pairs.rows) * (part + 1) / threads);
        ExactSum& sum = partial[static_cast<std::size_t>(part)];
        for (int i = firstRow; i < endRow; ++i) {
            const T* a = m_band + static_cast<std::int64_t>(i) * m_width + pairs.first;
            const T* b =
                m_band + static_cast<std::int64_t>(i + pairs.rowStep) * m_width + pairs.second;
            sum.Add(m_rowKernel(a, b, pairs.count, m_chunk));
        }
    };
    std::vector<std::thread> workers;
    for (int part = 1; part < threads; ++part) {
        try {
            workers.emplace_back(sumRows, part);
        } catch (const std::system_error&) {
            sumRows(part);  // no thread to be had: this one does the part
        }
    }
    sumRows(0);
    for (auto& worker : workers) worker.join();

    ExactSum total;
    for (const ExactSum& part : partial) {
        total.Add(part.value);
        total.beyond = total.beyond || part.beyond;
    }
    if (total.IsExactInDouble()) return static_cast<double>(total.value);
    // Large sums round in double precision: take them in pair order, as the table defines them.
    double sum = 0.0;
    for (int i = 0; i < pairs.rows; ++i) {
        const T* a = m_band + static_cast<std::int64_t>(i) * m_width + pairs.first;
        const T* b = m_band + static_cast<std::int64_t>(i + pairs.rowStep) * m_width + pairs.second;
        for (int j = 0; j < pairs.count; ++j) {
            const std::int64_t d =
                static_cast<std::int64_t>(a[j]) - static_cast<std::int64_t>(b[j]);
            sum += static_cast<double>(d * d);
        }
    }
    return sum;
}

template class PairSumKernel<std::uint8_t>;
template class PairSumKernel<std::int16_t>;
template class RowPairSummer<std::uint8_t>;
template class RowPairSummer<std::int16_t>;
template std::int64_t SampleRange<std::uint8_t>(const std::uint8_t*, std::int64_t);
template std::int64_t SampleRange<std::int16_t>(const std::int16_t*, std::int64_t);

}  // namespace lumesta
