#include "assess/haar_transform.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/allocate.h"
#include "core/confirm_overwrite.h"
#include "core/run_files.h"
#include "core/truncate.h"
#include "core/wait_cursor.h"
#include "assess/assess_browse.h"
#include "assess/assess_run.h"
#include "assess/haar_cascade.h"
#include "assess/haar_header.h"
#include "assess/haar_picture.h"
#include "raster/raw_file.h"
#include "raster/world_file.h"

namespace lumesta {
namespace {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the float raster is written in the host's byte order, which must be little-endian");

// 1/√2 rounded to single precision.
constexpr float kInverseSqrt2 = 0.70710677f;

void ShowWriteFailure(Host& host)
{
    static const char kCannotWrite[] = "Error: Writing to float/binary file.";
    host.ShowMessage(kCannotWrite);
}

bool IsPowerOfTwo(int side)
{
    for (int e = 0; e <= 19; ++e) {
        if (static_cast<double>(side) == std::pow(2.0, e)) return true;
    }
    return false;
}

bool ValidateHaarJob(const HaarJob& job, Host& host)
{
    static const char kNoLevels[] = "Please input down-sampling level.";
    const AssessInput& input = job.input;
    if (!CheckFileNamesGiven(
            !input.inputName.empty() && !job.outputImagePath.empty() && !job.bmpPath.empty(),
            host)) {
        return false;
    }
    if (!CheckSizeGiven(input, host)) return false;
    // A negative count of levels would decompose nothing: refused as 0 is.
    if (job.levels <= 0) {
        host.ShowMessage(kNoLevels);
        return false;
    }
    if (!CheckSizeLimits(input, 16000, host)) return false;
    if (!IsPowerOfTwo(input.width) || !IsPowerOfTwo(input.height)) {
        host.ShowMessage("The image size of " + std::to_string(input.width) + "*" +
                         std::to_string(input.height) +
                         " is not supported. \r\nBoth image width and height should be the power "
                         "of 2, e.g., 512, 1024. ");
        return false;
    }
    return CheckMaximumLevel(job.levels, input, 4, host);
}

void WriteSpecifications(const HaarJob& job, RunLog& log)
{
    log.Append("(b) Specifications:\r\n");
    log.Append("Down-sampling level(s): \t" + std::to_string(job.levels) + "\r\n");
    if (job.waveletIndex == 0) log.Append("Selected Wavelet:\t\tHaar\r\n");
    log.Append(job.form == HaarForm::Half ? "Haar wavelet coefficent form:\t1/2\r\n\r\n"
                                          : "Haar wavelet coefficent form:\t1/sqrt(2)\r\n\r\n");
    log.Append("(c) Output Image Name:\r\n");
    log.Append("Image:\t\t" + job.outputImagePath + "\r\n");
    log.Append("24-bit BMP:\t" + job.bmpPath + "\r\n\r\n");
}

// Creates the float raster at its full length; false after the message.
bool CreateRaster(RawFile& raster, const std::string& path, std::int64_t bytes, Host& host)
{
    static const char kLastByte = 0;
    if (!raster.CreateForReadWrite(path) ||
        (bytes > 0 && !raster.WriteAt(bytes - 1, 1, &kLastByte))) {
        ShowWriteFailure(host);
        return false;
    }
    return true;
}

std::int64_t ProgressTotal(const HaarJob& job)
{
    const double samples = static_cast<double>(SampleCount(job.input));
    std::int64_t total = 0;
    for (int k = 1; k <= job.levels; ++k)
        total += static_cast<std::int64_t>(samples / std::pow(4.0, k));
    return total;
}

// Reads the band a strip at a time (8-bit samples zero-extended, 16-bit ones signed) and feeds
// its lines to the cascade.
template <typename T>
RunOutcome FeedBand(const AssessBandStrips& strips, const AssessInput& input,
                    const std::optional<double>& noData, HaarCascade& cascade, Host& host)
{
    const int stripLines = strips.LinesPerStrip();
    std::vector<T> strip;
    std::vector<std::int32_t> line;
    std::vector<std::uint8_t> valid;
    if (!TryAllocate(strip, static_cast<std::int64_t>(stripLines) * input.width, host) ||
        !TryAllocate(line, input.width, host) ||
        (noData && !TryAllocate(valid, input.width, host))) {
        return RunOutcome::Stopped;
    }
    for (int first = 0; first < input.height; first += stripLines) {
        const int count = std::min(stripLines, input.height - first);
        if (!strips.Read(first, count, strip.data(), host)) return RunOutcome::Stopped;
        for (int i = 0; i < count; ++i) {
            const T* samples = strip.data() + static_cast<std::int64_t>(i) * input.width;
            std::copy(samples, samples + input.width, line.begin());
            if (noData) {
                for (int j = 0; j < input.width; ++j) {
                    valid[static_cast<std::size_t>(j)] = samples[j] == *noData ? 0 : 1;
                }
            }
            const RunOutcome outcome = noData ? cascade.TakeBandLine(line.data(), valid.data())
                                              : cascade.TakeBandLine(line.data());
            if (outcome != RunOutcome::Finished) return outcome;
        }
    }
    return RunOutcome::Finished;
}

// Decomposes the band into the raster with the progress window; the sub-band ranges go to
// ranges.
RunOutcome Decompose(const HaarJob& job, SampleKind kind, const RawFile& raster,
                     HaarRanges& ranges, Host& host)
{
    // The run's one step, as the progress window names it.
    static const char kStep[] = "Transforming the band level by level";
    std::unique_ptr<RunProgress> progress = OpenAssessProgress(host, kStep);
    AssessBandStrips strips(job.input, kind);
    if (!strips.Open(host)) return RunOutcome::Stopped;
    StartAssessProgress(*progress);
    ProgressCounter counter(*progress, ProgressTotal(job));
    const float factor = job.form == HaarForm::Half ? 0.5f : kInverseSqrt2;
    HaarCascade cascade(job.input.width, job.input.height, job.levels, factor, raster, counter,
                        host);
    if (!cascade.Allocate()) return RunOutcome::Stopped;
    const RunOutcome outcome = kind == SampleKind::Bits16
                                   ? FeedBand<std::int16_t>(strips, job.input, job.noData, cascade, host)
                                   : FeedBand<std::uint8_t>(strips, job.input, job.noData, cascade,
                                                            host);
    if (outcome != RunOutcome::Finished) return outcome;
    // A band of no data only leaves every range empty: nothing to show.
    if (cascade.Ranges().back()[0].minimum > cascade.Ranges().back()[0].maximum) {
        host.ShowMessage("The band holds no data only.");
        return RunOutcome::Stopped;
    }
    progress->SetPosition(0);
    ranges = cascade.Ranges();
    return RunOutcome::Finished;
}

// The range of the whole raster: every detail sub-band and the last level's approximation.
HaarRange RasterRange(const HaarRanges& ranges)
{
    HaarRange range;
    for (const auto& level : ranges) {
        for (std::size_t s = 1; s < 4; ++s) range.Take(level[s]);
    }
    range.Take(ranges.back()[0]);
    return range;
}

// Adds the declaration that NaN marks no data to the end of an ENVI header.
bool DeclareNaNNoData(const std::string& headerPath, Host& host)
{
    static const char kLine[] = "\r\ndata ignore value = nan";
    std::FILE* file = std::fopen(headerPath.c_str(), "ab");
    const bool written = file && std::fwrite(kLine, 1, sizeof kLine - 1, file) == sizeof kLine - 1;
    if (file && std::fclose(file) == 0 && written) return true;
    host.ShowMessage("Error - when writing to the output file!");
    return false;
}

// Declares NaN as the flag value (background) of an Idrisi32 header: the header's flag value and
// flag definition lines take it, and those it lacks go before its lineage line.
bool DeclareNaNFlag(const std::string& headerPath, Host& host)
{
    std::string text;
    if (std::FILE* in = std::fopen(headerPath.c_str(), "rb")) {
        char chunk[4096];
        for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, in)) > 0;) text.append(chunk, got);
        std::fclose(in);
    }
    std::string missing;
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"flag value", "nan"},
                                     {"flag def'n", "background"}}) {
        const std::string line = key + std::string(12 - key.size(), ' ') + ": " + value;
        std::size_t at = 0;
        while (at < text.size() && text.compare(at, key.size(), key) != 0) {
            at = text.find('\n', at);
            at = at == std::string::npos ? text.size() : at + 1;
        }
        if (at >= text.size()) {
            missing += line + "\r\n";
            continue;
        }
        const std::size_t end = std::min(text.find_first_of("\r\n", at), text.size());
        text.replace(at, end - at, line);
    }
    const std::size_t lineage = text.rfind("\nlineage");
    text.insert(lineage == std::string::npos ? text.size() : lineage + 1, missing);
    std::FILE* out = std::fopen(headerPath.c_str(), "wb");
    const bool written = out && std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (out && std::fclose(out) == 0 && written) return true;
    host.ShowMessage("Error - when writing to the output file!");
    return false;
}

