#include "imaging/stretch.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "core/truncate.h"

namespace lumesta {
namespace {

// Partial histograms let neighbouring samples of equal value count without waiting for each
// other; the counts are whole numbers, so their sums are the same in any order.
void AddToHistogram(std::int64_t* partial, int bins, std::int64_t count, const std::int16_t* samples)
{
    auto add = [partial, bins](int lane, int value) {
        if (value >= 0 && value < bins) ++partial[lane * bins + value];
    };
    std::int64_t next = 0;
    for (; next + 4 <= count; next += 4) {
        add(0, samples[next]);
        add(1, samples[next + 1]);
        add(2, samples[next + 2]);
        add(3, samples[next + 3]);
    }
    for (; next < count; ++next) add(0, samples[next]);
}

// Bytes: with 256 bins or more every value has its bin, so eight lanes take eight bytes read
// at once without a range check.
void AddToHistogram(std::int64_t* partial, int bins, std::int64_t count, const std::uint8_t* samples)
{
    std::int64_t next = 0;
    if (bins >= 256) {
        for (; next + 8 <= count; next += 8) {
            std::uint64_t word;
            std::memcpy(&word, samples + next, sizeof word);
            // Lane k counts bits 8k .. 8k + 7 of the word: every byte once, in some lane.
            for (int lane = 0; lane < 8; ++lane) {
                ++partial[lane * bins + static_cast<int>((word >> (8 * lane)) & 0xFF)];
            }
        }
    }
    for (; next < count; ++next) {
        if (samples[next] < bins) ++partial[samples[next]];
    }
}

}  // namespace

StretchHistogram::StretchHistogram(int bins)
    : m_bins(bins), m_partial(static_cast<std::size_t>(kLanes * bins), 0)
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
        for (int b = 0; b < bins; ++b) histogram[b] += m_partial[static_cast<std::size_t>(lane * bins + b)];
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
