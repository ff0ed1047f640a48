#include "fusion/injection/injection_methods.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

#include "core/wide_lanes.h"
#include "fusion/injection/back_projection.h"
#include "fusion/injection/bdsd_fit.h"
#include "fusion/injection/energy_gain.h"
#include "fusion/injection/injection_model.h"

namespace lumesta {
namespace {

// Whether sample i of the chunk takes part in the statistics.
inline bool Counts(const FitChunk& chunk, std::int64_t i)
{
    return chunk.valid == nullptr || chunk.valid[i] != 0;
}

struct Moments {
    double mean = 0;
    double deviation = 0;  // population standard deviation
};

// The most series whose sums a chunk's loop keeps in registers; more take the general loop.
constexpr std::size_t kRegisterSeries = 10;

// Adds each series' term over the chunk's counted samples to sums (in sample order), and the
// samples counted to count: values(chunk, i, v) fills v[s] with series s at sample i, and
// term(v, s) is series s's term made from them (v holds `series` values); also(v) then takes
// the sample's values for sums of the caller's. Series > 0 is the number of series known to
// the compiler, whose sums then stay in registers; 0 takes it from the call.
template <std::size_t Series, typename Values, typename Term, typename Also>
void SumChunk(const FitChunk& chunk, std::size_t series, Values& values, const Term& term,
              const Also& also, double* v, double* sums, std::int64_t& count)
{
    std::int64_t counted = 0;
    if constexpr (Series > 0) {
        double sum[Series];
        std::copy(sums, sums + Series, sum);
        for (std::int64_t i = 0; i < chunk.count; ++i) {
            if (!Counts(chunk, i)) continue;
            values(chunk, i, v);
            for (std::size_t s = 0; s < Series; ++s) sum[s] += term(v, s);
            also(v);
            ++counted;
        }
        std::copy(sum, sum + Series, sums);
    } else {
        for (std::int64_t i = 0; i < chunk.count; ++i) {
            if (!Counts(chunk, i)) continue;
            values(chunk, i, v);
            for (std::size_t s = 0; s < series; ++s) sums[s] += term(v, s);
            also(v);
            ++counted;
        }
    }
    count += counted;
}

// SumChunk with the series count known to the compiler where it is small.
template <typename Values, typename Term, typename Also, std::size_t... Known>
void SumChunkOf(const FitChunk& chunk, std::size_t series, Values& values, const Term& term,
                const Also& also, double* v, double* sums, std::int64_t& count,
                std::index_sequence<Known...>)
{
    const bool known =
        ((series == Known + 1
              ? (SumChunk<Known + 1>(chunk, series, values, term, also, v, sums, count), true)
              : false) ||
         ...);
    if (!known) SumChunk<0>(chunk, series, values, term, also, v, sums, count);
}

// Mean and population deviation of several series, from two passes: values(chunk, i, v) fills
// v[s] with series s at sample i of the chunk. Each sum runs in sample order, and the series
// are summed side by side, so that the processor has independent sums to work on. The second
// pass also hands each counted sample's values to second(v), once the means are in moments,
// for sums that need them (each of its sums runs in sample order too).
template <typename Values, typename Second>
StepResult MomentsOfEach(const FitPass& pass, std::size_t series, Values values,
                         std::vector<Moments>& moments, const Second& second)
{
    moments.assign(series, Moments{});
    std::vector<double> sum(series), squares(series), mean(series), seriesValues(series);
    std::int64_t count = 0;
    const auto sumChunk = [&](const FitChunk& chunk, const auto& term, const auto& also,
                              double* sums, std::int64_t& counted) {
        SumChunkOf(chunk, series, values, term, also, seriesValues.data(), sums, counted,
                   std::make_index_sequence<kRegisterSeries>{});
    };
    StepResult result = pass([&](const FitChunk& chunk) {
        sumChunk(
            chunk, [](const double* v, std::size_t s) { return v[s]; }, [](const double*) {},
            sum.data(), count);
    });
    if (result != StepResult::Ok || count <= 0) return result;
    for (std::size_t s = 0; s < series; ++s) {
        moments[s].mean = sum[s] / static_cast<double>(count);
        mean[s] = moments[s].mean;
    }
    std::int64_t again = 0;
    const double* const m = mean.data();
    result = pass([&](const FitChunk& chunk) {
        sumChunk(
            chunk, [m](const double* v, std::size_t s) { return (v[s] - m[s]) * (v[s] - m[s]); },
            second, squares.data(), again);
    });
    for (std::size_t s = 0; s < series; ++s) {
        moments[s].deviation = std::sqrt(squares[s] / static_cast<double>(count));
    }
    return result;
}

template <typename Values>
StepResult MomentsOfEach(const FitPass& pass, std::size_t series, Values values,
                         std::vector<Moments>& moments)
{
    return MomentsOfEach(pass, series, values, moments, [](const double*) {});
}

// The pan scaled and shifted so that its low-pass image takes the mean and deviation of the
// target; a flat pan carries no detail to inject and is replaced by the target's mean.
void EqualisePan(InjectionModel& model, int k, const Moments& low, const Moments& target)
{
    const double scale = low.deviation > 0 ? target.deviation / low.deviation : 0.0;
    model.panScale[k] = scale;
    model.panOffset[k] = target.mean - scale * low.mean;
}

constexpr int kMostBands = 16;
// Each row of the normal equations' sums takes the columns (n + 2 of them) in blocks of eight.
constexpr int kNormalLanes = 8;
constexpr int kNormalBlocks = (kMostBands + 2 + kNormalLanes - 1) / kNormalLanes;

// The sums of the intensity fit's normal equations over a chunk, added to sums: row r adds
// x[r] · x[c] (c ≤ n) and x[r] · P, x = (1, M_1 .. M_n). Each row of sums is a few vectors, so
// that a pixel takes n + 1 vector products per vector instead of (n + 1)(n + 2) scalar ones.
struct AccumulateNormalKernel {
    template <typename Lanes>
    static void Run(const float* const* ms, int n, const float* low, const std::uint8_t* valid,
                    std::int64_t count, double* sums)
    {
        constexpr int kLanes = kLanesOf<Lanes>;
        constexpr int kMostVectors = kNormalBlocks * kNormalLanes / kLanes;
        const int blocks = (n + 2 + kNormalLanes - 1) / kNormalLanes;
        const int vectors = blocks * kNormalLanes / kLanes;
        Lanes rows[kMostBands + 1][kMostVectors];
        for (int r = 0; r <= n; ++r) {
            for (int b = 0; b < vectors; ++b)
                rows[r][b] = LoadWide<Lanes>(sums + (r * vectors + b) * kLanes);
        }
        double v[kNormalBlocks * kNormalLanes] = {};
        for (std::int64_t i = 0; i < count; ++i) {
            if (valid != nullptr && valid[i] == 0) continue;
            v[0] = 1;
            for (int k = 0; k < n; ++k) v[k + 1] = ms[k][i];
            v[n + 1] = low[i];
            Lanes lanes[kMostVectors];
            for (int b = 0; b < vectors; ++b) lanes[b] = LoadWide<Lanes>(v + b * kLanes);
            for (int r = 0; r <= n; ++r) {
                for (int b = 0; b < vectors; ++b) rows[r][b] += v[r] * lanes[b];
            }
        }
        for (int r = 0; r <= n; ++r) {
            for (int b = 0; b < vectors; ++b)
                StoreWide(sums + (r * vectors + b) * kLanes, rows[r][b]);
        }
    }
};

void AccumulateNormal(const float* const* ms, int n, const float* low, const std::uint8_t* valid,
                      std::int64_t count, double* sums)
{
    RunWide<AccumulateNormalKernel>(ms, n, low, valid, count, sums);
}

double Intensity(const InjectionModel& model, const FitChunk& chunk, std::int64_t i)
{
    double sum = model.intercept;
    for (int k = 0; k < model.bands; ++k) sum += model.weight[k] * chunk.bands[k][i];
    return sum;
}

// GSA's intensity weights by least squares against the degraded pan.
StepResult FitIntensityWeights(InjectionModel& model, const FitPass& pass)
{
    const int n = model.bands;
    const int blocks = (n + 2 + kNormalLanes - 1) / kNormalLanes;
    std::vector<double> sums(static_cast<std::size_t>((n + 1) * blocks * kNormalLanes), 0.0);
    const StepResult result = pass([&](const FitChunk& chunk) {
        AccumulateNormal(chunk.bands.data(), n, chunk.lows[0], chunk.valid, chunk.count,
                         sums.data());
    });
    if (result != StepResult::Ok) return result;
    std::vector<std::vector<double>> normal(static_cast<std::size_t>(n + 1));
    for (int r = 0; r <= n; ++r) {
        const double* row = sums.data() + r * blocks * kNormalLanes;
        normal[r].assign(row, row + n + 2);
    }
    const std::vector<double> solution = SolveIntensityWeights(std::move(normal));
    model.intercept = solution[0];
    for (int k = 0; k < n; ++k) model.weight[k] = solution[k + 1];
    return StepResult::Ok;
}

StepResult FitGsa(InjectionModel& model, const FitPass& pass)
{
    StepResult result = FitIntensityWeights(model, pass);
    // Series 0: the intensity, 1: the degraded pan; 2 ..: the bands (for their means). The
    // covariances of the bands with the intensity are summed in the moments' second pass.
    std::vector<Moments> moments;
    std::vector<double> covariance(static_cast<std::size_t>(model.bands), 0.0);
    std::int64_t count = 0;
    if (result == StepResult::Ok) {
        result = MomentsOfEach(
            pass, 2 + model.bands,
            [&](const FitChunk& chunk, std::int64_t i, double* v) {
                v[0] = Intensity(model, chunk, i);
                v[1] = double{chunk.lows[0][i]};
                for (int k = 0; k < model.bands; ++k) v[2 + k] = chunk.bands[k][i];
            },
            moments,
            [&](const double* v) {
                const double centred = v[0] - moments[0].mean;
                for (int k = 0; k < model.bands; ++k) {
                    covariance[k] += (v[2 + k] - moments[2 + k].mean) * centred;
                }
                ++count;
            });
    }
    if (result != StepResult::Ok) return result;
    const Moments& in = moments[0];
    const Moments& p = moments[1];
    const double variance = in.deviation * in.deviation;
    for (int k = 0; k < model.bands; ++k) {
        covariance[k] /= static_cast<double>(std::max<std::int64_t>(count, 1));
        // A flat intensity or a flat pan leaves no detail to inject.
        model.gain[k] = variance > 0 && p.deviation > 0 ? covariance[k] / variance : 0;
        EqualisePan(model, k, p, in);
    }
    return StepResult::Ok;
}

// The moments of the MS bands (series 0 .. n − 1) and of the degraded pans, one per distinct
// Gaussian (series n ..); second as MomentsOfEach's.
template <typename Second>
StepResult MomentsOfBandsAndLows(const InjectionModel& model, const FitPass& pass,
                                 std::vector<Moments>& moments, const Second& second)
{
    const int n = model.bands;
    const int lows = static_cast<int>(model.lowGains.size());
    return MomentsOfEach(
        pass, static_cast<std::size_t>(n + lows),
        [&](const FitChunk& chunk, std::int64_t i, double* v) {
            for (int k = 0; k < n; ++k) v[k] = chunk.bands[k][i];
            for (int g = 0; g < lows; ++g) v[n + g] = double{chunk.lows[g][i]};
        },
        moments, second);
}

// Series 0 .. n − 1: the bands; n ..: the degraded pans, one per distinct Gaussian.
StepResult FitGlpHpm(InjectionModel& model, const FitPass& pass)
{
    const int n = model.bands;
    std::vector<Moments> moments;
    const StepResult result = MomentsOfBandsAndLows(model, pass, moments, [](const double*) {});
    if (result != StepResult::Ok) return result;
    for (int k = 0; k < n; ++k) EqualisePan(model, k, moments[n + model.lowOfBand[k]], moments[k]);
    return StepResult::Ok;
}

// MTF-GLP-FS: each band's gain is the slope of the band regressed on its low-pass pan at the
// scale of the MS itself (no further degradation): cov(M_k, P_low) / var(P_low). The pan is
// injected as it is (its scale is in the gain); a flat low-pass pan injects nothing.
StepResult FitGlpFs(InjectionModel& model, const FitPass& pass)
{
    const int n = model.bands;
    std::vector<Moments> moments;
    // The covariances of the bands with their low-pass pans, summed in the moments' second pass.
    std::vector<double> covariance(static_cast<std::size_t>(n), 0.0);
    std::int64_t count = 0;
    const StepResult result = MomentsOfBandsAndLows(model, pass, moments, [&](const double* v) {
        for (int k = 0; k < n; ++k) {
            const int g = n + model.lowOfBand[k];
            covariance[k] += (v[k] - moments[k].mean) * (v[g] - moments[g].mean);
        }
        ++count;
    });
    if (result != StepResult::Ok) return result;
    for (int k = 0; k < n; ++k) {
        const Moments& low = moments[n + model.lowOfBand[k]];
        const double variance = low.deviation * low.deviation;
        model.gain[k] = variance > 0 ? covariance[k] / static_cast<double>(count) / variance : 0;
        model.panScale[k] = 1;
        model.panOffset[k] = 0;
    }
    return StepResult::Ok;
}

// AWLP injects the pan matched to the mean of the bands.
StepResult FitAwlp(InjectionModel& model, const FitPass& pass)
{
    const double w = 1.0 / model.bands;
    std::vector<Moments> moments;
    // Series 0: the mean of the bands, 1: the degraded pan.
    const StepResult result = MomentsOfEach(
        pass, 2,
        [&](const FitChunk& chunk, std::int64_t i, double* v) {
            double mean = w * chunk.bands[0][i];
            for (int k = 1; k < model.bands; ++k) mean += w * chunk.bands[k][i];
            v[0] = mean;
            v[1] = double{chunk.lows[0][i]};
        },
        moments);
    if (result != StepResult::Ok) return result;
    for (int k = 0; k < model.bands; ++k) EqualisePan(model, k, moments[1], moments[0]);
    return StepResult::Ok;
}

// Brovey takes the pan as it is.
StepResult FitBrovey(InjectionModel& model, const FitPass&)
{
    std::fill(model.panScale.begin(), model.panScale.end(), 1.0);
    return StepResult::Ok;
}

// BDSD-PC fits everything from the pair degraded once more (bdsd_fit.h).
StepResult FitLater(InjectionModel&, const FitPass&)
{
    return StepResult::Ok;
}

// The back-projection steps of MTF-GLP-EBP: the quality at reduced resolution rises with every
// step on every scene tried (by less each time); four is where the time spent stops paying.
constexpr int kBackProjectionSteps = 4;

// MTF-GLP-EBP after the pyramid's fit: the detail's gain matched in energy on the pair degraded
// once more, then the fusion's error at MS scale back-projected.
StepResult CorrectGlpEbp(InjectionModel& model, const std::string& readFailure, Host& host,
                         const std::function<bool()>& pump)
{
    const auto ms = std::make_shared<MsCopy>();
    double alpha = 1;
    StepResult result = CopyMs(model, *ms, readFailure, host, pump);
    if (result == StepResult::Ok) result = EstimateEnergyGain(model, *ms, alpha, host, pump);
    if (result != StepResult::Ok) return result;
    std::fill(model.gain.begin(), model.gain.end(), alpha);
    model.pendingSteps = kBackProjectionSteps;
    if (FitsOnePass(model)) {
        // The fusion pass measures and back-projects as it goes, its corrections in memory.
        model.pendingMs = ms;
        return StepResult::Ok;
    }
    model.pendingSteps = 0;
    if (!model.corrections.Create(model.inputs.tempBeside, model.bands, model.msWidth,
                                  model.msHeight, host)) {
        return StepResult::Failed;
    }
    // The measuring pass's strips read their MS rows from the copy too.
    model.pendingMs = ms;
    result = MeasureFusionError(model, *ms, readFailure, host, pump);
    model.pendingMs.reset();
    ms->bands.Release();
    ms->valid.Release();
    if (result == StepResult::Ok) result = BackProject(model, kBackProjectionSteps, host, pump);
    model.corrected = result == StepResult::Ok;
    return result;
}

}  // namespace

const InjectionRecipe kGsaRecipe = {
    PanDegradation::PanGain, SharedRowKind::Intensity, false, false, FitGsa, GsaFormula, nullptr};
const InjectionRecipe kGlpHpmRecipe = {
    PanDegradation::BandGains, SharedRowKind::None, true, false, FitGlpHpm, GlpHpmFormula, nullptr};
const InjectionRecipe kAwlpRecipe = {
    PanDegradation::PanGain, SharedRowKind::Mean, false, true, FitAwlp, AwlpFormula, nullptr};
const InjectionRecipe kBroveyRecipe = {
    PanDegradation::None, SharedRowKind::Mean, false, false, FitBrovey, BroveyFormula, nullptr};
const InjectionRecipe kGlpEbpRecipe = {PanDegradation::BandAndPanGains,
                                       SharedRowKind::None,
                                       true,
                                       false,
                                       FitGlpHpm,
                                       GlpEbpFormula,
                                       CorrectGlpEbp};
const InjectionRecipe kGlpFsRecipe = {
    PanDegradation::BandGains, SharedRowKind::None, true, false, FitGlpFs, GlpFsFormula, nullptr};
// F_k = M_k + 1 · (g_k · P + 0 − I_k), the pan unequalised.
const InjectionRecipe kBdsdPcRecipe = {PanDegradation::PanGain,
                                       SharedRowKind::BandIntensity,
                                       false,
                                       false,
                                       FitLater,
                                       GsaFormula,
                                       FitBdsdPc};

std::vector<double> SolveIntensityWeights(std::vector<std::vector<double>> a)
{
    const int n = static_cast<int>(a.size());
    for (int col = 0; col < n; ++col) {
        int pivot = col;
        for (int r = col + 1; r < n; ++r) {
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
        }
        if (!(std::fabs(a[pivot][col]) > 1e-12 * std::max(1.0, std::fabs(a[0][0])))) {
            return std::vector<double>(static_cast<std::size_t>(n), 0.0);
        }
        std::swap(a[pivot], a[col]);
        for (int r = col + 1; r < n; ++r) {
            const double f = a[r][col] / a[col][col];
            for (int c = col; c <= n; ++c) a[r][c] -= f * a[col][c];
        }
    }
    std::vector<double> x(static_cast<std::size_t>(n), 0.0);
    for (int r = n - 1; r >= 0; --r) {
        double sum = a[r][n];
        for (int c = r + 1; c < n; ++c) sum -= a[r][c] * x[c];
        x[r] = sum / a[r][r];
    }
    return x;
}

}  // namespace lumesta
