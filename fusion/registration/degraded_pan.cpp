#include "fusion/registration/degraded_pan.h"

#include <algorithm>
#include <cmath>

#include "fusion/registration/valid_samples.h"

namespace lumesta {
namespace {

constexpr double kPi = 3.14159265358979323846;

// The Gaussian of one axis around a fractional position: sample j of the window is
// Σ_k weights[k] · pan[first + ratio · j + k].
struct AxisTaps {
    std::int64_t first = 0;
    std::vector<double> weights;
};

AxisTaps TapsAround(double position, double sigma)
{
    const int halo = DegradationHalo(sigma);
    const double base = std::floor(position);
    const double phase = position - base;
    AxisTaps taps;
    taps.first = static_cast<std::int64_t>(base) - halo;
    double sum = 0;
    for (int k = 0; k < 2 * halo + 2; ++k) {
        const double x = (k - halo) - phase;
        taps.weights.push_back(std::exp(-(x * x) / (2 * sigma * sigma)));
        sum += taps.weights.back();
    }
    for (double& weight : taps.weights) weight /= sum;
    return taps;
}

AxisTaps TapsAcross(const PanSampling& sampling, const MsWindow& window)
{
    return TapsAround(sampling.originX + static_cast<double>(sampling.ratio) * window.x0,
                      sampling.sigma);
}

AxisTaps TapsDown(const PanSampling& sampling, const MsWindow& window)
{
    return TapsAround(sampling.originY + static_cast<double>(sampling.ratio) * window.y0,
                      sampling.sigma);
}

// sums[c] = Σ_k weights[k] · block[top + k][first + c] for the span's columns c; bad[c] marks
// columns where any of those pixels is not valid or not held.
void FilterDown(const PanBlock& block, const AxisTaps& down, std::int64_t top, std::int64_t first,
                std::vector<double>& sums, std::vector<std::uint8_t>& bad)
{
    const PanRect& r = block.rect;
    const std::int64_t span = static_cast<std::int64_t>(sums.size());
    std::fill(sums.begin(), sums.end(), 0.0);
    std::fill(bad.begin(), bad.end(), std::uint8_t{0});
    // The span's columns that the block holds: c from c0 to c1 − 1.
    const std::int64_t c0 = std::clamp<std::int64_t>(r.x0 - first, 0, span);
    const std::int64_t c1 = std::clamp<std::int64_t>(r.x0 + r.columns - first, c0, span);
    std::fill(bad.begin(), bad.begin() + c0, std::uint8_t{1});
    std::fill(bad.begin() + c1, bad.end(), std::uint8_t{1});
    for (std::size_t k = 0; k < down.weights.size(); ++k) {
        const std::int64_t row = top + static_cast<std::int64_t>(k) - r.y0;
        if (row < 0 || row >= r.rows) {
            std::fill(bad.begin(), bad.end(), std::uint8_t{1});
            continue;
        }
        const double weight = down.weights[k];
        const std::size_t at = static_cast<std::size_t>(row * r.columns + first + c0 - r.x0);
        const float* line = block.samples.data() + at;
        const std::uint8_t* ok = block.valid.data() + at;
        for (std::int64_t c = 0; c < c1 - c0; ++c) {
            sums[c0 + c] += weight * line[c];
            bad[c0 + c] |= !ok[c];
        }
    }
}

}  // namespace

double MtfSigma(double gain, int ratio)
{
    return ratio * std::sqrt(-2.0 * std::log(gain)) / kPi;
}

int DegradationHalo(double sigma)
{
    return static_cast<int>(std::ceil(4.0 * sigma));
}

PanRect SampledPan(const PanSampling& sampling, const MsWindow& window, int margin)
{
    const AxisTaps across = TapsAcross(sampling, window);
    const AxisTaps down = TapsDown(sampling, window);
    PanRect rect;
    rect.x0 = across.first - margin;
    rect.y0 = down.first - margin;
    rect.columns = static_cast<std::int64_t>(window.columns - 1) * sampling.ratio +
                   static_cast<std::int64_t>(across.weights.size()) + 2 * margin;
    rect.rows = static_cast<std::int64_t>(window.rows - 1) * sampling.ratio +
                static_cast<std::int64_t>(down.weights.size()) + 2 * margin;
    return rect;
}

bool ReadPanBlock(const SourceBand& pan, const Validity& rule, const PanRect& rect,
                  PanBlock& block, std::string& error)
{
    const RasterDescription& image = pan.source->Description();
    const std::int64_t x0 = std::clamp<std::int64_t>(rect.x0, 0, image.width);
    const std::int64_t y0 = std::clamp<std::int64_t>(rect.y0, 0, image.height);
    const std::int64_t x1 = std::clamp<std::int64_t>(rect.x0 + rect.columns, x0, image.width);
    const std::int64_t y1 = std::clamp<std::int64_t>(rect.y0 + rect.rows, y0, image.height);
    block.rect = {x0, y0, x1 - x0, y1 - y0};
    SampleWindow read;
    read.x0 = static_cast<int>(x0);
    read.y0 = static_cast<int>(y0);
    read.columns = static_cast<int>(x1 - x0);
    read.rows = static_cast<int>(y1 - y0);
    return ReadValidSamples(pan, read, rule, block.samples, block.valid, error);
}

bool BlockHolds(const PanBlock& block, const PanRect& rect, int panWidth, int panHeight)
{
    const std::int64_t x0 = std::clamp<std::int64_t>(rect.x0, 0, panWidth);
    const std::int64_t y0 = std::clamp<std::int64_t>(rect.y0, 0, panHeight);
    const std::int64_t x1 = std::clamp<std::int64_t>(rect.x0 + rect.columns, x0, panWidth);
    const std::int64_t y1 = std::clamp<std::int64_t>(rect.y0 + rect.rows, y0, panHeight);
    const PanRect& held = block.rect;
    return x0 >= held.x0 && y0 >= held.y0 && x1 <= held.x0 + held.columns &&
           y1 <= held.y0 + held.rows;
}

void DegradePanWindow(const PanBlock& block, const PanSampling& sampling, const MsWindow& window,
                      std::vector<double>& values, std::vector<std::uint8_t>& valid)
{
    const std::size_t count = static_cast<std::size_t>(window.columns) * window.rows;
    values.assign(count, 0.0);
    valid.assign(count, 0);
    const AxisTaps across = TapsAcross(sampling, window);
    const AxisTaps down = TapsDown(sampling, window);
    const int ratio = sampling.ratio;
    const std::size_t span =
        static_cast<std::size_t>(window.columns - 1) * ratio + across.weights.size();
    std::vector<double> sums(span);
    std::vector<std::uint8_t> bad(span);
    for (int row = 0; row < window.rows; ++row) {
        FilterDown(block, down, down.first + static_cast<std::int64_t>(row) * ratio, across.first,
                   sums, bad);
        double* out = values.data() + static_cast<std::size_t>(row) * window.columns;
        std::uint8_t* outValid = valid.data() + static_cast<std::size_t>(row) * window.columns;
        for (int j = 0; j < window.columns; ++j) {
            const std::size_t from = static_cast<std::size_t>(j) * ratio;
            double sum = 0;
            std::uint8_t notValid = 0;
            for (std::size_t k = 0; k < across.weights.size(); ++k) {
                sum += across.weights[k] * sums[from + k];
                notValid |= bad[from + k];
            }
            out[j] = sum;
            outValid[j] = !notValid;
        }
    }
}

}  // namespace lumesta
