#pragma once
// The detail-injection methods as the engine runs them: each method's recipe says which
// degraded pans it needs, what every band's fused row shares, how its global numbers are fitted
// at MS scale and its formula at pan scale. A method's row in the method table points at its
// recipe, so a new method is a recipe and a row.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/host.h"
#include "core/step_result.h"
#include "fusion/injection/injection_kernels.h"

namespace lumesta {

struct InjectionModel;

// The Gaussians the pan is degraded with: none, the sensor's pan gain, or one per distinct band
// gain (the Laplacian pyramid's low-pass pan of each band), those and then the pan gain too
// (for statistics of the pair degraded once more).
enum class PanDegradation { None, PanGain, BandGains, BandAndPanGains };

// What the bands' fused rows share: nothing, the fitted intensity, the mean of the bands, or an
// intensity of each band's own (its row is made before the band's formula).
enum class SharedRowKind { None, Intensity, Mean, BandIntensity };

// One stretch of rows of the fit's samples at MS scale, in row order: every band and every
// degraded pan, count samples each. The statistics leave out the samples that do not count.
struct FitChunk {
    std::int64_t count = 0;
    std::vector<const float*> bands;
    std::vector<const float*> lows;
    const std::uint8_t* valid = nullptr;  // which samples count (1); none: every one
};
using FitVisitor = std::function<void(const FitChunk& chunk)>;
// One pass over every sample of the fit, top to bottom: Ok, or Failed (message shown) or
// Cancelled.
using FitPass = std::function<StepResult(const FitVisitor& visit)>;

struct InjectionRecipe {
    PanDegradation degradation;
    SharedRowKind shared;
    bool lowPassPans;    // the fusion pass upsamples the degraded pans
    bool waveletDetail;  // the fusion pass injects the pan's à trous detail
    // Fits the model's intensity weights, injection gains and pan equalisation from as many
    // passes as its statistics need (each sum runs over the samples in row order).
    StepResult (*fit)(InjectionModel& model, const FitPass& pass);
    FusionFormula formula;
    // After the fit, for methods whose numbers need the MS at MS scale as images (the pair
    // degraded once more) or that correct their fusion there: sets the model's gains and
    // weights, and fills its corrections (one image per band, added upsampled to the fused
    // rows) when the method has them. A read failure shows readFailure; Failed, or Cancelled
    // when pump answers false. None for most.
    StepResult (*correct)(InjectionModel& model, const std::string& readFailure, Host& host,
                          const std::function<bool()>& pump);
};

// Adaptive component substitution (GSA), MTF-matched Laplacian pyramid with high-pass
// modulation, additive wavelet luminance proportional, weighted Brovey; the pyramid with an
// energy-matched gain and spectral back-projection; the pyramid with regression gains at full
// scale; band-dependent spatial detail with physical constraints.
extern const InjectionRecipe kGsaRecipe;
extern const InjectionRecipe kGlpHpmRecipe;
extern const InjectionRecipe kAwlpRecipe;
extern const InjectionRecipe kBroveyRecipe;
extern const InjectionRecipe kGlpEbpRecipe;
extern const InjectionRecipe kGlpFsRecipe;
extern const InjectionRecipe kBdsdPcRecipe;

// Least squares of y on (1, x_1 .. x_n) from accumulated sums: normal holds n + 1 rows of
// n + 2 values (the last column the products with y). The intercept and the n weights; all
// zeros when the system is singular.
std::vector<double> SolveIntensityWeights(std::vector<std::vector<double>> normal);

}  // namespace lumesta
