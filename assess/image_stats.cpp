#include "assess/image_stats.h"

#include <cmath>
#include <memory>
#include <optional>
#include <vector>

#include "core/allocate.h"
#include "core/confirm_overwrite.h"
#include "core/truncate.h"
#include "core/wait_cursor.h"
#include "assess/assess_run.h"
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
// exactly a quarter of the one before.
std::int64_t ProgressTotal(const ImageStatsJob& job)
{
    std::int64_t total = 0;
    const double samples = static_cast<double>(SampleCount(job.input));
    for (int k = 0; k <= job.level; ++k)
        total += static_cast<std::int64_t>(samples / std::pow(4.0, k));
    return total;
}

// Reads the band and converts it to floats, one progress unit per sample. The band is released
// on return. Stopped (after its message) when it cannot be had, Cancelled on Cancel.
template <typename T>
RunOutcome ReadLevelZero(const ImageStatsJob& job, SampleKind kind, std::vector<float>& level,
                         ProgressCounter& counter, RunProgress& progress, Host& host)
{
    std::vector<T> band;
    if (!TryAllocate(band, SampleCount(job.input), host) ||
        !ReadAssessBand(job.input, kind, band.data(), host)) {
        return RunOutcome::Stopped;
    }
    StartAssessProgress(progress);
    for (std::size_t i = 0; i < band.size(); ++i) {
        if (!counter.Advance()) return RunOutcome::Cancelled;
        level[i] = static_cast<float>(band[i]);
    }
    return RunOutcome::Finished;
}

// Level 0 and every further level with its statistics; the previous level is released as soon
// as the next one is built.
RunOutcome ComputeLevels(const ImageStatsJob& job, SampleKind kind, RunProgress& progress,
                         std::vector<LevelSize>& sizes, std::vector<LevelStatistics>& rows,
                         Host& host)
{
    ProgressCounter counter(progress, ProgressTotal(job));
    std::vector<float> level;
    if (!TryAllocate(level, SampleCount(job.input), host)) return RunOutcome::Stopped;
    const RunOutcome read =
        kind == SampleKind::Bits16
            ? ReadLevelZero<std::int16_t>(job, kind, level, counter, progress, host)
            : ReadLevelZero<std::uint8_t>(job, kind, level, counter, progress, host);
    if (read != RunOutcome::Finished) return read;
    rows[0] = ComputeLevelStatistics(level.data(), static_cast<std::int64_t>(level.size()));
    for (int k = 1; k <= job.level; ++k) {
        const LevelSize size = NextLevelSize(sizes[k - 1]);
        std::vector<float> next;
        if (!TryAllocate(next, static_cast<std::int64_t>(size.width) * size.height, host)) {
            return RunOutcome::Stopped;
        }
        if (!BuildNextLevel(level.data(), sizes[k - 1], next.data(), counter)) {
            return RunOutcome::Cancelled;
        }
        rows[k] = ComputeLevelStatistics(next.data(), static_cast<std::int64_t>(next.size()));
        sizes[k] = size;
        level.swap(next);
    }
    return RunOutcome::Finished;
}

}  // namespace

RunOutcome ComputeImageStatistics(ImageStatsJob& job, RunCounters& counters, Host& host)
{
    WaitCursorScope busy(host);
    if (!ValidateImageStatsJob(job, host)) return RunOutcome::Stopped;
    RunLog log(counters, host);
    const std::int32_t number = log.OpenBlock(Tool::ImageStatistics);
    log.Append("========= Multi-Resolution Image Statistics (" + std::to_string(number) +
               ") ==========\r\n\r\n");
    const std::optional<SampleKind> kind = WriteInputSection(job.input, log, host);
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
    const std::unique_ptr<RunProgress> progress = OpenAssessProgress(host);
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
