#pragma once
// The per-row loops of the detail-injection fusion pass, built for processors with AVX-512,
// with AVX2 and without either, and chosen when the program starts. Every clone performs the
// same operations in the same order on each pixel (no fused multiply-add), only with wider
// registers, so the bytes never depend on the processor.

#include <cstdint>

#include "fusion/fusion_method.h"

namespace lumesta {

// line[i] = w[0] · source[i] + w[1] · source[stride + i] + ... for i < width: the weighted sum of
// count rows, in order of the rows.
void SumRows(const double* w, int count, const std::int16_t* source, std::int64_t stride,
             std::int64_t width, double* line);
void SumRows(const double* w, int count, const float* source, std::int64_t stride,
             std::int64_t width, double* line);

// What every band of a pixel shares: intercept + Σ weight[k] · m[k] (the synthetic intensity)
// when weight is given, else 0.25 · (m[0] + m[1] + m[2] + m[3]) summed term by term (the mean).
void SharedRow(const double* const m[4], const double* weight, double intercept,
               std::int64_t width, double* shared);

// The rows one band's fused row is made from and the band's numbers: the upsampled band, the
// shared row (intensity or mean), the pan row, the band's upsampled low-pass pan (pyramid) and
// the equalised wavelet detail (AWLP); the pan of the band is scale · P + offset.
struct BandRowInputs {
    const double* band = nullptr;
    const double* shared = nullptr;
    const std::int16_t* pan = nullptr;
    const double* low = nullptr;
    const double* detail = nullptr;
    double scale = 1;
    double offset = 0;
    double gain = 0;
};

// The band's fused row by the method's formula, rounded to the nearest 16-bit sample (ties to
// even; values that are not finite give 0).
void FuseBandRow(FusionMethod method, const BandRowInputs& in, std::int64_t width,
                 std::int16_t* out);

// The nearest 16-bit sample (ties to even), 0 for a value that is not finite: the rounding of
// FuseBandRow, for the colour adjustment of its samples.
std::int16_t NearestSample(double value);

// One row of the à trous smoothing at dilation step: the five rows (source offsets −2 .. 2
// times step, edge-replicated) down the columns into scratch, then along it with the columns
// edge-replicated.
void SmoothRow(const double* const rows[5], std::int64_t width, std::int64_t step, double* scratch,
               double* out);
void SmoothRow(const std::int16_t* const rows[5], std::int64_t width, std::int64_t step,
               double* scratch, double* out);

// The equalised wavelet detail of a pan row: its second smoothing level (SmoothRow at step 2
// from the first level's rows) taken from the row, times scale: scale · (P − smoothed).
void WaveletDetailRow(const double* const rows[5], const std::int16_t* pan, double scale,
                      std::int64_t width, double* scratch, double* detail);

}  // namespace lumesta
