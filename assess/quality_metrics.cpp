#include "assess/quality_metrics.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "assess/block_store.h"
#include "assess/quality_kernels.h"
#include "core/parallel_for.h"
#include "imaging/interpolator23.h"
#include "imaging/mtf_filter.h"

namespace lumesta {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kDegreesPerRadian = 57.295779513082320876798154814105;

// The pixel metrics hold this many bytes of full rows (at least three rows of every input).
constexpr std::int64_t kPixelRowBytes = std::int64_t{8} << 20;

// MS columns read beyond a panel on either side, so that the panel's upsampled MS and degraded
// pan equal those of the whole image: the filters' edge handling at the window's borders reaches
// fewer columns than this.
constexpr std::int64_t kFullHalo = 32;

std::int64_t WholeBlocks(std::int64_t side)
{
    return side / kQualityBlock;
}
std::int64_t PaddedBlocks(std::int64_t side)
{
    return (side + kQualityBlock - 1) / kQualityBlock;
}

std::string SizeText(std::int64_t width, std::int64_t height)
{
    return "(" + std::to_string(width) + " x " + std::to_string(height) + ")";
}

std::string NoWholeBlock(std::int64_t width, std::int64_t height)
{
    return " is undefined: the image " + SizeText(width, height) +
           " holds no whole block of 32 x 32 pixels.";
}

// A metric that came out NaN for a reason not named otherwise: a sample that is no number.
std::string NotANumber(const char* metric)
{
    return std::string(metric) + " is undefined: the images hold samples that are not numbers.";
}

std::string NoDataEverywhere(const char* metric, const char* where)
{
    return std::string(metric) + " is undefined: every " + where + " holds no data.";
}

// Columns [first, end) of the block grid a panel covers.
struct Panel {
    std::int64_t first = 0;
    std::int64_t end = 0;
};

// The grid's block columns split evenly into panels of at most the columns whose strip of
// stripRows rows of every stream fits panelBytes.
std::vector<Panel> PanelsOf(std::int64_t blockColumns, std::int64_t stripRows, std::int64_t streams,
                            std::int64_t panelBytes)
{
    const std::int64_t bytesPerBlock =
        stripRows * streams * kQualityBlock * static_cast<std::int64_t>(sizeof(double));
    const std::int64_t most = std::max<std::int64_t>(1, panelBytes / bytesPerBlock);
    const std::int64_t count = std::max<std::int64_t>(1, (blockColumns + most - 1) / most);
    const std::int64_t each = (blockColumns + count - 1) / count;
    std::vector<Panel> panels;
    for (std::int64_t first = 0; first < blockColumns; first += each)
        panels.push_back({first, std::min(blockColumns, first + each)});
    return panels;
}

// Rows of every stream held side by side: stream s, row r at Row(s, r), width samples apart.
class RowBuffer {
public:
    RowBuffer(std::int64_t streams, std::int64_t rows, std::int64_t width)
        : m_rows(rows),
          m_width(width),
          m_data(static_cast<std::size_t>(streams),
                 std::vector<double>(static_cast<std::size_t>(rows * width)))
    {
    }
    double* Row(std::size_t stream, std::int64_t r) { return m_data[stream].data() + r * m_width; }
    const double* Row(std::size_t stream, std::int64_t r) const
    {
        return m_data[stream].data() + r * m_width;
    }
    std::int64_t Stride() const { return m_width; }
    std::size_t Streams() const { return m_data.size(); }

