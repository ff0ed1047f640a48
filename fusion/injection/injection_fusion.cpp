#include "fusion/injection/injection_fusion.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "core/allocate.h"
#include "fusion/inputs/band_read.h"
#include "fusion/optimisation/pansharpen_arithmetic.h"
#include "fusion/injection/injection_kernels.h"
#include "fusion/parallel_rows.h"
#include "imaging/row_stream.h"

namespace lumesta {
namespace {

// Two levels (log2 of the ratio) at dilations 1 and 2 reach 2 + 4 rows on each side.
constexpr std::int64_t kWaveletHalo = 2 + 4;

// Everything one strip reads besides the model: the pan rows with the wavelet's halo, and the
// wavelet's first level.
struct StripInputs {
    std::int64_t row0 = 0;
    std::int64_t row1 = 0;
    std::int64_t panFirst = 0;
    std::vector<std::int16_t> pan;
    std::int64_t levelFirst = 0;
    std::vector<double> level1;
};

const std::string kWriteFailure =
    "Error when writing output file.\nYou may wish to copy files from CD-ROM to hard disk.";

// Pan row r of an MS-scale image upsampled by the 23-tap interpolator: down the columns at MS
// width first (the MS rows that reach row r, summed in their order), then along the row.
template <typename Sample>
void UpsampleRow(const InjectionModel& model, const Sample* image, std::int64_t r, double* line,
                 double* out)
{
    SumRows(model.rows.Weights(r), model.rows.Count(r), image + model.rows.First(r) * model.msWidth,
            model.msWidth, model.msWidth, line);
    model.columns.Apply(line, out);
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
    strip.pan.resize(static_cast<std::size_t>((panEnd - strip.panFirst) * width));
    if (!ReadBandBytes(panPath, strip.panFirst * width * 2, (panEnd - strip.panFirst) * width * 2,
                       strip.pan.data(), readFailure, host)) {
        return false;
    }
    if (!wavelet) return true;
    strip.levelFirst = std::max<std::int64_t>(0, strip.row0 - 4);
    const std::int64_t levelEnd = std::min(model.height, strip.row1 + 4);
    strip.level1.resize(static_cast<std::size_t>((levelEnd - strip.levelFirst) * width));
    return ForEachRowInParallel(
        levelEnd - strip.levelFirst,
        [&](std::int64_t i) {
            const std::int64_t y = strip.levelFirst + i;
            const std::int16_t* rows[5];
            for (int t = 0; t < 5; ++t) {
                rows[t] = strip.pan.data() +
                          (ClampIndex(y + t - 2, model.height) - strip.panFirst) * width;
            }
            thread_local std::vector<double> scratch;
            scratch.resize(static_cast<std::size_t>(width));
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
    const std::int16_t* pan = strip.pan.data() + (r - strip.panFirst) * width;
    WaveletDetailRow(rows, pan, model.panScale[0], width, scratch, detail);
}

// Fuses pan row r of the strip into out (four bands, rows of the strip).
void FuseRow(const InjectionModel& model, const StripInputs& strip, std::int64_t r,
             const std::array<int, 3>& amounts, std::vector<std::int16_t>* out)
{
    const std::int64_t width = model.width;
    // The four bands, the wavelet detail, the low-pass pans (one per distinct Gaussian), the
    // shared row and one MS-width line; each thread keeps its rows from one pan row to the next.
    const std::int64_t lows = static_cast<std::int64_t>(model.panLow.size());
    thread_local std::vector<double> work;
    work.resize(static_cast<std::size_t>((kInjectionBands + 3 + lows) * width));
    double* shared = work.data() + (kInjectionBands + 1 + lows) * width;
    double* line = shared + width;
    const double* m[4];
    for (int k = 0; k < kInjectionBands; ++k) {
        UpsampleRow(model, model.ms[k].data(), r, line, work.data() + k * width);
        m[k] = work.data() + k * width;
    }
    double* detail = work.data() + kInjectionBands * width;
    double* low = detail + width;
    if (model.method == FusionMethod::Awlp) WaveletDetail(model, strip, r, low, detail);
    for (std::int64_t g = 0; g < lows; ++g) {
        UpsampleRow(model, model.panLow[static_cast<std::size_t>(g)].data(), r, line,
                    low + g * width);
    }
    const std::int16_t* pan = strip.pan.data() + (r - strip.panFirst) * width;
    const std::int64_t at = (r - strip.row0) * width;
    if (model.method == FusionMethod::Gsa) {
        SharedRow(m, model.weight.data(), model.intercept, width, shared);
    } else if (model.method != FusionMethod::GlpHpm) {
        SharedRow(m, nullptr, 0, width, shared);
    }
    for (int k = 0; k < kInjectionBands; ++k) {
        BandRowInputs in;
        in.band = m[k];
        in.shared = shared;
        in.pan = pan;
        in.low = low + model.panLowOfBand[k] * width;
        in.detail = detail;
        in.scale = model.panScale[k];
        in.offset = model.panOffset[k];
        in.gain = model.gain[k];
        FuseBandRow(model.method, in, width, out[k].data() + at);
    }
    if (amounts[0] == 0 && amounts[1] == 0 && amounts[2] == 0) return;
    for (std::int64_t c = 0; c < width; ++c) {
        std::int32_t blue = out[0][at + c], green = out[1][at + c], red = out[2][at + c];
        AdjustColours(m[2][c], m[3][c], amounts, blue, green, red);
        out[0][at + c] = NearestSample(blue);
        out[1][at + c] = NearestSample(green);
        out[2][at + c] = NearestSample(red);
    }
}

}  // namespace

StepResult FuseInjectedImage(const InjectionModel& model, const std::string& panPath,
                             const FusedRowsSink& sink, const std::array<int, 3>& colourAmounts,
                             std::int64_t stripRows, const std::string& readFailure,
                             RunProgress& progress, Host& host, const std::function<bool()>& pump)
{
    const std::int64_t width = model.width;
    std::vector<std::int16_t> out[kInjectionBands];
    for (auto& band : out) {
        if (!TryAllocate(band, stripRows * width, host)) return StepResult::Failed;
    }
    const std::array<const std::int16_t*, kInjectionBands> rows = {out[0].data(), out[1].data(),
                                                                   out[2].data(), out[3].data()};
    StripInputs strip;
    for (std::int64_t row0 = 0; row0 < model.height; row0 += stripRows) {
        progress.SetPosition(static_cast<int>(row0 * 100 / model.height));
        strip.row0 = row0;
        strip.row1 = std::min(model.height, row0 + stripRows);
        if (!ReadPanRows(model, panPath, strip, readFailure, host, pump)) {
            return pump() ? StepResult::Failed : StepResult::Cancelled;
        }
        const bool going = ForEachRowInParallel(
            strip.row1 - row0,
            [&](std::int64_t i) { FuseRow(model, strip, row0 + i, colourAmounts, out); }, pump);
        if (!going) return StepResult::Cancelled;
        if (!sink(rows, strip.row1 - row0)) return StepResult::Failed;
    }
    return StepResult::Ok;
}

FusedRowsSink WriteRowsTo(const std::array<RawFile, kInjectionBands>& files, std::int64_t width,
                          Host& host)
{
    auto written = std::make_shared<std::int64_t>(0);  // rows already in the files
    return [&files, &host, width, written](
               const std::array<const std::int16_t*, kInjectionBands>& rows, std::int64_t rowCount) {
        std::array<bool, kInjectionBands> done{};
        ForEachRowInParallel(
            kInjectionBands,
            [&](std::int64_t k) {
                done[k] = files[k].WriteAt(*written * width * 2, rowCount * width * 2, rows[k]);
            },
            [] { return true; });
        *written += rowCount;
        if (done == std::array<bool, kInjectionBands>{true, true, true, true}) return true;
        host.ShowMessage(kWriteFailure);
        return false;
    };
}

}  // namespace lumesta
