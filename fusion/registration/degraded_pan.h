#pragma once
// The pan brought to the MS's scale for registration: low-passed by the MTF-matched Gaussian and
// sampled at the centres of MS pixels. The Gaussian is sampled around any fractional position
// on the pan grid, so the samples can sit exactly where an MS pixel's centre falls (or where a
// trial offset puts it): the estimate then depends on no decimation's phase.

#include <cstdint>
#include <string>
#include <vector>

#include "fusion/registration/valid_samples.h"

namespace lumesta {

// Where the samples lie: MS pixel (x, y) is centred on pan position
// (originX + ratio · x, originY + ratio · y), pan pixel i being centred on i.
struct PanSampling {
    int ratio = 4;
    double sigma = 2.0;  // of the Gaussian, in pan pixels
    double originX = 0.0;
    double originY = 0.0;
};

// A rectangle of MS pixels.
struct MsWindow {
    int x0 = 0;
    int y0 = 0;
    int columns = 0;
    int rows = 0;
};

// A rectangle of pan pixels; it may reach outside the pan.
struct PanRect {
    std::int64_t x0 = 0;
    std::int64_t y0 = 0;
    std::int64_t columns = 0;
    std::int64_t rows = 0;
};

// The part of the pan inside a rectangle, read once for several samplings of one window:
// samples and validity (1: inside the pan and not no data), row-major.
struct PanBlock {
    PanRect rect;
    std::vector<float> samples;
    std::vector<std::uint8_t> valid;
};

// The standard deviation in pan pixels of the Gaussian whose response at the MS's Nyquist
// frequency is gain (ratio · sqrt(−2·ln gain) / π).
double MtfSigma(double gain, int ratio);

// Pan pixels on each side of a sample that its filter reads.
int DegradationHalo(double sigma);

// The pan pixels that the samples of window read, as sampling places them, grown by margin on
// every side.
PanRect SampledPan(const PanSampling& sampling, const MsWindow& window, int margin);

// Reads rect of the pan, clipped to the pan, into block (its no data by rule). False when the
// pan could not be read (error: why).
bool ReadPanBlock(const SourceBand& pan, const Validity& rule, const PanRect& rect,
                  PanBlock& block, std::string& error);

// True when block holds every pan pixel of rect that lies inside a pan of the given size.
bool BlockHolds(const PanBlock& block, const PanRect& rect, int panWidth, int panHeight);

// Fills values (window.columns × window.rows, row-major) with the degraded pan at the window's MS
// pixels, and valid with 1 where every pan pixel the filter reads is valid in block (pixels the
// block does not hold count as not valid). Buffers are resized here.
void DegradePanWindow(const PanBlock& block, const PanSampling& sampling, const MsWindow& window,
                      std::vector<double>& values, std::vector<std::uint8_t>& valid);

}  // namespace lumesta