    // A pixel that is no data (NaN) in any stream becomes no data in every stream, so that each
    // band's filters and blocks see where any input has none.
    void SpreadNoData(std::int64_t r)
    {
        for (std::int64_t x = 0; x < m_width; ++x) {
            bool missing = false;
            for (const auto& stream : m_data)
                missing = missing || std::isnan(stream[r * m_width + x]);
            if (!missing) continue;
            for (auto& stream : m_data) stream[r * m_width + x] = kNaN;
        }
    }
    void SpreadNoData()
    {
        ParallelFor(m_rows, [&](std::int64_t r) { SpreadNoData(r); });
    }

private:
    std::int64_t m_rows;
    std::int64_t m_width;
    std::vector<std::vector<double>> m_data;
};

bool BlockHasNoData(const double* block, std::int64_t stride)
{
    for (int r = 0; r < kQualityBlock; ++r) {
        for (int c = 0; c < kQualityBlock; ++c) {
            if (std::isnan(block[r * stride + c])) return true;
        }
    }
    return false;
}

// The sums of one image row: per band Σ(F − G)² and ΣG over its valid pixels, the angles, the
// gradient products.
struct RowSums {
    std::vector<double> squaredError;
    std::vector<double> referenceSum;
    std::int64_t validPixels = 0;
    double angles = 0;
    std::int64_t angleCount = 0;
    double gradientFG = 0;
    double gradientFF = 0;
    double gradientGG = 0;
};

// Row r of rows (image row y); rows r − 1 and r + 1 are its neighbours when y is inside.
void SumRow(const RowBuffer& rows, int bands, std::int64_t r, std::int64_t y, std::int64_t width,
            std::int64_t height, RowSums& sums)
{
    sums = RowSums{};
    sums.squaredError.assign(static_cast<std::size_t>(bands), 0.0);
    sums.referenceSum.assign(static_cast<std::size_t>(bands), 0.0);
    const double* first = rows.Row(0, r);
    for (std::int64_t x = 0; x < width; ++x) sums.validPixels += std::isnan(first[x]) ? 0 : 1;
    for (int k = 0; k < bands; ++k) {
        const double* f = rows.Row(k, r);
        const double* g = rows.Row(bands + k, r);
        for (std::int64_t x = 0; x < width; ++x) {
            if (std::isnan(f[x])) continue;
            const double d = f[x] - g[x];
            sums.squaredError[k] += d * d;
            sums.referenceSum[k] += g[x];
        }
    }
    std::vector<double> f(static_cast<std::size_t>(bands)), g(static_cast<std::size_t>(bands));
    for (std::int64_t x = 0; x < width; ++x) {
        for (int k = 0; k < bands; ++k) {
            f[k] = rows.Row(k, r)[x];
            g[k] = rows.Row(bands + k, r)[x];
        }
        // No data gives NaN, which is not counted.
        const double angle = SpectralAngle(f.data(), g.data(), bands, 1);
        if (angle >= 0) {
            sums.angles += angle;
            ++sums.angleCount;
        }
    }
    if (y < 1 || y > height - 2) return;
    for (int k = 0; k < bands; ++k) {
        const double* fa = rows.Row(k, r - 1);
        const double* fm = rows.Row(k, r);
        const double* fb = rows.Row(k, r + 1);
        const double* ga = rows.Row(bands + k, r - 1);
        const double* gm = rows.Row(bands + k, r);
        const double* gb = rows.Row(bands + k, r + 1);
        for (std::int64_t x = 1; x + 1 < width; ++x) {
            const double gf = SobelMagnitude(fa, fm, fb, x);
            const double gg = SobelMagnitude(ga, gm, gb, x);
            // The window touches no data (the gradient leaves out the centre: asked apart).
            if (std::isnan(gf) || std::isnan(gg) || std::isnan(fm[x])) continue;
            sums.gradientFG += gf * gg;
            sums.gradientFF += gf * gf;
            sums.gradientGG += gg * gg;
        }
    }
}

// Every row's sums, added in image order.
struct PixelTotals {
    std::vector<double> squaredError;
    std::vector<double> referenceSum;
    std::int64_t validPixels = 0;
    double angles = 0;
    std::int64_t angleCount = 0;
    double fg = 0, ff = 0, gg = 0;

