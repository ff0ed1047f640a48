#pragma once
// Moving data between pan and MS resolution for the 16-bit tool (ratio 4): 4 × 4 block
// averaging of the pan band, the "Improved Bilinear" weights, and border replication of a
// fused band.

#include <cstdint>

namespace lumesta {

// out[i × msCols + j] = trunc((Σ of pan rows 4i..4i+3, columns 4j..4j+3) × 0.0625) for
// i < msRows, j < msCols; the pan strip is row-major with rows of panWidth samples.
void BlockAverage4(int msRows, int msCols, const std::int16_t* panStrip, int panWidth,
                   std::int16_t* out);

// The four weights of sub-position (p, q), p and q in 0..3, with v = 0.15, 0.40, 0.65, 0.90:
// w00 = (1 − v[p])(1 − v[q]), w01 = (1 − v[p])·v[q], w10 = v[p]·(1 − v[q]), w11 = v[p]·v[q].
struct BilinearWeights {
    double w00, w01, w10, w11;
};
BilinearWeights BilinearWeights4(int p, int q);

// Interpolates the four corner values of a cell in double precision, in the order
// w00·m00 + w01·m01 + w10·m10 + w11·m11.
inline double Interpolate(const BilinearWeights& w, double m00, double m01, double m10, double m11)
{
    return w.w00 * m00 + w.w01 * m01 + w.w10 * m10 + w.w11 * m11;
}

// Rows 0 and 1 take row 2, rows H − 2 and H − 1 take row H − 3; then in every row columns 0
// and 1 take column 2 and columns W − 2 and W − 1 take column W − 3. Bands smaller than
// 5 × 5 are left unchanged.
void ReplicateBorders(int height, int width, std::int16_t* band);

}  // namespace lumesta
