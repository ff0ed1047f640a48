#include "fusion/injection/bdsd_fit.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "fusion/injection/injection_model.h"
#include "fusion/injection/ms_scale_rows.h"
#include "fusion/parallel_rows.h"
#include "imaging/mtf_filter.h"

namespace lumesta {
namespace {

const char kWriteFailure[] =
    "Error when writing output file.\nYou may wish to copy files from CD-ROM to hard disk.";

// Solves the rows and columns chosen of gram · z = cross by elimination with partial pivoting;
// false when they are singular.
bool SolveChosen(const std::vector<double>& gram, const std::vector<double>& cross, int n,
                 const std::vector<int>& chosen, std::vector<double>& z)
{
    const int m = static_cast<int>(chosen.size());
    std::vector<std::vector<double>> a(static_cast<std::size_t>(m));
    double largest = 0;
    for (int r = 0; r < m; ++r) {
        for (int c = 0; c < m; ++c) a[r].push_back(gram[chosen[r] * n + chosen[c]]);
        a[r].push_back(cross[chosen[r]]);
        largest = std::max(largest, std::fabs(a[r][r]));
    }
    for (int col = 0; col < m; ++col) {
        int pivot = col;
        for (int r = col + 1; r < m; ++r) {
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
        }
        if (!(std::fabs(a[pivot][col]) > 1e-12 * largest)) return false;
        std::swap(a[pivot], a[col]);
        for (int r = col + 1; r < m; ++r) {
            const double f = a[r][col] / a[col][col];
            for (int c = col; c <= m; ++c) a[r][c] -= f * a[col][c];
        }
    }
    z.assign(static_cast<std::size_t>(n), 0.0);
    for (int r = m - 1; r >= 0; --r) {
        double sum = a[r][m];
        for (int c = r + 1; c < m; ++c) sum -= a[r][c] * z[chosen[c]];
        z[chosen[r]] = sum / a[r][r];
    }
    return true;
}

// The degraded pair's MS: every band of the crop filtered with its Gaussian and decimated, one
// image per band, on every core. False when a temporary file could not give or take rows.
bool DegradeBands(const InjectionModel& model, const MsCopy& ms, std::int64_t cropWidth,
                  std::int64_t cropHeight, const DegradedPans& coarse,
                  const std::function<bool()>& pump, bool& going)
{
    const int r = model.ratio;
    std::vector<char> done(static_cast<std::size_t>(model.bands), 0);
    going = ForEachRowInParallel(
        model.bands,
        [&](std::int64_t k) {
            ImageRows source(ms.bands, static_cast<int>(k), cropWidth, cropHeight);
            MtfFilterStream degraded(source, MtfGaussian(model.inputs.msGains[k], r), r, r / 2);
            std::vector<float> row(static_cast<std::size_t>(coarse.Width()));
            for (std::int64_t y = 0; y < degraded.Height(); ++y) {
                const double* samples = degraded.Row(y);
                std::copy(samples, samples + coarse.Width(), row.begin());
                if (degraded.Failed() || !coarse.PutRows(static_cast<int>(k), y, 1, row.data())) {
                    return;
                }
            }
            done[k] = 1;
        },
        pump);
    return std::all_of(done.begin(), done.end(), [](char d) { return d != 0; });
}

// The normal equations of every band at once: the regressors x = (P_c, M̃_c,1 .. M̃_c,n) are
// the same for every band, the targets M_k − M̃_c,k differ. gram is (n + 1)², cross n × (n + 1).
bool NormalSums(const InjectionModel& model, const MsCopy& ms, std::int64_t cropWidth,
                std::int64_t cropHeight, const DegradedPans& coarse, std::vector<double>& gram,
                std::vector<double>& cross)
{
    const int n = model.bands;
    const int m = n + 1;
    std::vector<std::unique_ptr<ImageRows>> coarseBands, originals;
    std::vector<std::unique_ptr<UpsampledRows>> upsampled;
    for (int k = 0; k < n; ++k) {
        coarseBands.push_back(
            std::make_unique<ImageRows>(coarse, k, coarse.Width(), coarse.Height()));
        upsampled.push_back(std::make_unique<UpsampledRows>(*coarseBands.back(), model.ratio));
        originals.push_back(std::make_unique<ImageRows>(ms.bands, k, cropWidth, cropHeight));
    }
    ImageRows pan(model.lows, 0, cropWidth, cropHeight);
    std::unique_ptr<ImageRows> valid;
    if (model.scene.Masked()) {
        valid = std::make_unique<ImageRows>(ms.valid, 0, cropWidth, cropHeight);
    }
    gram.assign(static_cast<std::size_t>(m * m), 0.0);
    cross.assign(static_cast<std::size_t>(n * m), 0.0);
    std::vector<double> rowGram(gram.size()), rowCross(cross.size()), x(m), target(n);
    std::vector<const double*> up(n), original(n);
    bool failed = false;
    for (std::int64_t y = 0; y < cropHeight; ++y) {
        const double* p = pan.Row(y);
        for (int k = 0; k < n; ++k) {
            up[k] = upsampled[k]->Row(y);
            original[k] = originals[k]->Row(y);
        }
        const double* v = valid ? valid->Row(y) : nullptr;
        std::fill(rowGram.begin(), rowGram.end(), 0.0);
        std::fill(rowCross.begin(), rowCross.end(), 0.0);
        for (std::int64_t i = 0; i < cropWidth; ++i) {
            if (v != nullptr && v[i] == 0) continue;
            x[0] = p[i];
            for (int k = 0; k < n; ++k) {
                x[k + 1] = up[k][i];
                target[k] = original[k][i] - up[k][i];
            }
            for (int a = 0; a < m; ++a) {
                for (int b = a; b < m; ++b) rowGram[a * m + b] += x[a] * x[b];
            }
            for (int k = 0; k < n; ++k) {
                for (int a = 0; a < m; ++a) rowCross[k * m + a] += x[a] * target[k];
            }
        }
        for (std::size_t s = 0; s < gram.size(); ++s) gram[s] += rowGram[s];
        for (std::size_t s = 0; s < cross.size(); ++s) cross[s] += rowCross[s];
    }
    for (int a = 0; a < m; ++a) {
        for (int b = 0; b < a; ++b) gram[a * m + b] = gram[b * m + a];
    }
    for (const auto& stream : coarseBands) failed = failed || stream->Failed();
    for (const auto& stream : originals) failed = failed || stream->Failed();
    return !failed && !pan.Failed() && !(valid && valid->Failed());
}

}  // namespace

std::vector<double> NonNegativeLeastSquares(const std::vector<double>& gram,
                                            const std::vector<double>& cross)
{
    const int n = static_cast<int>(cross.size());
    std::vector<double> x(static_cast<std::size_t>(n), 0.0), z;
    std::vector<int> chosen;
    std::vector<char> in(static_cast<std::size_t>(n), 0);
    double scale = 0;
    for (double c : cross) scale = std::max(scale, std::fabs(c));
    const double tolerance = 1e-12 * scale;
    // Each added variable lowers the objective; 3n rounds are far more than it ever takes.
    for (int round = 0; round < 3 * n; ++round) {
        int best = -1;
        double bestGradient = tolerance;
        for (int j = 0; j < n; ++j) {
            if (in[j]) continue;
            double gradient = cross[j];
            for (int c = 0; c < n; ++c) gradient -= gram[j * n + c] * x[c];
            if (gradient > bestGradient) {
                bestGradient = gradient;
                best = j;
            }
        }
        if (best < 0) break;
        chosen.push_back(best);
        in[best] = 1;
        for (;;) {
            if (!SolveChosen(gram, cross, n, chosen, z)) {
                // The new variable adds nothing the chosen ones do not already give.
                chosen.pop_back();
                return x;
            }
            bool feasible = true;
            for (int j : chosen) feasible = feasible && z[j] > 0;
            if (feasible) {
                x = z;
                break;
            }
            // Move towards z until the first variable reaches zero; it leaves the chosen set.
            double step = 1;
            int limit = -1;
            for (int j : chosen) {
                if (z[j] <= 0 && x[j] / (x[j] - z[j]) < step) {
                    step = x[j] / (x[j] - z[j]);
                    limit = j;
                }
            }
            for (int j : chosen) x[j] += step * (z[j] - x[j]);
            if (limit >= 0) x[limit] = 0;
            std::vector<int> kept;
            for (int j : chosen) {
                if (x[j] > 0) {
                    kept.push_back(j);
                } else {
                    x[j] = 0;
                    in[j] = 0;
                }
            }
            chosen = kept;
            if (chosen.empty()) break;
        }
    }
    return x;
}

StepResult FitBdsdPc(InjectionModel& model, const std::string& readFailure, Host& host,
                     const std::function<bool()>& pump)
{
    const int n = model.bands;
    const int r = model.ratio;
    model.bandWeight.assign(static_cast<std::size_t>(n * n), 0.0);
    std::fill(model.gain.begin(), model.gain.end(), 1.0);
    std::fill(model.panScale.begin(), model.panScale.end(), 0.0);
    std::fill(model.panOffset.begin(), model.panOffset.end(), 0.0);
    const std::int64_t cropWidth = model.msWidth / r * r;
    const std::int64_t cropHeight = model.msHeight / r * r;
    if (cropWidth == 0 || cropHeight == 0) return StepResult::Ok;
    MsCopy ms;
    StepResult result = CopyMs(model, ms, readFailure, host, pump);
    if (result != StepResult::Ok) return result;
    DegradedPans coarse;
    if (!coarse.Create(model.inputs.tempBeside, n, cropWidth / r, cropHeight / r, host)) {
        return StepResult::Failed;
    }
    bool going = true;
    const bool degraded = DegradeBands(model, ms, cropWidth, cropHeight, coarse, pump, going);
    if (!going) return StepResult::Cancelled;
    std::vector<double> gram, cross;
    if (!degraded || !NormalSums(model, ms, cropWidth, cropHeight, coarse, gram, cross)) {
        host.ShowMessage(kWriteFailure);
        return StepResult::Failed;
    }
    if (!pump()) return StepResult::Cancelled;
    // x = (g, −w_1 .. −w_n) with every sign fixed: in the variables (g, w) the problem is a
    // non-negative least squares problem, its normal equations the same with signs flipped.
    const int m = n + 1;
    std::vector<double> flipped(gram.size());
    for (int a = 0; a < m; ++a) {
        for (int b = 0; b < m; ++b) {
            flipped[a * m + b] = ((a == 0) == (b == 0) ? 1 : -1) * gram[a * m + b];
        }
    }
    for (int k = 0; k < n; ++k) {
        std::vector<double> c(cross.begin() + k * m, cross.begin() + (k + 1) * m);
        for (int a = 1; a < m; ++a) c[a] = -c[a];
        const std::vector<double> solution = NonNegativeLeastSquares(flipped, c);
        model.panScale[k] = solution[0];
        for (int i = 0; i < n; ++i) model.bandWeight[k * n + i] = solution[i + 1];
    }
    return StepResult::Ok;
}

}  // namespace lumesta