    void Add(const RowSums& row)
    {
        for (std::size_t k = 0; k < squaredError.size(); ++k) {
            squaredError[k] += row.squaredError[k];
            referenceSum[k] += row.referenceSum[k];
        }
        validPixels += row.validPixels;
        angles += row.angles;
        angleCount += row.angleCount;
        fg += row.gradientFG;
        ff += row.gradientFF;
        gg += row.gradientGG;
    }
};

// ERGAS, SAM and SCC: full rows, a few at a time with the rows above and below them.
bool SumPixels(const std::vector<RowWindowSource*>& streams, int bands, const QualityPump& pump,
               PixelTotals& totals)
{
    const std::int64_t width = streams[0]->Width();
    const std::int64_t height = streams[0]->Height();
    const auto count = static_cast<std::int64_t>(streams.size());
    const std::int64_t step = std::clamp<std::int64_t>(
        kPixelRowBytes / std::max<std::int64_t>(1, width * count * 8) - 2, 1, 64);
    RowBuffer rows(count, step + 2, width);  // buffer row r holds image row first − 1 + r
    std::vector<RowSums> sums(static_cast<std::size_t>(step));
    totals.squaredError.assign(static_cast<std::size_t>(bands), 0.0);
    totals.referenceSum.assign(static_cast<std::size_t>(bands), 0.0);
    for (std::int64_t first = 0; first < height; first += step) {
        const std::int64_t top = std::max<std::int64_t>(first - 1, 0);
        const std::int64_t end = std::min(height, first + step + 1);
        std::atomic<bool> failed{false};
        ParallelFor(count, [&](std::int64_t s) {
            for (std::int64_t y = top; y < end && !failed; ++y) {
                if (!streams[s]->ReadRow(y, 0, width, rows.Row(s, y - first + 1))) failed = true;
            }
        });
        if (failed) return false;
        ParallelFor(end - top, [&](std::int64_t i) { rows.SpreadNoData(top + i - first + 1); });
        const std::int64_t rowCount = std::min(step, height - first);
        ParallelFor(rowCount, [&](std::int64_t i) {
            SumRow(rows, bands, i + 1, first + i, width, height, sums[i]);
        });
        for (std::int64_t i = 0; i < rowCount; ++i) totals.Add(sums[i]);
        if (!pump()) return false;
    }
    return true;
}

// Reads the strip of block row blockRow for a panel: image rows blockRow·32 − 1 + r (r < rows,
// mirrored at the image's edges) and the panel's columns, mirrored beyond the image's right
// edge. Each stream is read by one thread.
bool FillPanelStrip(const std::vector<RowWindowSource*>& streams, std::int64_t top,
                    std::int64_t rows, const Panel& panel, RowBuffer& strip)
{
    const std::int64_t width = streams[0]->Width();
    const std::int64_t height = streams[0]->Height();
    const std::int64_t left = panel.first * kQualityBlock;
    const std::int64_t columns = (panel.end - panel.first) * kQualityBlock;
    // Columns beyond the edge mirror the last 32 or fewer: those are read too.
    const std::int64_t readLeft = std::max<std::int64_t>(0, std::min(left, width - kQualityBlock));
    const std::int64_t readEnd = std::min(width, left + columns);
    std::atomic<bool> failed{false};
    ParallelFor(static_cast<std::int64_t>(streams.size()), [&](std::int64_t s) {
        std::vector<double> read(static_cast<std::size_t>(readEnd - readLeft));
        for (std::int64_t r = 0; r < rows && !failed; ++r) {
            if (!streams[s]->ReadRow(MirrorIndex(top + r, height), readLeft, readEnd - readLeft,
                                     read.data())) {
                failed = true;
                break;
            }
            double* out = strip.Row(static_cast<std::size_t>(s), r);
            for (std::int64_t x = 0; x < columns; ++x)
                out[x] = read[static_cast<std::size_t>(MirrorIndex(left + x, width) - readLeft)];
        }
    });
    strip.SpreadNoData();
    return !failed;
}

// Per block: 1 when it holds no no data (else 0), Q of each band (NaN for a partial block),
// Q2n.
void ReducedBlock(const RowBuffer& strip, int bands, std::int64_t blockRow, std::int64_t column,
                  std::int64_t panelFirst, std::int64_t width, std::int64_t height, double* out)
{
    const std::int64_t at = (column - panelFirst) * kQualityBlock;
    std::vector<const double*> f(static_cast<std::size_t>(bands)),
        g(static_cast<std::size_t>(bands));
    for (int k = 0; k < bands; ++k) {
        f[k] = strip.Row(k, 1) + at;
        g[k] = strip.Row(bands + k, 1) + at;
    }
    const bool valid = !BlockHasNoData(f[0], strip.Stride());
    out[0] = valid ? 1 : 0;
    const bool whole = blockRow < WholeBlocks(height) && column < WholeBlocks(width);
    for (int k = 0; k < bands; ++k) {
        out[1 + k] =
            valid && whole ? QualityIndexOfBlocks(f[k], g[k], strip.Stride(), kQualityBlock) : kNaN;
    }
    out[1 + bands] = valid ? Q2nOfBlock(f, g, strip.Stride(), kQualityBlock) : kNaN;
}

bool MeasureReducedBlocks(const std::vector<RowWindowSource*>& streams, int bands,
                          const QualityPump& pump, std::int64_t panelBytes, BlockStore& store)
{
    const std::int64_t width = streams[0]->Width();
    const std::int64_t height = streams[0]->Height();
    const int values = bands + 2;
    const std::int64_t stripRows = kQualityBlock + 2;
    for (const Panel& panel : PanelsOf(PaddedBlocks(width), stripRows,
                                       static_cast<std::int64_t>(streams.size()), panelBytes)) {
        RowBuffer strip(static_cast<std::int64_t>(streams.size()), stripRows,
                        (panel.end - panel.first) * kQualityBlock);
        std::vector<double> blockValues(
            static_cast<std::size_t>((panel.end - panel.first) * values));
        for (std::int64_t blockRow = 0; blockRow < PaddedBlocks(height); ++blockRow) {
            if (!FillPanelStrip(streams, blockRow * kQualityBlock - 1, stripRows, panel, strip))
                return false;
            ParallelFor(panel.end - panel.first, [&](std::int64_t i) {
                ReducedBlock(strip, bands, blockRow, panel.first + i, panel.first, width, height,
                             blockValues.data() + i * values);
            });
            if (!store.Put(blockRow, panel.first, panel.end - panel.first, blockValues.data()) ||
                !pump()) {
                return false;
            }
        }
    }
    return true;
}

void FinishPixels(const PixelTotals& totals, int bands, int ratio, ReducedMetrics& result)
{
    double relative = 0;
    bool zeroMean = false;
    const std::int64_t pixels = totals.validPixels;
    for (int k = 0; k < bands; ++k) {
        const double mean = totals.referenceSum[k] / pixels;
        zeroMean = zeroMean || mean == 0 || pixels == 0;
        relative += (totals.squaredError[k] / pixels) / (mean * mean);
    }
    result.ergas = zeroMean ? kNaN : (100.0 / ratio) * std::sqrt(relative / bands);
    result.sam =
        totals.angleCount == 0 ? kNaN : totals.angles / totals.angleCount * kDegreesPerRadian;
    const double denominator = std::sqrt(totals.ff) * std::sqrt(totals.gg);
    result.scc = denominator == 0 ? kNaN : totals.fg / denominator;
}

// Q per band and Q2n from the stored blocks, in image order; the Q2n map to map.
bool FinishBlocks(BlockStore& store, BlockGrid grid, int bands, const BlockRowSink& map,
                  ReducedMetrics& result)
{
    const int values = bands + 2;
    std::vector<double> qSums(static_cast<std::size_t>(bands), 0.0);
    std::int64_t wholeUsed = 0;
    double q2n = 0;
    std::vector<double> row, mapRow(static_cast<std::size_t>(grid.columns));
    for (std::int64_t blockRow = 0; blockRow < grid.rows; ++blockRow) {
        if (!store.TakeRow(blockRow, row)) return false;
        for (std::int64_t column = 0; column < grid.columns; ++column) {
            const double* block = row.data() + column * values;
            mapRow[column] = block[0] != 0 ? block[1 + bands] : kNaN;
            if (block[0] == 0) continue;
            ++result.blocksUsed;
            q2n += block[1 + bands];
            if (std::isnan(block[1])) continue;  // not a whole block
            ++wholeUsed;
            for (int k = 0; k < bands; ++k) qSums[k] += block[1 + k];
        }
        if (map && !map(mapRow)) return false;
    }
    result.blocksTotal = grid.rows * grid.columns;
    result.qBands.assign(static_cast<std::size_t>(bands), kNaN);
    result.q = 0;
    for (int k = 0; k < bands; ++k) {
        result.qBands[k] = wholeUsed == 0 ? kNaN : qSums[k] / static_cast<double>(wholeUsed);
        result.q += result.qBands[k];
    }
    result.q /= bands;
    result.q2n = result.blocksUsed == 0 ? kNaN : q2n / static_cast<double>(result.blocksUsed);
    return true;
}

// Why the first undefined metric of result is undefined (ERGAS, SAM, Q2n, Q, SCC in turn).
std::string ReducedUndefined(const ReducedMetrics& result, const PixelTotals& totals,
                             std::int64_t width, std::int64_t height)
{
    if (std::isnan(result.ergas)) {
        if (totals.validPixels == 0) return NoDataEverywhere("ERGAS", "pixel");
        for (std::size_t k = 0; k < totals.referenceSum.size(); ++k) {
            if (totals.referenceSum[k] / static_cast<double>(totals.validPixels) == 0) {
                return "ERGAS is undefined: band " + std::to_string(k + 1) +
                       " of the reference has mean 0.";
            }
        }
        return NotANumber("ERGAS");
    }
    if (std::isnan(result.sam)) {
        return totals.angleCount == 0 ? "SAM is undefined: no pixel is nonzero in both the fused "
                                        "image and the reference."
                                      : NotANumber("SAM");
    }
    if (std::isnan(result.q2n)) {
        return result.blocksUsed == 0 ? NoDataEverywhere("Q2n", "block") : NotANumber("Q2n");
    }
    if (std::isnan(result.q)) {
        if (width < kQualityBlock || height < kQualityBlock)
            return "Q" + NoWholeBlock(width, height);
        return result.blocksUsed < result.blocksTotal ? NoDataEverywhere("Q", "whole block")
                                                      : NotANumber("Q");
    }
    if (std::isnan(result.scc)) {
        if (width < 3 || height < 3)
            return "SCC is undefined: the image " + SizeText(width, height) +
                   " is smaller than 3 x 3 pixels.";
        if (totals.gg == 0)
            return "SCC is undefined: the reference has no gradient (its bands are constant).";
        if (totals.ff == 0)
            return "SCC is undefined: the fused image has no gradient (its bands are constant).";
        return NotANumber("SCC");
    }
    return {};
}

}  // namespace

