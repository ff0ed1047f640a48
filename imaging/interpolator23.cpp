#include "imaging/interpolator23.h"

#include <algorithm>

namespace lumesta {
namespace {

constexpr int kReach = 11;  // taps on each side of the centre

// Rows the streams keep: a fine row reaches twelve widened coarse rows; a step's output is read in
// order, by the next step or the caller.
constexpr std::size_t kWidenedRows = 16;
constexpr std::size_t kUpsampledRows = 4;

// The coarse samples that reach fine sample o: m = (o − phase − t) / 2 for the odd offsets t in
// −11 .. 11. Calls add(tap, m) in order of increasing t; the even offsets have zero taps except
// the centre, which the callers handle as an exact copy.
template <typename Add>
void ForOddTaps(std::int64_t o, int phase, Add add)
{
    const auto& h = Interpolator23Taps();
    for (int t = -kReach; t <= kReach; t += 2) {
        add(h[static_cast<std::size_t>(t < 0 ? -t : t)], (o - phase - t) / 2);
    }
}

}  // namespace

const std::array<double, 12>& Interpolator23Taps()
{
    static const std::array<double, 12> kTaps = {
        2 * 0.5, 2 * 0.305334091185,  0, 2 * -0.072698593239, 0, 2 * 0.021809577942,
        0,       2 * -0.005192756653, 0, 2 * 0.000807762146,  0, 2 * -0.000060081482};
    return kTaps;
}

bool IsPowerOfTwo(int ratio)
{
    return ratio >= 2 && (ratio & (ratio - 1)) == 0;
}

void Upsample2Line(const double* in, std::int64_t n, int phase, double* out)
{
    const auto& h = Interpolator23Taps();
    for (std::int64_t o = 0; o < 2 * n; ++o) {
        const std::int64_t centre = (o - phase - 1) / 2;  // m of the tap at offset +1, when odd
        if (((o - phase) & 1) != 0 && centre >= 5 && centre + 6 < n) {
            // Inside the line no index needs mirroring: the same sums in the same order.
            const double* m = in + centre;
            out[o] = h[11] * m[6] + h[9] * m[5] + h[7] * m[4] + h[5] * m[3] + h[3] * m[2] +
                     h[1] * m[1] + h[1] * m[0] + h[3] * m[-1] + h[5] * m[-2] + h[7] * m[-3] +
                     h[9] * m[-4] + h[11] * m[-5];
            continue;
        }
        if (((o - phase) & 1) == 0) {
            out[o] = in[(o - phase) / 2];
            continue;
        }
        double sum = 0;
        ForOddTaps(o, phase,
                   [&](double tap, std::int64_t m) { sum += tap * in[MirrorIndex(m, n)]; });
        out[o] = sum;
    }
}

Upsample2Stream::Widened::Widened(RowStream& source, int phase)
    : RowStream(2 * source.Width(), source.Height(), kWidenedRows), m_source(source), m_phase(phase)
{
}

bool Upsample2Stream::Widened::Produce(std::int64_t y, double* out)
{
    Upsample2Line(m_source.Row(y), m_source.Width(), m_phase, out);
    return !m_source.Failed();
}

Upsample2Stream::Upsample2Stream(RowStream& source, int phase)
    : RowStream(2 * source.Width(), 2 * source.Height(), kUpsampledRows),
      m_widened(source, phase),
      m_phase(phase)
{
}

bool Upsample2Stream::Produce(std::int64_t y, double* out)
{
    const std::int64_t n = m_widened.Height();
    const std::int64_t width = Width();
    if (((y - m_phase) & 1) == 0) {
        const double* row = m_widened.Row((y - m_phase) / 2);
        std::copy(row, row + width, out);
        return !m_widened.Failed();
    }
    // Fetch the coarse rows lowest first, so none leaves the window before it is used.
    std::array<const double*, kReach + 1> rows{};
    std::array<double, kReach + 1> taps{};
    std::array<std::int64_t, kReach + 1> index{};
    int count = 0;
    ForOddTaps(y, m_phase, [&](double tap, std::int64_t m) {
        taps[count] = tap;
        index[count] = MirrorIndex(m, n);
        ++count;
    });
    const std::int64_t lowest = *std::min_element(index.begin(), index.begin() + count);
    m_widened.Row(lowest);
    for (int i = 0; i < count; ++i) rows[i] = m_widened.Row(index[i]);
    // Every odd fine row takes all twelve odd taps; one pass sums them in tap order.
    static_assert(kReach + 1 == 12, "twelve odd taps");
    for (std::int64_t x = 0; x < width; ++x) {
        double sum = taps[0] * rows[0][x];
        for (int i = 1; i < 12; ++i) sum += taps[i] * rows[i][x];
        out[x] = sum;
    }
    return !m_widened.Failed();
}

UpsampleChain::UpsampleChain(RowStream& source, int ratio) : m_last(&source)
{
    for (int step = 0, r = ratio; r > 1; r /= 2, ++step) {
        m_steps.push_back(std::make_unique<Upsample2Stream>(*m_last, step == 0 ? 1 : 0));
        m_last = m_steps.back().get();
    }
}

}  // namespace lumesta
