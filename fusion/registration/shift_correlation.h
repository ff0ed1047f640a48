#pragma once
// The sub-pixel shift between two windows of the same size by upsampled cross-correlation: the
// integer peak of the correlation from FFTs, then the correlation evaluated by matrix-multiply
// DFTs on ever finer grids around it (Guizar-Sicairos, Thurman and Fienup, "Efficient subpixel
// image registration algorithms", Opt. Lett. 33, 2008), so the peak is found to 1/2048 pixel at
// the cost of a few small products.

#include <cstdint>
#include <vector>

namespace lumesta {

struct WindowShift {
    bool featureless = false;  // a window without variation (or without valid pixels)
    // The shift in pixels: a(x, y) ≈ b(x + dx, y + dy).
    double dx = 0.0;
    double dy = 0.0;
    // The normalised correlation of the tapered windows at the peak (−1 … 1).
    double peak = 0.0;
    // How clearly the peak stands out: 1 − (the highest other local maximum of the correlation
    // / the peak), 0 … 1.
    double distinctness = 0.0;
    // The smaller curvature of the peak over the larger: near 0 for a ridge (a scene of parallel
    // lines, where shifts along them cannot be told apart), 1 for a round peak.
    double roundness = 0.0;
    // peak × distinctness, reduced where the peak is less round than 0.1; 0 … 1.
    double confidence = 0.0;
};

// Estimates the shift of a against b (columns × rows, row-major) over the pixels where valid is
// 1: both are centred on their valid means, tapered at the borders and zero where not valid.
WindowShift EstimateShift(const std::vector<double>& a, const std::vector<double>& b,
                          const std::vector<std::uint8_t>& valid, int columns, int rows);

}  // namespace lumesta
