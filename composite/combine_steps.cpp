#include "composite/combine_steps.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <type_traits>
#include <vector>

#include "core/allocate.h"
#include "raster/band_io.h"
#include "raster/bmp_writer.h"
#include "raster/file_name.h"
#include "raster/input_extract.h"
#include "raster/geotiff/geotiff_write.h"

namespace lumesta {
namespace {

const char kLengthProblem[] = "Error! reading an image  file - length problem.";
constexpr int kStripCount = 8;

// Forwards everything to the run's host and notes whether a message was shown, for callees
// that fail both with and without a message of their own.
class MessageWatch : public Host {
public:
    explicit MessageWatch(Host& host) : m_host(host) {}
    void ShowMessage(const std::string& text) override
    {
        m_shown = true;
        m_host.ShowMessage(text);
    }
    bool AskYesNo(const std::string& question) override { return m_host.AskYesNo(question); }
    void AppendLog(const std::string& bytes) override { m_host.AppendLog(bytes); }
    void PumpPendingMessages() override { m_host.PumpPendingMessages(); }
    bool IsCancelled() const override { return m_host.IsCancelled(); }
    std::unique_ptr<RunProgress> OpenProgress(const std::string& caption,
                                              ProgressOwner owner) override
    {
        return m_host.OpenProgress(caption, owner);
    }
    void OpenInViewer(ViewerKind kind, const std::string& path) override
    {
        m_host.OpenInViewer(kind, path);
    }
    void SetBusyCursor(bool on) override { m_host.SetBusyCursor(on); }
    bool Shown() const { return m_shown; }

private:
    Host& m_host;
    bool m_shown = false;
};

// Reads byteCount bytes or shows the length message: a band that holds fewer samples than the
// image size cannot be stretched.
bool ReadExactly(const RawFile& file, std::int64_t offset, std::int64_t byteCount, void* buffer,
                 Host& host)
{
    if (file.ReadAt(offset, byteCount, buffer) == byteCount) return true;
    host.ShowMessage(kLengthProblem);
    return false;
}

// Bytes of a band read at a time for its histogram and of picture rows written at a time:
// the memory of a run does not grow with the image.
constexpr std::int64_t kChunkBytes = std::int64_t{4} << 20;

// The cutoffs with no data: a pixel that is no data in any band counts in none of the
// histograms (it is given the value 0, which the cutoffs do not count).
template <typename Sample>
StepResult ComputeMaskedCutoffsOf(CombineRunState& state)
{
    const StretchParams& stretch = state.job.stretch;
    const auto marker = static_cast<Sample>(*state.job.noData);
    const std::int64_t samples = state.width * state.height;
    const std::int64_t chunk = std::min<std::int64_t>(samples, kChunkBytes / sizeof(Sample));
    std::array<std::vector<Sample>, 3> bands;
    std::vector<StretchHistogram> histograms;
    for (int b = kCompositeBlue; b <= kCompositeRed; ++b) {
        if (!TryAllocate(bands[b], chunk, state.host)) return StepResult::Failed;
        histograms.emplace_back(sizeof(Sample) == 2 ? 2048 : 256);
    }
    const auto bytes = static_cast<std::int64_t>(sizeof(Sample));
    for (std::int64_t first = 0; first < samples; first += chunk) {
        const std::int64_t count = std::min(chunk, samples - first);
        for (int b = kCompositeBlue; b <= kCompositeRed; ++b) {
            if (!ReadExactly(*state.source[b], state.byteOffset[b] + first * bytes, count * bytes,
                             bands[b].data(), state.host)) {
                return StepResult::Failed;
            }
        }
        for (std::int64_t i = 0; i < count; ++i) {
            if (bands[0][i] != marker && bands[1][i] != marker && bands[2][i] != marker) continue;
            for (auto& band : bands) band[i] = 0;
        }
        for (int b = kCompositeBlue; b <= kCompositeRed; ++b) histograms[b].Add(count, bands[b].data());
        state.host.PumpPendingMessages();
    }
    for (int b = kCompositeBlue; b <= kCompositeRed; ++b) {
        state.cutoffs[b] = histograms[b].Cutoffs(stretch.leftCutoff[b], stretch.rightCutoff[b]);
    }
    return StepResult::Ok;
}

template <typename Sample>
StepResult ComputeCutoffsOf(CombineRunState& state)
{
    if (state.job.noData) return ComputeMaskedCutoffsOf<Sample>(state);
    const StretchParams& stretch = state.job.stretch;
    const std::int64_t samples = state.width * state.height;
    const std::int64_t chunk = std::min<std::int64_t>(samples, kChunkBytes / sizeof(Sample));
    std::vector<Sample> band;
    if (!TryAllocate(band, chunk, state.host)) return StepResult::Failed;
    for (int b = kCompositeBlue; b <= kCompositeRed; ++b) {
        StretchHistogram histogram(sizeof(Sample) == 2 ? 2048 : 256);
        for (std::int64_t first = 0; first < samples; first += chunk) {
            const std::int64_t count = std::min(chunk, samples - first);
            if (!ReadExactly(*state.source[b], state.byteOffset[b] + first * static_cast<std::int64_t>(sizeof(Sample)),
                             count * static_cast<std::int64_t>(sizeof(Sample)), band.data(), state.host)) {
                return StepResult::Failed;
            }
            histogram.Add(count, band.data());
        }
        state.host.PumpPendingMessages();
        state.cutoffs[b] = histogram.Cutoffs(stretch.leftCutoff[b], stretch.rightCutoff[b]);
    }
    return StepResult::Ok;
}

// The byte of every possible sample value of one band, so the pixel loop is a table look-up.
// A band with strength 0 keeps its linear byte.
template <typename Sample>
std::vector<std::uint8_t> StretchTable(const StretchCutoffs& cutoffs, int strength)
{
    using Index = std::make_unsigned_t<Sample>;
    constexpr std::size_t kValues = std::size_t{1} << (8 * sizeof(Sample));
    std::vector<std::uint8_t> table(kValues);
    for (std::size_t raw = 0; raw < kValues; ++raw) {
        const auto value = static_cast<Sample>(static_cast<Index>(raw));
        table[raw] = StretchByte(value, cutoffs.low, cutoffs.high, strength);
    }
    return table;
}

// Lines of BMP rows written at a time: a few megabytes, within the first strip.
std::int32_t PieceLines(const CombineRunState& state)
{
    const std::int64_t stride = std::max<std::int64_t>(1, BmpRowStride(state.width));
    const std::int32_t maxLines = BmpStripOf(static_cast<std::int32_t>(state.height), 0).lineCount;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(kChunkBytes / stride, 1, std::max(1, maxLines)));
}

// Buffers of the picture loop: a piece of BMP rows and one line per band.
template <typename Sample>
struct StripBuffers {
    std::vector<std::uint8_t> rows;
    std::array<std::vector<Sample>, 3> lines;
    std::array<std::vector<std::uint8_t>, 3> tables;
};

template <typename Sample>
bool AllocateStripBuffers(const CombineRunState& state, StripBuffers<Sample>& buffers)
{
    if (!TryAllocate(buffers.rows, BmpRowStride(state.width) * PieceLines(state), state.host)) return false;
    for (int b = kCompositeBlue; b <= kCompositeRed; ++b) {
        if (!TryAllocate(buffers.lines[b], state.width, state.host)) return false;
        buffers.tables[b] = StretchTable<Sample>(state.cutoffs[b], state.job.stretch.nonlinear[b]);
    }
    return true;
}

// Reads one image line of each band and stores its blue, green, red bytes into a BMP row.
template <typename Sample>
bool BuildRow(const CombineRunState& state, std::int64_t line, StripBuffers<Sample>& buffers,
              std::uint8_t* row)
{
    using Index = std::make_unsigned_t<Sample>;
    const std::int64_t lineBytes = state.width * state.BytesPerSample();
    for (int b = kCompositeBlue; b <= kCompositeRed; ++b) {
        if (!ReadExactly(*state.source[b], state.byteOffset[b] + line * lineBytes, lineBytes,
                         buffers.lines[b].data(), state.host)) {
            return false;
        }
    }
    const Sample* blue = buffers.lines[kCompositeBlue].data();
    const Sample* green = buffers.lines[kCompositeGreen].data();
    const Sample* red = buffers.lines[kCompositeRed].data();
    const std::uint8_t* blueTable = buffers.tables[kCompositeBlue].data();
    const std::uint8_t* greenTable = buffers.tables[kCompositeGreen].data();
    const std::uint8_t* redTable = buffers.tables[kCompositeRed].data();
    for (std::int64_t x = 0; x < state.width; ++x) {
        row[3 * x] = blueTable[static_cast<Index>(blue[x])];
        row[3 * x + 1] = greenTable[static_cast<Index>(green[x])];
        row[3 * x + 2] = redTable[static_cast<Index>(red[x])];
    }
    if (!state.job.noData) return true;
    // A pixel that is no data in any band is black.
    const auto marker = static_cast<Sample>(*state.job.noData);
    for (std::int64_t x = 0; x < state.width; ++x) {
        if (blue[x] == marker || green[x] == marker || red[x] == marker) {
            row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = 0;
        }
    }
    return true;
}

template <typename Sample>
StepResult WriteStrips(CombineRunState& state, BmpStripWriter& writer, RunProgress& progress,
                        StripBuffers<Sample>& buffers)
{
    const auto height = static_cast<std::int32_t>(state.height);
    const std::int64_t stride = BmpRowStride(state.width);
    const std::int32_t pieceLines = PieceLines(state);
    for (int strip = 0; strip < kStripCount; ++strip) {
        const BmpStrip part = BmpStripOf(height, strip);
        for (std::int32_t first = 0; first < part.lineCount; first += pieceLines) {
            const std::int32_t count = std::min(pieceLines, part.lineCount - first);
            for (std::int32_t i = 0; i < count; ++i) {
                const std::int64_t line = part.firstLine + first + i;
                progress.SetPosition(static_cast<int>(line * 100 / state.height));
                progress.PumpMessages(true);
                if (progress.IsCancelled()) return StepResult::Cancelled;
                // Pieces are stored bottom-up: the piece's last line is its first row.
                std::uint8_t* row = buffers.rows.data() + (count - 1 - i) * stride;
                if (!BuildRow(state, line, buffers, row)) return StepResult::Failed;
            }
            if (!writer.WriteStrip(part.firstLine + first, count, buffers.rows.data(), state.host)) {
                return StepResult::Failed;
            }
        }
    }
    if (!writer.Close()) {
        state.host.ShowMessage("Error during writing image");
        return StepResult::Failed;
    }
    return StepResult::Ok;
}

template <typename Sample>
StepResult WriteBmpOf(CombineRunState& state)
{
    StripBuffers<Sample> buffers;
    if (!AllocateStripBuffers(state, buffers)) return StepResult::Failed;
    BmpStripWriter writer;
    // A folder that takes no new file fails in Create with the writer's message.
    const std::string path = state.runFiles.StageOutput(state.job.bmpPath);
    if (!writer.Create(path, static_cast<std::int32_t>(state.width),
                       static_cast<std::int32_t>(state.height), state.host)) {
        return StepResult::Failed;
    }
    const auto progress = state.host.OpenProgress("Writing 24-bit BMP ...", ProgressOwner::Window);
    progress->SetRange(0, 100, 1);
    progress->SetStatusText("Press Cancel to stop ...\n\n");
    return WriteStrips(state, writer, *progress, buffers);
}

}  // namespace

