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
#include "fusion/injection/injection_model.h"
#include "raster/raw_file.h"

namespace lumesta {

constexpr std::int64_t kInjectionStripRows = 128;

// Takes the fused rows of the four bands strip by strip from the top: rows[k] holds rowCount
// rows of band k. Answers false after showing its own message when the rows cannot be kept.
using FusedRowsSink = std::function<bool(
    const std::array<const std::int16_t*, kInjectionBands>& rows, std::int64_t rowCount)>;

// Fuses the image of the fitted model with the pan read from panPath (raw 16-bit samples) and
// hands the four bands' rows to sink in order. Fused values are rounded to the nearest integer
// and kept within the 16-bit range; colourAmounts (Blue, Green, Red) add the tool's NDVI colour
// adjustment. A read failure shows readFailure and answers Failed, as does a sink answering
// false. pump answering false answers Cancelled.
StepResult FuseInjectedImage(const InjectionModel& model, const std::string& panPath,
                             const FusedRowsSink& sink, const std::array<int, 3>& colourAmounts,
                             std::int64_t stripRows, const std::string& readFailure,
                             RunProgress& progress, Host& host, const std::function<bool()>& pump);

// A sink that writes each band's rows (width samples each) to its file, one after the other
// from the top, the four files at once; a write failure shows the output-file message.
FusedRowsSink WriteRowsTo(const std::array<RawFile, kInjectionBands>& files, std::int64_t width,
                          Host& host);

}  // namespace lumesta
