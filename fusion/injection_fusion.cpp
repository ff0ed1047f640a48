#include "fusion/injection_fusion.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/allocate.h"
#include "fusion/band_read.h"
#include "fusion/fusion_methods.h"
#include "fusion/parallel_rows.h"
#include "imaging/row_stream.h"

namespace lumesta {
namespace {

// The à trous starlet's B3-spline kernel; its taps are exact binary fractions summing to 1.
constexpr double kSpline[5] = {1.0 / 16, 4.0 / 16, 6.0 / 16, 4.0 / 16, 1.0 / 16};
// Two levels (log2 of the ratio) at dilations 1 and 2 reach 2 + 4 rows on each side.
constexpr std::int64_t kWaveletHalo = 2 + 4;

// One image upsampled along its rows for MS rows first .. first + count − 1.
struct WideRows {
    std::int64_t first = 0;
    std::int64_t count = 0;
    std::vector<double> data;
    const double* Row(std::int64_t msRow, std::int64_t width) const
    {
        return data.data() + (msRow - first) * width;
    }
};

// Everything one strip reads: the upsampled rows of the bands (and of the degraded pans for
// the pyramid), the pan rows with the wavelet's halo, and the wavelet's first level.
struct StripInputs {
    std::int64_t row0 = 0;
    std::int64_t row1 = 0;
    std::vector<WideRows> wide;  // the four bands, then the degraded pans
    std::int64_t panFirst = 0;
    std::vector<double> pan;
    std::int64_t levelFirst = 0;
    std::vector<double> level1;
};

const std::string kWriteFailure =
    "Error when writing output file.\nYou may wish to copy files from CD-ROM to hard disk.";

std::int16_t StoreSample(double value)
{
    if (!std::isfinite(value)) return 0;
    const double rounded = std::nearbyint(value);
    return static_cast<std::int16_t>(std::clamp(rounded, -32768.0, 32767.0));
}

// out[c] = Σ_j w[j] · rows[j][c], summed in order of j.
void CombineRows(const double* w, int count, const double* rows, std::int64_t width, double* out)
{
    for (std::int64_t c = 0; c < width; ++c) out[c] = w[0] * rows[c];
    for (int j = 1; j < count; ++j) {
        const double* row = rows + j * width;
        for (std::int64_t c = 0; c < width; ++c) out[c] += w[j] * row[c];
    }
}

// Upsamples along their rows the MS rows that pan rows row0 .. row1 − 1 need, of the bands and
// of the model's degraded pans.
bool WidenRows(const InjectionModel& model, StripInputs& strip, const std::function<bool()>& pump)
{
    const std::int64_t first = model.rows.First(strip.row0);
    std::int64_t end = first;
    for (std::int64_t r = strip.row0; r < strip.row1; ++r) {
        end = std::max(end, model.rows.First(r) + model.rows.Count(r));
    }
    const std::size_t images = kInjectionBands + model.panLow.size();
    strip.wide.resize(images);
    for (auto& wide : strip.wide) {
        wide.first = first;
        wide.count = end - first;
        wide.data.resize(static_cast<std::size_t>(wide.count * model.width));
    }
    const auto jobs = static_cast<std::int64_t>(images) * (end - first);
    return ForEachRowInParallel(
        jobs,
        [&](std::int64_t job) {
            const auto image = static_cast<std::size_t>(job / (end - first));
            const std::int64_t msRow = first + job % (end - first);
            std::vector<double> line(static_cast<std::size_t>(model.msWidth));
            const std::size_t at = static_cast<std::size_t>(msRow * model.msWidth);
            if (image < kInjectionBands) {
                std::copy_n(model.ms[image].begin() + at, line.size(), line.begin());
            } else {
                std::copy_n(model.panLow[image - kInjectionBands].begin() + at, line.size(),
                            line.begin());
            }
            auto& wide = strip.wide[image];
            model.columns.Apply(line.data(), wide.data.data() + (msRow - first) * model.width);
        },
        pump);
}

// One row of the wavelet's smoothing at dilation step: rows[t] is the source row at offset
// (t − 2)·step, edge-replicated; columns are edge-replicated too.
void SmoothRow(const double* const rows[5], std::int64_t width, std::int64_t step, double* scratch,
               double* out)
{
    for (std::int64_t c = 0; c < width; ++c) {
        double sum = 0;
        for (int t = 0; t < 5; ++t) sum += kSpline[t] * rows[t][c];
        scratch[c] = sum;
    }
    for (std::int64_t c = 0; c < width; ++c) {
        double sum = 0;
        for (int t = 0; t < 5; ++t) sum += kSpline[t] * scratch[ClampIndex(c + (t - 2) * step, width)];
        out[c] = sum;
    }
}

// The pan rows of the strip with the halo of the wavelet (AWLP) or without it, and for AWLP the
// first smoothing level over the rows the second needs.
bool ReadPanRows(const InjectionModel& model, const std::string& panPath, StripInputs& strip,
                 const std::string& readFailure, Host& host, const std::function<bool()>& pump)
{
    const bool wavelet = model.method == FusionMethod::Awlp;
    const std::int64_t halo = wavelet ? kWaveletHalo : 0;
    const std::int64_t width = model.width;
    strip.panFirst = std::max<std::int64_t>(0, strip.row0 - halo);
    const std::int64_t panEnd = std::min(model.height, strip.row1 + halo);
    std::vector<std::int16_t> samples(static_cast<std::size_t>((panEnd - strip.panFirst) * width));
    if (!ReadBandBytes(panPath, strip.panFirst * width * 2, (panEnd - strip.panFirst) * width * 2,
                       samples.data(), readFailure, host)) {
        return false;
    }
    strip.pan.assign(samples.begin(), samples.end());
    if (!wavelet) return true;
    strip.levelFirst = std::max<std::int64_t>(0, strip.row0 - 4);
    const std::int64_t levelEnd = std::min(model.height, strip.row1 + 4);
    strip.level1.resize(static_cast<std::size_t>((levelEnd - strip.levelFirst) * width));
    return ForEachRowInParallel(
        levelEnd - strip.levelFirst,
        [&](std::int64_t i) {
            const std::int64_t y = strip.levelFirst + i;
            const double* rows[5];
            for (int t = 0; t < 5; ++t) {
                rows[t] = strip.pan.data() + (ClampIndex(y + t - 2, model.height) - strip.panFirst) * width;
            }
            std::vector<double> scratch(static_cast<std::size_t>(width));
            SmoothRow(rows, width, 1, scratch.data(), strip.level1.data() + i * width);
        },
        pump);
}

// The pan's detail at row r (P minus its second starlet approximation), equalised.
void WaveletDetail(const InjectionModel& model, const StripInputs& strip, std::int64_t r,
                   double* scratch, double* detail)
{
    const std::int64_t width = model.width;
    const double* rows[5];
    for (int t = 0; t < 5; ++t) {
        const std::int64_t y = ClampIndex(r + 2 * (t - 2), model.height);
        rows[t] = strip.level1.data() + (y - strip.levelFirst) * width;
    }
    SmoothRow(rows, width, 2, scratch, detail);
    const double* pan = strip.pan.data() + (r - strip.panFirst) * width;
    for (std::int64_t c = 0; c < width; ++c) detail[c] = model.panScale[0] * (pan[c] - detail[c]);
}

// The fused value of band k at one pixel; m holds the four upsampled bands there.
double FusePixelOf(const InjectionModel& model, int k, const double (&m)[4], double pan,
                   double panLowK, double detail)
{
    switch (model.method) {
    case FusionMethod::Gsa: {
        double intensity = model.intercept;
        for (int b = 0; b < kInjectionBands; ++b) intensity += model.weight[b] * m[b];
        return m[k] + model.gain[k] * (model.panScale[k] * pan + model.panOffset[k] - intensity);
    }
    case FusionMethod::GlpHpm: {
        const double low = model.panScale[k] * panLowK + model.panOffset[k];
        if (!(low > 0)) return m[k];  // no ratio without a positive low-pass pan
        return m[k] * (model.panScale[k] * pan + model.panOffset[k]) / low;
    }
    case FusionMethod::Awlp: {
        const double mean = 0.25 * m[0] + 0.25 * m[1] + 0.25 * m[2] + 0.25 * m[3];
        return m[k] + (mean > 0 ? m[k] / mean : 1.0) * detail;
    }
    default: {
        const double mean = 0.25 * m[0] + 0.25 * m[1] + 0.25 * m[2] + 0.25 * m[3];
        return mean > 0 ? m[k] * pan / mean : m[k];
    }
    }
}

// Fuses pan row r of the strip into out (four bands, rows of the strip).
void FuseRow(const InjectionModel& model, const StripInputs& strip, std::int64_t r,
             const std::array<int, 3>& amounts, std::vector<std::int16_t>* out)
{
    const std::int64_t width = model.width;
    const double* w = model.rows.Weights(r);
    const int count = model.rows.Count(r);
    const std::int64_t first = model.rows.First(r);
    std::vector<double> up(static_cast<std::size_t>((kInjectionBands + 2) * width));
    for (int k = 0; k < kInjectionBands; ++k) {
        CombineRows(w, count, strip.wide[k].Row(first, width), width, up.data() + k * width);
    }
    double* detail = up.data() + kInjectionBands * width;
    double* low = detail + width;
    if (model.method == FusionMethod::Awlp) {
        std::vector<double> scratch(static_cast<std::size_t>(width));
        WaveletDetail(model, strip, r, scratch.data(), detail);
    }
    const double* pan = strip.pan.data() + (r - strip.panFirst) * width;
    const bool adjust = amounts[0] != 0 || amounts[1] != 0 || amounts[2] != 0;
    for (int k = 0; k < kInjectionBands; ++k) {
        if (model.method == FusionMethod::GlpHpm) {
            const auto& wide = strip.wide[kInjectionBands + model.panLowOfBand[k]];
            CombineRows(w, count, wide.Row(first, width), width, low);
        }
        std::int16_t* o = out[k].data() + (r - strip.row0) * width;
        for (std::int64_t c = 0; c < width; ++c) {
            const double m[4] = {up[c], up[width + c], up[2 * width + c], up[3 * width + c]};
            o[c] = StoreSample(FusePixelOf(model, k, m, pan[c], low[c], detail[c]));
        }
    }
    if (!adjust) return;
    for (std::int64_t c = 0; c < width; ++c) {
        const std::int64_t at = (r - strip.row0) * width + c;
        std::int32_t blue = out[0][at], green = out[1][at], red = out[2][at];
        AdjustColours(up[2 * width + c], up[3 * width + c], amounts, blue, green, red);
        out[0][at] = StoreSample(blue);
        out[1][at] = StoreSample(green);
        out[2][at] = StoreSample(red);
    }
}

}  // namespace

StepResult FuseInjectedImage(const InjectionModel& model, const std::string& panPath,
                             const std::array<RawFile, kInjectionBands>& files,
                             const std::array<int, 3>& colourAmounts, std::int64_t stripRows,
                             const std::string& readFailure, RunProgress& progress, Host& host,
                             const std::function<bool()>& pump)
{
    const std::int64_t width = model.width;
    std::vector<std::int16_t> out[kInjectionBands];
    for (auto& band : out) {
        if (!TryAllocate(band, stripRows * width, host)) return StepResult::Failed;
    }
    StripInputs strip;
    for (std::int64_t row0 = 0; row0 < model.height; row0 += stripRows) {
        progress.SetPosition(static_cast<int>(row0 * 100 / model.height));
        strip.row0 = row0;
        strip.row1 = std::min(model.height, row0 + stripRows);
        if (!ReadPanRows(model, panPath, strip, readFailure, host, pump)) {
            return pump() ? StepResult::Failed : StepResult::Cancelled;
        }
        if (!WidenRows(model, strip, pump)) return StepResult::Cancelled;
        const bool going = ForEachRowInParallel(
            strip.row1 - row0,
            [&](std::int64_t i) { FuseRow(model, strip, row0 + i, colourAmounts, out); }, pump);
        if (!going) return StepResult::Cancelled;
        const std::int64_t bytes = (strip.row1 - row0) * width * 2;
        for (int k = 0; k < kInjectionBands; ++k) {
            if (!files[k].WriteAt(row0 * width * 2, bytes, out[k].data())) {
                host.ShowMessage(kWriteFailure);
                return StepResult::Failed;
            }
        }
    }
    return StepResult::Ok;
}

}  // namespace lumesta