bool WritesCompositeBmp(const BandCombinationJob& job)
{
    return job.outputs != CombineOutputs::GeoTiffOnly;
}

bool WritesCompositeGeoTiff(const BandCombinationJob& job)
{
    return job.outputs != CombineOutputs::BmpOnly && job.inputKind == ".tif" && job.geoTiffOutput;
}

StepResult ExtractGeoTiffInputs(CombineRunState& state)
{
    const BandCombinationJob& job = state.job;
    for (int b = kCompositeBlue; b <= kCompositeRed; ++b) {
        // An empty name (no folder takes a new file) fails in the extraction with its message.
        const std::string temporary = state.runFiles.CreateTemp(job.folder);
        const int band = HasMultiBandInput(job) ? job.selectedIndex[b] : -1;
        const int extracted = ExtractInputBands(job.bandPath[b], temporary, band, state.host);
        if (extracted == 0) {
            state.host.ShowMessage("Error: Extracting Ms band ...");
            return StepResult::Stopped;
        }
        state.readPath[b] = temporary;
        state.byteOffset[b] = 0;
    }
    std::array<std::int64_t, 3> lengths{};
    for (int b = kCompositeBlue; b <= kCompositeRed; ++b) {
        lengths[b] = GetDataBlockLength(state.readPath[b], state.host);
    }
    if (lengths[0] == 0 || lengths[0] != lengths[1] || lengths[0] != lengths[2]) {
        state.host.ShowMessage("The file size of Ms bands is not the same.");
        state.runFiles.RemoveTemporaries();
        return StepResult::Failed;
    }
    return StepResult::Ok;
}

