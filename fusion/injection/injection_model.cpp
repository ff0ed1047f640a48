#include "fusion/injection/injection_model.h"

#include <algorithm>
#include <cmath>

#include "core/allocate.h"
#include "core/wide_lanes.h"
#include "fusion/inputs/band_read.h"
#include "fusion/parallel_rows.h"
#include "imaging/mtf_filter.h"
#include "imaging/row_stream.h"

namespace lumesta {
namespace {

constexpr std::int64_t kBlockMsRows = 64;  // MS rows degraded per block of pan rows

struct Moments {
    double mean = 0;
    double deviation = 0;  // population standard deviation
};

constexpr int kMostSeries = 8;

// Mean and population deviation of series 0 .. n − 1 (n ≤ kMostSeries), values(i, v) filling
// v[s] with series s at index i; each sum runs in index order, and the series are summed side
// by side, so that the processor has independent sums to work on.
template <typename Values>
std::array<Moments, kMostSeries> MomentsOfEach(std::int64_t count, int n, Values values)
{
    std::array<Moments, kMostSeries> m{};
    if (count <= 0) return m;
    double v[kMostSeries] = {};
    double sum[kMostSeries] = {};
    for (std::int64_t i = 0; i < count; ++i) {
        values(i, v);
        for (int s = 0; s < n; ++s) sum[s] += v[s];
    }
    for (int s = 0; s < n; ++s) m[s].mean = sum[s] / static_cast<double>(count);
    double squares[kMostSeries] = {};
    for (std::int64_t i = 0; i < count; ++i) {
        values(i, v);
        for (int s = 0; s < n; ++s) squares[s] += (v[s] - m[s].mean) * (v[s] - m[s].mean);
    }
    for (int s = 0; s < n; ++s) m[s].deviation = std::sqrt(squares[s] / static_cast<double>(count));
    return m;
}

// The Gaussians the method degrades the pan with: the pan's own for the methods that match the
// pan to an intensity, one per distinct band gain for the Laplacian pyramid, none for Brovey.
std::vector<double> DegradationGains(const InjectionInputs& inputs, std::array<int, 4>& ofBand)
{
    std::vector<double> gains;
    ofBand.fill(0);
    if (inputs.method == FusionMethod::Brovey) return gains;
    if (inputs.method != FusionMethod::GlpHpm) return {inputs.panGain};
    for (int k = 0; k < kInjectionBands; ++k) {
        const auto found = std::find(gains.begin(), gains.end(), inputs.msGains[k]);
        ofBand[k] = static_cast<int>(found - gains.begin());
        if (found == gains.end()) gains.push_back(inputs.msGains[k]);
    }
    return gains;
}

bool ReadMsBands(const InjectionInputs& inputs, InjectionModel& model,
                 const std::string& readFailure, Host& host)
{
    const std::int64_t count = model.msWidth * model.msHeight;
    for (int k = 0; k < kInjectionBands; ++k) {
        if (!TryAllocate(model.ms[k], count, host) ||
            !ReadBandBytes(inputs.msPaths[k], inputs.msByteOffsets[k], count * 2,
                           model.ms[k].data(), readFailure, host)) {
            return false;
        }
    }
    return true;
}

// Degrades the pan with each Gaussian (filter, then keep samples 2 + 4j on both axes), block by
// block of MS rows; the rows of a block are filtered on every core, each from the same source
// rows whatever the thread, so the values do not depend on the number of threads.
StepResult DegradePan(const InjectionInputs& inputs, const std::vector<double>& gains,
                      InjectionModel& model, const std::string& readFailure, Host& host,
                      const std::function<bool()>& pump)
{
    std::vector<MtfTaps> taps;
    for (double gain : gains) taps.push_back(MtfGaussian(gain, kInjectionRatio));
    model.panLow.assign(gains.size(), {});
    for (auto& image : model.panLow) {
        if (!TryAllocate(image, model.msWidth * model.msHeight, host)) return StepResult::Failed;
    }
    const std::int64_t width = model.width;
    std::vector<std::int16_t> samples;
    for (std::int64_t i0 = 0; i0 < model.msHeight; i0 += kBlockMsRows) {
        const std::int64_t i1 = std::min(model.msHeight, i0 + kBlockMsRows);
        const std::int64_t p0 = std::max<std::int64_t>(0, 4 * i0 + 2 - kMtfHalo);
        const std::int64_t p1 = std::min(model.height, 4 * (i1 - 1) + 2 + kMtfHalo + 1);
        samples.resize(static_cast<std::size_t>((p1 - p0) * width));
        if (!ReadBandBytes(inputs.panPath, p0 * width * 2, (p1 - p0) * width * 2, samples.data(),
                           readFailure, host)) {
            return StepResult::Failed;
        }
        const bool going = ForEachRowInParallel(
            (i1 - i0) * static_cast<std::int64_t>(gains.size()),
            [&](std::int64_t job) {
                const std::int64_t i = i0 + job / static_cast<std::int64_t>(gains.size());
                const std::size_t g = static_cast<std::size_t>(job) % gains.size();
                std::array<const std::int16_t*, kMtfTaps> window{};
                for (int t = 0; t < kMtfTaps; ++t) {
                    const std::int64_t y = ClampIndex(4 * i + 2 - kMtfHalo + t, model.height);
                    window[t] = samples.data() + (y - p0) * width;
                }
                thread_local std::vector<double> scratch;
                thread_local std::vector<double> out;
                scratch.resize(static_cast<std::size_t>(width));
                out.resize(static_cast<std::size_t>(model.msWidth));
                FilterDecimateRow(taps[g], window.data(), width, kInjectionRatio, 2, model.msWidth,
                                  scratch.data(), out.data());
                std::copy(out.begin(), out.end(), model.panLow[g].begin() + i * model.msWidth);
            },
            pump);
        if (!going) return StepResult::Cancelled;
    }
    return StepResult::Ok;
}

// The pan scaled and shifted so that its low-pass image takes the mean and deviation of the
// target; a flat pan carries no detail to inject and is replaced by the target's mean.
void EqualisePan(InjectionModel& model, int k, const Moments& low, const Moments& target)
{
    const double scale = low.deviation > 0 ? target.deviation / low.deviation : 0.0;
    model.panScale[k] = scale;
    model.panOffset[k] = target.mean - scale * low.mean;
}

std::int64_t MsCount(const InjectionModel& model)
{
    return model.msWidth * model.msHeight;
}

// The sums of the intensity fit's normal equations over every MS pixel in order: row r of
// normal adds x[r] · x[c] (c < 5) and x[r] · P, x = (1, M_1 .. M_4). Each row of sums is one
// vector, so that a pixel takes five vector products instead of thirty scalar ones.
__attribute__((target_clones("avx512f", "avx2", "default"))) void AccumulateNormal(
    const std::int16_t* const ms[kInjectionBands], const float* low, std::int64_t count,
    std::array<std::array<double, 6>, 5>& normal)
{
    WideLanes sums[5] = {};
    for (std::int64_t i = 0; i < count; ++i) {
        const double x[5] = {1, static_cast<double>(ms[0][i]), static_cast<double>(ms[1][i]),
                             static_cast<double>(ms[2][i]), static_cast<double>(ms[3][i])};
        const WideLanes v = {x[0], x[1], x[2], x[3], x[4], double{low[i]}, 0, 0};
        for (int r = 0; r < 5; ++r) sums[r] += x[r] * v;
    }
    for (int r = 0; r < 5; ++r) {
        for (int c = 0; c < 6; ++c) normal[r][c] = sums[r][c];
    }
}

void FitGsa(InjectionModel& model)
{
    const std::vector<float>& low = model.panLow[0];
    const auto& ms = model.ms;
    std::array<std::array<double, 6>, 5> normal{};
    const std::int16_t* const bands[kInjectionBands] = {ms[0].data(), ms[1].data(), ms[2].data(),
                                                        ms[3].data()};
    AccumulateNormal(bands, low.data(), MsCount(model), normal);
    const auto solution = SolveIntensityWeights(normal);
    model.intercept = solution[0];
    for (int k = 0; k < kInjectionBands; ++k) model.weight[k] = solution[k + 1];
    const auto intensity = [&](std::int64_t i) {
        double sum = model.intercept;
        for (int k = 0; k < kInjectionBands; ++k) sum += model.weight[k] * ms[k][i];
        return sum;
    };
    // Series 0: the intensity, 1: the degraded pan, 2 ..: the bands (for their means).
    const std::int64_t count = MsCount(model);
    const auto moments = MomentsOfEach(count, 2, [&](std::int64_t i, double* v) {
        v[0] = intensity(i);
        v[1] = double{low[i]};
    });
    const Moments& in = moments[0];
    const Moments& p = moments[1];
    double bandMean[kInjectionBands] = {};
    if (count > 0) {
        double sum[kInjectionBands] = {};
        for (std::int64_t i = 0; i < count; ++i) {
            for (int k = 0; k < kInjectionBands; ++k) sum[k] += static_cast<double>(ms[k][i]);
        }
        for (int k = 0; k < kInjectionBands; ++k) bandMean[k] = sum[k] / static_cast<double>(count);
    }
    double covariance[kInjectionBands] = {};
    for (std::int64_t i = 0; i < count; ++i) {
        const double centred = intensity(i) - in.mean;
        for (int k = 0; k < kInjectionBands; ++k) covariance[k] += (ms[k][i] - bandMean[k]) * centred;
    }
    const double variance = in.deviation * in.deviation;
    for (int k = 0; k < kInjectionBands; ++k) {
        covariance[k] /= static_cast<double>(std::max<std::int64_t>(count, 1));
        // A flat intensity or a flat pan leaves no detail to inject.
        model.gain[k] = variance > 0 && p.deviation > 0 ? covariance[k] / variance : 0;
        EqualisePan(model, k, p, in);
    }
}

// Series 0 .. 3: the bands; 4 ..: the degraded pans, one per distinct Gaussian.
void FitGlpHpm(InjectionModel& model)
{
    const int lows = static_cast<int>(model.panLow.size());
    const auto moments =
        MomentsOfEach(MsCount(model), kInjectionBands + lows, [&](std::int64_t i, double* v) {
            for (int k = 0; k < kInjectionBands; ++k) v[k] = static_cast<double>(model.ms[k][i]);
            for (int g = 0; g < lows; ++g) v[kInjectionBands + g] = double{model.panLow[g][i]};
        });
    for (int k = 0; k < kInjectionBands; ++k) {
        EqualisePan(model, k, moments[kInjectionBands + model.panLowOfBand[k]], moments[k]);
    }
}

// AWLP injects the pan matched to the mean of the bands; Brovey takes the pan as it is.
void FitLuminance(InjectionModel& model)
{
    model.weight.fill(1.0 / kInjectionBands);
    if (model.method == FusionMethod::Brovey) {
        model.panScale.fill(1.0);
        return;
    }
    const auto& ms = model.ms;
    const std::vector<float>& low = model.panLow[0];
    // Series 0: the mean of the bands, 1: the degraded pan.
    const auto moments = MomentsOfEach(MsCount(model), 2, [&](std::int64_t i, double* v) {
        v[0] = 0.25 * ms[0][i] + 0.25 * ms[1][i] + 0.25 * ms[2][i] + 0.25 * ms[3][i];
        v[1] = double{low[i]};
    });
    for (int k = 0; k < kInjectionBands; ++k) EqualisePan(model, k, moments[1], moments[0]);
}

}  // namespace

InjectionModel::InjectionModel(const InjectionInputs& inputs)
    : method(inputs.method),
      width(inputs.width),
      height(inputs.height),
      msWidth(inputs.width / kInjectionRatio),
      msHeight(inputs.height / kInjectionRatio),
      columns(inputs.width / kInjectionRatio, kInjectionRatio),
      rows(inputs.height / kInjectionRatio, kInjectionRatio)
{
}

std::array<double, 5> SolveIntensityWeights(const std::array<std::array<double, 6>, 5>& normal)
{
    auto a = normal;
    constexpr int n = 5;
    for (int col = 0; col < n; ++col) {
        int pivot = col;
        for (int r = col + 1; r < n; ++r) {
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
        }
        if (!(std::fabs(a[pivot][col]) > 1e-12 * std::max(1.0, std::fabs(a[0][0])))) return {};
        std::swap(a[pivot], a[col]);
        for (int r = col + 1; r < n; ++r) {
            const double f = a[r][col] / a[col][col];
            for (int c = col; c <= n; ++c) a[r][c] -= f * a[col][c];
        }
    }
    std::array<double, 5> x{};
    for (int r = n - 1; r >= 0; --r) {
        double sum = a[r][n];
        for (int c = r + 1; c < n; ++c) sum -= a[r][c] * x[c];
        x[r] = sum / a[r][r];
    }
    return x;
}

StepResult FitInjectionModel(const InjectionInputs& inputs, InjectionModel& model,
                             const std::string& readFailure, Host& host,
                             const std::function<bool()>& pump)
{
    if (!ReadMsBands(inputs, model, readFailure, host)) return StepResult::Failed;
    if (!pump()) return StepResult::Cancelled;
    const std::vector<double> gains = DegradationGains(inputs, model.panLowOfBand);
    const StepResult result = DegradePan(inputs, gains, model, readFailure, host, pump);
    if (result != StepResult::Ok) return result;
    if (model.method == FusionMethod::Gsa) {
        FitGsa(model);
    } else if (model.method == FusionMethod::GlpHpm) {
        FitGlpHpm(model);
    } else {
        FitLuminance(model);
    }
    // Only the pyramid needs the degraded pan again.
    if (model.method != FusionMethod::GlpHpm) model.panLow.clear();
    return pump() ? StepResult::Ok : StepResult::Cancelled;
}

}  // namespace lumesta
