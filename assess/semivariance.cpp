#include "assess/semivariance.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

#include "core/allocate.h"
#include "core/confirm_overwrite.h"
#include "core/run_files.h"
#include "core/truncate.h"
#include "core/wait_cursor.h"
#include "assess/assess_run.h"
#include "assess/number_text.h"
#include "assess/pair_sum_stream.h"
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

// Lines of the band whose pairs are summed at a time: the window holds them and the maximum
// lag's lines below.
constexpr int kStripLines = 64;

// The progress of a walk: one step per lag of each of the four orientations (in the order 0°,
// 135°, 90°, 45°), each moving the bar to lag × 25 / L + 25 × pass and pumping messages with
// Escape cancelling. The steps are spread over the strips, each strip's share taken before
// its sums. False when cancelled.
class LagSteps {
public:
    LagSteps(RunProgress& progress, int maxLag, int strips)
        : m_progress(progress), m_maxLag(maxLag), m_strips(strips)
    {
    }
    bool BeforeStrip(int strip)
    {
        const std::int64_t units = 4 * static_cast<std::int64_t>(m_maxLag);
        const std::int64_t target = units * (strip + 1) / m_strips;
        for (; m_done < target; ++m_done) {
            const auto pass = static_cast<int>(m_done / m_maxLag);
            const auto lag = static_cast<int>(m_done % m_maxLag) + 1;
            m_progress.SetPosition(TruncToInt(lag * 25.0 / m_maxLag + 25 * pass));
            m_progress.PumpMessages(true);
            if (m_progress.IsCancelled()) return false;
        }
        return true;
    }

private:
    RunProgress& m_progress;
    int m_maxLag;
    int m_strips;
    std::int64_t m_done = 0;
};

// One walk over the band: the window slides down a strip at a time, reading only the lines it
// gains. Stopped after a read failure's message, Cancelled on Cancel.
template <typename T>
RunOutcome WalkBand(const AssessBandStrips& band, const SemivarianceJob& job, RunProgress& progress,
                    const std::function<void(const T*, int, int, int, int)>& add,
                    std::vector<T>& window, Host& host)
{
    const int width = job.input.width;
    const int height = job.input.height;
    int windowFirst = 0;
    int windowLines = 0;
    LagSteps steps(progress, job.maxLag, (height + kStripLines - 1) / kStripLines);
    for (int first = 0; first < height; first += kStripLines) {
        const int lines = std::min(kStripLines, height - first);
        const int end = std::min(height, first + lines + job.maxLag);
        const int kept = std::max(0, windowFirst + windowLines - first);
        std::copy(window.begin() + static_cast<std::int64_t>(first - windowFirst) * width,
                  window.begin() + static_cast<std::int64_t>(first - windowFirst + kept) * width,
                  window.begin());
        windowFirst = first;
        if (end > first + kept &&
            !band.Read(first + kept, end - first - kept, window.data() + static_cast<std::int64_t>(kept) * width, host)) {
            return RunOutcome::Stopped;
        }
        windowLines = end - first;
        if (!steps.BeforeStrip(first / kStripLines)) return RunOutcome::Cancelled;
        add(window.data(), windowFirst, windowLines, first, lines);
    }
    return RunOutcome::Finished;
}

// The sums and counts of the pairs whose samples are both valid, for every orientation and lag,
// taken pair by pair in pair order (lines from the top, within a line from the left).
template <typename T>
class ValidPairSums {
public:
    ValidPairSums(int width, int height, int maxLag, double noData)
        : m_width(width), m_height(height), m_maxLag(maxLag), m_noData(noData),
          m_sums(static_cast<std::size_t>(4 * maxLag), 0.0),
          m_pairs(static_cast<std::size_t>(4 * maxLag), 0)
    {
    }

    // As PairSumStream::Add: the pairs whose first sample lies in lines [first, first + lines).
    void Add(const T* window, int windowFirst, int /*windowLines*/, int first, int lines)
    {
        for (int o = 0; o < 4; ++o) {
            for (int lag = 1; lag <= m_maxLag; ++lag) {
                const PairRows rows = PairRowsOf(static_cast<Orientation>(o), m_width, m_height, lag);
                const std::size_t unit = static_cast<std::size_t>(o * m_maxLag + lag - 1);
                for (int i = first; i < std::min(first + lines, rows.rows); ++i) {
                    const T* a = window + static_cast<std::int64_t>(i - windowFirst) * m_width + rows.first;
                    const T* b = window + static_cast<std::int64_t>(i + rows.rowStep - windowFirst) * m_width +
                                 rows.second;
                    for (int j = 0; j < rows.count; ++j) {
                        if (a[j] == m_noData || b[j] == m_noData) continue;
                        const double d = static_cast<double>(a[j]) - static_cast<double>(b[j]);
                        m_sums[unit] += d * d;
                        ++m_pairs[unit];
                    }
                }
            }
        }
    }
    double SumOfSquares(Orientation orientation, int lag) const
    {
        return m_sums[static_cast<std::size_t>(static_cast<int>(orientation) * m_maxLag + lag - 1)];
    }
    std::int64_t Pairs(Orientation orientation, int lag) const
    {
        return m_pairs[static_cast<std::size_t>(static_cast<int>(orientation) * m_maxLag + lag - 1)];
    }

private:
    int m_width, m_height, m_maxLag;
    double m_noData;
    std::vector<double> m_sums;
    std::vector<std::int64_t> m_pairs;
};

