#include "fusion/registration/intensity_fit.h"

#include <cmath>
#include <utility>

namespace lumesta {
namespace {

// Solves a · x = b (n × n, row-major) by Gaussian elimination with partial pivoting; false
// when a is singular.
bool Solve(std::vector<double> a, std::vector<double> b, std::size_t n, std::vector<double>& x)
{
    for (std::size_t col = 0; col < n; ++col) {
        std::size_t pivot = col;
        for (std::size_t row = col + 1; row < n; ++row) {
            if (std::fabs(a[row * n + col]) > std::fabs(a[pivot * n + col])) pivot = row;
        }
        if (a[pivot * n + col] == 0.0) return false;
        if (pivot != col) {
            for (std::size_t k = 0; k < n; ++k) std::swap(a[col * n + k], a[pivot * n + k]);
            std::swap(b[col], b[pivot]);
        }
        for (std::size_t row = col + 1; row < n; ++row) {
            const double factor = a[row * n + col] / a[col * n + col];
            for (std::size_t k = col; k < n; ++k) a[row * n + k] -= factor * a[col * n + k];
            b[row] -= factor * b[col];
        }
    }
    x.assign(n, 0.0);
    for (std::size_t row = n; row-- > 0;) {
        double sum = b[row];
        for (std::size_t k = row + 1; k < n; ++k) sum -= a[row * n + k] * x[k];
        x[row] = sum / a[row * n + row];
    }
    return true;
}

// Means of the bands and the target over the valid pixels; false without any.
bool Means(const std::vector<FitSamples>& windows, std::size_t bands, std::vector<double>& mean,
           double& targetMean, double& count)
{
    mean.assign(bands, 0.0);
    targetMean = 0.0;
    count = 0.0;
    for (const FitSamples& w : windows) {
        for (std::size_t i = 0; i < w.valid->size(); ++i) {
            if (!(*w.valid)[i]) continue;
            for (std::size_t k = 0; k < bands; ++k) mean[k] += (*w.bands[k])[i];
            targetMean += (*w.target)[i];
            count += 1.0;
        }
    }
    if (count == 0.0) return false;
    for (double& m : mean) m /= count;
    targetMean /= count;
    return true;
}

}  // namespace

bool FitIntensity(const std::vector<FitSamples>& windows, IntensityFit& fit)
{
    if (windows.empty()) return false;
    const std::size_t n = windows.front().bands.size();
    std::vector<double> mean;
    double targetMean = 0.0;
    double count = 0.0;
    if (!Means(windows, n, mean, targetMean, count) || count <= static_cast<double>(n + 1)) {
        return false;
    }
    // Centred sums: the covariances of the bands and of each band with the target.
    std::vector<double> cov(n * n, 0.0);
    std::vector<double> cross(n, 0.0);
    std::vector<double> centred(n);
    double targetVariance = 0.0;
    for (const FitSamples& w : windows) {
        for (std::size_t i = 0; i < w.valid->size(); ++i) {
            if (!(*w.valid)[i]) continue;
            for (std::size_t k = 0; k < n; ++k) centred[k] = (*w.bands[k])[i] - mean[k];
            const double t = (*w.target)[i] - targetMean;
            targetVariance += t * t;
            for (std::size_t k = 0; k < n; ++k) {
                cross[k] += centred[k] * t;
                for (std::size_t l = 0; l <= k; ++l) cov[k * n + l] += centred[k] * centred[l];
            }
        }
    }
    double trace = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        for (std::size_t l = 0; l < k; ++l) cov[l * n + k] = cov[k * n + l];
        trace += cov[k * n + k];
    }
    if (trace == 0.0 || targetVariance == 0.0) return false;
    // A ridge far below any real band's variance keeps repeated or constant bands solvable.
    for (std::size_t k = 0; k < n; ++k) cov[k * n + k] += 1e-9 * trace / static_cast<double>(n);
    if (!Solve(cov, cross, n, fit.weights)) return false;
    fit.bias = targetMean;
    for (std::size_t k = 0; k < n; ++k) fit.bias -= fit.weights[k] * mean[k];
    return true;
}

void ApplyIntensity(const IntensityFit& fit, const std::vector<const std::vector<float>*>& bands,
                    std::vector<double>& out)
{
    const std::size_t size = bands.empty() ? 0 : bands.front()->size();
    out.assign(size, fit.bias);
    for (std::size_t k = 0; k < bands.size(); ++k) {
        const std::vector<float>& band = *bands[k];
        const double weight = fit.weights[k];
        for (std::size_t i = 0; i < size; ++i) out[i] += weight * band[i];
    }
}

}  // namespace lumesta