BlockGrid ReducedMapGrid(std::int64_t width, std::int64_t height)
{
    return {PaddedBlocks(height), PaddedBlocks(width)};
}

BlockGrid FullMapGrid(std::int64_t width, std::int64_t height)
{
    return {WholeBlocks(height), WholeBlocks(width)};
}

bool ComputeReducedMetrics(const std::vector<RowWindowSource*>& fused,
                           const std::vector<RowWindowSource*>& reference, int ratio,
                           const QualityPump& pump, Host& host, ReducedMetrics& result,
                           const BlockRowSink& map, std::int64_t panelBytes)
{
    result = ReducedMetrics{};
    const int bands = static_cast<int>(fused.size());
    std::vector<RowWindowSource*> streams(fused);
    streams.insert(streams.end(), reference.begin(), reference.end());
    PixelTotals totals;
    if (!SumPixels(streams, bands, pump, totals)) return false;
    FinishPixels(totals, bands, ratio, result);
    const BlockGrid grid = ReducedMapGrid(streams[0]->Width(), streams[0]->Height());
    BlockStore store;
    if (!store.Open(grid.rows, grid.columns, bands + 2, host) ||
        !MeasureReducedBlocks(streams, bands, pump, panelBytes, store) ||
        !FinishBlocks(store, grid, bands, map, result)) {
        return false;
    }
    result.undefined = ReducedUndefined(result, totals, streams[0]->Width(), streams[0]->Height());
    return true;
}

