#pragma once
// Pieces shared by the two pan-sharpening runs (16-bit and Landsat ETM+): removal of partial
// outputs, band reads that stop the run, the regression solve, row-parallel loops, the stretch
// and closing parts of the report, and the stretched 24-bit picture of three fused bands.

#include <algorithm>
#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/host.h"
#include "core/allocate.h"
#include "core/run_log.h"
#include "imaging/stretch.h"
#include "fusion/matrix.h"
#include "raster/raw_file.h"

namespace lumesta {

enum class StepResult { Ok, Failed, Implausible, Cancelled };

// Removes the listed files when the run does not finish (unless Keep was called).
class OutputCleanup {
public:
    explicit OutputCleanup(std::vector<std::string> paths) : m_paths(std::move(paths)) {}
    ~OutputCleanup();
    OutputCleanup(const OutputCleanup&) = delete;
    OutputCleanup& operator=(const OutputCleanup&) = delete;
    void Keep() { m_keep = true; }

private:
    std::vector<std::string> m_paths;
    bool m_keep = false;
};

// The size checks of both pan-sharpening tools, in their order: a missing (or negative) size,
// both sides below 512, both sides above 40000. False after the message.
bool PanSizeAcceptable(int width, int height, Host& host);

// Refuses outputs that would replace an input or its header (an empty suffix, a picture named
// like an input), then asks once before existing outputs are replaced and deletes them on Yes.
// False when the run must stop (the message was shown or the answer was No).
bool ConfirmFusedOutputs(const std::vector<std::string>& targets,
                         const std::vector<std::string>& inputs, const std::string& blueOutput,
                         Host& host);

// Reads byteCount bytes at byteOffset of a band file. A file that cannot be opened shows
// openFailure; one that holds too few bytes shows "Error! reading an image  file - length
// problem."; both answer false, since the run cannot go on with missing samples.
bool ReadBandBytes(const std::string& path, std::int64_t byteOffset, std::int64_t byteCount,
                   void* buffer, const std::string& openFailure, Host& host);

// Solves the normal equations as the matrix routines do (A = XᵀX, A⁻¹, b = Xᵀy, c = A⁻¹·b),
// appending "." after each of the three products and pumping between them. Fills
// coefficients[0 .. unknowns-1]; false when pump reports a cancel.
bool SolveNormalEquations(const NormalEquations& equations, int unknowns, float* coefficients,
                          RunLog& log, const std::function<bool()>& pump, Host& host);

// Runs work(row) for rows 0 .. rows-1 on every core. The rows must be independent; this thread
// takes rows too and calls pump after each of its own; when pump answers false every thread
// stops and the result is false.
bool ForEachRowInParallel(std::int64_t rows, const std::function<void(std::int64_t)>& work,
                          const std::function<bool()>& pump);

// The "Stretch:" part of section (d): colour match, cutoffs and nonlinear strengths.
void WriteStretchReport(bool colourMatch, const StretchParams& stretch, RunLog& log);

// Opens the report block with the pan-sharpening banner (the counter both tools share) and the
// dialog's progress bar at 0 of 0..100.
std::unique_ptr<RunProgress> OpenPanSharpeningReport(RunLog& log, Host& host);

// Section (f) and "Notes:".
void WriteReportEnd(RunLog& log, std::time_t start, std::time_t postProcessing, std::time_t end);

// Everything the stretched picture of three fused bands needs.
struct StretchedBmpJob {
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::array<const RawFile*, 3> bands{};  // Blue, Green, Red fused files
    std::array<StretchCutoffs, 3> limits;
    std::array<int, 3> nonlinear{};
    std::string path;
};

// The buffers of one fusion strip for N MS bands of sample type T at pan/MS ratio r: the pan
// rows, the MS rows, the degraded pan and the residual of those MS rows, and the fused output
// rows. Sized once for the largest strip.
template <typename T, int N>
struct FusionStrip {
    std::vector<T> pan;
    std::array<std::vector<T>, N> ms;
    std::vector<T> panLow;
    std::vector<float> residual;
    std::array<std::vector<T>, N> out;

    // False after the allocation message when the memory cannot be had.
    bool Allocate(int ratio, std::int64_t maxCells, std::int64_t width, std::int64_t msWidth,
                  Host& host);
};

// A whole fused band for in-place post-processing. The file's pages are mapped where the
// system allows it, so the band is neither copied in nor written out again; otherwise the band
// is read into a buffer and Commit writes it back. Open and Commit show the run's messages.
template <typename T>
class BandView {
public:
    BandView() = default;
    ~BandView() { RawFile::Unmap(m_mapped, m_bytes); }
    BandView(const BandView&) = delete;
    BandView& operator=(const BandView&) = delete;

