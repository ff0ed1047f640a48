#include "imaging/stretch.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "core/truncate.h"

namespace lumesta {
namespace {

// Partial histograms ("lanes") let neighbouring samples of equal value count without waiting
// for each other; the counts are whole numbers, so their sums are the same in any order. Each
// lane has bins + 1 places: the last takes the samples outside 0 .. bins - 1 and is never read,
// so no sample needs a branch. kBins is the bin count when it is known here, otherwise 0.
inline unsigned PlaceOf(int value, unsigned limit)
{
    return static_cast<unsigned>(value) < limit ? static_cast<unsigned>(value) : limit;
}

template <int kBins, typename Sample>
void AddToLanes(std::int64_t* partial, int bins, std::int64_t count, const Sample* samples)
{
    const auto limit = static_cast<unsigned>(kBins > 0 ? kBins : bins);
    const std::int64_t stride = static_cast<std::int64_t>(limit) + 1;
    std::int64_t next = 0;
    if constexpr (sizeof(Sample) == 1) {
        // Eight bytes read at once; lane k counts bits 8k .. 8k + 7 of the word.
        for (; next + 8 <= count; next += 8) {
            std::uint64_t word;
            std::memcpy(&word, samples + next, sizeof word);
            for (int lane = 0; lane < 8; ++lane) {
                ++partial[lane * stride + PlaceOf(static_cast<int>((word >> (8 * lane)) & 0xFF), limit)];
            }
        }
    } else {
        // 16-bit samples seldom leave the bins: a branch costs less than the spare place here.
        for (; next + 4 <= count; next += 4) {
            for (int lane = 0; lane < 4; ++lane) {
                const auto value = static_cast<unsigned>(samples[next + lane]);
                if (value < limit) ++partial[lane * stride + value];
            }
        }
    }
    for (; next < count; ++next) ++partial[PlaceOf(samples[next], limit)];
}

template <typename Sample>
void AddToHistogram(std::int64_t* partial, int bins, std::int64_t count, const Sample* samples)
{
    // The run's histograms: 2048 bins for 16-bit samples, 256 for bytes.
    if (bins == (sizeof(Sample) == 2 ? 2048 : 256)) {
        AddToLanes<sizeof(Sample) == 2 ? 2048 : 256>(partial, bins, count, samples);
    } else {
        AddToLanes<0>(partial, bins, count, samples);
    }
}

}  // namespace

StretchHistogram::StretchHistogram(int bins)
    : m_bins(bins), m_partial(static_cast<std::size_t>(kLanes * (bins + 1)), 0)
{
}

void StretchHistogram::Add(std::int64_t count, const std::int16_t* samples)
{
    AddToHistogram(m_partial.data(), m_bins, count, samples);
}

void StretchHistogram::Add(std::int64_t count, const std::uint8_t* samples)
{
    AddToHistogram(m_partial.data(), m_bins, count, samples);
}

// Zero-valued samples are image background: bin 0 is counted but takes no part in the
// cumulative percentages.
StretchCutoffs StretchHistogram::Cutoffs(double leftPercent, double rightPercent) const
{
    const int bins = m_bins;
    std::vector<std::int64_t> histogram(static_cast<std::size_t>(bins), 0);
    for (int lane = 0; lane < kLanes; ++lane) {
        for (int b = 0; b < bins; ++b) histogram[b] += m_partial[static_cast<std::size_t>(lane * (bins + 1) + b)];
    }
    std::vector<std::int64_t> cumulative(static_cast<std::size_t>(bins), 0);
    for (int i = 1; i < bins; ++i) cumulative[i] = cumulative[i - 1] + histogram[i];
    const std::int64_t total = cumulative[bins - 1];
    StretchCutoffs cutoffs;
    if (total == 0) return cutoffs;  // no percentages exist: both cutoffs stay 0

    const double highPercent = 100 - rightPercent;
    std::vector<double> percent(static_cast<std::size_t>(bins), 0.0);
    for (int i = 1; i < bins; ++i) percent[i] = static_cast<double>(cumulative[i]) * 100.0 / total;
    for (int i = 1; i < bins && cutoffs.low == 0; ++i) {
        if (percent[i] >= leftPercent) cutoffs.low = i;
    }
    for (int i = 1; i < bins && cutoffs.high == 0; ++i) {
        if (percent[i] >= highPercent) cutoffs.high = i;
    }
    return cutoffs;
}

StretchCutoffs ComputeStretchCutoffs16(std::int64_t count, const std::int16_t* samples,
                                       double leftPercent, double rightPercent)
{
    StretchHistogram histogram(2048);
    histogram.Add(count, samples);
    return histogram.Cutoffs(leftPercent, rightPercent);
}

StretchCutoffs ComputeStretchCutoffs8(std::int64_t count, const std::uint8_t* samples,
                                      double leftPercent, double rightPercent)
{
    StretchHistogram histogram(256);
    histogram.Add(count, samples);
    return histogram.Cutoffs(leftPercent, rightPercent);
}

std::uint8_t LinearStretchByte(double value, double low, double high)
{
    if (value <= low) return 0;
    if (value >= high) return 255;
    return TruncToByte((value - low) * 255 / (high - low));
}

std::uint8_t NonlinearStretchByte(std::uint8_t byte, int strength)
{
    if (strength <= 0) return byte;
    // The end points are fixed: computed literally, some strengths would turn 255 into 254.
    if (byte == 0 || byte == 255) return byte;
    const double stretched =
        255 * std::log(1 + static_cast<double>(strength) * byte / 255) / std::log(1.0 + strength);
    return TruncToByte(stretched);
}

std::array<std::uint8_t, 256> NonlinearStretchTable(int strength)
{
    std::array<std::uint8_t, 256> table{};
    for (int b = 0; b < 256; ++b) {
        table[static_cast<std::size_t>(b)] =
            NonlinearStretchByte(static_cast<std::uint8_t>(b), strength);
    }
    return table;
}

}  // namespace lumesta