namespace {

// The streams one panel of the full-resolution protocol reads: the fused bands and the pan over
// the panel's columns, the MS upsampled and the pan degraded and upsampled from windows wider by
// kFullHalo MS columns on each side, cut to the panel.
class FullPanelStreams {
public:
    FullPanelStreams(const std::vector<RowWindowSource*>& fused,
                     const std::vector<RowWindowSource*>& ms, RowWindowSource& pan,
                     RowWindowSource& panForDegrading, int ratio, double panGain, std::int64_t left,
                     std::int64_t width)
    {
        const std::int64_t height = pan.Height();
        for (RowWindowSource* band : fused)
            Keep(std::make_unique<WindowRowStream>(*band, left, width, 2));
        std::vector<RowStream*> upsampled;
        for (RowWindowSource* band : ms) {
            const std::int64_t a = std::max<std::int64_t>(0, left / ratio - kFullHalo);
            const std::int64_t b = std::min(band->Width(), (left + width) / ratio + kFullHalo);
            m_owned.push_back(std::make_unique<WindowRowStream>(*band, a, b - a, 2));
            upsampled.push_back(
                &Upsampled(*m_owned.back(), ratio, left - a * ratio, width, height));
        }
        m_streams.insert(m_streams.end(), upsampled.begin(), upsampled.end());
        Keep(std::make_unique<WindowRowStream>(pan, left, width, 2));
        const std::int64_t a = std::max<std::int64_t>(0, left - kFullHalo * ratio);
        const std::int64_t b = std::min(pan.Width(), left + width + kFullHalo * ratio);
        m_owned.push_back(
            std::make_unique<WindowRowStream>(panForDegrading, a, b - a, kMtfTaps + 1));
        m_owned.push_back(std::make_unique<MtfFilterStream>(
            *m_owned.back(), MtfGaussian(panGain, ratio), ratio, ratio / 2));
        m_streams.push_back(&Upsampled(*m_owned.back(), ratio, left - a, width, height));
    }
    const std::vector<RowStream*>& Streams() const { return m_streams; }
    bool Failed() const
    {
        return std::any_of(m_owned.begin(), m_owned.end(),
                           [](const auto& s) { return s->Failed(); });
    }

private:
    void Keep(std::unique_ptr<RowStream> stream)
    {
        m_streams.push_back(stream.get());
        m_owned.push_back(std::move(stream));
    }
    RowStream& Upsampled(RowStream& source, int ratio, std::int64_t offset, std::int64_t width,
                         std::int64_t height)
    {
        m_chains.push_back(std::make_unique<UpsampleChain>(source, ratio));
        m_owned.push_back(
            std::make_unique<CropStream>(m_chains.back()->Output(), offset, 0, width, height, 2));
        return *m_owned.back();
    }

