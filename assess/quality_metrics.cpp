#include "assess/quality_metrics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "assess/quality_kernels.h"
#include "core/parallel_for.h"
#include "imaging/interpolator23.h"
#include "imaging/mtf_filter.h"

namespace lumesta {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kDegreesPerRadian = 57.295779513082320876798154814105;

// Image rows first .. first + rows − 1 of every stream, rows outside the image mirrored, and
// columns mirrored out to paddedWidth. Each stream is read by one thread.
class StripBuffer {
public:
    StripBuffer(const std::vector<RowStream*>& streams, std::int64_t rows, std::int64_t paddedWidth)
        : m_streams(streams),
          m_rows(rows),
          m_width(paddedWidth),
          m_data(streams.size(), std::vector<double>(static_cast<std::size_t>(rows * paddedWidth)))
    {
    }

    void Fill(std::int64_t first)
    {
        ParallelFor(static_cast<std::int64_t>(m_streams.size()), [&](std::int64_t s) {
            RowStream& stream = *m_streams[s];
            const std::int64_t width = stream.Width();
            for (std::int64_t r = 0; r < m_rows; ++r) {
                const double* row = stream.Row(MirrorIndex(first + r, stream.Height()));
                double* out = m_data[s].data() + r * m_width;
                std::copy(row, row + width, out);
                for (std::int64_t x = width; x < m_width; ++x) out[x] = row[MirrorIndex(x, width)];
            }
        });
    }