StepResult OpenBandFiles(CombineRunState& state)
{
    static const char kOpenFailure[] = "Error: Integer/Binary - ReadDataBlock for Step 1";
    // A multi-band ENVI file is opened once and read at each band's offset.
    const bool oneFile = state.job.inputKind == ".img" && HasMultiBandInput(state.job);
    for (int b = kCompositeBlue; b <= kCompositeRed; ++b) {
        if (oneFile && b > kCompositeBlue) {
            state.source[b] = &state.files[kCompositeBlue];
            continue;
        }
        if (!state.files[b].OpenForReading(state.readPath[b])) {
            state.host.ShowMessage(kOpenFailure);
            return StepResult::Failed;
        }
        state.source[b] = &state.files[b];
    }
    return StepResult::Ok;
}

StepResult ComputeBandCutoffs(CombineRunState& state)
{
    return state.job.depth == CombineDepth::Sixteen ? ComputeCutoffsOf<std::int16_t>(state)
                                                    : ComputeCutoffsOf<std::uint8_t>(state);
}

StepResult WriteCompositeBmp(CombineRunState& state)
{
    const StepResult result = state.job.depth == CombineDepth::Sixteen
                                  ? WriteBmpOf<std::int16_t>(state)
                                  : WriteBmpOf<std::uint8_t>(state);
    return result;
}

StepResult WriteCompositeGeoTiff(CombineRunState& state)
{
    const BandCombinationJob& job = state.job;
    for (const auto& input : job.bandPath) {
        // The result is renamed into place: one named like an input would replace it.
        if (!SamePath(input, job.geoTiffPath)) continue;
        state.host.ShowMessage("Error with GeoTIFF writing.\n");
        return StepResult::Failed;
    }
    MessageWatch watch(state.host);
    const std::string path = state.runFiles.StageOutput(job.geoTiffPath);
    const int written =
        WriteGeoTiff(job.bandPath[kCompositeBlue], path, state.readPath[kCompositeRed],
                     state.readPath[kCompositeGreen], state.readPath[kCompositeBlue],
                     static_cast<int>(state.BytesPerSample()), false, watch, job.noData);
    if (written != 0) {
        state.geoTiffWritten = true;
        return StepResult::Ok;
    }
    // The writer removes its own partial output.
    if (!watch.Shown()) state.host.ShowMessage("Error with GeoTIFF writing.\n");
    return StepResult::Failed;
}

}  // namespace lumesta
