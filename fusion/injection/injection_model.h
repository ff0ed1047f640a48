#pragma once
// The detail-injection engine's first pass at MS scale: for N bands of 8- or 16-bit samples at
// any power-of-two ratio, it degrades the pan with the sensor's MTF-matched Gaussians (into a
// temporary file of the run) and fits every global number the method needs from the MS rows
// streamed past, as many times as its statistics need; the fusion pass (injection_fusion.h)
// then works strip by strip at pan scale. No whole band is ever held, at any scale.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/host.h"
#include "core/step_result.h"
#include "fusion/fusion_method.h"
#include "fusion/injection/degraded_pans.h"
#include "fusion/injection/injection_inputs.h"
#include "fusion/injection/injection_methods.h"
#include "fusion/injection/ms_scale_rows.h"
#include "fusion/injection/scene_rows.h"
#include "fusion/injection/upsample_weights.h"
#include "raster/raster_source.h"

namespace lumesta {

// About this many bytes go to the rows a pass holds at once (pan rows of a degradation block,
// MS rows of a fit chunk, the rows of a fusion strip), whatever the image's size.
constexpr std::int64_t kInjectionBufferBytes = std::int64_t{16} << 20;

// What the fusion pass needs. It fuses the scene's window (the whole pan unless the scene is
// masked): width, height and the MS sizes are the window's. The pan of band k, equalised, is
// panScale[k] · P + panOffset[k].
struct InjectionModel {
    explicit InjectionModel(const InjectionInputs& runInputs);

    InjectionInputs inputs;
    const InjectionRecipe& recipe;
    SceneRows scene;
    std::int64_t width = 0, height = 0, msWidth = 0, msHeight = 0;
    int ratio, bands;
    // The pan degraded to MS scale, one image per distinct Gaussian, and the image of each band.
    // The first fusedLows images are the bands' (the fusion pass upsamples them); panLow is the
    // image degraded with the pan's own gain, or −1.
    std::vector<double> lowGains;
    std::vector<int> lowOfBand;
    int fusedLows = 0;
    int panLow = -1;
    DegradedPans lows;
    // The synthetic intensity I = intercept + Σ weight[k] · M_k and the injection gains.
    std::vector<double> weight;
    // Band-dependent intensities I_k = Σ_i bandWeight[k · bands + i] · M_i (SharedRowKind::
    // BandIntensity).
    std::vector<double> bandWeight;
    double intercept = 0;
    std::vector<double> gain;
    std::vector<double> panScale;
    std::vector<double> panOffset;
    AxisWeights columns;  // the 23-tap interpolator along a row, and down a column
    AxisWeights rows;
    // One MS-scale image per band that the fusion pass adds upsampled to the band's fused rows,
    // once corrected (the recipe's correction step made them).
    DegradedPans corrections;
    bool corrected = false;
    std::int64_t measureStripRows = 0;  // strips of the correction's pan-scale pass; 0: by budget
    std::int64_t fitChunkRows = 0;      // MS rows of a chunk of the fit's passes; 0: by budget
    // Back-projection left to the fusion pass (back_projection.h): its steps (0: none) and the
    // MS copy it measures the fusion against; the corrections file is then not made (the pass
    // keeps its corrections in memory). The strips of a measuring pass read their MS rows from
    // the copy as well.
    int pendingSteps = 0;
    std::shared_ptr<MsCopy> pendingMs;
    // Measures and back-projects in a pass of its own before the fusion pass, as wide scenes do.
    bool separateCorrectionPass = false;
};

// The first pass: finds the scene's window (scene_rows.h), degrades the pan and fits the
// method's intensity weights, injection gains and pan equalisation from the valid samples. A
// read failure shows readFailure and answers Failed, as do a scene without valid pixels and a
// temporary file that cannot be made or written (their own messages); pump answering false
// answers Cancelled. The degraded pans stay in their file only when the fusion pass needs them.
// A recipe with a correction step runs it last.
StepResult FitInjectionModel(InjectionModel& model, const std::string& readFailure, Host& host,
                             const std::function<bool()>& pump);

// The window's pan rows first .. first + count − 1 (whole rows) into out, as floats; false when
// the source could not give them.
bool ReadPanRows(const InjectionModel& model, std::int64_t first, std::int64_t count, float* out);
// The window's MS rows first .. first + count − 1 of every band: out[k] for band k.
bool ReadMsRows(const InjectionModel& model, std::int64_t first, std::int64_t count,
                float* const* out);

}  // namespace lumesta