    bool Failed() const
    {
        return std::any_of(m_streams.begin(), m_streams.end(),
                           [](RowStream* s) { return s->Failed(); });
    }
    const double* Row(std::size_t stream, std::int64_t r) const
    {
        return m_data[stream].data() + r * m_width;
    }
    std::int64_t Stride() const { return m_width; }

private:
    std::vector<RowStream*> m_streams;
    std::int64_t m_rows;
    std::int64_t m_width;
    std::vector<std::vector<double>> m_data;
};

std::int64_t WholeBlocks(std::int64_t side)
{
    return side / kQualityBlock;
}
std::int64_t PaddedBlocks(std::int64_t side)
{
    return (side + kQualityBlock - 1) / kQualityBlock;
}

// The sums of one image row: per band Σ(F − G)² and ΣG, the angles, the gradient products.
struct RowSums {
    std::vector<double> squaredError;
    std::vector<double> referenceSum;
    double angles = 0;
    std::int64_t angleCount = 0;
    double gradientFG = 0;
    double gradientFF = 0;
    double gradientGG = 0;
};

// Buffer row r holds image row first − 1 + r: the row above each block row comes first.
void SumRow(const StripBuffer& strip, int bands, std::int64_t y, std::int64_t first,
            std::int64_t width, std::int64_t height, RowSums& sums)
{
    const std::int64_t r = y - first + 1;
    sums.squaredError.assign(static_cast<std::size_t>(bands), 0.0);
    sums.referenceSum.assign(static_cast<std::size_t>(bands), 0.0);
    for (int k = 0; k < bands; ++k) {
        const double* f = strip.Row(k, r);
        const double* g = strip.Row(bands + k, r);
        for (std::int64_t x = 0; x < width; ++x) {
            const double d = f[x] - g[x];
            sums.squaredError[k] += d * d;
            sums.referenceSum[k] += g[x];
        }
    }
    std::vector<double> f(static_cast<std::size_t>(bands)), g(static_cast<std::size_t>(bands));
    for (std::int64_t x = 0; x < width; ++x) {
        for (int k = 0; k < bands; ++k) {
            f[k] = strip.Row(k, r)[x];
            g[k] = strip.Row(bands + k, r)[x];
        }
        const double angle = SpectralAngle(f.data(), g.data(), bands, 1);
        if (angle >= 0) {
            sums.angles += angle;
            ++sums.angleCount;
        }
    }
    if (y < 1 || y > height - 2) return;
    for (int k = 0; k < bands; ++k) {
        const double* fa = strip.Row(k, r - 1);
        const double* fm = strip.Row(k, r);
        const double* fb = strip.Row(k, r + 1);
        const double* ga = strip.Row(bands + k, r - 1);
        const double* gm = strip.Row(bands + k, r);
        const double* gb = strip.Row(bands + k, r + 1);
        for (std::int64_t x = 1; x + 1 < width; ++x) {
            const double gf = SobelMagnitude(fa, fm, fb, x);
            const double gg = SobelMagnitude(ga, gm, gb, x);
            sums.gradientFG += gf * gg;
            sums.gradientFF += gf * gf;
            sums.gradientGG += gg * gg;
        }
    }
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

// Why the first undefined metric of result is undefined (ERGAS, SAM, Q2n, Q, SCC in turn).
struct ReducedTotals {
    std::vector<double> referenceSum;  // per band
    std::int64_t angleCount = 0;
    double ff = 0;  // Σ of the fused image's squared gradients
    double gg = 0;  // the reference's
};

std::string ReducedUndefined(const ReducedMetrics& result, const ReducedTotals& totals,
                             std::int64_t width, std::int64_t height)
{
    if (std::isnan(result.ergas)) {
        for (std::size_t k = 0; k < totals.referenceSum.size(); ++k) {
            if (totals.referenceSum[k] / static_cast<double>(width * height) == 0) {
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
    if (std::isnan(result.q2n)) return NotANumber("Q2n");
    if (std::isnan(result.q)) {
        const bool noBlock = width < kQualityBlock || height < kQualityBlock;
        return noBlock ? "Q" + NoWholeBlock(width, height) : NotANumber("Q");
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

void FinishReduced(const std::vector<RowSums>& rows, int bands, int ratio, std::int64_t width,
                   std::int64_t height, const std::vector<std::vector<double>>& blockQ,
                   ReducedMetrics& result)
{
    const std::int64_t pixels = width * height;
    std::vector<double> squaredError(static_cast<std::size_t>(bands)),
        referenceSum(static_cast<std::size_t>(bands));
    double angles = 0;
    std::int64_t angleCount = 0;
    double fg = 0, ff = 0, gg = 0;
    for (const RowSums& row : rows) {
        for (int k = 0; k < bands; ++k) {
            squaredError[k] += row.squaredError[k];
            referenceSum[k] += row.referenceSum[k];
        }
        angles += row.angles;
        angleCount += row.angleCount;
        fg += row.gradientFG;
        ff += row.gradientFF;
        gg += row.gradientGG;
    }
    double relative = 0;
    bool zeroMean = false;
    for (int k = 0; k < bands; ++k) {
        const double mean = referenceSum[k] / pixels;
        zeroMean = zeroMean || mean == 0;
        relative += (squaredError[k] / pixels) / (mean * mean);
    }
    result.ergas = zeroMean ? kNaN : (100.0 / ratio) * std::sqrt(relative / bands);
    result.sam = angleCount == 0 ? kNaN : angles / angleCount * kDegreesPerRadian;
    const double denominator = std::sqrt(ff) * std::sqrt(gg);
    result.scc = denominator == 0 ? kNaN : fg / denominator;
    result.qBands.assign(static_cast<std::size_t>(bands), kNaN);
    result.q = 0;
    for (int k = 0; k < bands; ++k) {
        double sum = 0;
        for (double value : blockQ[k]) sum += value;
        result.qBands[k] = blockQ[k].empty() ? kNaN : sum / static_cast<double>(blockQ[k].size());
        result.q += result.qBands[k];
    }
    result.q /= bands;
    double q2n = 0;
    for (double value : result.q2nMap.values) q2n += value;
    result.q2n = result.q2nMap.values.empty()
                     ? kNaN
                     : q2n / static_cast<double>(result.q2nMap.values.size());
    result.undefined =
        ReducedUndefined(result, ReducedTotals{referenceSum, angleCount, ff, gg}, width, height);
}

}  // namespace

bool ComputeReducedMetrics(const std::vector<RowStream*>& fused,
                           const std::vector<RowStream*>& reference, int ratio,
                           const QualityPump& pump, ReducedMetrics& result)
{
    const int bands = static_cast<int>(fused.size());
    const std::int64_t width = reference[0]->Width();
    const std::int64_t height = reference[0]->Height();
    std::vector<RowStream*> streams(fused);
    streams.insert(streams.end(), reference.begin(), reference.end());
    const std::int64_t blockColumns = PaddedBlocks(width);
    StripBuffer strip(streams, kQualityBlock + 2, blockColumns * kQualityBlock);
    std::vector<RowSums> rows(static_cast<std::size_t>(height));
    std::vector<std::vector<double>> blockQ(static_cast<std::size_t>(bands));
    result.q2nMap = BlockMap{PaddedBlocks(height), blockColumns, {}};
    result.q2nMap.values.resize(static_cast<std::size_t>(result.q2nMap.rows * blockColumns));
    std::vector<double> rowQ(static_cast<std::size_t>(bands * blockColumns));
    for (std::int64_t blockRow = 0; blockRow < result.q2nMap.rows; ++blockRow) {
        const std::int64_t first = blockRow * kQualityBlock;
        strip.Fill(first - 1);
        if (strip.Failed()) return false;
        const std::int64_t rowCount = std::min<std::int64_t>(kQualityBlock, height - first);
        ParallelFor(rowCount, [&](std::int64_t i) {
            SumRow(strip, bands, first + i, first, width, height, rows[first + i]);
        });
        const bool wholeRow = blockRow < WholeBlocks(height);
        ParallelFor(blockColumns, [&](std::int64_t column) {
            std::vector<const double*> f(static_cast<std::size_t>(bands)),
                g(static_cast<std::size_t>(bands));
            for (int k = 0; k < bands; ++k) {
                f[k] = strip.Row(k, 1) + column * kQualityBlock;
                g[k] = strip.Row(bands + k, 1) + column * kQualityBlock;
                if (wholeRow && column < WholeBlocks(width)) {
                    rowQ[k * blockColumns + column] =
                        QualityIndexOfBlocks(f[k], g[k], strip.Stride(), kQualityBlock);
                }
            }
            result.q2nMap.values[blockRow * blockColumns + column] =
                Q2nOfBlock(f, g, strip.Stride(), kQualityBlock);
        });
        for (int k = 0; wholeRow && k < bands; ++k) {
            blockQ[k].insert(blockQ[k].end(), rowQ.begin() + k * blockColumns,
                             rowQ.begin() + k * blockColumns + WholeBlocks(width));
        }
        if (!pump()) return false;
    }
    FinishReduced(rows, bands, ratio, width, height, blockQ, result);
    return true;
}

namespace {

// Per block the Q values of every pair the full-resolution metrics compare: first Q(F_i, F_j)
// and Q(M_i, M_j) for i < j, then Q(F_i, P) and Q(M_i, P̃).
void FullBlockQ(const StripBuffer& strip, int bands, std::int64_t column, double* out)
{
    const int streams = 2 * bands + 2;
    std::vector<BlockMoments> moments(static_cast<std::size_t>(streams));
    std::vector<const double*> block(static_cast<std::size_t>(streams));
    for (int s = 0; s < streams; ++s) {
        block[s] = strip.Row(s, 0) + column * kQualityBlock;
        moments[s] = MomentsOf(block[s], strip.Stride(), kQualityBlock);
    }
    auto q = [&](int a, int b) {
        return QualityIndex(moments[a], moments[b],
                            CrossOf(block[a], block[b], strip.Stride(), kQualityBlock,
                                    moments[a].mean, moments[b].mean),
                            kQualityBlock);
    };
    int at = 0;
    for (int i = 0; i < bands; ++i) {
        for (int j = i + 1; j < bands; ++j) {
            out[at++] = q(i, j);
            out[at++] = q(bands + i, bands + j);
        }
    }
    for (int i = 0; i < bands; ++i) {
        out[at++] = q(i, 2 * bands);
        out[at++] = q(bands + i, 2 * bands + 1);
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

}  // namespace

bool ComputeFullMetrics(const std::vector<RowStream*>& fused, const std::vector<RowStream*>& ms,
                        RowStream& pan, RowStream& panForDegrading, int ratio, double panGain,
                        const QualityPump& pump, FullMetrics& result)
{
    const int bands = static_cast<int>(fused.size());
    std::vector<std::unique_ptr<UpsampleChain>> upsampled;
    std::vector<RowStream*> streams(fused);
    for (RowStream* band : ms) {
        upsampled.push_back(std::make_unique<UpsampleChain>(*band, ratio));
        streams.push_back(&upsampled.back()->Output());
    }
    streams.push_back(&pan);
    MtfFilterStream degradedPan(panForDegrading, MtfGaussian(panGain, ratio), ratio, ratio / 2);
    upsampled.push_back(std::make_unique<UpsampleChain>(degradedPan, ratio));
    streams.push_back(&upsampled.back()->Output());

    const std::int64_t width = pan.Width();
    const int pairs = bands * (bands - 1) + 2 * bands;
    result.qnrMap = BlockMap{WholeBlocks(pan.Height()), WholeBlocks(width), {}};
    const std::int64_t blocks = result.qnrMap.rows * result.qnrMap.columns;
    std::vector<double> blockQ(static_cast<std::size_t>(blocks * pairs));
    StripBuffer strip(streams, kQualityBlock, std::max<std::int64_t>(width, 1));
    for (std::int64_t blockRow = 0; blockRow < result.qnrMap.rows; ++blockRow) {
        strip.Fill(blockRow * kQualityBlock);
        if (strip.Failed()) return false;
        ParallelFor(result.qnrMap.columns, [&](std::int64_t column) {
            FullBlockQ(strip, bands, column,
                       blockQ.data() + (blockRow * result.qnrMap.columns + column) * pairs);
        });
        if (!pump()) return false;
    }
    std::vector<double> meanQ(static_cast<std::size_t>(pairs), 0.0);
    result.qnrMap.values.resize(static_cast<std::size_t>(blocks));
    for (std::int64_t b = 0; b < blocks; ++b) {
        const double* q = blockQ.data() + b * pairs;
        for (int p = 0; p < pairs; ++p) meanQ[p] += q[p];
        double dLambda = 0, dS = 0;
        Distortions(q, bands, dLambda, dS);
        result.qnrMap.values[b] = (1 - dLambda) * (1 - dS);
    }
    if (blocks == 0) {
        result.dLambda = result.dS = result.qnr = kNaN;
        result.undefined = "D_lambda" + NoWholeBlock(width, pan.Height());
        return true;
    }
    for (double& value : meanQ) value /= static_cast<double>(blocks);
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
