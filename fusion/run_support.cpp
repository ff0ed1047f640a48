#include "fusion/run_support.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "core/allocate.h"
#include "core/time_stamp.h"
#include "raster/bmp_writer.h"
#include "raster/file_name.h"

namespace lumesta {
namespace {

const std::string kLengthProblem = "Error! reading an image  file - length problem.";
constexpr int kStripCount = 8;

std::string Num(std::int64_t value) { return std::to_string(static_cast<long long>(value)); }

// The byte of every possible sample value of one band, so the picture loop is a look-up.
template <typename T>
std::vector<std::uint8_t> StretchTable(const StretchCutoffs& limits, int strength)
{
    constexpr int kValues = sizeof(T) == 1 ? 256 : 65536;
    std::vector<std::uint8_t> table(kValues);
    for (int raw = 0; raw < kValues; ++raw) {
        const T value = sizeof(T) == 1 ? static_cast<T>(raw)
                                       : static_cast<T>(static_cast<std::uint16_t>(raw));
        table[raw] = StretchByte(value, limits.low, limits.high, strength);
    }
    return table;
}

template <typename T>
StepResult WriteStretchedBmp(const StretchedBmpJob& job, RunProgress& progress,
                             const std::function<bool()>& pump, Host& host)
{
    using Index = std::make_unsigned_t<T>;
    const auto width = static_cast<std::int32_t>(job.width);
    const auto height = static_cast<std::int32_t>(job.height);
    const std::int64_t stride = BmpRowStride(width);
    std::array<std::vector<std::uint8_t>, 3> tables;
    for (int b = 0; b < 3; ++b) tables[b] = StretchTable<T>(job.limits[b], job.nonlinear[b]);
    const std::int32_t maxStrip = BmpStripOf(height, 0).lineCount;
    std::vector<std::uint8_t> rows;
    std::array<std::vector<T>, 3> lines;
    if (!TryAllocate(rows, stride * maxStrip, host)) return StepResult::Failed;
    for (auto& line : lines) {
        if (!TryAllocate(line, job.width * maxStrip, host)) return StepResult::Failed;
    }
    BmpStripWriter writer;
    if (!writer.Create(job.path, width, height, host)) return StepResult::Failed;
    std::int64_t rowsDone = 0;
    for (int strip = 0; strip < kStripCount; ++strip) {
        const BmpStrip part = BmpStripOf(height, strip);
        if (part.lineCount <= 0) continue;
        const std::int64_t bytes = job.width * part.lineCount * static_cast<std::int64_t>(sizeof(T));
        for (int b = 0; b < 3; ++b) {
            const std::int64_t offset = part.firstLine * job.width * static_cast<std::int64_t>(sizeof(T));
            if (job.bands[b]->ReadAt(offset, bytes, lines[b].data()) != bytes) {
                host.ShowMessage(kLengthProblem);
                return StepResult::Failed;
            }
        }
        for (std::int32_t i = 0; i < part.lineCount; ++i) {
            // File order is bottom-up: the strip's last line comes first.
            std::uint8_t* out = rows.data() + static_cast<std::int64_t>(part.lineCount - 1 - i) * stride;
            const std::int64_t at = static_cast<std::int64_t>(i) * job.width;
            for (std::int64_t x = 0; x < job.width; ++x) {
                for (int b = 0; b < 3; ++b) {
                    out[3 * x + b] = tables[b][static_cast<Index>(lines[b][at + x])];
                }
            }
        }
        if (!writer.WriteStrip(part.firstLine, part.lineCount, rows.data(), host)) {
            return StepResult::Failed;
        }
        rowsDone += part.lineCount;
        progress.SetPosition(static_cast<int>(rowsDone * 100 / job.height));
        if (!pump()) return StepResult::Cancelled;
    }
    if (!writer.Close()) {
        host.ShowMessage("Error during writing image");
        return StepResult::Failed;
    }
    return StepResult::Ok;
}

}  // namespace

OutputCleanup::~OutputCleanup()
{
    if (m_keep) return;
    for (const auto& path : m_paths) {
        if (!path.empty()) std::remove(path.c_str());
    }
}


bool PanSizeAcceptable(int width, int height, Host& host)
{
    // Negative sizes (typed, or from a damaged header) are refused like missing ones.
    if (width <= 0 || height <= 0) {
        host.ShowMessage("Please input width and height.");
        return false;
    }
    if (width < 512 && height < 512) {
        host.ShowMessage("Image size is too small; the minimum size is 512*512.");
        return false;
    }
    if (width > 40000 && height > 40000) {
        host.ShowMessage(
            "Image size is too big; If you wish to have this limit relaxed, please contact developer.");
        return false;
    }
    return true;
}

bool ConfirmFusedOutputs(const std::vector<std::string>& targets,
                         const std::vector<std::string>& inputs, const std::string& blueOutput,
                         Host& host)
{
    for (const auto& input : inputs) {
        for (const auto& name : {input, WithoutLastFour(input) + ".hdr", WithoutLastFour(input) + ".rdc"}) {
            for (const auto& target : targets) {
                if (!SamePath(target, name)) continue;
                host.ShowMessage(target + " is an input of this run.\nChange the suffix used or "
                                          "the name of the 24-bit BMP.");
                return false;
            }
        }
    }
    bool anyExists = false;
    for (const auto& target : targets) anyExists = anyExists || FileExists(target);
    if (!anyExists) return true;
    if (!host.AskYesNo(blueOutput +
                       "\nor other similarly fused bands, including bitmap output, already "
                       "exist.\nDo you want to overwrite?\nIf you do not wish to overwrite, "
                       "change the suffix used.")) {
        return false;
    }
    for (const auto& target : targets) std::remove(target.c_str());
    return true;
}

bool ReadBandBytes(const std::string& path, std::int64_t byteOffset, std::int64_t byteCount,
                   void* buffer, const std::string& openFailure, Host& host)
{
    RawFile file;
    if (!file.OpenForReading(path)) {
        host.ShowMessage(openFailure);
        return false;
    }
    if (file.ReadAt(byteOffset, byteCount, buffer) != byteCount) {
        host.ShowMessage(kLengthProblem);
        return false;
    }
    return true;
}

bool SolveNormalEquations(const NormalEquations& equations, int unknowns, float* coefficients,
                          RunLog& log, const std::function<bool()>& pump, Host& host)
{
    Matrix<float> normal = equations.NormalMatrix();
    log.Append(".");
    if (!pump()) return false;
    Matrix<float> inverted = MakeMatrix<float>(unknowns, unknowns);
    Matrix<float> scratch = MakeMatrix<float>(unknowns, unknowns);
    inverse(unknowns, unknowns, normal, inverted, scratch);
    Matrix<float> rhs = equations.RightHandSide();
    log.Append(".");
    if (!pump()) return false;
    Matrix<float> solution = MakeMatrix<float>(unknowns, 1);
    MultiplyFloatMatrices(unknowns, unknowns, inverted, unknowns, 1, rhs, solution, host);
    log.Append(".");
    for (int i = 0; i < unknowns; ++i) coefficients[i] = solution[i][0];
    return pump();
}

bool ForEachRowInParallel(std::int64_t rows, const std::function<void(std::int64_t)>& work,
                          const std::function<bool()>& pump)
{
    const unsigned cores = std::max(1u, std::min(16u, std::thread::hardware_concurrency()));
    const std::int64_t helpers = std::max<std::int64_t>(0, std::min<std::int64_t>(cores, rows) - 1);
    std::atomic<std::int64_t> next{0};
    std::atomic<bool> stop{false};
    auto helperLoop = [&] {
        for (std::int64_t row = next++; row < rows && !stop; row = next++) work(row);
    };
    std::vector<std::thread> workers;
    for (std::int64_t i = 0; i < helpers; ++i) workers.emplace_back(helperLoop);
    bool cancelled = false;
    for (std::int64_t row = next++; row < rows; row = next++) {
        work(row);
        if (!pump()) {
            cancelled = true;
            stop = true;
            break;
        }
    }
    for (auto& worker : workers) worker.join();
    return !cancelled;
}

StepResult ForEachFusionStrip(std::int64_t msHeight,
                              const std::function<StepResult(int, std::int64_t, std::int64_t)>& fuseStrip)
{
    const std::int64_t cellRows = std::max<std::int64_t>(msHeight - 1, 0);
    const std::int64_t stripCells = (msHeight + 7) / 8;
    for (int strip = 0; strip < kStripCount; ++strip) {
        const std::int64_t firstCell = strip * stripCells;
        const std::int64_t endCell =
            strip + 1 < kStripCount ? std::min(firstCell + stripCells, cellRows) : cellRows;
        if (firstCell >= endCell) continue;
        const StepResult result = fuseStrip(strip, firstCell, endCell - firstCell);
        if (result != StepResult::Ok) return result;
    }
    return StepResult::Ok;
}

void WriteStretchReport(bool colourMatch, const StretchParams& stretch, RunLog& log)
{
    static const char* const kCutoffLabels[3] = {"\t- Blue: \tleft-side: ", "\t- Green:\tleft-side: ",
                                                 "\t- Red:  \tleft-side: "};
    static const char* const kNonlinearLabels[3] = {"\t- Blue: \t", "\t- Green: \t", "\t- Red: \t\t"};
    log.Append("Stretch:\r\n");
    log.Append(colourMatch ? "\tColours match with those of inputs more closely?\tYes\r\n"
                           : "\tColours match with those of inputs more closely?\tNo\r\n");
    log.Append("\tHistogram stretching: cutoffs at both ends (%)\r\n");
    for (int band = 0; band < 3; ++band) {
        log.Append(kCutoffLabels[band] + Num(stretch.leftCutoff[band]) + "\t" + "right-side: " +
                   Num(stretch.rightCutoff[band]) + "\r\n");
    }
    log.Append("\tNonlinear stretching\r\n");
    for (int band = 0; band < 3; ++band) {
        log.Append(kNonlinearLabels[band] + Num(stretch.nonlinear[band]) + "\r\n");
    }
}

std::unique_ptr<RunProgress> OpenPanSharpeningReport(RunLog& log, Host& host)
{
    const std::int32_t number = log.OpenBlock(Tool::PanSharpening);
    log.Append("_____________ Pan-Sharpening Run (" + std::to_string(number) +
               ") _____________________\r\n\r\n");
    auto progress = host.OpenProgress(std::string(), ProgressOwner::ToolDialog);
    progress->SetRange(0, 100, 1);
    progress->SetPosition(0);
    return progress;
}

void WriteReportEnd(RunLog& log, std::time_t start, std::time_t postProcessing, std::time_t end)
{
    log.Append("\r\n(f) Seconds spent:\t" + Num(static_cast<std::int64_t>(end - start)) + " s\r\n");
    log.Append("    Start time:\t\t" + TimeStamp(start) + "\r\n");
    log.Append("    Post-processing:\t" + TimeStamp(postProcessing) + "\r\n");
    log.Append("    End time:\t\t" + TimeStamp(end) + "\r\n\r\n");
    log.Append("Notes:\r\n");
}

StepResult WriteStretchedBmp16(const StretchedBmpJob& job, RunProgress& progress,
                               const std::function<bool()>& pump, Host& host)
{
    return WriteStretchedBmp<std::int16_t>(job, progress, pump, host);
}

StepResult WriteStretchedBmp8(const StretchedBmpJob& job, RunProgress& progress,
                              const std::function<bool()>& pump, Host& host)
{
    return WriteStretchedBmp<std::uint8_t>(job, progress, pump, host);
}

}  // namespace lumesta
