#include "fusion/registration/shift_correlation.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <mutex>

namespace lumesta {
namespace {

using Complex = std::complex<double>;

constexpr double kPi = 3.14159265358979323846;
constexpr double kTaperShare = 0.5;   // of each side tapered by a raised cosine (Tukey window)
constexpr int kGridPoints = 9;        // per axis in each refinement
constexpr int kStages = 4;            // grid spacings 1/4, 1/32, 1/256, 1/2048 pixel
constexpr double kRoundEnough = 0.1;  // a peak at least this round is not a ridge
constexpr std::size_t kMinValid = 64;

// FFTW's planner is not reentrant: plans are made one at a time. Plans never depend on the
// arrays' alignment (FFTW_UNALIGNED), so the same window always gives the same digits.
std::mutex& PlannerLock()
{
    static std::mutex lock;
    return lock;
}

// An in-place 2-D transform of a rows × columns complex array.
void Transform(std::vector<Complex>& data, int rows, int columns, int sign)
{
    auto* array = reinterpret_cast<fftw_complex*>(data.data());
    fftw_plan plan = nullptr;
    {
        std::lock_guard<std::mutex> hold(PlannerLock());
        plan = fftw_plan_dft_2d(rows, columns, array, array, sign, FFTW_ESTIMATE | FFTW_UNALIGNED);
    }
    fftw_execute(plan);
    std::lock_guard<std::mutex> hold(PlannerLock());
    fftw_destroy_plan(plan);
}

std::vector<double> Taper(int n)
{
    std::vector<double> taper(static_cast<std::size_t>(n), 1.0);
    const double edge = kTaperShare * n / 2.0;
    for (int i = 0; i < n; ++i) {
        const double from = std::min(i + 0.5, n - i - 0.5);
        if (from < edge) taper[i] = 0.5 * (1.0 - std::cos(kPi * from / edge));
    }
    return taper;
}

// The signed frequency (or shift) of index i of n: 0, 1, …, then −n/2 + 1, …, −1.
int Signed(int i, int n)
{
    return i <= (n - 1) / 2 ? i : i - n;
}

// values − their valid mean, tapered, zero where invalid, as a complex array; the sum of
// squares in energy. False when fewer than kMinValid pixels are valid or they do not vary.
bool Prepare(const std::vector<double>& values, const std::vector<std::uint8_t>& valid, int columns,
             int rows, std::vector<Complex>& out, double& energy)
{
    double sum = 0.0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (valid[i]) {
            sum += values[i];
            ++count;
        }
    }
    if (count < kMinValid) return false;
    const double mean = sum / static_cast<double>(count);
    double variance = 0.0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (valid[i]) variance += (values[i] - mean) * (values[i] - mean);
    }
    variance /= static_cast<double>(count);
    if (variance <= 1e-10 * (mean * mean + 1.0)) return false;
    const std::vector<double> across = Taper(columns);
    const std::vector<double> down = Taper(rows);
    out.assign(values.size(), Complex());
    energy = 0.0;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * columns + x;
            if (!valid[i]) continue;
            const double v = (values[i] - mean) * across[x] * down[y];
            out[i] = v;
            energy += v * v;
        }
    }
    return energy > 0.0;
}

// Where a real surface (rows × columns) is largest, and its value there.
struct Peak {
    int row = 0;
    int column = 0;
    double value = 0.0;
};

Peak Largest(const std::vector<Complex>& surface, int columns)
{
    Peak peak{0, 0, surface[0].real()};
    for (std::size_t i = 1; i < surface.size(); ++i) {
        if (surface[i].real() > peak.value) {
            peak = {static_cast<int>(i / columns), static_cast<int>(i % columns),
                    surface[i].real()};
        }
    }
    return peak;
}

