#include "fusion/injection/learned/coarse_pair.h"

#include <algorithm>
#include <array>

#include "core/worker_threads.h"
#include "fusion/injection/injection_model.h"
#include "fusion/injection/learned/memory_raster.h"
#include "fusion/parallel_rows.h"
#include "imaging/mtf_filter.h"
#include "imaging/row_stream.h"

namespace lumesta {
namespace {

// About this many bytes hold the source rows of a degradation block.
constexpr std::int64_t kDegradeBufferBytes = std::int64_t{16} << 20;

// Reads source rows first .. first + count − 1 of every image: image g's rows at out[g].
using ReadRows = std::function<bool(std::int64_t first, std::int64_t count, float* const* out)>;

// Degrades images of sourceWidth × sourceHeight, each with its Gaussian, keeping the samples
// R·j + R/2 of the rows and columns below outHeight and outWidth, into out[g] (row-major).
// Each output row is filtered from the same source rows whatever the block or thread.
StepResult DegradeImages(const ReadRows& read, const std::vector<MtfTaps>& taps,
                         std::int64_t sourceWidth, std::int64_t sourceHeight, int ratio,
                         std::int64_t outWidth, std::int64_t outHeight,
                         std::vector<std::vector<float>>& out, const std::string& readFailure,
                         Host& host, const std::function<bool()>& pump)
{
    const int images = static_cast<int>(taps.size());
    const int half = ratio / 2;
    const std::int64_t perRow = images * sourceWidth * 4;
    const std::int64_t block = std::max<std::int64_t>(
        1, (kDegradeBufferBytes / perRow - kMtfTaps) / ratio);
    out.assign(static_cast<std::size_t>(images),
               std::vector<float>(static_cast<std::size_t>(outWidth * outHeight)));
    std::vector<float> samples;
    std::vector<float*> planes(static_cast<std::size_t>(images));
    for (std::int64_t i0 = 0; i0 < outHeight; i0 += block) {
        const std::int64_t i1 = std::min(outHeight, i0 + block);
        const std::int64_t p0 = std::max<std::int64_t>(0, ratio * i0 + half - kMtfHalo);
        const std::int64_t p1 = std::min(sourceHeight, ratio * (i1 - 1) + half + kMtfHalo + 1);
        const std::int64_t plane = (p1 - p0) * sourceWidth;
        samples.resize(static_cast<std::size_t>(images * plane));
        for (int g = 0; g < images; ++g) planes[g] = samples.data() + g * plane;
        if (!read(p0, p1 - p0, planes.data())) {
            host.ShowMessage(readFailure);
            return StepResult::Failed;
        }
        const bool going = ForEachRowInParallel(
            (i1 - i0) * images,
            [&](std::int64_t job) {
                const std::int64_t i = i0 + job / images;
                const int g = static_cast<int>(job % images);
                std::array<const float*, kMtfTaps> window{};
                for (int t = 0; t < kMtfTaps; ++t) {
                    const std::int64_t y =
                        ClampIndex(ratio * i + half - kMtfHalo + t, sourceHeight);
                    window[t] = planes[g] + (y - p0) * sourceWidth;
                }
                thread_local std::vector<double> scratch, row;
                scratch.resize(static_cast<std::size_t>(sourceWidth));
                row.resize(static_cast<std::size_t>(outWidth));
                FilterDecimateRow(taps[g], window.data(), sourceWidth, ratio, half, outWidth,
                                  scratch.data(), row.data());
                std::copy(row.begin(), row.end(), out[g].begin() + i * outWidth);
            },
            pump);
        if (!going) return StepResult::Cancelled;
    }
    return StepResult::Ok;
}

}  // namespace

StepResult MakeCoarsePair(const InjectionModel& model, CoarsePair& pair,
                          const std::string& readFailure, Host& host,
                          const std::function<bool()>& pump)
{
    const int ratio = model.ratio;
    const int n = model.bands;
    pair = CoarsePair();
    pair.scales.assign(static_cast<std::size_t>(n), 1.0);
    // Each band's sum over the valid samples, every MS row counted once in row order although
    // the degradation's blocks read some rows twice.
    std::vector<double> sums(static_cast<std::size_t>(n), 0.0);
    std::int64_t counted = 0, samples = 0;
    std::vector<std::uint8_t> valid;
    const ReadRows readMs = [&](std::int64_t first, std::int64_t count, float* const* out) {
        if (!ReadMsRows(model, first, count, out)) return false;
        for (std::int64_t y = std::max(first, counted); y < first + count; ++y) {
            valid.assign(static_cast<std::size_t>(model.msWidth), 1);
            if (model.scene.Masked() && !model.scene.ReadMsValid(y, 1, valid.data())) return false;
            for (int k = 0; k < n; ++k) {
                const float* row = out[k] + (y - first) * model.msWidth;
                double sum = 0;
                for (std::int64_t x = 0; x < model.msWidth; ++x) sum += valid[x] ? row[x] : 0.0;
                sums[k] += sum;
            }
            for (std::int64_t x = 0; x < model.msWidth; ++x) samples += valid[x];
            counted = y + 1;
        }
        return true;
    };
    const std::int64_t width = model.msWidth / ratio * ratio;
    const std::int64_t height = model.msHeight / ratio * ratio;
    std::vector<MtfTaps> bandTaps;
    for (int k = 0; k < n; ++k) bandTaps.push_back(MtfGaussian(model.inputs.msGains[k], ratio));
    std::vector<std::vector<float>> ms;
    StepResult result =
        DegradeImages(readMs, bandTaps, model.msWidth, model.msHeight, ratio, width / ratio,
                      height / ratio, ms, readFailure, host, pump);
    if (result != StepResult::Ok) return result;
    for (int k = 0; k < n; ++k) {
        const double mean = samples > 0 ? sums[k] / static_cast<double>(samples) : 0.0;
        pair.scales[k] = mean > 0 ? mean : 1.0;
    }
    if (width < 2 * ratio || height < 2 * ratio) return StepResult::Ok;
    const ReadRows readPan = [&](std::int64_t first, std::int64_t count, float* const* out) {
        return ReadPanRows(model, first, count, out[0]);
    };
    std::vector<std::vector<float>> pan;
    result = DegradeImages(readPan, {MtfGaussian(model.inputs.panGain, ratio)}, model.width,
                           model.height, ratio, width, height, pan, readFailure, host, pump);
    if (result != StepResult::Ok) return result;
    std::vector<float> bands;
    for (const auto& band : ms) bands.insert(bands.end(), band.begin(), band.end());
    pair.width = width;
    pair.height = height;
    pair.pan = MemoryRaster(std::move(pan[0]), static_cast<int>(width), static_cast<int>(height), 1);
    pair.ms = MemoryRaster(std::move(bands), static_cast<int>(width / ratio),
                           static_cast<int>(height / ratio), n);
    return StepResult::Ok;
}

InjectionInputs CoarseInputs(const InjectionModel& model, const CoarsePair& pair)
{
    InjectionInputs inputs;
    inputs.method = model.inputs.method;
    inputs.width = pair.width;
    inputs.height = pair.height;
    inputs.ratio = model.ratio;
    inputs.type = model.inputs.type;
    inputs.pan = {pair.pan, 0};
    for (int k = 0; k < model.bands; ++k) inputs.ms.push_back({pair.ms, k});
    inputs.msGains = model.inputs.msGains;
    inputs.panGain = model.inputs.panGain;
    inputs.tempBeside = model.inputs.tempBeside;
    return inputs;
}

}  // namespace lumesta
