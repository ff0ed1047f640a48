#pragma once
// The MS intensity that best matches the degraded pan: bias + Σ_k weights[k] · band_k, fitted by
// least squares over the pixels valid in both, pooled over several windows.

#include <cstdint>
#include <vector>

namespace lumesta {

struct IntensityFit {
    std::vector<double> weights;  // one per band
    double bias = 0.0;
};

// The pixels of one window: bands[k][i] the MS band k, target[i] the degraded pan, valid[i] 1
// where both are valid. The caller owns the buffers, which must outlive the call.
struct FitSamples {
    std::vector<const std::vector<float>*> bands;
    const std::vector<double>* target = nullptr;
    const std::vector<std::uint8_t>* valid = nullptr;
};

// The fit over every valid pixel of the windows. False when fewer valid pixels than unknowns,
// or when the target or every band is constant (nothing to fit). Bands that are constant or
// repeat others get the share a minimal ridge gives them.
bool FitIntensity(const std::vector<FitSamples>& windows, IntensityFit& fit);

// bias + Σ_k weights[k] · bands[k][i] for every pixel i (out is resized here).
void ApplyIntensity(const IntensityFit& fit, const std::vector<const std::vector<float>*>& bands,
                    std::vector<double>& out);

}  // namespace lumesta
