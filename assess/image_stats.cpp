#include "assess/image_stats.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

#include "core/allocate.h"
#include "core/confirm_overwrite.h"
#include "core/truncate.h"
#include "core/wait_cursor.h"
#include "assess/assess_run.h"
#include "assess/level_pyramid.h"
#include "assess/level_statistics.h"

namespace lumesta {
namespace {

bool ValidateImageStatsJob(const ImageStatsJob& job, Host& host)
{
    static const char kWrongLevel[] = "Please input correct level number.";
    const AssessInput& input = job.input;
    if (!CheckFileNamesGiven(!input.inputName.empty() && !job.outputPath.empty(), host))
        return false;
    if (!CheckSizeGiven(input, host)) return false;
    if (job.level < 0) {
        host.ShowMessage(kWrongLevel);
        return false;
    }
    if (!CheckSizeLimits(input, 16000, host)) return false;
    return CheckMaximumLevel(job.level, input, 3, host);
}

void WriteSpecifications(const ImageStatsJob& job, RunLog& log)
{
    log.Append("(b) Specifications:\r\n");
    log.Append("Multi-Resolution Level(s): \t" + std::to_string(job.level) + "\r\n\r\n");
    log.Append("(c) Output Multi-resolution Image Statistics:\r\n");
    log.Append("Output:\t" + job.outputPath + "\r\n\r\n");
}

// The progress total counts the base samples and the block means as if every level were
// exactly a quarter of the one before, once for each of the two walks over the band.
std::int64_t ProgressTotal(const ImageStatsJob& job)
{
    std::int64_t total = 0;
    const double samples = static_cast<double>(SampleCount(job.input));
    for (int k = 0; k <= job.level; ++k)
        total += static_cast<std::int64_t>(samples / std::pow(4.0, k));
    return 2 * total;
}

// One walk over the band: reads it a strip at a time, converts each sample to a float (one
// progress unit each) and passes the lines of every level to the sink. Stopped (after its
// message) on a failed read, Cancelled on Cancel.
template <typename T>
RunOutcome WalkBand(const AssessBandStrips& strips, const std::vector<LevelSize>& sizes,
                    const std::optional<double>& noData, ProgressCounter& counter,
                    const LevelPyramid::LineSink& sink, Host& host)
{
    const int width = sizes[0].width;
    const int height = sizes[0].height;
    const int stripLines = strips.LinesPerStrip();
    std::vector<T> strip;
    std::vector<float> line;
    LevelPyramid pyramid(sizes);
    if (!TryAllocate(strip, static_cast<std::int64_t>(stripLines) * width, host) ||
        !TryAllocate(line, width, host) || !pyramid.Allocate(host)) {
        return RunOutcome::Stopped;
    }
    for (int first = 0; first < height; first += stripLines) {
        const int count = std::min(stripLines, height - first);
        if (!strips.Read(first, count, strip.data(), host)) return RunOutcome::Stopped;
        for (int i = 0; i < count; ++i) {
            const T* samples = strip.data() + static_cast<std::int64_t>(i) * width;
            if (!counter.AdvanceBy(width)) return RunOutcome::Cancelled;
            for (int j = 0; j < width; ++j) {
                line[static_cast<std::size_t>(j)] = static_cast<float>(samples[j]);
            }
            if (noData) {  // no data is NaN from here on
                for (int j = 0; j < width; ++j) {
                    if (samples[j] == *noData) line[static_cast<std::size_t>(j)] = std::nanf("");
                }
            }
            if (!pyramid.TakeBaseLine(line.data(), counter, sink)) return RunOutcome::Cancelled;
        }
    }
    return pyramid.Finish(counter, sink) ? RunOutcome::Finished : RunOutcome::Cancelled;
}

// Every level's statistics in two walks over the band (the sums, minimum and maximum first,
// then the sums that need the mean), so that no level is ever held whole.
RunOutcome ComputeLevels(const ImageStatsJob& job, SampleKind kind, RunProgress& progress,
                         std::vector<LevelSize>& sizes, std::vector<LevelStatistics>& rows,
                         Host& host)
{
    for (int k = 1; k <= job.level; ++k) sizes[k] = NextLevelSize(sizes[k - 1]);
    std::vector<LevelAccumulator> levels;
    for (const LevelSize& size : sizes)
        levels.emplace_back(static_cast<std::int64_t>(size.width) * size.height);
    AssessBandStrips strips(job.input, kind);
    if (!strips.Open(host)) return RunOutcome::Stopped;
    StartAssessProgress(progress);
    ProgressCounter counter(progress, ProgressTotal(job));
    const auto walk = [&](const LevelPyramid::LineSink& sink) {
        return kind == SampleKind::Bits16
                   ? WalkBand<std::int16_t>(strips, sizes, job.noData, counter, sink, host)
                   : WalkBand<std::uint8_t>(strips, sizes, job.noData, counter, sink, host);
    };
    RunOutcome outcome = walk([&](int level, const float* line, int width) {
        levels[static_cast<std::size_t>(level)].TakeFirst(line, width);
    });
    if (outcome != RunOutcome::Finished) return outcome;
    for (LevelAccumulator& level : levels) level.StartSecondWalk();
    outcome = walk([&](int level, const float* line, int width) {
        levels[static_cast<std::size_t>(level)].TakeSecond(line, width);
    });
    if (outcome != RunOutcome::Finished) return outcome;
    for (std::size_t k = 0; k < levels.size(); ++k) rows[k] = levels[k].Finish();
    return RunOutcome::Finished;
}

}  // namespace

RunOutcome ComputeImageStatistics(ImageStatsJob& job, RunCounters& counters, Host& host)
{
    WaitCursorScope busy(host);
    if (!ValidateImageStatsJob(job, host)) return RunOutcome::Stopped;
    RunLog log(counters, host);
    const std::optional<SampleKind> kind =
        OpenAssessReport(Tool::ImageStatistics, "========= Multi-Resolution Image Statistics (",
                         ") ==========\r\n\r\n", job.input, log, host);
    if (!kind) return RunOutcome::Stopped;
    WriteSpecifications(job, log);
    if (!ConfirmAssessOutput(job.outputPath, job.input, host)) {
        log.Append(kAssessUnsuccessful);
        return RunOutcome::Stopped;
    }
    std::vector<LevelSize> sizes;
    std::vector<LevelStatistics> rows;
    if (!TryAllocate(sizes, job.level + 1, host) || !TryAllocate(rows, job.level + 1, host)) {
        log.Append(kAssessUnsuccessful);
        return RunOutcome::Stopped;
    }
    sizes[0] = {job.input.width, job.input.height};
    // The run's one step, as the progress window names it.
    static const char kStep[] = "Computing the statistics of each level";
    const std::unique_ptr<RunProgress> progress = OpenAssessProgress(host, kStep);
    const RunOutcome outcome = ComputeLevels(job, *kind, *progress, sizes, rows, host);
    if (outcome != RunOutcome::Finished) {
        log.Append(outcome == RunOutcome::Cancelled ? kAssessCancelled : kAssessUnsuccessful);
        return outcome;
    }
    // A table that could not be written is a failed run, not a finished one.
    if (!WriteStatisticsTable(job.outputPath, sizes, rows, host)) {
        log.Append(kAssessUnsuccessful);
        return RunOutcome::Stopped;
    }
    host.OpenInViewer(ViewerKind::Text, job.outputPath);
    log.Append(kAssessFinished);
    return RunOutcome::Finished;
}

}  // namespace lumesta
