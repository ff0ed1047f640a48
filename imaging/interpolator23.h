#pragma once
// Upsampling by powers of two with the symmetric 23-tap interpolation filter. Each ×2 step
// mirror-pads the coarser image by 6 samples (edge sample repeated), inserts zeros, filters and
// crops. In the first step sample j goes to 2j + 1, in later ones to 2j, so that after all
// steps sample j of the coarse image sits on fine sample ratio·j + ratio/2, the phase of the
// MTF decimation. Original samples are kept exactly.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/row_stream.h"

namespace lumesta {

// Taps from the centre outwards (index 0 the centre, 1..11 the offsets).
const std::array<double, 12>& Interpolator23Taps();

// True for 2, 4, 8, ... (the ratios the interpolator and the protocols take).
bool IsPowerOfTwo(int ratio);

// One ×2 step along a line: out[o] for o = 0 .. 2·n − 1 from in[0 .. n − 1]; phase 1 for the
// first step, 0 for later ones.
void Upsample2Line(const double* in, std::int64_t n, int phase, double* out);

// One ×2 step of a whole image as a stream (twice the source's width and height).
class Upsample2Stream : public RowStream {
public:
    Upsample2Stream(RowStream& source, int phase);

protected:
    bool Produce(std::int64_t y, double* out) override;

private:
    // The source's rows upsampled along the row.
    class Widened : public RowStream {
    public:
        Widened(RowStream& source, int phase);

    protected:
        bool Produce(std::int64_t y, double* out) override;

    private:
        RowStream& m_source;
        int m_phase;
    };

    Widened m_widened;
    int m_phase;
};

// Upsampling by ratio (a power of two): log2(ratio) chained ×2 steps; Output() is the last step
// (the source itself for ratio 1), read without a further copy.
class UpsampleChain {
public:
    UpsampleChain(RowStream& source, int ratio);
    RowStream& Output() { return *m_last; }

private:
    RowStream* m_last;
    std::vector<std::unique_ptr<Upsample2Stream>> m_steps;
};

}  // namespace lumesta
