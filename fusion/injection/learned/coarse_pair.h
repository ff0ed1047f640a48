#pragma once
// The pair a scene-adaptive method learns from: the method's own pan and MS degraded once more
// with the sensor's MTF-matched Gaussians (the pan with its own gain to MS scale, each band with
// its gain to a ratio below), so that the MS itself is the reference for the fusion of the
// coarser pair. Also each band's scale: its mean over the valid MS samples.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/host.h"
#include "core/step_result.h"
#include "fusion/injection/injection_inputs.h"

namespace lumesta {

struct InjectionModel;

// The largest top-left part of the window's MS whose sides are multiples of the ratio is
// degraded; smaller than 2 × 2 coarse MS pixels, there is no pair (width 0).
struct CoarsePair {
    std::vector<double> scales;  // each band's mean over the valid MS samples; 1 when not positive
    std::int64_t width = 0;      // the coarser pan: width × height on the MS grid
    std::int64_t height = 0;
    std::shared_ptr<RasterSource> pan;
    std::shared_ptr<RasterSource> ms;  // N bands of width / R × height / R
};

// Makes the pair from the fitted model's window. A read failure shows readFailure and answers
// Failed; pump answering false answers Cancelled.
StepResult MakeCoarsePair(const InjectionModel& model, CoarsePair& pair,
                          const std::string& readFailure, Host& host,
                          const std::function<bool()>& pump);

// The inputs of the base method's run on the pair (no placement, no no data).
InjectionInputs CoarseInputs(const InjectionModel& model, const CoarsePair& pair);

}  // namespace lumesta
