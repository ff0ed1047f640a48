#include "assess/semivariance.h"

#include <cstdio>
#include <memory>
#include <optional>

#include "core/allocate.h"
#include "core/confirm_overwrite.h"
#include "core/run_files.h"
#include "core/truncate.h"
#include "core/wait_cursor.h"
#include "assess/assess_run.h"
#include "assess/number_text.h"
#include "assess/semivariance_kernel.h"
#include "raster/text_reader.h"

namespace lumesta {
namespace {

bool ValidateSemivarianceJob(const SemivarianceJob& job, Host& host)
{
    static const char kNoMaxLag[] = "Please input the max lag number.";
    static const char kLagTooLarge[] = "Image is too small, or the max. lag is too large.";
    const AssessInput& input = job.input;
    if (!CheckFileNamesGiven(!input.inputName.empty() && !job.outputPath.empty(), host))
        return false;
    if (!CheckSizeGiven(input, host)) return false;
    // A negative lag would leave nothing to compute and no table to size: refused as 0 is.
    if (job.maxLag <= 0) {
        host.ShowMessage(kNoMaxLag);
        return false;
    }
    if (!CheckSizeLimits(input, 40000, host)) return false;
    if (static_cast<std::int64_t>(job.maxLag) >= static_cast<std::int64_t>(input.width) - 10 ||
        static_cast<std::int64_t>(job.maxLag) >= static_cast<std::int64_t>(input.height) - 10) {
        host.ShowMessage(kLagTooLarge);
        return false;
    }
    return true;
}

void WriteSpecifications(const SemivarianceJob& job, RunLog& log)
{
    log.Append("(b) Specifications:\r\n");
    log.Append("Maximum Lag Length: \t" + std::to_string(job.maxLag) + " pixels\r\n\r\n");
    log.Append("(c) Output Semivariance File:\r\n");
    log.Append("Output:\t" + job.outputPath + "\r\n\r\n");
}

bool AllocateTable(SemivarianceTable& table, int maxLag, Host& host)
{
    for (int o = 0; o < 4; ++o) {
        if (!TryAllocate(table.pairs[o], maxLag, host)) return false;
        if (!TryAllocate(table.gamma[o], maxLag, host)) return false;
    }
    return true;
}

// The four passes in the order 0°, 135°, 90°, 45°; before each lag the bar moves and messages
// are pumped, so one lag of one orientation is the unit of cancelling. False when cancelled.
template <typename T>
bool ComputePasses(const T* band, const SemivarianceJob& job, RunProgress& progress,
                   SemivarianceTable& table)
{
    static const Orientation kPassOrder[4] = {Orientation::Deg0, Orientation::Deg135,
                                              Orientation::Deg90, Orientation::Deg45};
    const int width = job.input.width;
    const int height = job.input.height;
    const int maxLag = job.maxLag;
    const PairSumKernel<T> kernel(band, width, height);
    for (int pass = 0; pass < 4; ++pass) {
        const Orientation orientation = kPassOrder[pass];
        const int o = static_cast<int>(orientation);
        for (int lag = 1; lag <= maxLag; ++lag) {
            progress.SetPosition(TruncToInt(lag * 25.0 / maxLag + 25 * pass));
            progress.PumpMessages(true);
            if (progress.IsCancelled()) return false;
            const std::int64_t pairs = PairCount(orientation, width, height, lag);
            table.pairs[o][lag - 1] = pairs;
            table.gamma[o][lag - 1] =
                kernel.SumOfSquares(orientation, lag) / static_cast<double>(2 * pairs);
        }
    }
    return true;
}

// Reads the band in its native sample type and computes; the band is released on return.
template <typename T>
RunOutcome ReadAndCompute(const SemivarianceJob& job, SampleKind kind, RunProgress& progress,
                          SemivarianceTable& table, RunLog& log, Host& host)
{
    std::vector<T> band;
    if (!TryAllocate(band, SampleCount(job.input), host) ||
        !ReadAssessBand(job.input, kind, band.data(), host)) {
        log.Append(kAssessUnsuccessful);
        return RunOutcome::Stopped;
    }
    StartAssessProgress(progress);
    if (!ComputePasses(band.data(), job, progress, table)) {
        log.Append(kAssessCancelled);
        return RunOutcome::Cancelled;
    }
    return RunOutcome::Finished;
}

std::string TableHeaderLine()
{
    static const char* const kItems[8] = {"Freq.\t", "0 Degree\t",  "Freq.\t", "45 Degree\t",
                                          "Freq.\t", "90 Degree\t", "Freq.\t", "135 Degree"};
    std::string line = "Lag\t";
    for (const char* item : kItems) line += PadLeft(item, 11);
    return line + "\r\n";
}

std::string TableLine(const SemivarianceTable& table, int lag)
{
    static const Orientation kColumns[4] = {Orientation::Deg0, Orientation::Deg45,
                                            Orientation::Deg90, Orientation::Deg135};
    std::string line = std::to_string(lag) + "\t";
    for (int column = 0; column < 4; ++column) {
        const int o = static_cast<int>(kColumns[column]);
        line += PadLeft(std::to_string(table.pairs[o][lag - 1]), 10) + "\t";
        line += PadLeft(FixedText(table.gamma[o][lag - 1], 2), 10);
        line += column < 3 ? "\t" : "\r\n";
    }
    return line;
}

}  // namespace

bool WriteSemivarianceTable(const std::string& path, const SemivarianceTable& table, Host& host)
{
    static const char kCannotWrite[] = "Error - output text!";
    RunFiles files;  // the table is renamed into place only when written whole
    const std::string staged = files.StageOutput(path);
    FilePtr file(staged.empty() ? nullptr : std::fopen(staged.c_str(), "wb"));
    if (!file) {
        host.ShowMessage(kCannotWrite);
        return false;
    }
    std::string text = TableHeaderLine();
    const int lags = static_cast<int>(table.gamma[0].size());
    for (int lag = 1; lag <= lags; ++lag) text += TableLine(table, lag);
    const bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    if (std::fclose(file.release()) != 0 || !written || !files.Commit()) {
        host.ShowMessage(kCannotWrite);
        return false;
    }
    return true;
}

RunOutcome ComputeSemivariance(SemivarianceJob& job, RunCounters& counters, Host& host)
{
    WaitCursorScope busy(host);
    if (!ValidateSemivarianceJob(job, host)) return RunOutcome::Stopped;
    RunLog log(counters, host);
    const std::int32_t number = log.OpenBlock(Tool::Semivariance);
    log.Append("~~~~~~~~~~~ SemiVariance Calculation (" + std::to_string(number) +
               ") ~~~~~~~~~~~~~~~~\r\n\r\n");
    const std::optional<SampleKind> kind = WriteInputSection(job.input, log, host);
    if (!kind) return RunOutcome::Stopped;
    WriteSpecifications(job, log);
    if (!ConfirmAssessOutput(job.outputPath, job.input, host)) {
        log.Append(kAssessUnsuccessful);
        return RunOutcome::Stopped;
    }
    const std::unique_ptr<RunProgress> progress = OpenAssessProgress(host);
    SemivarianceTable table;
    if (!AllocateTable(table, job.maxLag, host)) {
        log.Append(kAssessUnsuccessful);
        return RunOutcome::Stopped;
    }
    const RunOutcome outcome =
        *kind == SampleKind::Bits16
            ? ReadAndCompute<std::int16_t>(job, *kind, *progress, table, log, host)
            : ReadAndCompute<std::uint8_t>(job, *kind, *progress, table, log, host);
    if (outcome != RunOutcome::Finished) return outcome;
    // A table that could not be written is a failed run, not a finished one.
    if (!WriteSemivarianceTable(job.outputPath, table, host)) {
        log.Append(kAssessUnsuccessful);
        return RunOutcome::Stopped;
    }
    table = SemivarianceTable();
    host.OpenInViewer(ViewerKind::Text, job.outputPath);
    log.Append(kAssessFinished);
    return RunOutcome::Finished;
}

}  // namespace lumesta
