#pragma once
// The fusion pass of the detail-injection methods: the image is fused strip by strip of pan
// rows. Each strip upsamples the MS rows it needs (its halo included) with the 23-tap
// interpolator, reads its pan rows (with the wavelet's halo for AWLP) and fuses its rows on
// every core. Every pixel is computed from the same samples by the same sums whatever the strip
// height or the number of threads, so the output bytes depend on neither.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "core/host.h"
#include "core/step_result.h"
#include "fusion/injection_model.h"
#include "raster/raw_file.h"

namespace lumesta {

constexpr std::int64_t kInjectionStripRows = 128;

// Fuses the image of the fitted model with the pan read from panPath (raw 16-bit samples) and
// writes the four bands' rows to files in order. Fused values are rounded to the nearest
// integer and kept within the 16-bit range; colourAmounts (Blue, Green, Red) add the tool's
// NDVI colour adjustment. A read failure shows readFailure, a write failure the output-file
// message; both answer Failed. pump answering false answers Cancelled.
StepResult FuseInjectedImage(const InjectionModel& model, const std::string& panPath,
                             const std::array<RawFile, kInjectionBands>& files,
                             const std::array<int, 3>& colourAmounts, std::int64_t stripRows,
                             const std::string& readFailure, RunProgress& progress, Host& host,
                             const std::function<bool()>& pump);

}  // namespace lumesta
