#pragma once
// The fusion step (Step 2) of both pan-sharpening runs: the strip buffers, the partition of
// the MS cell rows into eight strips and the loop that fuses them and hands the fused rows to
// the bands' post-processing.

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/allocate.h"
#include "core/host.h"
#include "fusion/band_pass.h"
#include "fusion/parallel_rows.h"
#include "core/step_result.h"
#include "raster/raw_file.h"

namespace lumesta {

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
// and handed on in order), then zero rows up to the last row. Every band's rows go through its
// post-processing walk, which writes the finished rows to the band's file. Cell rows are
// independent and each writes its own output rows, so the bytes do not depend on the number of
// threads. A failed write shows the output-file message.
template <typename T, int N>
StepResult FuseAllStrips(const FusionTarget& target, std::array<BandPass<T>, N>& passes,
                         RunProgress& progress, Host& host, const std::function<bool()>& pump,
                         const std::function<bool(FusionStrip<T, N>&, std::int64_t, std::int64_t)>& prepare,
                         const std::function<void(FusionStrip<T, N>&, std::int64_t)>& fuseRow);

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
StepResult FuseAllStrips(const FusionTarget& target, std::array<BandPass<T>, N>& passes,
                         RunProgress& progress, Host& host, const std::function<bool()>& pump,
                         const std::function<bool(FusionStrip<T, N>&, std::int64_t, std::int64_t)>& prepare,
                         const std::function<void(FusionStrip<T, N>&, std::int64_t)>& fuseRow)
{
    // The bands' walks are independent: each strip's rows go to them on every core.
    auto passAll = [&](const std::function<bool(BandPass<T>&, int)>& step) {
        return WalkAllBands(passes, host, step);
    };
    auto writeZeroRows = [&](std::int64_t firstRow, std::int64_t rows) {
        const std::vector<T> zeros(static_cast<std::size_t>(target.width * std::min<std::int64_t>(rows, 64)));
        for (std::int64_t row = firstRow; row < firstRow + rows; row += 64) {
            const std::int64_t count = std::min<std::int64_t>(64, firstRow + rows - row);
            if (!passAll([&](BandPass<T>& pass, int) { return pass.Take(zeros.data(), count); })) {
                return false;
            }
        }
        return true;
    };
    // Each of the eight strips is fused in pieces of a bounded number of cell rows, so the
    // buffers do not grow with the image; cell rows are independent, so the bytes are the same.
    FusionStrip<T, N> strip;
    const std::int64_t stripCells = std::max<std::int64_t>((target.msHeight + 7) / 8, 1);
    const std::int64_t cellBytes =
        static_cast<std::int64_t>(sizeof(T)) * (target.ratio * target.width * (N + 1) + target.msWidth * (N + 1)) +
        4 * target.msWidth;
    const std::int64_t pieceCells =
        std::clamp<std::int64_t>((std::int64_t{24} << 20) / std::max<std::int64_t>(cellBytes, 1), 1, stripCells);
    if (!strip.Allocate(target.ratio, pieceCells, target.width, target.msWidth, host)) {
        return StepResult::Failed;
    }
    std::int64_t nextRow = std::min<std::int64_t>(target.ratio / 2, target.height);
    if (!writeZeroRows(0, nextRow)) return StepResult::Failed;
    const StepResult result = ForEachFusionStrip(
        target.msHeight, [&](int index, std::int64_t firstCell, std::int64_t cells) {
            progress.SetPosition(static_cast<int>(index * 12.5));
            for (std::int64_t first = firstCell; first < firstCell + cells; first += pieceCells) {
                const std::int64_t count = std::min(pieceCells, firstCell + cells - first);
                if (!prepare(strip, first, count)) return StepResult::Failed;
                if (!ForEachRowInParallel(count, [&](std::int64_t d) { fuseRow(strip, d); }, pump)) {
                    return StepResult::Cancelled;
                }
                if (!passAll([&](BandPass<T>& pass, int band) {
                        return pass.Take(strip.out[band].data(), target.ratio * count);
                    })) {
                    return StepResult::Failed;
                }
                nextRow += target.ratio * count;
            }
            return StepResult::Ok;
        });
    if (result != StepResult::Ok) return result;
    if (!writeZeroRows(nextRow, target.height - nextRow)) return StepResult::Failed;
    return passAll([](BandPass<T>& pass, int) { return pass.Finish(); }) ? StepResult::Ok
                                                                          : StepResult::Failed;
}

}  // namespace lumesta
