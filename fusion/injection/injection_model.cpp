#include "fusion/injection/injection_model.h"

#include <algorithm>

#include "core/joining_thread.h"
#include "core/worker_threads.h"
#include "fusion/parallel_rows.h"
#include "imaging/mtf_filter.h"
#include "imaging/row_stream.h"

namespace lumesta {
namespace {

const char kWriteFailure[] =
    "Error when writing output file.\nYou may wish to copy files from CD-ROM to hard disk.";

// The Gaussians the method degrades the pan with, which one serves each band, and the pan's own.
void ChooseDegradationGains(InjectionModel& model)
{
    std::vector<double>& gains = model.lowGains;
    gains.clear();
    model.lowOfBand.assign(static_cast<std::size_t>(model.bands), 0);
    model.panLow = -1;
    const PanDegradation degradation = model.recipe.degradation;
    if (degradation == PanDegradation::PanGain) {
        gains.push_back(model.inputs.panGain);
    } else if (degradation != PanDegradation::None) {
        for (int k = 0; k < model.bands; ++k) {
            const auto found = std::find(gains.begin(), gains.end(), model.inputs.msGains[k]);
            model.lowOfBand[k] = static_cast<int>(found - gains.begin());
            if (found == gains.end()) gains.push_back(model.inputs.msGains[k]);
        }
    }
    model.fusedLows = static_cast<int>(gains.size());
    if (degradation == PanDegradation::BandAndPanGains) {
        const auto found = std::find(gains.begin(), gains.end(), model.inputs.panGain);
        model.panLow = static_cast<int>(found - gains.begin());
        if (found == gains.end()) gains.push_back(model.inputs.panGain);
    }
}

// Degrades the pan with each Gaussian (filter, then keep samples R·j + R/2 on both axes),
// block by block of MS rows, into the degraded pans' file; the rows of a block are filtered on
// every core, each from the same source rows whatever the thread, so the values do not depend
// on the number of threads or on the block's height.
StepResult DegradePan(InjectionModel& model, const std::string& readFailure, Host& host,
                      const std::function<bool()>& pump)
{
    const int lows = static_cast<int>(model.lowGains.size());
    std::vector<MtfTaps> taps;
    for (double gain : model.lowGains) taps.push_back(MtfGaussian(gain, model.ratio));
    const std::int64_t width = model.width;
    const int ratio = model.ratio;
    const int half = ratio / 2;
    // The block's pan rows (its halo included), its degraded rows and each thread's rows share
    // the buffer bytes. With more than one core, the next block's pan rows are read on another
    // thread while this block is filtered (two blocks of half the height).
    const bool ahead = WorkerThreads(2) > 1;
    const std::int64_t spare = kInjectionBufferBytes - kMtfTaps * width * 4 -
                               WorkerThreads(16) * kMostGroupRows * (width + model.msWidth) * 8;
    const std::int64_t block = std::max<std::int64_t>(
        1, spare / (ahead ? 2 : 1) / (ratio * width * 4 + lows * model.msWidth * 4));
    struct PanRows {
        std::vector<float> samples;
        std::int64_t first = 0;
        bool read = false;
    };
    PanRows blocks[2];
    const auto readBlock = [&](std::int64_t i0, PanRows& rows) {
        const std::int64_t i1 = std::min(model.msHeight, i0 + block);
        rows.first = std::max<std::int64_t>(0, ratio * i0 + half - kMtfHalo);
        const std::int64_t end = std::min(model.height, ratio * (i1 - 1) + half + kMtfHalo + 1);
        rows.samples.resize(static_cast<std::size_t>((end - rows.first) * width));
        rows.read = ReadPanRows(model, rows.first, end - rows.first, rows.samples.data());
    };
    JoiningThread reader;
    std::vector<float> degraded(static_cast<std::size_t>(lows * block * model.msWidth));
    if (model.msHeight > 0) readBlock(0, blocks[0]);
    for (std::int64_t i0 = 0, c = 0; i0 < model.msHeight; i0 += block, c = ahead ? 1 - c : 0) {
        const std::int64_t i1 = std::min(model.msHeight, i0 + block);
        const PanRows& rows = blocks[c];
        if (!rows.read) {
            host.ShowMessage(readFailure);
            return StepResult::Failed;
        }
        if (ahead && i1 < model.msHeight) {
            reader.Start(readBlock, i1, std::ref(blocks[1 - c]));
        }
        // A few MS rows a job: their windows share most of their pan rows, read once for all.
        constexpr std::int64_t kGroup = kMostGroupRows;
        const std::int64_t groups = (i1 - i0 + kGroup - 1) / kGroup;
        const bool going = ForEachRowInParallel(
            groups * lows,
            [&](std::int64_t job) {
                const std::int64_t i = i0 + kGroup * (job / lows);
                const int g = static_cast<int>(job % lows);
                const int count = static_cast<int>(std::min(kGroup, i1 - i));
                std::array<std::array<const float*, kMtfTaps>, kGroup> windows{};
                thread_local std::vector<double> scratch;
                thread_local std::vector<double> out;
                scratch.resize(static_cast<std::size_t>(kGroup * width));
                out.resize(static_cast<std::size_t>(kGroup * model.msWidth));
                const float* const* rowsOf[kGroup];
                double* scratchOf[kGroup];
                double* outOf[kGroup];
                for (int p = 0; p < count; ++p) {
                    for (int t = 0; t < kMtfTaps; ++t) {
                        const std::int64_t y =
                            ClampIndex(ratio * (i + p) + half - kMtfHalo + t, model.height);
                        windows[p][t] = rows.samples.data() + (y - rows.first) * width;
                    }
                    rowsOf[p] = windows[p].data();
                    scratchOf[p] = scratch.data() + p * width;
                    outOf[p] = out.data() + p * model.msWidth;
                }
                FilterDecimateRowGroup(taps[g], count, rowsOf, width, ratio, half, model.msWidth,
                                       scratchOf, outOf);
                for (int p = 0; p < count; ++p) {
                    std::copy(outOf[p], outOf[p] + model.msWidth,
                              degraded.begin() + (g * block + i + p - i0) * model.msWidth);
                }
            },
            pump);
        if (!going) return StepResult::Cancelled;
        for (int g = 0; g < lows; ++g) {
            if (!model.lows.WriteRows(g, i0, i1 - i0, degraded.data() + g * block * model.msWidth,
                                      host)) {
                return StepResult::Failed;
            }
        }
        reader.Join();
        if (!ahead && i1 < model.msHeight) readBlock(i1, blocks[0]);
    }
    return StepResult::Ok;
}

// A chunk of the fit's rows as read: every band's rows, then every degraded pan's, and which
// samples count where the scene is masked.
struct FitRows {
    std::vector<float> images;
    std::vector<std::uint8_t> valid;
    std::int64_t first = 0;
    std::int64_t rows = 0;
    enum class Outcome { Read, MsFailed, LowsFailed } outcome = Outcome::Read;
};

// Reads MS rows first .. first + rows − 1 into chunk (sized for `image` samples per image),
// without messages: from any one thread at a time.
void ReadFitRows(const InjectionModel& model, std::int64_t first, std::int64_t rows,
                 std::int64_t image, FitRows& chunk)
{
    chunk.first = first;
    chunk.rows = rows;
    std::vector<float*> bands;
    for (int k = 0; k < model.bands; ++k) bands.push_back(chunk.images.data() + k * image);
    if (!ReadMsRows(model, first, rows, bands.data()) ||
        (model.scene.Masked() && !model.scene.ReadMsValid(first, rows, chunk.valid.data()))) {
        chunk.outcome = FitRows::Outcome::MsFailed;
        return;
    }
    for (int g = 0; g < model.lows.Count(); ++g) {
        float* to = chunk.images.data() + (model.bands + g) * image;
        if (!model.lows.GetRows(g, first, rows, to)) {
            chunk.outcome = FitRows::Outcome::LowsFailed;
            return;
        }
    }
    chunk.outcome = FitRows::Outcome::Read;
}

// One pass over the MS rows and the degraded pans, a chunk of rows at a time, with which
// samples count where the scene is masked. With more than one core, the next chunk is read on
// another thread while the visit takes the last one (two chunks of half the size, so the
// memory stays the same); the visit sees the same samples in the same order either way.
StepResult PassOverMsRows(const InjectionModel& model, const FitVisitor& visit,
                          const std::string& readFailure, Host& host,
                          const std::function<bool()>& pump)
{
    if (model.msHeight <= 0) return StepResult::Ok;
    const int images = model.bands + model.lows.Count();
    const bool masked = model.scene.Masked();
    const bool ahead = WorkerThreads(2) > 1;
    const std::int64_t rowBytes =
        model.msWidth * (static_cast<std::int64_t>(sizeof(float)) * images + (masked ? 1 : 0));
    const std::int64_t chunkRows = std::clamp<std::int64_t>(
        model.fitChunkRows > 0 ? model.fitChunkRows
                               : kInjectionBufferBytes / (ahead ? 2 : 1) / rowBytes,
        1, model.msHeight);
    const std::int64_t image = chunkRows * model.msWidth;
    FitRows chunks[2];
    for (FitRows& chunk : chunks) {
        if (&chunk == &chunks[1] && !ahead) break;
        chunk.images.resize(static_cast<std::size_t>(images * image));
        chunk.valid.resize(masked ? static_cast<std::size_t>(image) : 0);
    }
    FitChunk fit;
    fit.bands.resize(static_cast<std::size_t>(model.bands));
    fit.lows.resize(static_cast<std::size_t>(model.lows.Count()));
    JoiningThread reader;
    const auto next = [&](std::int64_t first, FitRows& chunk) {
        ReadFitRows(model, first, std::min(chunkRows, model.msHeight - first), image, chunk);
    };
    next(0, chunks[0]);
    for (std::int64_t y0 = 0, c = 0; y0 < model.msHeight; y0 += chunkRows, c = ahead ? 1 - c : 0) {
        FitRows& chunk = chunks[c];
        if (chunk.outcome != FitRows::Outcome::Read) {
            reader.Join();
            host.ShowMessage(chunk.outcome == FitRows::Outcome::MsFailed ? readFailure
                                                                         : kWriteFailure);
            return StepResult::Failed;
        }
        const std::int64_t following = y0 + chunkRows;
        if (ahead && following < model.msHeight) {
            reader.Start(next, following, std::ref(chunks[1 - c]));
        }
        for (int i = 0; i < images; ++i) {
            const float* start = chunk.images.data() + i * image;
            if (i < model.bands) {
                fit.bands[i] = start;
            } else {
                fit.lows[i - model.bands] = start;
            }
        }
        fit.valid = masked ? chunk.valid.data() : nullptr;
        fit.count = chunk.rows * model.msWidth;
        visit(fit);
        const bool going = pump();
        reader.Join();
        if (!going) return StepResult::Cancelled;
        if (!ahead && following < model.msHeight) next(following, chunk);
    }
    return StepResult::Ok;
}

}  // namespace

InjectionModel::InjectionModel(const InjectionInputs& runInputs)
    : inputs(runInputs),
      recipe(*MethodRowOf(runInputs.method).injection),
      scene(inputs),
      ratio(runInputs.ratio),
      bands(static_cast<int>(runInputs.ms.size())),
      weight(runInputs.ms.size(), 0.0),
      gain(runInputs.ms.size(), 0.0),
      panScale(runInputs.ms.size(), 0.0),
      panOffset(runInputs.ms.size(), 0.0)
{
}

bool ReadPanRows(const InjectionModel& model, std::int64_t first, std::int64_t count, float* out)
{
    return model.scene.ReadPan(first, count, out);
}

bool ReadMsRows(const InjectionModel& model, std::int64_t first, std::int64_t count,
                float* const* out)
{
    return model.scene.ReadMs(first, count, out);
}

StepResult FitInjectionModel(InjectionModel& model, const std::string& readFailure, Host& host,
                             const std::function<bool()>& pump)
{
    const StepResult prepared = model.scene.Prepare(readFailure, host, pump);
    if (prepared != StepResult::Ok) return prepared;
    const SceneWindow& window = model.scene.Window();
    model.width = window.width;
    model.height = window.height;
    model.msWidth = window.width / model.ratio;
    model.msHeight = window.height / model.ratio;
    model.columns = AxisWeights(model.msWidth, model.ratio);
    model.rows = AxisWeights(model.msHeight, model.ratio);
    ChooseDegradationGains(model);
    const int lows = static_cast<int>(model.lowGains.size());
    if (lows > 0) {
        if (!model.lows.Create(model.inputs.tempBeside, lows, model.msWidth, model.msHeight,
                               host)) {
            return StepResult::Failed;
        }
        const StepResult result = DegradePan(model, readFailure, host, pump);
        if (result != StepResult::Ok) return result;
    }
    StepResult result = model.recipe.fit(model, [&](const FitVisitor& visit) {
        return PassOverMsRows(model, visit, readFailure, host, pump);
    });
    if (result != StepResult::Ok) return result;
    if (!pump()) return StepResult::Cancelled;
    if (model.recipe.correct) result = model.recipe.correct(model, readFailure, host, pump);
    if (!model.recipe.lowPassPans) model.lows.Release();
    return result;
}

}  // namespace lumesta
