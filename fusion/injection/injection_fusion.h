#pragma once
// The fusion pass of the detail-injection methods: the image is fused strip by strip of pan
// rows. Each strip reads the MS rows it needs (its halo included) and upsamples them with the
// 23-tap interpolator, reads its pan rows (with the wavelet's halo for AWLP) and fuses its rows
// on every core. Every pixel is computed from the same samples by the same sums whatever the
// strip height or the number of threads, so the output bytes depend on neither.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/host.h"
#include "core/step_result.h"
#include "fusion/injection/injection_model.h"
#include "raster/raw_file.h"

namespace lumesta {

// The fused rows of one strip: rowCount rows of width samples of type for every band, the
// strip starting at pan row firstRow. The buffers belong to the pass and change after the call.
struct FusedStrip {
    SampleType type = SampleType::Int16;
    std::int64_t width = 0;
    std::int64_t firstRow = 0;
    std::int64_t rowCount = 0;
    std::vector<const void*> bands;
};

// Takes the fused strips from the top, in order. Answers false after showing its own message
// when the rows cannot be kept.
using FusedRowsSink = std::function<bool(const FusedStrip& strip)>;

// The strip height of the pass: as many pan rows as kInjectionBufferBytes holds for the
// strip's pan rows, wavelet levels and fused rows (at least one).
std::int64_t InjectionStripRows(const InjectionModel& model);

// Fuses the image of the fitted model and hands the bands' rows to sink in order, strips of
// stripRows pan rows (0: InjectionStripRows). Fused values are rounded to the nearest integer
// and kept within the range of the MS's sample type; colourAmounts (Blue, Green, Red; four
// 16-bit bands only) add the 16-bit tool's NDVI colour adjustment. A learned method first
// trains its network on the scene (learned/learned_fusion.h), its steps shown on progress. A
// read failure shows readFailure and answers Failed, as does a sink answering false. pump
// answering false answers Cancelled.
StepResult FuseInjectedImage(const InjectionModel& model, const FusedRowsSink& sink,
                             const std::array<int, 3>& colourAmounts, std::int64_t stripRows,
                             const std::string& readFailure, RunProgress& progress, Host& host,
                             const std::function<bool()>& pump);

// Receives band k's fused row r of the window before rounding (width values, valid during the
// call), on any core; rows of one strip arrive in any order.
using FusedBandVisitor = std::function<void(std::int64_t r, int k, const double* fused)>;
// Called on the run's thread once the rows row0 .. row1 − 1 of the window have been visited;
// anything but Ok ends the pass with that result.
using FusedStripDone = std::function<StepResult(std::int64_t row0, std::int64_t row1)>;

// The fusion pass over the window's rows without rounding or storing them (for methods that
// measure their own fusion): strips of stripRows rows (0: InjectionStripRows), the model's
// corrections added only when it has them. Messages and results as FuseInjectedImage.
StepResult VisitFusedRows(const InjectionModel& model, std::int64_t stripRows,
                          const FusedBandVisitor& visit, const FusedStripDone& done,
                          const std::string& readFailure, Host& host,
                          const std::function<bool()>& pump);

// VisitFusedRows one strip at a time, for passes that go on with other work between strips:
// the strips row0 .. row1 − 1 follow each other from the top; each reuses the last one's
// buffers.
class FusedStripVisits {
public:
    explicit FusedStripVisits(const InjectionModel& model);
    ~FusedStripVisits();
    FusedStripVisits(const FusedStripVisits&) = delete;
    FusedStripVisits& operator=(const FusedStripVisits&) = delete;

    // Visits every band of window rows row0 .. row1 − 1, each band's row fused into
    // target(r, k) (width values that stay the caller's). Messages and results as
    // VisitFusedRows.
    StepResult Visit(std::int64_t row0, std::int64_t row1,
                     const std::function<double*(std::int64_t r, int k)>& target,
                     const FusedBandVisitor& visit, const std::string& readFailure, Host& host,
                     const std::function<bool()>& pump);

private:
    struct Strip;
    const InjectionModel& m_model;
    std::unique_ptr<Strip> m_strip;
};

// A learned method's fused values of window rows row0 .. row1 − 1 before rounding: band k's
// row i at values + (k · (row1 − row0) + i) · width (the window's width). Ok, or Failed after
// its own message, or Cancelled.
using StripValues =
    std::function<StepResult(std::int64_t row0, std::int64_t row1, double* values)>;

// FuseInjectedImage's pass with each strip's fused values taken from values, then rounded,
// clipped, masked and handed to sink as there; without values, the base method's own rows (as
// FuseInjectedImage fuses a classical method).
StepResult FuseInjectedImageWith(const InjectionModel& model, const StripValues& values,
                                 const FusedRowsSink& sink, const std::array<int, 3>& colourAmounts,
                                 std::int64_t stripRows, const std::string& readFailure,
                                 RunProgress& progress, Host& host,
                                 const std::function<bool()>& pump);

// Where ComputeBaseRows puts the rows it computes (first .. first + count − 1).
struct BaseRowsTarget {
    // The base method's fused values before rounding of rows baseFirst .. baseFirst +
    // baseCount − 1 (within those computed): band k's row r at
    // base + k · baseBandStride + (r − baseFirst) · width. None: not wanted.
    double* base = nullptr;
    std::int64_t baseFirst = 0;
    std::int64_t baseCount = 0;
    std::int64_t baseBandStride = 0;
    // The network's inputs: channel c's row r at
    // features + c · featureChannelStride + (r − first) · featureRowStride, width floats.
    float* features = nullptr;
    std::int64_t featureChannelStride = 0;
    std::int64_t featureRowStride = 0;
};

// Computes window rows first .. first + count − 1 on every core: the base method's fused values
// and a learned method's inputs: channel k is band k's upsampled MS over scales[k], channel
// N + k band k's relative pan detail (P − L) / L, P the pan and L the upsampled low-pass pan,
// both equalised for the band (0 where L is not positive). A read failure shows readFailure
// and answers Failed; pump answering false answers Cancelled.
StepResult ComputeBaseRows(const InjectionModel& model, std::int64_t first, std::int64_t count,
                           const std::vector<double>& scales, const BaseRowsTarget& target,
                           const std::string& readFailure, Host& host,
                           const std::function<bool()>& pump);

// A sink that writes each band's rows to its file, one after the other from the top, the
// files at once; a write failure shows the output-file message. files outlive the sink.
FusedRowsSink WriteRowsTo(const std::vector<RawFile>& files, Host& host);

}  // namespace lumesta
