#pragma once
// The per-row loops of the detail-injection fusion pass, built for processors with AVX-512,
// with AVX2 and without either, each copy with vectors as wide as that processor's registers,
// and chosen at every call. Every copy performs the same operations in the same order on each
// pixel (no fused multiply-add), only more pixels at once, so the bytes never depend on the
// processor.

#include <cstdint>

#include "raster/raster_layout.h"

namespace lumesta {

// line[i] = w[0] · source[i] + w[1] · source[stride + i] + ... for i < width: the weighted sum of
// count rows, in order of the rows.
void SumRows(const double* w, int count, const float* source, std::int64_t stride,
             std::int64_t width, double* line);

// The synthetic intensity of the bands' upsampled rows m[0 .. bands − 1]:
// intercept + Σ weight[k] · m[k], summed in order of the bands.
void IntensityRow(const double* const* m, int bands, const double* weight, double intercept,
                  std::int64_t width, double* shared);

// The mean of the bands' rows: (1/bands) · m[0] + (1/bands) · m[1] + ..., summed in order.
void MeanRow(const double* const* m, int bands, std::int64_t width, double* shared);

// The rows one band's fused row is made from and the band's numbers: the upsampled band, the
// shared row (intensity or mean), the pan row, the band's upsampled low-pass pan (pyramid) and
// the equalised wavelet detail (AWLP); the pan of the band is scale · P + offset.
struct BandRowInputs {
    const double* band = nullptr;
    const double* shared = nullptr;
    const float* pan = nullptr;
    const double* low = nullptr;
    const double* detail = nullptr;
    double scale = 1;
    double offset = 0;
    double gain = 0;
};

// A method's formula for one band's fused row, before rounding.
using FusionFormula = void (*)(const BandRowInputs& in, std::int64_t width, double* fused);

// Component substitution: M + gain · (scale · P + offset − I).
void GsaFormula(const BandRowInputs& in, std::int64_t width, double* fused);
// High-pass modulation: M · (scale · P + offset) / (scale · P_low + offset); M where the
// low-pass pan is not positive.
void GlpHpmFormula(const BandRowInputs& in, std::int64_t width, double* fused);
// Additive wavelet, proportional to the band: M + (M / mean) · detail; M + detail where the
// mean is not positive.
void AwlpFormula(const BandRowInputs& in, std::int64_t width, double* fused);
// Weighted Brovey: M · P / mean; M where the mean is not positive.
void BroveyFormula(const BandRowInputs& in, std::int64_t width, double* fused);
// High-pass modulation with a gain on the detail: M + gain · M · (Pe − PLe) / PLe with
// Pe = scale · P + offset and PLe = scale · P_low + offset; M where PLe is not positive.
void GlpEbpFormula(const BandRowInputs& in, std::int64_t width, double* fused);
// Additive injection of the pyramid's detail: M + gain · (P − P_low).
void GlpFsFormula(const BandRowInputs& in, std::int64_t width, double* fused);

// row[c] += add[c] for c < width.
void AddToRow(const double* add, std::int64_t width, double* row);

// The fused values as samples of type (UInt8, UInt16 or Int16): rounded to the nearest integer
// (ties to even) and kept within the type's range (clipped, never wrapped); values that are
// not finite give 0. out holds width samples of the type.
void StoreFusedRow(SampleType type, const double* fused, std::int64_t width, void* out);

// The nearest 16-bit sample (ties to even), 0 for a value that is not finite: the rounding of
// StoreFusedRow for Int16, for the colour adjustment of its samples.
std::int16_t NearestSample(double value);

// One row of the à trous smoothing at dilation step: the five rows (source offsets −2 .. 2
// times step, edge-replicated) down the columns into scratch, then along it with the columns
// edge-replicated.
void SmoothRow(const double* const rows[5], std::int64_t width, std::int64_t step, double* scratch,
               double* out);
void SmoothRow(const float* const rows[5], std::int64_t width, std::int64_t step, double* scratch,
               double* out);

// The equalised wavelet detail of a pan row: the last smoothing level (SmoothRow at step from
// the previous level's rows) taken from the row, times scale: scale · (P − smoothed).
void WaveletDetailRow(const double* const rows[5], const float* pan, double scale,
                      std::int64_t width, std::int64_t step, double* scratch, double* detail);
void WaveletDetailRow(const float* const rows[5], const float* pan, double scale,
                      std::int64_t width, std::int64_t step, double* scratch, double* detail);

// A row resampled by six taps on each axis: down the six rows (line[c] = wy[0] · rows[0][c] +
// ... + wy[5] · rows[5][c], summed from 0 in order, c < sourceWidth), then along line:
// out[j] = wx[0] · line[j + offset − 2] + ... + wx[5] · line[j + offset + 3] for j < width, the
// line's ends replicated, rounded to float.
void ResampleRow(const double* wy, const float* const rows[6], std::int64_t sourceWidth,
                 const double* wx, std::int64_t offset, std::int64_t width, double* line,
                 float* out);

}  // namespace lumesta