    bool Open(const RawFile& file, std::int64_t count, Host& host);
    T* Data() { return m_mapped ? static_cast<T*>(m_mapped) : m_buffer.data(); }
    bool Commit(const RawFile& file, Host& host);

private:
    void* m_mapped = nullptr;
    std::int64_t m_bytes = 0;
    std::vector<T> m_buffer;
};

// The eight strips of the fusion step: cell rows (pairs of neighbouring MS rows) 0 .. msHeight
// - 2 in strips of (msHeight + 7) / 8 cell rows, the last strip taking the rest; a strip that
// would start after the last cell row is empty. Calls fuseStrip(strip, firstCell, cells) for
// every strip that has cells; stops at the first result other than Ok.
StepResult ForEachFusionStrip(std::int64_t msHeight,
                              const std::function<StepResult(int, std::int64_t, std::int64_t)>& fuseStrip);

// The geometry and files of Step 2: pan W × H, MS W/ratio × H/ratio, the fused band files.
struct FusionTarget {
    int ratio = 4;
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::int64_t msWidth = 0;
    std::int64_t msHeight = 0;
};

// Step 2 of both pan-sharpening runs: ratio / 2 zero rows, then the eight strips (each read by
// prepare(strip, firstCell, cells), fused cell row by cell row on every core by fuseRow(strip, d)
// and written in order), then zero rows up to the last row. Cell rows are independent and each
// writes its own output rows, so the bytes do not depend on the number of threads. A failed
// write shows the output-file message.
template <typename T, int N>
StepResult FuseAllStrips(const FusionTarget& target, const std::array<RawFile, N>& files,
                         RunProgress& progress, Host& host, const std::function<bool()>& pump,
                         const std::function<bool(FusionStrip<T, N>&, std::int64_t, std::int64_t)>& prepare,
                         const std::function<void(FusionStrip<T, N>&, std::int64_t)>& fuseRow);

// Writes the 24-bit BMP in its eight strips, each byte the stretched value of its band, and
// sets the progress to rows done × 100 / height after each strip. Samples are 16-bit or 8-bit.
StepResult WriteStretchedBmp16(const StretchedBmpJob& job, RunProgress& progress,
                               const std::function<bool()>& pump, Host& host);
StepResult WriteStretchedBmp8(const StretchedBmpJob& job, RunProgress& progress,
                              const std::function<bool()>& pump, Host& host);

template <typename T, int N>
bool FusionStrip<T, N>::Allocate(int ratio, std::int64_t maxCells, std::int64_t width,
                                 std::int64_t msWidth, Host& host)
{
    const std::int64_t msRows = maxCells + 1;
    if (!TryAllocate(pan, ratio * msRows * width, host) || !TryAllocate(panLow, msRows * msWidth, host) ||
        !TryAllocate(residual, msRows * msWidth, host)) {
        return false;
    }
    for (int band = 0; band < N; ++band) {
        if (!TryAllocate(ms[band], msRows * msWidth, host) ||
            !TryAllocate(out[band], ratio * maxCells * width, host)) {
            return false;
        }
    }
    return true;
}

template <typename T, int N>
StepResult FuseAllStrips(const FusionTarget& target, const std::array<RawFile, N>& files,
                         RunProgress& progress, Host& host, const std::function<bool()>& pump,
                         const std::function<bool(FusionStrip<T, N>&, std::int64_t, std::int64_t)>& prepare,
                         const std::function<void(FusionStrip<T, N>&, std::int64_t)>& fuseRow)
{
    const std::int64_t rowBytes = target.width * static_cast<std::int64_t>(sizeof(T));
    auto writeRows = [&](int band, std::int64_t firstRow, std::int64_t rows, const T* samples) {
        if (files[band].WriteAt(firstRow * rowBytes, rows * rowBytes, samples)) return true;
        host.ShowMessage("Error when writing output file.\nYou may wish to copy files from CD-ROM to hard disk.");
        return false;
    };
    auto writeZeroRows = [&](std::int64_t firstRow, std::int64_t rows) {
        const std::vector<T> zeros(static_cast<std::size_t>(target.width * std::min<std::int64_t>(rows, 64)));
        for (std::int64_t row = firstRow; row < firstRow + rows; row += 64) {
            const std::int64_t count = std::min<std::int64_t>(64, firstRow + rows - row);
            for (int band = 0; band < N; ++band) {
                if (!writeRows(band, row, count, zeros.data())) return false;
            }
        }
        return true;
    };
    FusionStrip<T, N> strip;
    const std::int64_t stripCells = std::max<std::int64_t>((target.msHeight + 7) / 8, 1);
    if (!strip.Allocate(target.ratio, stripCells, target.width, target.msWidth, host)) {
        return StepResult::Failed;
    }
    std::int64_t nextRow = std::min<std::int64_t>(target.ratio / 2, target.height);
    if (!writeZeroRows(0, nextRow)) return StepResult::Failed;
    const StepResult result = ForEachFusionStrip(
        target.msHeight, [&](int index, std::int64_t firstCell, std::int64_t cells) {
            progress.SetPosition(static_cast<int>(index * 12.5));
            if (!prepare(strip, firstCell, cells)) return StepResult::Failed;
            if (!ForEachRowInParallel(cells, [&](std::int64_t d) { fuseRow(strip, d); }, pump)) {
                return StepResult::Cancelled;
            }
            for (int band = 0; band < N; ++band) {
                if (!writeRows(band, nextRow, target.ratio * cells, strip.out[band].data())) {
                    return StepResult::Failed;
                }
            }
            nextRow += target.ratio * cells;
            return StepResult::Ok;
        });
    if (result != StepResult::Ok) return result;
    return writeZeroRows(nextRow, target.height - nextRow) ? StepResult::Ok : StepResult::Failed;
}

template <typename T>
bool BandView<T>::Open(const RawFile& file, std::int64_t count, Host& host)
{
    RawFile::Unmap(m_mapped, m_bytes);
    m_bytes = count * static_cast<std::int64_t>(sizeof(T));
    m_mapped = file.Map(m_bytes);
    if (m_mapped) return true;
    if (m_buffer.size() != static_cast<std::size_t>(count) && !TryAllocate(m_buffer, count, host)) {
        return false;
    }
    if (file.ReadAt(0, m_bytes, m_buffer.data()) == m_bytes) return true;
    host.ShowMessage("Error! reading an image  file - length problem.");
    return false;
}

template <typename T>
bool BandView<T>::Commit(const RawFile& file, Host& host)
{
    if (m_mapped || file.WriteAt(0, m_bytes, m_buffer.data())) return true;
    host.ShowMessage("Error when writing output file.\nYou may wish to copy files from CD-ROM to hard disk.");
    return false;
}

}  // namespace lumesta