// The correlation Re Σ_f spectrum(f) · e^{2πi (fy·sy/rows + fx·sx/columns)} at points × points
// shifts centred on (centreY, centreX), spacing apart: the matrix-multiply DFT of the upsampled
// correlation. Row by row in y.
std::vector<Complex> Kernel(int n, int points, double centre, double spacing)
{
    std::vector<Complex> kernel(static_cast<std::size_t>(points) * n);
    for (int k = 0; k < points; ++k) {
        const double shift = centre + (k - points / 2) * spacing;
        for (int i = 0; i < n; ++i) {
            const double angle = 2.0 * kPi * Signed(i, n) * shift / n;
            kernel[static_cast<std::size_t>(k) * n + i] = Complex(std::cos(angle), std::sin(angle));
        }
    }
    return kernel;
}

std::vector<double> CorrelationGrid(const std::vector<Complex>& spectrum, int columns, int rows,
                                    int points, double centreY, double centreX, double spacing)
{
    const std::vector<Complex> down = Kernel(rows, points, centreY, spacing);
    const std::vector<Complex> across = Kernel(columns, points, centreX, spacing);
    std::vector<double> re(static_cast<std::size_t>(columns));
    std::vector<double> im(static_cast<std::size_t>(columns));
    std::vector<double> values;
    for (int ky = 0; ky < points; ++ky) {
        std::fill(re.begin(), re.end(), 0.0);
        std::fill(im.begin(), im.end(), 0.0);
        for (int r = 0; r < rows; ++r) {
            const Complex e = down[static_cast<std::size_t>(ky) * rows + r];
            const Complex* line = spectrum.data() + static_cast<std::size_t>(r) * columns;
            for (int c = 0; c < columns; ++c) {
                re[c] += e.real() * line[c].real() - e.imag() * line[c].imag();
                im[c] += e.real() * line[c].imag() + e.imag() * line[c].real();
            }
        }
        for (int kx = 0; kx < points; ++kx) {
            const Complex* e = across.data() + static_cast<std::size_t>(kx) * columns;
            double value = 0.0;
            for (int c = 0; c < columns; ++c) value += re[c] * e[c].real() - im[c] * e[c].imag();
            values.push_back(value);
        }
    }
    return values;
}

struct SubPeak {
    double y = 0.0;
    double x = 0.0;
    double value = -HUGE_VAL;
};

SubPeak BestOnGrid(const std::vector<Complex>& spectrum, int columns, int rows, const SubPeak& at,
                   double spacing)
{
    const std::vector<double> values =
        CorrelationGrid(spectrum, columns, rows, kGridPoints, at.y, at.x, spacing);
    SubPeak best = at;
    for (int ky = 0; ky < kGridPoints; ++ky) {
        for (int kx = 0; kx < kGridPoints; ++kx) {
            const double value = values[static_cast<std::size_t>(ky) * kGridPoints + kx];
            if (value > best.value) {
                best = {at.y + (ky - kGridPoints / 2) * spacing,
                        at.x + (kx - kGridPoints / 2) * spacing, value};
            }
        }
    }
    return best;
}

// How round the peak is: the smaller curvature of the correlation at the peak over the larger
// (from differences one pixel apart), 0 for a ridge, where shifts along it cannot be told
// apart, 1 for a round peak.
double Roundness(const std::vector<Complex>& spectrum, int columns, int rows, const SubPeak& peak)
{
    const std::vector<double> v = CorrelationGrid(spectrum, columns, rows, 3, peak.y, peak.x, 1.0);
    const double xx = v[3] - 2.0 * v[4] + v[5];
    const double yy = v[1] - 2.0 * v[4] + v[7];
    const double xy = (v[8] - v[6] - v[2] + v[0]) / 4.0;
    const double mean = (xx + yy) / 2.0;
    const double spread = std::sqrt((xx - yy) * (xx - yy) / 4.0 + xy * xy);
    const double flatter = mean + spread;  // both are negative at a maximum
    const double steeper = mean - spread;
    if (steeper >= 0.0) return 0.0;
    return std::clamp(flatter / steeper, 0.0, 1.0);
}

