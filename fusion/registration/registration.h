#pragma once
// Registration: where the MS's content lies on the pan, to a fraction of a pan pixel, relative
// to where the placement (georeferencing, or corners aligned) puts it.
//
// Offsets are geometric (pixel-is-area): with offset (0, 0), MS pixel (x, y) covers pan pixels
// ratio·x … ratio·x + ratio − 1 (and the same rows) after the placement; dx > 0 means the MS's
// content lies dx pan pixels right of that, dy > 0 below. No upsampler's or decimation's phase
// enters the estimate: a caller placing the MS at an offset compensates its own method's phase.
//
// How: the pan is low-passed by the MTF-matched Gaussian and sampled at the MS pixels' centres;
// an MS intensity is fitted to it by least squares over the valid pixels; the two are correlated
// (upsampled cross-correlation) in a few windows of the scene with the most valid detail, and
// the correlation repeated with the pan sampled at the first estimate, which removes the taper's
// pull towards zero. The cost is bounded by the windows, not by the scene's size.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fusion/registration/valid_samples.h"

namespace lumesta {

struct RegistrationInputs {
    SourceBand pan;
    std::vector<SourceBand> ms;  // the MS bands, all of one size
    int ratio = 4;               // pan pixels per MS pixel, a power of two
    // The placement: the MS origin's position on the pan grid in pan pixels (fractions kept),
    // 0 when the corners are aligned.
    double placementX = 0.0;
    double placementY = 0.0;
    // The sensor's Nyquist gain of each MS band (their mean shapes the pan's low-pass); empty
    // for 0.3.
    std::vector<double> msGains;
    std::optional<double> panNoData;  // samples of this value are no data
    std::optional<double> msNoData;   // in any MS band
    // Without a value: whether the source's own mask (its no-data value, GDAL's masks) marks no
    // data.
    bool panOwnMask = false;
    bool msOwnMask = false;
    int grid = 0;                     // K > 0: also the offsets of K × K blocks
    std::function<bool()> cancelled;  // polled between strips; empty: never
};

// One block of the grid: the offset of its own content, in pan pixels.
struct BlockOffset {
    int row = 0;     // 0 at the top
    int column = 0;  // 0 at the left
    double dx = 0.0;
    double dy = 0.0;
    double confidence = 0.0;  // 0 where the block could not be estimated
};

struct RegistrationEstimate {
    // False when the estimate must not be applied; reason then says why ("the scene is
    // featureless", "low confidence (0.12)", …), in words that follow "not applied: ".
    bool applicable = false;
    std::string reason;
    // The offset in pan pixels, rounded to 0.01 (what is printed is what is applied); set
    // whenever an estimate was made, also when it is not applicable.
    double dx = 0.0;
    double dy = 0.0;
    double confidence = 0.0;          // 0 … 1
    std::vector<BlockOffset> blocks;  // grid × grid, row by row, when a grid was asked for
};

// Estimates the MS's offset. Reads the sources from this thread only; memory and time are
// bounded by the windows (four of at most 768 × 768 pan pixels), not by the scene. Nothing
// when cancelled (error left empty) or when a source could not be read (error: the reader's
// sentence).
std::optional<RegistrationEstimate> EstimateRegistration(const RegistrationInputs& inputs,
                                                         std::string& error);

// The offset to place the MS with for an estimate: (dx, dy) when applicable, each within 0.05
// pan pixel of 0 counting as 0; (0, 0) when not applicable.
struct PanOffset {
    double dx = 0.0;
    double dy = 0.0;
};
PanOffset AppliedOffset(const RegistrationEstimate& estimate);

// An offset or a confidence with two decimals ("-1.25", "0.00"), independent of the locale and
// never "-0.00": how reports and the register tool print them.
std::string DecimalText(double value);

}  // namespace lumesta
