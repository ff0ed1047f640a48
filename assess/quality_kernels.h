#pragma once
// The per-block and per-pixel formulas of the fusion quality metrics, in double precision: the
// universal image quality index Q of a block, its hypercomplex generalisation Q2n, the
// Cayley–Dickson product, the spectral angle of a pixel and the Sobel gradient magnitude.
// Blocks are given as row pointers into strips (stride = samples from one row to the next).

#include <cstdint>
#include <vector>

namespace lumesta {

constexpr int kQualityBlock = 32;

// Mean and sum of squared deviations of a size × size block.
struct BlockMoments {
    double mean = 0;
    double squares = 0;  // Σ (x − mean)²
};
BlockMoments MomentsOf(const double* block, std::int64_t stride, int size);

// Σ (x − mx)(y − my) over the block.
double CrossOf(const double* x, const double* y, std::int64_t stride, int size, double mx,
               double my);

// Q from the moments of both blocks and their cross sum, with sample statistics (n − 1) and the
// degenerate cases: both denominators 0 → 1; only the variances 0 → 2·mx·my / (mx² + my²); only
// the means 0 → 2·sxy / (sx² + sy²).
double QualityIndex(const BlockMoments& x, const BlockMoments& y, double cross, int size);

// Q of two blocks.
double QualityIndexOfBlocks(const double* x, const double* y, std::int64_t stride, int size);

// The Cayley–Dickson product (a, b)(c, d) = (ac − d*b, da + bc*) of two numbers with n = 2^k
// components (1 to 64; std::invalid_argument otherwise); out must not alias x or y.
void HypercomplexProduct(const double* x, const double* y, double* out, int n);

// The hypercomplex number's conjugate: components 2 .. n negated.
void Conjugate(double* x, int n);

// Q2n of one block: bands[k] points at band k's block (bands.size() = N bands, any N ≥ 1),
// normalised by the reference's block mean and standard deviation, padded with zero bands to a
// power of two. Returns ‖q‖.
double Q2nOfBlock(const std::vector<const double*>& fused,
                  const std::vector<const double*>& reference, std::int64_t stride, int size);

// The angle between two N-vectors in radians, 2·atan2(‖u − v‖, ‖u + v‖) on the unit vectors;
// negative when either vector is zero (the pixel does not count).
double SpectralAngle(const double* f, const double* g, int n, std::int64_t bandStride);

// The Sobel gradient magnitude at column x of the middle row (above, middle, below are the three
// rows); 1 ≤ x ≤ width − 2.
double SobelMagnitude(const double* above, const double* middle, const double* below,
                      std::int64_t x);

// The smallest power of two ≥ n.
int PaddedBandCount(int n);

}  // namespace lumesta
