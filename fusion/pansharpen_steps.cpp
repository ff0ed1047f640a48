#include "fusion/pansharpen_steps.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "app/allocate.h"
#include "app/truncate.h"
#include "fusion/filters.h"
#include "fusion/matrix.h"
#include "fusion/resampling.h"
#include "raster/bmp_writer.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "band files hold little-endian samples that are read directly into memory");

namespace lumesta {
namespace {

const std::string kStep1ReadFailure = "Error: Integer/Binary - ReadDataBlock for Step 1";
const std::string kPartReadFailure = "Error: Integer/Binary - ReadDataBlockPart";
const std::string kLengthProblem = "Error! reading an image  file - length problem.";
const std::string kOutputWriteFailure =
    "Error when writing output file.\nYou may wish to copy files from CD-ROM to hard disk.";
const std::string kImplausible =
    "Sorry, Cannot process the inputs selected. Please check input images.";

constexpr int kStripCount = 8;
constexpr std::int16_t kMaxValue = 2047;

// Reads bytes of a band file; a file that cannot be opened or holds too few bytes ends the
// step with its message, since the run cannot go on with missing samples.
bool ReadSamples(const std::string& path, std::int64_t byteOffset, std::int64_t count,
                 std::int16_t* buffer, const std::string& openFailure, Host& host)
{
    RawFile file;
    if (!file.OpenForReading(path)) {
        host.ShowMessage(openFailure);
        return false;
    }
    if (file.ReadAt(byteOffset, count * 2, buffer) != count * 2) {
        host.ShowMessage(kLengthProblem);
        return false;
    }
    return true;
}

bool WriteRows(const PanRunState& state, int band, std::int64_t firstRow, std::int64_t rows,
               const std::int16_t* samples)
{
    const std::int64_t rowBytes = state.width * 2;
    if (state.fused[band].WriteAt(firstRow * rowBytes, rows * rowBytes, samples)) return true;
    state.host.ShowMessage(kOutputWriteFailure);
    return false;
}

// Regressor row of one MS pixel: (B, G, R, NIR), with a leading 1 for "Optimisation 2".
int RegressorRow(FusionMethod method, const std::array<std::int16_t, 4>& ms, std::int32_t* row)
{
    int k = 0;
    if (method == FusionMethod::Optimisation2) row[k++] = 1;
    for (std::int16_t value : ms) row[k++] = value;
    return k;
}

// Solves the normal equations as the matrix routines do: A = XᵀX, A⁻¹, b = Xᵀy, c = A⁻¹·b.
bool SolveCoefficients(PanRunState& state, const NormalEquations& equations, int unknowns)
{
    Matrix<float> normal = equations.NormalMatrix();
    state.log.Append(".");
    if (!state.Pump()) return false;
    Matrix<float> inverted = MakeMatrix<float>(unknowns, unknowns);
    Matrix<float> scratch = MakeMatrix<float>(unknowns, unknowns);
    inverse(unknowns, unknowns, normal, inverted, scratch);
    Matrix<float> rhs = equations.RightHandSide();
    state.log.Append(".");
    if (!state.Pump()) return false;
    Matrix<float> solution = MakeMatrix<float>(unknowns, 1);
    MultiplyFloatMatrices(unknowns, unknowns, inverted, unknowns, 1, rhs, solution, state.host);
    state.log.Append(".");
    for (int i = 0; i < unknowns; ++i) state.coefficients.c[i] = solution[i][0];
    return state.Pump();
}

}  // namespace

bool PanRunState::Pump()
{
    host.PumpPendingMessages();
    return !(host.IsCancelled() || progress.IsCancelled());
}

StepResult EstimateCoefficients(PanRunState& state)
{
    const std::int64_t sampledRows = static_cast<std::int64_t>(state.msHeight * 0.125);
    const std::int64_t msWidth = state.msWidth;
    std::vector<std::int16_t> panLow;
    std::vector<std::int16_t> panRows;
    if (!TryAllocate(panLow, sampledRows * msWidth, state.host) ||
        !TryAllocate(panRows, 4 * state.width, state.host)) {
        return StepResult::Failed;
    }
    // Only MS rows 0, 8, 16, ... enter the regression; each needs the four pan rows above it.
    for (std::int64_t k = 0; k < sampledRows; ++k) {
        if (!ReadSamples(state.panInput, 32 * k * state.width * 2, 4 * state.width, panRows.data(),
                         kStep1ReadFailure, state.host)) {
            return StepResult::Failed;
        }
        BlockAverage4(1, static_cast<int>(msWidth), panRows.data(), static_cast<int>(state.width),
                      panLow.data() + k * msWidth);
    }
    state.log.Append(".");
    if (!state.Pump()) return StepResult::Cancelled;

    std::array<std::vector<std::int16_t>, 4> ms;
    for (int band = kBlue; band <= kNir; ++band) {
        if (!TryAllocate(ms[band], sampledRows * msWidth, state.host)) return StepResult::Failed;
        for (std::int64_t k = 0; k < sampledRows; ++k) {
            const std::int64_t offset = state.msByteOffset[band] + 8 * k * msWidth * 2;
            if (!ReadSamples(state.msInput[band], offset, msWidth, ms[band].data() + k * msWidth,
                             kStep1ReadFailure, state.host)) {
                return StepResult::Failed;
            }
        }
        state.log.Append(".");
        if (!state.Pump()) return StepResult::Cancelled;
    }

    state.coefficients.method = static_cast<FusionMethod>(state.job.method == 1 ? 1 : 0);
    const int unknowns = state.coefficients.Count();
    NormalEquations equations(unknowns);
    std::int32_t regressors[5];
    for (std::int64_t i = 0; i < sampledRows * msWidth; ++i) {
        RegressorRow(state.coefficients.method, {ms[0][i], ms[1][i], ms[2][i], ms[3][i]},
                     regressors);
        equations.Add(regressors, panLow[i]);
    }
    if (!SolveCoefficients(state, equations, unknowns)) return StepResult::Cancelled;
    if (!CoefficientsPlausible(state.coefficients)) {
        state.host.ShowMessage(kImplausible);
        return StepResult::Implausible;
    }
    return StepResult::Ok;
}

StepResult ComputeInputStretchLimits(PanRunState& state)
{
    std::vector<std::int16_t> band;
    if (!TryAllocate(band, state.msWidth * state.msHeight, state.host)) return StepResult::Failed;
    const StretchParams& stretch = state.job.stretch;
    for (int b = kBlue; b <= kRed; ++b) {
        if (!ReadSamples(state.msInput[b], state.msByteOffset[b], state.msWidth * state.msHeight,
                         band.data(), kStep1ReadFailure, state.host)) {
            return StepResult::Failed;
        }
        state.limits[b] = ComputeStretchCutoffs16(state.msWidth * state.msHeight, band.data(),
                                                  stretch.leftCutoff[b], stretch.rightCutoff[b]);
        if (!state.Pump()) return StepResult::Cancelled;
    }
    return StepResult::Ok;
}

namespace {

// The buffers of one strip of Step 2, sized once for the largest strip.
struct StripBuffers {
    std::vector<std::int16_t> pan;
    std::array<std::vector<std::int16_t>, 4> ms;
    std::vector<std::int16_t> panLow;
    std::vector<float> residual;
    std::array<std::vector<std::int16_t>, 4> out;
};

bool AllocateStrip(PanRunState& state, std::int64_t maxCells, StripBuffers& buffers)
{
    const std::int64_t msRows = maxCells + 1;
    Host& host = state.host;
    if (!TryAllocate(buffers.pan, 4 * msRows * state.width, host) ||
        !TryAllocate(buffers.panLow, msRows * state.msWidth, host) ||
        !TryAllocate(buffers.residual, msRows * state.msWidth, host)) {
        return false;
    }
    for (int band = kBlue; band <= kNir; ++band) {
        if (!TryAllocate(buffers.ms[band], msRows * state.msWidth, host) ||
            !TryAllocate(buffers.out[band], 4 * maxCells * state.width, host)) {
            return false;
        }
    }
    return true;
}

// Fuses the cells of one cell row d of a strip into output rows 4d .. 4d + 3 of the strip.
void FuseCellRow(const PanRunState& state, StripBuffers& buffers, std::int64_t d)
{
    static const auto kWeights = [] {
        std::array<BilinearWeights, 16> weights{};
        for (int p = 0; p < 4; ++p) {
            for (int q = 0; q < 4; ++q) weights[p * 4 + q] = BilinearWeights4(p, q);
        }
        return weights;
    }();
    const std::int64_t msWidth = state.msWidth;
    const std::int64_t width = state.width;
    const ColourAmounts amounts = state.job.colourAmounts;
    const std::int16_t* pan = buffers.pan.data();
    for (std::int64_t e = 0; e + 1 < msWidth; ++e) {
        const std::int64_t top = d * msWidth + e;
        const std::int64_t bottom = top + msWidth;
        double corners[5][4];
        for (int band = kBlue; band <= kNir; ++band) {
            const std::int16_t* ms = buffers.ms[band].data();
            corners[band][0] = ms[top];
            corners[band][1] = ms[top + 1];
            corners[band][2] = ms[bottom];
            corners[band][3] = ms[bottom + 1];
        }
        const float* residual = buffers.residual.data();
        corners[4][0] = residual[top];
        corners[4][1] = residual[top + 1];
        corners[4][2] = residual[bottom];
        corners[4][3] = residual[bottom + 1];
        for (int p = 0; p < 4; ++p) {
            const std::int64_t panRow = (4 * d + 2 + p) * width;
            const std::int64_t outRow = (4 * d + p) * width;
            for (int q = 0; q < 4; ++q) {
                const BilinearWeights& w = kWeights[p * 4 + q];
                InterpolatedPixel m{};
                double* values[5] = {&m.blue, &m.green, &m.red, &m.nir, &m.residual};
                for (int v = 0; v < 5; ++v) {
                    *values[v] = Interpolate(w, corners[v][0], corners[v][1], corners[v][2],
                                             corners[v][3]);
                }
                const std::int64_t column = 4 * e + 2 + q;
                const auto fused = FusePixel(state.coefficients, m, pan[panRow + column], amounts);
                for (int band = kBlue; band <= kNir; ++band) {
                    buffers.out[band][outRow + column] = fused[band];
                }
            }
        }
    }
}

// Reads the pan and MS rows of the strip whose cell rows are firstCell .. firstCell + cells - 1,
// and forms its degraded pan and clipped residual.
bool PrepareStrip(PanRunState& state, StripBuffers& buffers, std::int64_t firstCell,
                  std::int64_t cells)
{
    const std::int64_t msRows = cells + 1;
    if (!ReadSamples(state.panInput, 4 * firstCell * state.width * 2, 4 * msRows * state.width,
                     buffers.pan.data(), kPartReadFailure, state.host)) {
        return false;
    }
    for (int band = kBlue; band <= kNir; ++band) {
        const std::int64_t offset = state.msByteOffset[band] + firstCell * state.msWidth * 2;
        if (!ReadSamples(state.msInput[band], offset, msRows * state.msWidth,
                         buffers.ms[band].data(), kPartReadFailure, state.host)) {
            return false;
        }
    }
    BlockAverage4(static_cast<int>(msRows), static_cast<int>(state.msWidth), buffers.pan.data(),
                  static_cast<int>(state.width), buffers.panLow.data());
    for (std::int64_t i = 0; i < msRows * state.msWidth; ++i) {
        buffers.residual[i] =
            Residual(state.coefficients, buffers.panLow[i], buffers.ms[kBlue][i],
                     buffers.ms[kGreen][i], buffers.ms[kRed][i], buffers.ms[kNir][i]);
    }
    return true;
}

// Fuses cell rows 0 .. cells - 1 of a strip on every core. The rows are independent and each
// writes its own output rows, so the bytes do not depend on the number of threads. This thread
// takes rows too and lets the host pump after each of them; a cancel stops all threads.
bool FuseCellRows(PanRunState& state, StripBuffers& buffers, std::int64_t cells)
{
    const unsigned cores = std::max(1u, std::min(16u, std::thread::hardware_concurrency()));
    const auto helpers = static_cast<std::int64_t>(std::min<std::int64_t>(cores, cells) - 1);
    std::atomic<std::int64_t> next{0};
    std::atomic<bool> stop{false};
    auto work = [&] {
        for (std::int64_t d = next++; d < cells && !stop; d = next++) FuseCellRow(state, buffers, d);
    };
    std::vector<std::thread> workers;
    for (std::int64_t i = 0; i < helpers; ++i) workers.emplace_back(work);
    bool cancelled = false;
    for (std::int64_t d = next++; d < cells; d = next++) {
        FuseCellRow(state, buffers, d);
        if (!state.Pump()) {
            cancelled = true;
            stop = true;
            break;
        }
    }
    for (auto& worker : workers) worker.join();
    return !cancelled;
}

bool WriteZeroRows(const PanRunState& state, std::int64_t firstRow, std::int64_t rows)
{
    if (rows <= 0) return true;
    std::vector<std::int16_t> zeros(static_cast<std::size_t>(state.width * std::min<std::int64_t>(rows, 64)));
    for (std::int64_t row = firstRow; row < firstRow + rows; row += 64) {
        const std::int64_t count = std::min<std::int64_t>(64, firstRow + rows - row);
        for (int band = kBlue; band <= kNir; ++band) {
            if (!WriteRows(state, band, row, count, zeros.data())) return false;
        }
    }
    return true;
}

}  // namespace

StepResult FuseStrips(PanRunState& state)
{
    // Cell row D joins MS rows D and D + 1 and fills pan rows 4D + 2 .. 4D + 5; the strips
    // share one MS row of overlap, and the rows that no cell reaches stay 0.
    const std::int64_t cellRows = std::max<std::int64_t>(state.msHeight - 1, 0);
    const std::int64_t stripCells = (state.msHeight + 7) / 8;
    StripBuffers buffers;
    if (!AllocateStrip(state, std::max<std::int64_t>(stripCells, 1), buffers)) {
        return StepResult::Failed;
    }
    if (!WriteZeroRows(state, 0, std::min<std::int64_t>(2, state.height))) return StepResult::Failed;
    std::int64_t nextRow = 2;
    for (int strip = 0; strip < kStripCount; ++strip) {
        state.progress.SetPosition(static_cast<int>(strip * 12.5));
        const std::int64_t firstCell = strip * stripCells;
        const std::int64_t endCell =
            strip + 1 < kStripCount ? std::min(firstCell + stripCells, cellRows) : cellRows;
        if (firstCell >= endCell) continue;
        if (!PrepareStrip(state, buffers, firstCell, endCell - firstCell)) return StepResult::Failed;
        if (!FuseCellRows(state, buffers, endCell - firstCell)) return StepResult::Cancelled;
        for (int band = kBlue; band <= kNir; ++band) {
            if (!WriteRows(state, band, nextRow, 4 * (endCell - firstCell), buffers.out[band].data())) {
                return StepResult::Failed;
            }
        }
        nextRow += 4 * (endCell - firstCell);
    }
    if (!WriteZeroRows(state, nextRow, state.height - nextRow)) return StepResult::Failed;
    return StepResult::Ok;
}

StepResult PostProcessBands(PanRunState& state)
{
    static const char* const kDots[4] = {".", "..", ".", ".."};
    const std::int64_t count = state.width * state.height;
    std::vector<std::int16_t> band;
    if (!TryAllocate(band, count, state.host)) return StepResult::Failed;
    const PanSharpenJob& job = state.job;
    const int height = static_cast<int>(state.height);
    const int width = static_cast<int>(state.width);
    for (int b = kBlue; b <= kNir; ++b) {
        if (state.fused[b].ReadAt(0, count * 2, band.data()) != count * 2) {
            state.host.ShowMessage(kLengthProblem);
            return StepResult::Failed;
        }
        if (!state.Pump()) return StepResult::Cancelled;
        ReplicateBorders(height, width, band.data());
        if (job.filterFlags[b] && job.filterType != FilterType16::None) {
            const Kernel16 kernel =
                job.filterType == FilterType16::Sharpen ? Kernel16::Sharpen : Kernel16::Detail;
            FilterBand(height, width, band.data(), kernel, state.host);
            if (!state.Pump()) return StepResult::Cancelled;
        }
        ClipBand(count, band.data());
        if (state.outputs.kind == PanOutputKind::Idrisi && count > 0) {
            const auto [lowest, highest] = std::minmax_element(band.begin(), band.end());
            state.minValue[b] = *lowest;
            state.maxValue[b] = *highest;
        }
        if (b != kNir && !job.colourMatch) {
            state.limits[b] = ComputeStretchCutoffs16(count, band.data(), job.stretch.leftCutoff[b],
                                                      job.stretch.rightCutoff[b]);
        }
        if (!WriteRows(state, b, 0, state.height, band.data())) return StepResult::Failed;
        state.log.Append(kDots[b]);
        if (!state.Pump()) return StepResult::Cancelled;
    }
    return StepResult::Ok;
}

namespace {

// Byte of every 16-bit value for one band, so the picture loop is a table look-up.
std::vector<std::uint8_t> StretchTable(const StretchCutoffs& limits, int strength)
{
    std::vector<std::uint8_t> table(65536);
    for (int raw = 0; raw < 65536; ++raw) {
        const auto value = static_cast<std::int16_t>(static_cast<std::uint16_t>(raw));
        table[raw] = StretchByte(value, limits.low, limits.high, strength);
    }
    return table;
}

}  // namespace

StepResult WriteFusedBmp(PanRunState& state)
{
    const auto width = static_cast<std::int32_t>(state.width);
    const auto height = static_cast<std::int32_t>(state.height);
    const std::int64_t stride = BmpRowStride(width);
    std::array<std::vector<std::uint8_t>, 3> tables;
    for (int b = kBlue; b <= kRed; ++b) {
        tables[b] = StretchTable(state.limits[b], state.job.stretch.nonlinear[b]);
    }
    const std::int32_t maxStrip = BmpStripOf(height, 0).lineCount;
    std::vector<std::uint8_t> rows;
    std::array<std::vector<std::int16_t>, 3> lines;
    if (!TryAllocate(rows, stride * maxStrip, state.host)) return StepResult::Failed;
    for (auto& line : lines) {
        if (!TryAllocate(line, state.width * maxStrip, state.host)) return StepResult::Failed;
    }
    BmpStripWriter writer;
    if (!writer.Create(state.job.bmpName, width, height, state.host)) return StepResult::Failed;
    std::int64_t rowsDone = 0;
    for (int strip = 0; strip < kStripCount; ++strip) {
        const BmpStrip part = BmpStripOf(height, strip);
        if (part.lineCount <= 0) continue;
        for (int b = kBlue; b <= kRed; ++b) {
            const std::int64_t bytes = state.width * part.lineCount * 2;
            if (state.fused[b].ReadAt(part.firstLine * state.width * 2, bytes, lines[b].data()) != bytes) {
                state.host.ShowMessage(kLengthProblem);
                return StepResult::Failed;
            }
        }
        std::fill(rows.begin(), rows.end(), 0);
        for (std::int32_t i = 0; i < part.lineCount; ++i) {
            // File order is bottom-up: the strip's last line comes first.
            std::uint8_t* out = rows.data() + static_cast<std::int64_t>(part.lineCount - 1 - i) * stride;
            const std::int64_t at = static_cast<std::int64_t>(i) * state.width;
            for (std::int64_t x = 0; x < state.width; ++x) {
                for (int b = kBlue; b <= kRed; ++b) {
                    out[3 * x + b] = tables[b][static_cast<std::uint16_t>(lines[b][at + x])];
                }
            }
        }
        if (!writer.WriteStrip(part.firstLine, part.lineCount, rows.data(), state.host)) {
            return StepResult::Failed;
        }
        rowsDone += part.lineCount;
        state.progress.SetPosition(static_cast<int>(rowsDone * 100 / state.height));
        if (!state.Pump()) return StepResult::Cancelled;
    }
    if (!writer.Close()) {
        state.host.ShowMessage("Error during writing image");
        return StepResult::Failed;
    }
    return StepResult::Ok;
}

}  // namespace lumesta
