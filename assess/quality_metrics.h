#pragma once
// The fusion quality metrics over whole images read as row streams, in strips of block rows
// (32 rows plus the halos the filters need), so memory stays bounded for any image size. Each
// block and each row is computed by one thread, and sums are combined in image order, so the
// numbers do not depend on the number of threads.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "imaging/row_stream.h"

namespace lumesta {

// A per-block map: rows × columns of block values, row-major.
struct BlockMap {
    std::int64_t rows = 0;
    std::int64_t columns = 0;
    std::vector<double> values;
};

// Reduced resolution: fused F against reference G on the same grid.
struct ReducedMetrics {
    double ergas = 0;
    double sam = 0;  // degrees
    double q2n = 0;
    double q = 0;
    double scc = 0;
    std::vector<double> qBands;
    BlockMap q2nMap;  // blocks of 32 with shift 32, the image mirror-padded to whole blocks
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
    BlockMap qnrMap;        // whole blocks only
    std::string undefined;  // as in ReducedMetrics
};

// Answers false to stop (a cancel); called once per block row.
using QualityPump = std::function<bool()>;

// ERGAS (with the resolution ratio), SAM, Q2n, Q per band and overall, SCC. fused and reference
// hold the same number of bands, every stream the same size. Results that divide by zero are NaN
// and named in result.undefined (ERGAS with a zero band mean of the reference, SCC without
// gradients or below 3 x 3 pixels, SAM without a pixel that is not zero in both, Q below one
// block; any of them when a sample is not a number). False when pump answered false or a stream
// failed (its message was shown).
bool ComputeReducedMetrics(const std::vector<RowStream*>& fused,
                           const std::vector<RowStream*>& reference, int ratio,
                           const QualityPump& pump, ReducedMetrics& result);

// D_lambda, D_s, QNR. fused: N bands at pan size; ms: N bands at pan size / ratio; pan and
// panForDegrading: the pan twice (two independent readers; the second is MTF-filtered with
// panGain, decimated and upsampled). ratio a power of two. Results that are undefined (below
// one block, D_lambda of one band) are NaN and named in result.undefined. False as above.
bool ComputeFullMetrics(const std::vector<RowStream*>& fused, const std::vector<RowStream*>& ms,
                        RowStream& pan, RowStream& panForDegrading, int ratio, double panGain,
                        const QualityPump& pump, FullMetrics& result);

}  // namespace lumesta
