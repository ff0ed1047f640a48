#include "fusion/injection/injection_fusion.h"

#include <algorithm>
#include <limits>
#include <memory>

#include "core/allocate.h"
#include "core/joining_thread.h"
#include "core/worker_threads.h"
#include "fusion/injection/back_projection.h"
#include "fusion/injection/injection_kernels.h"
#include "fusion/injection/learned/learned_fusion.h"
#include "fusion/optimisation/pansharpen_arithmetic.h"
#include "fusion/parallel_rows.h"
#include "imaging/row_stream.h"

namespace lumesta {
namespace {

// The MS rows the 23-tap upsampling of a strip reaches beyond its own, on each side (the line's
// mirrored ends included), and the fewest rows a strip takes whatever the memory.
constexpr std::int64_t kMsRowsHalo = 8;
constexpr std::int64_t kLeastStripRows = 8;

const std::string kWriteFailure =
    "Error when writing output file.\nYou may wish to copy files from CD-ROM to hard disk.";

// The à trous levels of the wavelet detail: log2 of the ratio.
int WaveletLevels(int ratio)
{
    int levels = 0;
    for (int r = ratio; r > 1; r /= 2) ++levels;
    return levels;
}

// Rows of level l needed on each side of a strip: the later levels' taps reach 2 · 2^(j − 1)
// rows each (j = l + 1 .. L), 2 · (ratio − 2^l) together. Level 0 is the pan.
std::int64_t LevelHalo(int ratio, int l)
{
    return 2 * (ratio - (std::int64_t{1} << l));
}

// Everything one strip reads besides the model: the pan rows with the wavelet's halo, the
// wavelet's intermediate levels, and the MS rows and degraded pans' rows the upsampling of its
// rows reaches.
struct StripInputs {
    std::int64_t row0 = 0;
    std::int64_t row1 = 0;
    std::int64_t panFirst = 0;
    std::vector<float> pan;
    std::vector<std::int64_t> levelFirst;  // levels 1 .. L − 1
    std::vector<std::vector<double>> levels;
    std::int64_t msFirst = 0;
    std::int64_t msRows = 0;
    bool corrected = false;          // the model's corrections are added
    std::vector<float> ms;           // every band's rows, band after band
    std::vector<float> lows;         // every degraded pan's rows
    std::vector<float> corrections;  // every band's correction rows
};

const float* PanRow(const StripInputs& strip, const InjectionModel& model, std::int64_t y)
{
    return strip.pan.data() + (y - strip.panFirst) * model.width;
}

// Pan row r of an MS-scale image upsampled by the 23-tap interpolator: down the columns at MS
// width first (the MS rows that reach row r, summed in their order), then along the row.
void UpsampleRow(const InjectionModel& model, const StripInputs& strip, const float* image,
                 std::int64_t r, double* line, double* out)
{
    SumRows(model.rows.Weights(r), model.rows.Count(r),
            image + (model.rows.First(r) - strip.msFirst) * model.msWidth, model.msWidth,
            model.msWidth, line);
    model.columns.Apply(line, out);
}

// The wavelet's levels 1 .. L − 1 over the rows the next levels need, each smoothed from the
// level before at dilation 2^(l − 1), on every core.
bool SmoothLevels(const InjectionModel& model, StripInputs& strip,
                  const std::function<bool()>& pump)
{
    const int levels = WaveletLevels(model.ratio);
    const std::int64_t width = model.width;
    strip.levelFirst.assign(static_cast<std::size_t>(std::max(0, levels - 1)), 0);
    strip.levels.resize(strip.levelFirst.size());
    for (int l = 1; l < levels; ++l) {
        const std::int64_t first =
            std::max<std::int64_t>(0, strip.row0 - LevelHalo(model.ratio, l));
        const std::int64_t end = std::min(model.height, strip.row1 + LevelHalo(model.ratio, l));
        const std::int64_t step = std::int64_t{1} << (l - 1);
        std::vector<double>& level = strip.levels[l - 1];
        strip.levelFirst[l - 1] = first;
        level.resize(static_cast<std::size_t>((end - first) * width));
        const bool going = ForEachRowInParallel(
            end - first,
            [&](std::int64_t i) {
                const std::int64_t y = first + i;
                thread_local std::vector<double> scratch;
                scratch.resize(static_cast<std::size_t>(width));
                double* out = level.data() + i * width;
                if (l == 1) {
                    const float* rows[5];
                    for (int t = 0; t < 5; ++t) {
                        rows[t] =
                            PanRow(strip, model, ClampIndex(y + step * (t - 2), model.height));
                    }
                    SmoothRow(rows, width, step, scratch.data(), out);
                } else {
                    const double* rows[5];
                    for (int t = 0; t < 5; ++t) {
                        const std::int64_t from = ClampIndex(y + step * (t - 2), model.height);
                        rows[t] =
                            strip.levels[l - 2].data() + (from - strip.levelFirst[l - 2]) * width;
                    }
                    SmoothRow(rows, width, step, scratch.data(), out);
                }
            },
            pump);
        if (!going) return false;
    }
    return true;
}

// What reading a strip's rows came to.
enum class StripRead { Read, InputFailed, TemporaryFailed };

// The strip's pan rows (with the wavelet's halo), MS rows and the degraded pans' and
// corrections' rows, without messages: from any one thread at a time.
StripRead ReadStripRows(const InjectionModel& model, StripInputs& strip)
{
    const bool wavelet = model.recipe.waveletDetail;
    const std::int64_t halo = wavelet ? LevelHalo(model.ratio, 0) : 0;
    strip.panFirst = std::max<std::int64_t>(0, strip.row0 - halo);
    const std::int64_t panEnd = std::min(model.height, strip.row1 + halo);
    strip.pan.resize(static_cast<std::size_t>((panEnd - strip.panFirst) * model.width));
    std::int64_t msEnd = 0;
    strip.msFirst = model.msHeight;
    for (std::int64_t r = strip.row0; r < strip.row1; ++r) {
        strip.msFirst = std::min(strip.msFirst, model.rows.First(r));
        msEnd = std::max(msEnd, model.rows.First(r) + model.rows.Count(r));
    }
    strip.msRows = msEnd - strip.msFirst;
    const std::int64_t image = strip.msRows * model.msWidth;
    strip.ms.resize(static_cast<std::size_t>(model.bands * image));
    std::vector<float*> bands;
    for (int k = 0; k < model.bands; ++k) bands.push_back(strip.ms.data() + k * image);
    // A model whose fusion measures itself keeps the MS rows, already placed, in its copy.
    const MsCopy* copy = model.pendingMs.get();
    if (!ReadPanRows(model, strip.panFirst, panEnd - strip.panFirst, strip.pan.data()) ||
        (copy == nullptr && !ReadMsRows(model, strip.msFirst, strip.msRows, bands.data()))) {
        return StripRead::InputFailed;
    }
    for (int k = 0; copy != nullptr && k < model.bands; ++k) {
        if (!copy->bands.GetRows(k, strip.msFirst, strip.msRows, bands[k])) {
            return StripRead::TemporaryFailed;
        }
    }
    if (model.recipe.lowPassPans) {
        strip.lows.resize(static_cast<std::size_t>(model.fusedLows * image));
        for (int g = 0; g < model.fusedLows; ++g) {
            if (!model.lows.GetRows(g, strip.msFirst, strip.msRows, strip.lows.data() + g * image))
                return StripRead::TemporaryFailed;
        }
    }
    if (strip.corrected) {
        strip.corrections.resize(static_cast<std::size_t>(model.bands * image));
        for (int k = 0; k < model.bands; ++k) {
            if (!model.corrections.GetRows(k, strip.msFirst, strip.msRows,
                                           strip.corrections.data() + k * image)) {
                return StripRead::TemporaryFailed;
            }
        }
    }
    return StripRead::Read;
}

// Gives strip the rows that ReadStripRows read into next, and next strip's buffers for its
// next read; the wavelet's levels stay with strip.
void TakeRows(StripInputs& strip, StripInputs& next)
{
    std::swap(strip.panFirst, next.panFirst);
    std::swap(strip.msFirst, next.msFirst);
    std::swap(strip.msRows, next.msRows);
    strip.pan.swap(next.pan);
    strip.ms.swap(next.ms);
    strip.lows.swap(next.lows);
    strip.corrections.swap(next.corrections);
}

// The strip's rows as read (ReadStripRows), the failure's message shown, and the wavelet's
// levels.
StepResult CompleteStrip(const InjectionModel& model, StripInputs& strip, StripRead read,
                         const std::string& readFailure, Host& host,
                         const std::function<bool()>& pump)
{
    if (read != StripRead::Read) {
        host.ShowMessage(read == StripRead::InputFailed ? readFailure : kWriteFailure);
        return StepResult::Failed;
    }
    if (model.recipe.waveletDetail && !SmoothLevels(model, strip, pump)) {
        return StepResult::Cancelled;
    }
    return StepResult::Ok;
}

// The strip's pan rows, MS rows and degraded pans' rows, and the wavelet's levels.
StepResult ReadStrip(const InjectionModel& model, StripInputs& strip,
                     const std::string& readFailure, Host& host, const std::function<bool()>& pump)
{
    return CompleteStrip(model, strip, ReadStripRows(model, strip), readFailure, host, pump);
}

// The pan's detail at row r (P minus its last à trous approximation), equalised.
void WaveletDetail(const InjectionModel& model, const StripInputs& strip, std::int64_t r,
                   double* scratch, double* detail)
{
    const int levels = WaveletLevels(model.ratio);
    const std::int64_t step = std::int64_t{1} << (levels - 1);
    const std::int64_t width = model.width;
    const float* pan = PanRow(strip, model, r);
    if (levels == 1) {
        const float* rows[5];
        for (int t = 0; t < 5; ++t)
            rows[t] = PanRow(strip, model, ClampIndex(r + step * (t - 2), model.height));
        WaveletDetailRow(rows, pan, model.panScale[0], width, step, scratch, detail);
        return;
    }
    const double* rows[5];
    for (int t = 0; t < 5; ++t) {
        const std::int64_t y = ClampIndex(r + step * (t - 2), model.height);
        rows[t] = strip.levels[levels - 2].data() + (y - strip.levelFirst[levels - 2]) * width;
    }
    WaveletDetailRow(rows, pan, model.panScale[0], width, step, scratch, detail);
}

// The 16-bit tool's colour adjustment of the Blue, Green and Red samples of row at, driven by
// the upsampled Red and NIR bands.
void AdjustRowColours(const double* const* m, const std::array<int, 3>& amounts, std::int64_t width,
                      std::int16_t* const* out)
{
    for (std::int64_t c = 0; c < width; ++c) {
        std::int32_t blue = out[0][c], green = out[1][c], red = out[2][c];
        AdjustColours(m[2][c], m[3][c], amounts, blue, green, red);
        out[0][c] = NearestSample(blue);
        out[1][c] = NearestSample(green);
        out[2][c] = NearestSample(red);
    }
}

// The rows every band's formula reads at row r of the window, in a thread's own buffers: the
// bands upsampled, the wavelet detail, the low-pass pans upsampled and the shared row.
struct RowParts {
    std::vector<const double*> m;
    double* detail = nullptr;
    double* low = nullptr;
    double* shared = nullptr;
    double* line = nullptr;        // one MS-width line of scratch
    double* correction = nullptr;  // a band's correction upsampled
    double* fused = nullptr;       // a row for the formula's result
};

RowParts PrepareRow(const InjectionModel& model, const StripInputs& strip, std::int64_t r)
{
    const std::int64_t width = model.width;
    const int n = model.bands;
    const std::int64_t lows = model.recipe.lowPassPans ? model.fusedLows : 0;
    // The bands, the wavelet detail, the low-pass pans, the shared row, one MS-width line, an
    // upsampled correction and the fused row; each thread keeps its rows from one pan row to
    // the next.
    thread_local std::vector<double> work;
    work.resize(static_cast<std::size_t>((n + 5 + lows) * width));
    RowParts parts;
    parts.m.resize(static_cast<std::size_t>(n));
    parts.detail = work.data() + n * width;
    parts.low = parts.detail + width;
    parts.shared = parts.low + lows * width;
    double* line = parts.shared + width;
    parts.line = line;
    parts.correction = line + width;
    parts.fused = parts.correction + width;
    const std::int64_t image = strip.msRows * model.msWidth;
    for (int k = 0; k < n; ++k) {
        UpsampleRow(model, strip, strip.ms.data() + k * image, r, line, work.data() + k * width);
        parts.m[k] = work.data() + k * width;
    }
    if (model.recipe.waveletDetail) WaveletDetail(model, strip, r, parts.fused, parts.detail);
    for (std::int64_t g = 0; g < lows; ++g) {
        UpsampleRow(model, strip, strip.lows.data() + g * image, r, line, parts.low + g * width);
    }
    if (model.recipe.shared == SharedRowKind::Intensity) {
        IntensityRow(parts.m.data(), n, model.weight.data(), model.intercept, width, parts.shared);
    } else if (model.recipe.shared == SharedRowKind::Mean) {
        MeanRow(parts.m.data(), n, width, parts.shared);
    }
    return parts;
}

BandRowInputs BandInputs(const InjectionModel& model, const StripInputs& strip,
                         const RowParts& parts, std::int64_t r, int k)
{
    BandRowInputs in;
    in.band = parts.m[k];
    in.shared = parts.shared;
    in.pan = PanRow(strip, model, r);
    in.low = parts.low + model.lowOfBand[k] * model.width;
    in.detail = parts.detail;
    in.scale = model.panScale[k];
    in.offset = model.panOffset[k];
    in.gain = model.gain[k];
    return in;
}

// Band k's fused row r before rounding, into parts.fused: the method's formula (after the
// band's own intensity, for methods that have one), and the band's correction upsampled when
// the strip has corrections.
void FuseBand(const InjectionModel& model, const StripInputs& strip, const RowParts& parts,
              std::int64_t r, int k)
{
    const std::int64_t width = model.width;
    if (model.recipe.shared == SharedRowKind::BandIntensity) {
        IntensityRow(parts.m.data(), model.bands, model.bandWeight.data() + k * model.bands, 0.0,
                     width, parts.shared);
    }
    model.recipe.formula(BandInputs(model, strip, parts, r, k), width, parts.fused);
    if (strip.corrected) {
        const std::int64_t image = strip.msRows * model.msWidth;
        UpsampleRow(model, strip, strip.corrections.data() + k * image, r, parts.line,
                    parts.correction);
        AddToRow(parts.correction, width, parts.fused);
    }
}

// Fuses row r of the window into out (every band's rows of the strip), at sample at of each
// band's buffer.
void FuseRow(const InjectionModel& model, const StripInputs& strip, std::int64_t r,
             const std::array<int, 3>& amounts, std::int64_t sampleAt,
             std::vector<std::vector<unsigned char>>& out)
{
    const std::int64_t width = model.width;
    const RowParts parts = PrepareRow(model, strip, r);
    const std::int64_t at = sampleAt * SampleBytes(model.inputs.type);
    for (int k = 0; k < model.bands; ++k) {
        FuseBand(model, strip, parts, r, k);
        StoreFusedRow(model.inputs.type, parts.fused, width, out[k].data() + at);
    }
    if (amounts[0] == 0 && amounts[1] == 0 && amounts[2] == 0) return;
    std::int16_t* const colours[3] = {reinterpret_cast<std::int16_t*>(out[0].data() + at),
                                      reinterpret_cast<std::int16_t*>(out[1].data() + at),
                                      reinterpret_cast<std::int16_t*>(out[2].data() + at)};
    AdjustRowColours(parts.m.data(), amounts, width, colours);
}

// Stores row r of the window from fused values (band k's row at values + k · bandStride), as
// FuseRow stores the formula's rows.
void StoreRow(const InjectionModel& model, const StripInputs& strip, std::int64_t r,
              const double* values, std::int64_t bandStride, const std::array<int, 3>& amounts,
              std::int64_t sampleAt, std::vector<std::vector<unsigned char>>& out)
{
    const std::int64_t width = model.width;
    const std::int64_t at = sampleAt * SampleBytes(model.inputs.type);
    for (int k = 0; k < model.bands; ++k) {
        StoreFusedRow(model.inputs.type, values + k * bandStride, width, out[k].data() + at);
    }
    if (amounts[0] == 0 && amounts[1] == 0 && amounts[2] == 0) return;
    const RowParts parts = PrepareRow(model, strip, r);
    std::int16_t* const colours[3] = {reinterpret_cast<std::int16_t*>(out[0].data() + at),
                                      reinterpret_cast<std::int16_t*>(out[1].data() + at),
                                      reinterpret_cast<std::int16_t*>(out[2].data() + at)};
    AdjustRowColours(parts.m.data(), amounts, width, colours);
}

// Row r's base values and network inputs (ComputeBaseRows).
void BaseRow(const InjectionModel& model, const StripInputs& strip, std::int64_t r,
             const std::vector<double>& scales, const BaseRowsTarget& target)
{
    const std::int64_t width = model.width;
    const int n = model.bands;
    const RowParts parts = PrepareRow(model, strip, r);
    const bool base = target.base != nullptr && r >= target.baseFirst &&
                      r < target.baseFirst + target.baseCount;
    const float* pan = PanRow(strip, model, r);
    for (int k = 0; k < n; ++k) {
        const BandRowInputs in = BandInputs(model, strip, parts, r, k);
        if (base) {
            FuseBand(model, strip, parts, r, k);
            std::copy(parts.fused, parts.fused + width,
                      target.base + k * target.baseBandStride + (r - target.baseFirst) * width);
        }
        float* band = target.features + k * target.featureChannelStride +
                      (r - strip.row0) * target.featureRowStride;
        float* detail = band + n * target.featureChannelStride;
        const double scale = scales[k];
        for (std::int64_t x = 0; x < width; ++x) {
            band[x] = static_cast<float>(in.band[x] / scale);
            const double low = in.scale * in.low[x] + in.offset;
            const double equalised = in.scale * pan[x] + in.offset;
            detail[x] = low > 0 ? static_cast<float>((equalised - low) / low) : 0.0f;
        }
    }
}

// Samples of type T: invalid pixels take the no-data value; a valid one equal to it moves by
// one toward the middle of the type's range, so that it stays valid.
template <typename T>
void MaskRow(const std::uint8_t* valid, std::int64_t width, double noData, double middle,
             unsigned char* bytes)
{
    T* samples = reinterpret_cast<T*>(bytes);
    const T marker = static_cast<T>(noData);
    const T moved = static_cast<T>(noData < middle ? noData + 1 : noData - 1);
    for (std::int64_t x = 0; x < width; ++x) {
        if (!valid[x]) {
            samples[x] = marker;
        } else if (samples[x] == marker) {
            samples[x] = moved;
        }
    }
}

// Marks the strip's pan rows row0 .. row1 − 1 where they are not valid.
StepResult MaskStrip(const InjectionModel& model, std::int64_t row0, std::int64_t row1,
                     std::vector<std::uint8_t>& valid, std::vector<std::vector<unsigned char>>& out,
                     const std::string& readFailure, Host& host, const std::function<bool()>& pump)
{
    const std::int64_t width = model.inputs.width;
    for (std::int64_t y = row0; y < row1; ++y) {
        if (!model.scene.ReadValid(y, valid.data() + (y - row0) * width)) {
            host.ShowMessage(readFailure);
            return StepResult::Failed;
        }
    }
    const SampleType type = model.inputs.type;
    const double noData = model.scene.NoDataValue();
    const std::int64_t bytes = SampleBytes(type);
    const auto middleOf = [&model](double lowest, double highest) {
        const auto& kept = model.inputs.keptRange;
        return kept ? ((*kept)[0] + (*kept)[1]) / 2 : (lowest + highest) / 2;
    };
    const bool going = ForEachRowInParallel(
        row1 - row0,
        [&](std::int64_t i) {
            const std::uint8_t* row = valid.data() + i * width;
            for (auto& band : out) {
                unsigned char* samples = band.data() + i * width * bytes;
                if (type == SampleType::UInt8) {
                    MaskRow<std::uint8_t>(row, width, noData, middleOf(0, 255), samples);
                } else if (type == SampleType::UInt16) {
                    MaskRow<std::uint16_t>(row, width, noData, middleOf(0, 65535), samples);
                } else {
                    MaskRow<std::int16_t>(row, width, noData, middleOf(-32768, 32767), samples);
                }
            }
        },
        pump);
    return going ? StepResult::Ok : StepResult::Cancelled;
}

}  // namespace

std::int64_t InjectionStripRows(const InjectionModel& model)
{
    const bool wavelet = model.recipe.waveletDetail;
    const int levels = wavelet ? WaveletLevels(model.ratio) : 1;
    const std::int64_t lows = model.recipe.lowPassPans ? model.fusedLows : 0;
    const std::int64_t msImages = model.bands + lows + (model.corrected ? model.bands : 0);
    // Per strip row: the pan row, the wavelet's levels, the fused rows and the MS rows.
    const std::int64_t rowBytes =
        model.width * (4 + 8 * (levels - 1)) +
        model.inputs.width *
            (model.bands * SampleBytes(model.inputs.type) + (model.scene.Masked() ? 1 : 0)) +
        msImages * model.msWidth * 4 / model.ratio;
    // Per strip: the halos; per thread: the rows FuseRow works on.
    std::int64_t haloBytes = 2 * kMsRowsHalo * msImages * model.msWidth * 4;
    if (wavelet) {
        haloBytes += 2 * LevelHalo(model.ratio, 0) * model.width * 4;
        for (int l = 1; l < levels; ++l)
            haloBytes += 2 * LevelHalo(model.ratio, l) * model.width * 8;
    }
    const std::int64_t threadBytes = (model.bands + 5 + lows) * model.width * 8;
    const std::int64_t rows =
        (kInjectionBufferBytes - haloBytes - WorkerThreads(16) * threadBytes) / rowBytes;
    return std::clamp<std::int64_t>(rows, kLeastStripRows, std::max<std::int64_t>(1, model.height));
}

StepResult FuseInjectedImage(const InjectionModel& model, const FusedRowsSink& sink,
                             const std::array<int, 3>& colourAmounts, std::int64_t stripRows,
                             const std::string& readFailure, RunProgress& progress, Host& host,
                             const std::function<bool()>& pump)
{
    if (MethodRowOf(model.inputs.method).kind == MethodKind::Learned) {
        return FuseLearnedImage(model, sink, colourAmounts, stripRows, readFailure, progress, host,
                                pump);
    }
    if (model.pendingSteps > 0) {
        return FuseBackProjected(model, sink, colourAmounts, stripRows, readFailure, progress,
                                 host, pump);
    }
    return FuseInjectedImageWith(model, StripValues(), sink, colourAmounts, stripRows, readFailure,
                                 progress, host, pump);
}

StepResult FuseInjectedImageWith(const InjectionModel& model, const StripValues& values,
                                 const FusedRowsSink& sink, const std::array<int, 3>& colourAmounts,
                                 std::int64_t stripRows, const std::string& readFailure,
                                 RunProgress& progress, Host& host,
                                 const std::function<bool()>& pump)
{
    if (stripRows <= 0) stripRows = InjectionStripRows(model);
    const std::int64_t width = model.inputs.width;
    const std::int64_t height = model.inputs.height;
    const SceneWindow& window = model.scene.Window();
    std::vector<std::vector<unsigned char>> out(static_cast<std::size_t>(model.bands));
    for (auto& band : out) {
        if (!TryAllocate(band, stripRows * width * SampleBytes(model.inputs.type), host)) {
            return StepResult::Failed;
        }
    }
    std::vector<std::uint8_t> valid;
    if (model.scene.MarksNoData() && !TryAllocate(valid, stripRows * width, host)) {
        return StepResult::Failed;
    }
    std::vector<double> fusedValues;
    if (values && !TryAllocate(fusedValues, model.bands * stripRows * model.width, host)) {
        return StepResult::Failed;
    }
    FusedStrip fused;
    fused.type = model.inputs.type;
    fused.width = width;
    for (const auto& band : out) fused.bands.push_back(band.data());
    // The strip's rows of the window, in the window's rows, for the strip from image row row0.
    const auto windowRows = [&](std::int64_t row0, StripInputs& strip) {
        strip.row0 = std::clamp<std::int64_t>(row0 - window.y0, 0, window.height);
        strip.row1 = std::clamp<std::int64_t>(std::min(height, row0 + stripRows) - window.y0, 0,
                                              window.height);
    };
    const bool colours = colourAmounts != std::array<int, 3>{0, 0, 0};
    // With more than one core, the next strip's rows are read on another thread while this
    // strip is fused and handed on; not where marking no data reads the inputs meanwhile.
    const bool ahead = !values && !model.scene.MarksNoData() && WorkerThreads(2) > 1;
    StripInputs strip, next;
    strip.corrected = next.corrected = model.corrected;
    StripRead nextRead = StripRead::Read;
    bool nextReady = false;
    JoiningThread reader;
    for (std::int64_t row0 = 0; row0 < height; row0 += stripRows) {
        progress.SetPosition(static_cast<int>(row0 * 100 / height));
        const std::int64_t row1 = std::min(height, row0 + stripRows);
        windowRows(row0, strip);
        reader.Join();
        if (strip.row0 < strip.row1) {
            if (values) {
                const StepResult computed = values(strip.row0, strip.row1, fusedValues.data());
                if (computed != StepResult::Ok) return computed;
            }
            if (!values || colours) {
                StripRead read = StripRead::Read;
                if (nextReady && next.row0 == strip.row0 && next.row1 == strip.row1) {
                    TakeRows(strip, next);
                    read = nextRead;
                } else {
                    read = ReadStripRows(model, strip);
                }
                nextReady = false;
                if (ahead && read == StripRead::Read && row1 < height) {
                    windowRows(row1, next);
                    if (next.row0 < next.row1) {
                        nextReady = true;
                        reader.Start(
                            [&model, &next, &nextRead] { nextRead = ReadStripRows(model, next); });
                    }
                }
                const StepResult completed =
                    CompleteStrip(model, strip, read, readFailure, host, pump);
                if (completed != StepResult::Ok) {
                    return completed == StepResult::Failed && !pump() ? StepResult::Cancelled
                                                                      : completed;
                }
            }
            const std::int64_t first = (window.y0 + strip.row0 - row0) * width + window.x0;
            const std::int64_t rows = strip.row1 - strip.row0;
            const bool going = ForEachRowInParallel(
                rows,
                [&](std::int64_t i) {
                    if (values) {
                        StoreRow(model, strip, strip.row0 + i, fusedValues.data() + i * model.width,
                                 rows * model.width, colourAmounts, first + i * width, out);
                    } else {
                        FuseRow(model, strip, strip.row0 + i, colourAmounts, first + i * width,
                                out);
                    }
                },
                pump);
            if (!going) return StepResult::Cancelled;
        }
        if (model.scene.MarksNoData()) {
            const StepResult masked =
                MaskStrip(model, row0, row1, valid, out, readFailure, host, pump);
            if (masked != StepResult::Ok) return masked;
        }
        fused.firstRow = row0;
        fused.rowCount = row1 - row0;
        if (!sink(fused)) return StepResult::Failed;
    }
    return StepResult::Ok;
}

StepResult ComputeBaseRows(const InjectionModel& model, std::int64_t first, std::int64_t count,
                           const std::vector<double>& scales, const BaseRowsTarget& target,
                           const std::string& readFailure, Host& host,
                           const std::function<bool()>& pump)
{
    StripInputs strip;
    strip.corrected = model.corrected;
    strip.row0 = first;
    strip.row1 = first + count;
    const StepResult read = ReadStrip(model, strip, readFailure, host, pump);
    if (read != StepResult::Ok) return read;
    const bool going = ForEachRowInParallel(
        count,
        [&](std::int64_t i) { BaseRow(model, strip, first + i, scales, target); },
        pump);
    return going ? StepResult::Ok : StepResult::Cancelled;
}

StepResult VisitFusedRows(const InjectionModel& model, std::int64_t stripRows,
                          const FusedBandVisitor& visit, const FusedStripDone& done,
                          const std::string& readFailure, Host& host,
                          const std::function<bool()>& pump)
{
    if (stripRows <= 0) stripRows = InjectionStripRows(model);
    FusedStripVisits visits(model);
    for (std::int64_t row0 = 0; row0 < model.height; row0 += stripRows) {
        const std::int64_t row1 = std::min(model.height, row0 + stripRows);
        const StepResult visited =
            visits.Visit(row0, row1, nullptr, visit, readFailure, host, pump);
        if (visited != StepResult::Ok) return visited;
        const StepResult result = done(row0, row1);
        if (result != StepResult::Ok) return result;
    }
    return StepResult::Ok;
}

struct FusedStripVisits::Strip : StripInputs {};

FusedStripVisits::FusedStripVisits(const InjectionModel& model)
    : m_model(model), m_strip(std::make_unique<Strip>())
{
    m_strip->corrected = model.corrected;
}

FusedStripVisits::~FusedStripVisits() = default;

StepResult FusedStripVisits::Visit(std::int64_t row0, std::int64_t row1,
                                   const std::function<double*(std::int64_t r, int k)>& target,
                                   const FusedBandVisitor& visit, const std::string& readFailure,
                                   Host& host, const std::function<bool()>& pump)
{
    const InjectionModel& model = m_model;
    StripInputs& strip = *m_strip;
    strip.row0 = row0;
    strip.row1 = row1;
    const StepResult read = ReadStrip(model, strip, readFailure, host, pump);
    if (read != StepResult::Ok) {
        return read == StepResult::Failed && !pump() ? StepResult::Cancelled : read;
    }
    const bool going = ForEachRowInParallel(
        strip.row1 - strip.row0,
        [&](std::int64_t i) {
            const std::int64_t r = strip.row0 + i;
            RowParts parts = PrepareRow(model, strip, r);
            for (int k = 0; k < model.bands; ++k) {
                if (target) parts.fused = target(r, k);
                FuseBand(model, strip, parts, r, k);
                visit(r, k, parts.fused);
            }
        },
        pump);
    return going ? StepResult::Ok : StepResult::Cancelled;
}

FusedRowsSink WriteRowsTo(const std::vector<RawFile>& files, Host& host)
{
    return [&files, &host](const FusedStrip& strip) {
        const std::int64_t rowBytes = strip.width * SampleBytes(strip.type);
        std::vector<char> done(files.size(), 0);
        ForEachRowInParallel(
            static_cast<std::int64_t>(files.size()),
            [&](std::int64_t k) {
                done[k] = files[k].WriteAt(strip.firstRow * rowBytes, strip.rowCount * rowBytes,
                                           strip.bands[k]);
            },
            [] { return true; });
        if (std::all_of(done.begin(), done.end(), [](char ok) { return ok != 0; })) return true;
        host.ShowMessage(kWriteFailure);
        return false;
    };
}

}  // namespace lumesta
