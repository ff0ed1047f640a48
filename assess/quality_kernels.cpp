#include "assess/quality_kernels.h"

#include <array>
#include <cmath>
#include <stdexcept>

namespace lumesta {

BlockMoments MomentsOf(const double* block, std::int64_t stride, int size)
{
    // Four partial sums per row (fixed order) let the loops use vector registers.
    BlockMoments moments;
    double sum = 0;
    for (int r = 0; r < size; ++r) {
        const double* row = block + r * stride;
        double part[4] = {0, 0, 0, 0};
        int c = 0;
        for (; c + 4 <= size; c += 4) {
            for (int t = 0; t < 4; ++t) part[t] += row[c + t];
        }
        for (; c < size; ++c) part[0] += row[c];
        sum += (part[0] + part[1]) + (part[2] + part[3]);
    }
    moments.mean = sum / (static_cast<double>(size) * size);
    for (int r = 0; r < size; ++r) {
        const double* row = block + r * stride;
        double part[4] = {0, 0, 0, 0};
        int c = 0;
        for (; c + 4 <= size; c += 4) {
            for (int t = 0; t < 4; ++t) {
                const double d = row[c + t] - moments.mean;
                part[t] += d * d;
            }
        }
        for (; c < size; ++c) part[0] += (row[c] - moments.mean) * (row[c] - moments.mean);
        moments.squares += (part[0] + part[1]) + (part[2] + part[3]);
    }
    return moments;
}

double CrossOf(const double* x, const double* y, std::int64_t stride, int size, double mx,
               double my)
{
    double cross = 0;
    for (int r = 0; r < size; ++r) {
        const double* xr = x + r * stride;
        const double* yr = y + r * stride;
        double part[4] = {0, 0, 0, 0};
        int c = 0;
        for (; c + 4 <= size; c += 4) {
            for (int t = 0; t < 4; ++t) part[t] += (xr[c + t] - mx) * (yr[c + t] - my);
        }
        for (; c < size; ++c) part[0] += (xr[c] - mx) * (yr[c] - my);
        cross += (part[0] + part[1]) + (part[2] + part[3]);
    }
    return cross;
}

double QualityIndex(const BlockMoments& x, const BlockMoments& y, double cross, int size)
{
    const double divisor = static_cast<double>(size) * size - 1;
    const double sxy = cross / divisor;
    const double variances = x.squares / divisor + y.squares / divisor;
    const double means = x.mean * x.mean + y.mean * y.mean;
    if (variances == 0 && means == 0) return 1;
    if (variances == 0) return 2 * x.mean * y.mean / means;
    if (means == 0) return 2 * sxy / variances;
    return 4 * sxy * x.mean * y.mean / (variances * means);
}

double QualityIndexOfBlocks(const double* x, const double* y, std::int64_t stride, int size)
{
    const BlockMoments mx = MomentsOf(x, stride, size);
    const BlockMoments my = MomentsOf(y, stride, size);
    return QualityIndex(mx, my, CrossOf(x, y, stride, size, mx.mean, my.mean), size);
}

void Conjugate(double* x, int n)
{
    for (int k = 1; k < n; ++k) x[k] = -x[k];
}

namespace {

// The product with the component count known when compiled: the same operations in the same
// order as the recursion on n, without its per-call scratch arrays being cleared (they cost more
// than the product itself at four and eight components).
template <int N>
void ProductOf(const double* x, const double* y, double* out)
{
    if constexpr (N == 1) {
        out[0] = x[0] * y[0];
    } else {
        constexpr int h = N / 2;
        const double* a = x;
        const double* b = x + h;
        const double* c = y;
        const double* d = y + h;
        double dConj[h];
        double cConj[h];
        double t1[h];
        double t2[h];
        for (int k = 0; k < h; ++k) {
            dConj[k] = d[k];
            cConj[k] = c[k];
        }
        Conjugate(dConj, h);
        Conjugate(cConj, h);
        ProductOf<h>(a, c, t1);
        ProductOf<h>(dConj, b, t2);
        for (int k = 0; k < h; ++k) out[k] = t1[k] - t2[k];
        ProductOf<h>(d, a, t1);
        ProductOf<h>(b, cConj, t2);
        for (int k = 0; k < h; ++k) out[h + k] = t1[k] + t2[k];
    }
}

}  // namespace

void HypercomplexProduct(const double* x, const double* y, double* out, int n)
{
    switch (n) {
        case 1:
            return ProductOf<1>(x, y, out);
        case 2:
            return ProductOf<2>(x, y, out);
        case 4:
            return ProductOf<4>(x, y, out);
        case 8:
            return ProductOf<8>(x, y, out);
        case 16:
            return ProductOf<16>(x, y, out);
        case 32:
            return ProductOf<32>(x, y, out);
        case 64:
            return ProductOf<64>(x, y, out);
        default:
            throw std::invalid_argument("hypercomplex numbers have 1, 2, 4, ... 64 components");
    }
}

int PaddedBandCount(int n)
{
    int padded = 1;
    while (padded < n) padded *= 2;
    return padded;
}

double Q2nOfBlock(const std::vector<const double*>& fused,
                  const std::vector<const double*>& reference, std::int64_t stride, int size)
{
    const int bands = static_cast<int>(reference.size());
    const int n = PaddedBandCount(bands);
    const int pixels = size * size;
    // Per band the reference's block mean and standard deviation (1 where it is 0).
    std::vector<double> mean(static_cast<std::size_t>(bands));
    std::vector<double> deviation(static_cast<std::size_t>(bands));
    for (int k = 0; k < bands; ++k) {
        const BlockMoments m = MomentsOf(reference[k], stride, size);
        mean[k] = m.mean;
        deviation[k] = m.squares == 0 ? 1.0 : std::sqrt(m.squares / (pixels - 1));
    }
    std::vector<double> g(static_cast<std::size_t>(n));
    std::vector<double> f(static_cast<std::size_t>(n));
    std::vector<double> product(static_cast<std::size_t>(n));
    std::vector<double> sumG(static_cast<std::size_t>(n)), sumF(static_cast<std::size_t>(n)),
        sumGF(static_cast<std::size_t>(n));
    double normsG = 0;
    double normsF = 0;
    for (int r = 0; r < size; ++r) {
        for (int c = 0; c < size; ++c) {
            const std::int64_t at = r * stride + c;
            for (int k = 0; k < bands; ++k) {
                g[k] = (reference[k][at] - mean[k]) / deviation[k] + 1;
                f[k] = (fused[k][at] - mean[k]) / deviation[k] + 1;
            }
            for (int k = 0; k < n; ++k) {
                sumG[k] += g[k];
                sumF[k] += f[k];
                normsG += g[k] * g[k];
                normsF += f[k] * f[k];
            }
            Conjugate(f.data(), n);
            HypercomplexProduct(g.data(), f.data(), product.data(), n);
            for (int k = 0; k < n; ++k) sumGF[k] += product[k];
        }
    }
    std::vector<double> muG(static_cast<std::size_t>(n)), muFConj(static_cast<std::size_t>(n));
    double normMuG = 0;
    double normMuF = 0;
    for (int k = 0; k < n; ++k) {
        muG[k] = sumG[k] / pixels;
        muFConj[k] = sumF[k] / pixels;
        normMuG += muG[k] * muG[k];
        normMuF += muFConj[k] * muFConj[k];
    }
    Conjugate(muFConj.data(), n);
    const double unbiased = static_cast<double>(pixels) / (pixels - 1);
    const double vG = unbiased * (normsG / pixels - normMuG);
    const double vF = unbiased * (normsF / pixels - normMuF);
    const double meanFactor = 2 * std::sqrt(normMuG) * std::sqrt(normMuF) / (normMuG + normMuF);
    if (vG + vF == 0) return std::fabs(meanFactor);
    HypercomplexProduct(muG.data(), muFConj.data(), product.data(), n);
    double norm = 0;
    for (int k = 0; k < n; ++k) {
        const double cGF = unbiased * (sumGF[k] / pixels - product[k]);
        const double q = meanFactor * (2 / (vG + vF)) * cGF;
        norm += q * q;
    }
    return std::sqrt(norm);
}

double SpectralAngle(const double* f, const double* g, int n, std::int64_t bandStride)
{
    double normF = 0;
    double normG = 0;
    for (int k = 0; k < n; ++k) {
        normF += f[k * bandStride] * f[k * bandStride];
        normG += g[k * bandStride] * g[k * bandStride];
    }
    normF = std::sqrt(normF);
    normG = std::sqrt(normG);
    if (normF * normG == 0) return -1;
    double difference = 0;
    double sum = 0;
    for (int k = 0; k < n; ++k) {
        const double u = f[k * bandStride] / normF;
        const double v = g[k * bandStride] / normG;
        difference += (u - v) * (u - v);
        sum += (u + v) * (u + v);
    }
    return 2 * std::atan2(std::sqrt(difference), std::sqrt(sum));
}

double SobelMagnitude(const double* above, const double* middle, const double* below,
                      std::int64_t x)
{
    const double sx = (above[x + 1] + 2 * middle[x + 1] + below[x + 1]) -
                      (above[x - 1] + 2 * middle[x - 1] + below[x - 1]);
    const double sy =
        (below[x - 1] + 2 * below[x] + below[x + 1]) - (above[x - 1] + 2 * above[x] + above[x + 1]);
    return std::sqrt(sx * sx + sy * sy);
}

}  // namespace lumesta
