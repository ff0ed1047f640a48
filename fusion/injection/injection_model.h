#pragma once
// The detail-injection methods of the 16-bit tool (adaptive component substitution, MTF-matched
// Laplacian pyramid with high-pass modulation, additive wavelet luminance proportional and
// weighted Brovey). A first pass at MS scale reads the MS bands, degrades the pan with the
// sensor's MTF-matched Gaussians and fits every global number the methods need; the fusion
// pass (injection_fusion.h) then works strip by strip at pan scale.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/host.h"
#include "core/step_result.h"
#include "fusion/fusion_method.h"
#include "fusion/injection/upsample_weights.h"

namespace lumesta {

constexpr int kInjectionRatio = 4;  // pan pixels per MS pixel along each side
constexpr int kInjectionBands = 4;  // Blue, Green, Red, NIR

// Where the samples of one run are read and what shapes its filters.
struct InjectionInputs {
    FusionMethod method = FusionMethod::Gsa;
    std::int64_t width = 0;  // pan W and H, multiples of 4
    std::int64_t height = 0;
    std::string panPath;  // raw 16-bit samples
    std::array<std::string, kInjectionBands> msPaths;
    std::array<std::int64_t, kInjectionBands> msByteOffsets{};
    std::array<double, kInjectionBands> msGains{};  // the sensor's Nyquist gains
    double panGain = 0.15;
};

// What the fusion pass needs. The pan of band k, equalised, is panScale[k] · P + panOffset[k].
struct InjectionModel {
    InjectionModel(const InjectionInputs& inputs);

    FusionMethod method;
    std::int64_t width, height, msWidth, msHeight;
    std::array<std::vector<std::int16_t>, kInjectionBands> ms;  // whole MS bands
    // The pan degraded to MS scale, one image per distinct Gaussian (GLP-HPM keeps one per
    // distinct band gain for the fusion pass; the other methods only take statistics from it).
    std::vector<std::vector<float>> panLow;
    std::array<int, kInjectionBands> panLowOfBand{};
    // The synthetic intensity I = intercept + Σ weight[k] · M_k and the injection gains.
    std::array<double, kInjectionBands> weight{};
    double intercept = 0;
    std::array<double, kInjectionBands> gain{};
    std::array<double, kInjectionBands> panScale{};
    std::array<double, kInjectionBands> panOffset{};
    AxisWeights columns;  // the 23-tap interpolator along a row, and down a column
    AxisWeights rows;
};

// The first pass: reads the MS bands whole, streams the pan once to degrade it and fits the
// method's intensity weights, injection gains and pan equalisation. A read failure shows
// readFailure (or the length message) and answers Failed; pump answering false answers
// Cancelled.
StepResult FitInjectionModel(const InjectionInputs& inputs, InjectionModel& model,
                             const std::string& readFailure, Host& host,
                             const std::function<bool()>& pump);

// Least squares of y on (1, x_1 .. x_4) from accumulated sums: the intercept and the four
// weights, {0, 0, 0, 0, 0} when the system is singular.
std::array<double, kInjectionBands + 1> SolveIntensityWeights(
    const std::array<std::array<double, kInjectionBands + 2>, kInjectionBands + 1>& normal);

}  // namespace lumesta
