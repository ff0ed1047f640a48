#pragma once
// The fusion quality metrics over whole images read as windows of rows, so memory stays bounded
// for any image size: the pixel metrics go through full rows a few at a time, the block metrics
// through panels of columns (as wide as a byte budget allows) in strips of block rows, their
// per-block values kept in image order (BlockStore). Each block and each row is computed by one
// thread, and sums are combined in image order, so the numbers depend neither on the number of
// threads nor on the panels.
//
// No data arrives as NaN. A pixel is no data when any band of any input is; such pixels take no
// part in ERGAS and SAM, blocks holding one are left out of Q, Q2n and the full-resolution
// block statistics, and SCC leaves out the pixels whose 3 × 3 window touches one.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/host.h"
#include "imaging/row_window.h"

namespace lumesta {

// Reduced resolution: fused F against reference G on the same grid.
struct ReducedMetrics {
    double ergas = 0;
    double sam = 0;  // degrees
    double q2n = 0;
    double q = 0;
    double scc = 0;
    std::vector<double> qBands;
    // Blocks of the Q2n grid (32 with shift 32, the image mirror-padded to whole blocks) that
    // hold no no-data pixel, and all of them.
    std::int64_t blocksUsed = 0;
    std::int64_t blocksTotal = 0;
    // The first metric (in the order above) the images leave undefined, as the message that
    // names it and why ("ERGAS is undefined: band 2 of the reference has mean 0."); empty when
    // every metric is defined.
    std::string undefined;
};

// Full resolution: fused F against the MS M (upsampled) and the pan P.
struct FullMetrics {
    double dLambda = 0;
    double dS = 0;
    double qnr = 0;
    std::int64_t blocksUsed = 0;  // whole blocks without no data, of all whole blocks
    std::int64_t blocksTotal = 0;
    std::string undefined;  // as in ReducedMetrics
};

// Answers false to stop (a cancel); called once per block row.
using QualityPump = std::function<bool()>;

// The rows and columns of a per-block map.
struct BlockGrid {
    std::int64_t rows = 0;
    std::int64_t columns = 0;
};
BlockGrid ReducedMapGrid(std::int64_t width, std::int64_t height);  // the Q2n grid
BlockGrid FullMapGrid(std::int64_t width, std::int64_t height);     // whole blocks only

// Receives a per-block map a block row at a time, top to bottom (Q2n or QNR of each block; NaN
// for a block left out). False stops the measurement (its message shown).
using BlockRowSink = std::function<bool(const std::vector<double>& row)>;

// The bytes a panel's strip of block rows may hold.
inline constexpr std::int64_t kQualityPanelBytes = std::int64_t{24} << 20;

// ERGAS (with the resolution ratio), SAM, Q2n, Q per band and overall, SCC. fused and reference
// hold the same number of bands, every source the same size. Results that divide by zero are NaN
// and named in result.undefined (ERGAS with a zero band mean of the reference, SCC without
// gradients or below 3 x 3 pixels, SAM without a pixel that is not zero in both, Q below one
// block, any of them when no data leaves nothing to measure or a sample is not a number). map,
// when given, receives the Q2n map. False when pump answered false or a reader or the block
// store failed (its message was shown).
bool ComputeReducedMetrics(const std::vector<RowWindowSource*>& fused,
                           const std::vector<RowWindowSource*>& reference, int ratio,
                           const QualityPump& pump, Host& host, ReducedMetrics& result,
                           const BlockRowSink& map = {},
                           std::int64_t panelBytes = kQualityPanelBytes);

// D_lambda, D_s, QNR. fused: N bands at pan size; ms: N bands at pan size / ratio; pan and
// panForDegrading: the pan twice (two independent readers; the second is MTF-filtered with
// panGain, decimated and upsampled). ratio a power of two. Results that are undefined (below one
// block, every block holding no data, D_lambda of one band) are NaN and named in
// result.undefined. map receives the QNR map. False as above.
bool ComputeFullMetrics(const std::vector<RowWindowSource*>& fused,
                        const std::vector<RowWindowSource*>& ms, RowWindowSource& pan,
                        RowWindowSource& panForDegrading, int ratio, double panGain,
                        const QualityPump& pump, Host& host, FullMetrics& result,
                        const BlockRowSink& map = {}, std::int64_t panelBytes = kQualityPanelBytes);

}  // namespace lumesta