// The highest local maximum of the periodic correlation surface other than the peak.
double OtherPeak(const std::vector<Complex>& surface, int columns, int rows, const Peak& peak)
{
    double highest = 0.0;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            if (std::abs(Signed((y - peak.row + rows) % rows, rows)) <= 1 &&
                std::abs(Signed((x - peak.column + columns) % columns, columns)) <= 1) {
                continue;
            }
            const double value = surface[static_cast<std::size_t>(y) * columns + x].real();
            if (value <= highest) continue;
            bool isMaximum = true;
            for (int dy = -1; dy <= 1 && isMaximum; ++dy) {
                for (int dx = -1; dx <= 1 && isMaximum; ++dx) {
                    const std::size_t n =
                        static_cast<std::size_t>((y + dy + rows) % rows) * columns +
                        (x + dx + columns) % columns;
                    if ((dx != 0 || dy != 0) && surface[n].real() > value) isMaximum = false;
                }
            }
            if (isMaximum) highest = value;
        }
    }
    return highest;
}

// Zeroes the Nyquist row and column of even sides, whose shift phase is ambiguous.
void DropNyquist(std::vector<Complex>& spectrum, int columns, int rows)
{
    if (rows % 2 == 0) {
        std::fill_n(spectrum.begin() + static_cast<std::ptrdiff_t>(rows / 2) * columns, columns,
                    Complex());
    }
    if (columns % 2 == 0) {
        for (int r = 0; r < rows; ++r)
            spectrum[static_cast<std::size_t>(r) * columns + columns / 2] = 0.0;
    }
}

}  // namespace

WindowShift EstimateShift(const std::vector<double>& a, const std::vector<double>& b,
                          const std::vector<std::uint8_t>& valid, int columns, int rows)
{
    WindowShift shift;
    std::vector<Complex> fa;
    std::vector<Complex> fb;
    double energyA = 0.0;
    double energyB = 0.0;
    if (!Prepare(a, valid, columns, rows, fa, energyA) ||
        !Prepare(b, valid, columns, rows, fb, energyB)) {
        shift.featureless = true;
        return shift;
    }
    Transform(fa, rows, columns, FFTW_FORWARD);
    Transform(fb, rows, columns, FFTW_FORWARD);
    // The cross-power spectrum; its inverse is Σ_x a(x + s) · b(x), largest at s = −shift.
    std::vector<Complex> cross(fa.size());
    for (std::size_t i = 0; i < fa.size(); ++i) cross[i] = fa[i] * std::conj(fb[i]);
    DropNyquist(cross, columns, rows);
    std::vector<Complex> surface = cross;
    Transform(surface, rows, columns, FFTW_BACKWARD);
    const Peak peak = Largest(surface, columns);
    SubPeak best{static_cast<double>(Signed(peak.row, rows)),
                 static_cast<double>(Signed(peak.column, columns)), peak.value};
    double spacing = 0.25;
    for (int stage = 0; stage < kStages; ++stage, spacing /= 8.0) {
        best = BestOnGrid(cross, columns, rows, best, spacing);
    }
    shift.dx = -best.x;
    shift.dy = -best.y;
    const double n = static_cast<double>(fa.size());
    shift.peak = std::clamp(best.value / (n * std::sqrt(energyA * energyB)), -1.0, 1.0);
    const double other =
        best.value > 0.0 ? OtherPeak(surface, columns, rows, peak) / best.value : 1.0;
    shift.roundness = Roundness(cross, columns, rows, best);
    shift.distinctness = std::clamp(1.0 - other, 0.0, 1.0);
    shift.confidence = std::clamp(
        shift.peak * shift.distinctness * std::min(1.0, shift.roundness / kRoundEnough), 0.0, 1.0);
    return shift;
}

}  // namespace lumesta