    std::vector<std::unique_ptr<UpsampleChain>> m_chains;
    std::vector<std::unique_ptr<RowStream>> m_owned;
    std::vector<RowStream*> m_streams;
};

// Per block the Q values of every pair the full-resolution metrics compare: first Q(F_i, F_j)
// and Q(M_i, M_j) for i < j, then Q(F_i, P) and Q(M_i, P̃).
void FullBlockQ(const RowBuffer& strip, int bands, std::int64_t at, double* out)
{
    const int streams = 2 * bands + 2;
    std::vector<BlockMoments> moments(static_cast<std::size_t>(streams));
    std::vector<const double*> block(static_cast<std::size_t>(streams));
    for (int s = 0; s < streams; ++s) {
        block[s] = strip.Row(s, 0) + at;
        moments[s] = MomentsOf(block[s], strip.Stride(), kQualityBlock);
    }
    auto q = [&](int a, int b) {
        return QualityIndex(moments[a], moments[b],
                            CrossOf(block[a], block[b], strip.Stride(), kQualityBlock,
                                    moments[a].mean, moments[b].mean),
                            kQualityBlock);
    };
    int index = 0;
    for (int i = 0; i < bands; ++i) {
        for (int j = i + 1; j < bands; ++j) {
            out[index++] = q(i, j);
            out[index++] = q(bands + i, bands + j);
        }
    }
    for (int i = 0; i < bands; ++i) {
        out[index++] = q(i, 2 * bands);
        out[index++] = q(bands + i, 2 * bands + 1);
    }
}

// D_lambda and D_s from the Q values of the pairs (laid out as FullBlockQ lays them out).
void Distortions(const double* q, int bands, double& dLambda, double& dS)
{
    double spectral = 0;
    int at = 0;
    for (int i = 0; i < bands; ++i) {
        for (int j = i + 1; j < bands; ++j, at += 2) spectral += std::fabs(q[at] - q[at + 1]);
    }
    double spatial = 0;
    for (int i = 0; i < bands; ++i, at += 2) spatial += std::fabs(q[at] - q[at + 1]);
    dLambda = spectral * 2.0 / (bands * (bands - 1.0));
    dS = spatial / bands;
}

bool MeasureFullPanel(const FullPanelStreams& panel, const Panel& columns, int bands,
                      std::int64_t blockRows, const QualityPump& pump, BlockStore& store)
{
    const int pairs = bands * (bands - 1) + 2 * bands;
    const std::vector<RowStream*>& streams = panel.Streams();
    const std::int64_t blocks = columns.end - columns.first;
    RowBuffer strip(static_cast<std::int64_t>(streams.size()), kQualityBlock,
                    blocks * kQualityBlock);
    std::vector<double> values(static_cast<std::size_t>(blocks * (pairs + 1)));
    for (std::int64_t blockRow = 0; blockRow < blockRows; ++blockRow) {
        ParallelFor(static_cast<std::int64_t>(streams.size()), [&](std::int64_t s) {
            for (int r = 0; r < kQualityBlock; ++r) {
                const double* row = streams[s]->Row(blockRow * kQualityBlock + r);
                std::copy(row, row + strip.Stride(), strip.Row(static_cast<std::size_t>(s), r));
            }
        });
        if (panel.Failed()) return false;
        strip.SpreadNoData();
        ParallelFor(blocks, [&](std::int64_t i) {
            double* out = values.data() + i * (pairs + 1);
            const bool valid = !BlockHasNoData(strip.Row(0, 0) + i * kQualityBlock, strip.Stride());
            out[0] = valid ? 1 : 0;
            if (valid) FullBlockQ(strip, bands, i * kQualityBlock, out + 1);
        });
        if (!store.Put(blockRow, columns.first, blocks, values.data()) || !pump()) return false;
    }
    return true;
}

}  // namespace