bool WriteHaarHeader(const HaarJob& job, const HaarRanges& ranges, Host& host)
{
    const AssessInput& input = job.input;
    if (input.extension == "img") {
        if (!WriteEnviHaarHeader(job.inputHeaderPath, job.outputHeaderPath, input.inputName,
                                 input.width, input.height, host)) {
            return false;
        }
        return !job.noData || DeclareNaNNoData(job.outputHeaderPath, host);
    }
    if (input.extension == "rst") {
        const HaarRange range = RasterRange(ranges);
        return WriteIdrisiHaarHeader(job.inputHeaderPath, input.inputPath, range.minimum,
                                     range.maximum, job.outputHeaderPath, host) &&
               (!job.noData || DeclareNaNFlag(job.outputHeaderPath, host));
    }
    return true;
}

// Ends the block for an outcome other than Finished.
RunOutcome Closing(RunOutcome outcome, RunLog& log)
{
    log.Append(outcome == RunOutcome::Cancelled ? kAssessCancelled : kAssessUnsuccessful);
    return outcome;
}

// Steps from the raster's creation to the end of the run. The raster, the picture and the
// header are written under names of the run's own and renamed into place when the run
// finishes; otherwise they are deleted.
RunOutcome DecomposeAndWrite(const HaarJob& job, SampleKind kind, RunLog& log, Host& host)
{
    RunFiles files;
    HaarJob staged = job;
    staged.outputImagePath = files.StageOutput(job.outputImagePath);
    RawFile raster;
    if (!CreateRaster(raster, staged.outputImagePath, 4 * SampleCount(job.input), host)) {
        return Closing(RunOutcome::Stopped, log);
    }
    HaarRanges ranges;
    RunOutcome outcome = Decompose(job, kind, raster, ranges, host);
    if (outcome != RunOutcome::Finished) return Closing(outcome, log);
    staged.bmpPath = files.StageOutput(job.bmpPath);
    outcome = WriteHaarPicture(raster, job.input.width, job.input.height, job.levels, ranges,
                               staged.bmpPath, host);
    if (outcome != RunOutcome::Finished) return Closing(outcome, log);
    if (host.IsCancelled()) return Closing(RunOutcome::Cancelled, log);
    if (!job.outputHeaderPath.empty()) {
        staged.outputHeaderPath = files.StageOutput(job.outputHeaderPath);
        if (!WriteHaarHeader(staged, ranges, host)) return Closing(RunOutcome::Stopped, log);
    }
    if (host.IsCancelled()) return Closing(RunOutcome::Cancelled, log);
    if (!raster.Close() || !files.Commit()) {
        ShowWriteFailure(host);
        return Closing(RunOutcome::Stopped, log);
    }
    // The picture lies on the input's grid: it takes the input's place on the ground.
    WriteWorldFilesFromInput(job.bmpPath, job.input.inputPath);
    log.Append(kAssessFinished);
    return RunOutcome::Finished;
}

}  // namespace

RunOutcome ComputeHaarTransform(HaarJob& job, RunCounters& counters, Host& host)
{
    WaitCursorScope busy(host);
    if (!ValidateHaarJob(job, host)) return RunOutcome::Stopped;
    RunLog log(counters, host);
    const std::optional<SampleKind> kind =
        OpenAssessReport(Tool::HaarWavelet, "******* Multi-Resolution Haar Wavelet Transforms (",
                         ") **********\r\n\r\n", job.input, log, host);
    if (!kind) return RunOutcome::Stopped;
    WriteSpecifications(job, log);
    // The header belongs beside the raster, wherever the raster was put.
    job.outputHeaderPath = HaarHeaderPathFor(job.outputImagePath, job.input.extension);
    if (!ConfirmAssessOutput(job.bmpPath, job.input, host) ||
        !ConfirmAssessOutput(job.outputImagePath, job.input, host) ||
        (!job.outputHeaderPath.empty() &&
         !CheckNotAnInput(job.outputHeaderPath, job.input, host))) {
        log.Append(kAssessUnsuccessful);
        return RunOutcome::Stopped;
    }
    return DecomposeAndWrite(job, *kind, log, host);
}

}  // namespace lumesta
