#pragma once
// MTF-matched low-pass filtering: a separable sampled Gaussian whose response at the Nyquist
// frequency of the coarser grid equals the sensor's gain, with edge replication at the borders,
// optionally followed by decimation. Works on row streams, so any image size runs in a window
// of 2 × kMtfHalo + 1 source rows.

#include <array>
#include <cstdint>
#include <vector>

#include "imaging/row_stream.h"

namespace lumesta {

constexpr int kMtfTaps = 41;
constexpr int kMtfHalo = kMtfTaps / 2;  // rows and columns needed on each side

using MtfTaps = std::array<double, kMtfTaps>;

// The 41 taps of the Gaussian with standard deviation ratio · sqrt(−2·ln gain) / π, normalised
// to unit sum. gain must lie in (0, 1).
MtfTaps MtfGaussian(double gain, int ratio);

// The response of the symmetric filter at frequency (cycles per pixel).
double FilterResponse(const MtfTaps& taps, double frequency);

// Filters a band (edge replication) and keeps the samples at offset + j·step on both axes:
// step = ratio, offset = ratio / 2 is the reduced-resolution degradation; step 1, offset 0 is
// the low-pass image on the same grid. Output size: ceil((side − offset) / step).
class MtfFilterStream : public RowStream {
public:
    MtfFilterStream(RowStream& source, const MtfTaps& taps, int step, int offset);

protected:
    bool Produce(std::int64_t y, double* out) override;

private:
    RowStream& m_source;
    MtfTaps m_taps;
    int m_step;
    int m_offset;
    std::vector<double> m_column;  // the vertically filtered source row
};

// One filtered, decimated output row from the 41 source rows around it (rows[k] is source row
// centre − kMtfHalo + k, already edge-replicated), for strip-wise callers: out[j] for
// j = 0 .. outWidth − 1 at columns offset + j·step. scratch holds sourceWidth samples.
void FilterDecimateRow(const MtfTaps& taps, const double* const* rows, std::int64_t sourceWidth,
                       int step, int offset, std::int64_t outWidth, double* scratch, double* out);
// The same from rows of 16-bit samples or of floats (each converted exactly, so the sums are
// the same).
void FilterDecimateRow(const MtfTaps& taps, const std::int16_t* const* rows,
                       std::int64_t sourceWidth, int step, int offset, std::int64_t outWidth,
                       double* scratch, double* out);
void FilterDecimateRow(const MtfTaps& taps, const float* const* rows, std::int64_t sourceWidth,
                       int step, int offset, std::int64_t outWidth, double* scratch, double* out);
// count (1 or kMostGroupRows) output rows from float rows at once: rows[w] are output w's 41
// rows, scratch[w] and out[w] its scratch and output. The sums are those of FilterDecimateRow for
// each; a source row that both windows hold is read from memory once for the two, which is what
// the column sums wait for (two at once measured 5–7 % quicker for a whole run on AVX2; four
// ran out of registers and were slower).
constexpr int kMostGroupRows = 2;
void FilterDecimateRowGroup(const MtfTaps& taps, int count, const float* const* const* rows,
                            std::int64_t sourceWidth, int step, int offset, std::int64_t outWidth,
                            double* const* scratch, double* const* out);

// The two halves of FilterDecimateRow, with the same sums: down the columns of the 41 rows
// (out[x] = Σ_k taps[k] · rows[k][x]), and along one line, keeping the samples at
// offset + j·step (edge-replicated), out[j] for j = 0 .. outWidth − 1.
void FilterDownColumns(const MtfTaps& taps, const double* const* rows, std::int64_t width,
                       double* out);
void FilterAlongLine(const MtfTaps& taps, const double* line, std::int64_t width, int step,
                     int offset, std::int64_t outWidth, double* out);

}  // namespace lumesta