bool ComputeFullMetrics(const std::vector<RowWindowSource*>& fused,
                        const std::vector<RowWindowSource*>& ms, RowWindowSource& pan,
                        RowWindowSource& panForDegrading, int ratio, double panGain,
                        const QualityPump& pump, Host& host, FullMetrics& result,
                        const BlockRowSink& map, std::int64_t panelBytes)
{
    result = FullMetrics{};
    const int bands = static_cast<int>(fused.size());
    const int pairs = bands * (bands - 1) + 2 * bands;
    const BlockGrid grid = FullMapGrid(pan.Width(), pan.Height());
    BlockStore store;
    if (!store.Open(grid.rows, grid.columns, pairs + 1, host)) return false;
    if (grid.rows > 0) {
        for (const Panel& panel :
             PanelsOf(grid.columns, kQualityBlock, 2 * bands + 2, panelBytes)) {
            const FullPanelStreams streams(fused, ms, pan, panForDegrading, ratio, panGain,
                                           panel.first * kQualityBlock,
                                           (panel.end - panel.first) * kQualityBlock);
            if (!MeasureFullPanel(streams, panel, bands, grid.rows, pump, store)) return false;
        }
    }
    std::vector<double> meanQ(static_cast<std::size_t>(pairs), 0.0);
    std::vector<double> row, mapRow(static_cast<std::size_t>(grid.columns));
    for (std::int64_t blockRow = 0; blockRow < grid.rows; ++blockRow) {
        if (!store.TakeRow(blockRow, row)) return false;
        for (std::int64_t column = 0; column < grid.columns; ++column) {
            const double* q = row.data() + column * (pairs + 1);
            mapRow[column] = kNaN;
            if (q[0] == 0) continue;
            ++result.blocksUsed;
            for (int p = 0; p < pairs; ++p) meanQ[p] += q[1 + p];
            double dLambda = 0, dS = 0;
            Distortions(q + 1, bands, dLambda, dS);
            mapRow[column] = (1 - dLambda) * (1 - dS);
        }
        if (map && !map(mapRow)) return false;
    }
    result.blocksTotal = grid.rows * grid.columns;
    if (result.blocksUsed == 0) {
        result.dLambda = result.dS = result.qnr = kNaN;
        result.undefined = result.blocksTotal == 0
                               ? "D_lambda" + NoWholeBlock(pan.Width(), pan.Height())
                               : NoDataEverywhere("D_lambda", "block");
        return true;
    }
    for (double& value : meanQ) value /= static_cast<double>(result.blocksUsed);
    Distortions(meanQ.data(), bands, result.dLambda, result.dS);
    result.qnr = (1 - result.dLambda) * (1 - result.dS);
    if (std::isnan(result.dLambda)) {
        result.undefined = bands < 2 ? "D_lambda is undefined: it compares pairs of bands, and the "
                                       "images have one band."
                                     : NotANumber("D_lambda");
    } else if (std::isnan(result.dS)) {
        result.undefined = NotANumber("D_s");
    } else if (std::isnan(result.qnr)) {
        result.undefined = NotANumber("QNR");
    }
    return true;
}

}  // namespace lumesta
