#include "imaging/mtf_filter.h"

#include <cmath>

#include "core/double_lanes.h"

namespace lumesta {
namespace {

constexpr double kPi = 3.14159265358979323846;

std::int64_t OutputSide(std::int64_t side, int step, int offset)
{
    return side > offset ? (side - offset + step - 1) / step : 0;
}

}  // namespace

MtfTaps MtfGaussian(double gain, int ratio)
{
    const double sigma = ratio * std::sqrt(-2.0 * std::log(gain)) / kPi;
    MtfTaps taps{};
    double sum = 0;
    for (int k = 0; k < kMtfTaps; ++k) {
        const double x = k - kMtfHalo;
        taps[k] = std::exp(-(x * x) / (2 * sigma * sigma));
        sum += taps[k];
    }
    for (double& tap : taps) tap /= sum;
    return taps;
}

double FilterResponse(const MtfTaps& taps, double frequency)
{
    double response = 0;
    for (int k = 0; k < kMtfTaps; ++k) {
        response += taps[k] * std::cos(2 * kPi * frequency * (k - kMtfHalo));
    }
    return response;
}

void FilterDecimateRow(const MtfTaps& taps, const double* const* rows, std::int64_t sourceWidth,
                       int step, int offset, std::int64_t outWidth, double* scratch, double* out)
{
    // Down the columns, eight columns at a time with their sums in vector registers; every sum
    // still starts from 0 and adds the taps in order.
    std::int64_t x0 = 0;
    for (; x0 + kBlockSamples <= sourceWidth; x0 += kBlockSamples) {
        DoubleLanes sums[kBlockVectors] = {};
        for (int k = 0; k < kMtfTaps; ++k) {
            const double* row = rows[k] + x0;
            for (int v = 0; v < kBlockVectors; ++v) sums[v] += taps[k] * LoadLanes(row + v * kLanes);
        }
        for (int v = 0; v < kBlockVectors; ++v) StoreLanes(scratch + x0 + v * kLanes, sums[v]);
    }
    for (std::int64_t x = x0; x < sourceWidth; ++x) {
        double sum = 0;
        for (int k = 0; k < kMtfTaps; ++k) sum += taps[k] * rows[k][x];
        scratch[x] = sum;
    }
    for (std::int64_t j = 0; j < outWidth; ++j) {
        const std::int64_t centre = offset + j * step;
        double sum = 0;
        if (centre >= kMtfHalo && centre + kMtfHalo < sourceWidth) {
            const double* window = scratch + centre - kMtfHalo;
            for (int k = 0; k < kMtfTaps; ++k) sum += taps[k] * window[k];
        } else {
            for (int k = 0; k < kMtfTaps; ++k) {
                sum += taps[k] * scratch[ClampIndex(centre - kMtfHalo + k, sourceWidth)];
            }
        }
        out[j] = sum;
    }
}

MtfFilterStream::MtfFilterStream(RowStream& source, const MtfTaps& taps, int step, int offset)
    : RowStream(OutputSide(source.Width(), step, offset),
                OutputSide(source.Height(), step, offset)),
      m_source(source),
      m_taps(taps),
      m_step(step),
      m_offset(offset),
      m_column(static_cast<std::size_t>(source.Width()))
{
}

bool MtfFilterStream::Produce(std::int64_t y, double* out)
{
    const std::int64_t centre = m_offset + y * m_step;
    // The source rows arrive in increasing order, so the lowest row is asked for first.
    std::array<const double*, kMtfTaps> rows{};
    for (int k = 0; k < kMtfTaps; ++k) {
        rows[k] = m_source.Row(ClampIndex(centre - kMtfHalo + k, m_source.Height()));
    }
    FilterDecimateRow(m_taps, rows.data(), m_source.Width(), m_step, m_offset, Width(),
                      m_column.data(), out);
    return !m_source.Failed();
}

}  // namespace lumesta