// With no data: one walk over the band, each lag's pairs counted and summed where both samples
// are valid; a lag without a valid pair has no semivariance (not a number).
template <typename T>
RunOutcome ComputeValidPairs(const SemivarianceJob& job, const AssessBandStrips& band,
                             RunProgress& progress, std::vector<T>& window,
                             SemivarianceTable& table, Host& host)
{
    ValidPairSums<T> sums(job.input.width, job.input.height, job.maxLag, *job.noData);
    const RunOutcome outcome = WalkBand<T>(
        band, job, progress,
        [&](const T* w, int wf, int wl, int f, int l) { sums.Add(w, wf, wl, f, l); }, window,
        host);
    if (outcome != RunOutcome::Finished) return outcome;
    for (int o = 0; o < 4; ++o) {
        const auto orientation = static_cast<Orientation>(o);
        for (int lag = 1; lag <= job.maxLag; ++lag) {
            const std::int64_t pairs = sums.Pairs(orientation, lag);
            table.pairs[o][lag - 1] = pairs;
            table.gamma[o][lag - 1] = pairs > 0 ? sums.SumOfSquares(orientation, lag) /
                                                      static_cast<double>(2 * pairs)
                                                : std::nan("");
        }
    }
    return RunOutcome::Finished;
}

// Reads the band a strip at a time in its native sample type and fills the table; a second
// walk only when some sum needs pair order.
template <typename T>
RunOutcome ReadAndCompute(const SemivarianceJob& job, SampleKind kind, RunProgress& progress,
                          SemivarianceTable& table, RunLog& log, Host& host)
{
    const int width = job.input.width;
    const int height = job.input.height;
    AssessBandStrips band(job.input, kind);
    std::vector<T> window;
    if (!band.Open(host) ||
        !TryAllocate(window, static_cast<std::int64_t>(std::min(height, kStripLines + job.maxLag)) * width, host)) {
        log.Append(kAssessUnsuccessful);
        return RunOutcome::Stopped;
    }
    StartAssessProgress(progress);
    if (job.noData) {
        const RunOutcome outcome = ComputeValidPairs<T>(job, band, progress, window, table, host);
        if (outcome != RunOutcome::Finished) {
            log.Append(outcome == RunOutcome::Cancelled ? kAssessCancelled : kAssessUnsuccessful);
        }
        return outcome;
    }
    PairSumStream<T> sums(width, height, job.maxLag);
    RunOutcome outcome = WalkBand<T>(band, job, progress,
                                     [&](const T* w, int wf, int wl, int f, int l) { sums.Add(w, wf, wl, f, l); },
                                     window, host);
    if (outcome == RunOutcome::Finished && sums.NeedsPairOrderWalk()) {
        outcome = WalkBand<T>(band, job, progress,
                              [&](const T* w, int wf, int wl, int f, int l) { sums.AddInPairOrder(w, wf, wl, f, l); },
                              window, host);
    }
    if (outcome != RunOutcome::Finished) {
        log.Append(outcome == RunOutcome::Cancelled ? kAssessCancelled : kAssessUnsuccessful);
        return outcome;
    }
    for (int o = 0; o < 4; ++o) {
        const auto orientation = static_cast<Orientation>(o);
        for (int lag = 1; lag <= job.maxLag; ++lag) {
            const std::int64_t pairs = PairCount(orientation, width, height, lag);
            table.pairs[o][lag - 1] = pairs;
            table.gamma[o][lag - 1] = sums.SumOfSquares(orientation, lag) / static_cast<double>(2 * pairs);
        }
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
    const std::optional<SampleKind> kind =
        OpenAssessReport(Tool::Semivariance, "~~~~~~~~~~~ SemiVariance Calculation (",
                         ") ~~~~~~~~~~~~~~~~\r\n\r\n", job.input, log, host);
    if (!kind) return RunOutcome::Stopped;
    WriteSpecifications(job, log);
    if (!ConfirmAssessOutput(job.outputPath, job.input, host)) {
        log.Append(kAssessUnsuccessful);
        return RunOutcome::Stopped;
    }
    // The run's one step, as the progress window names it.
    static const char kStep[] = "Computing the semivariances";
    const std::unique_ptr<RunProgress> progress = OpenAssessProgress(host, kStep);
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
