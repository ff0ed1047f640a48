#pragma once
// Rows at MS scale for the methods that work there: the window's MS bands as the fusion reads
// them (holes filled), copied into a temporary file of the run as float images with which
// samples are valid, so that several threads can read them at once (the sources allow one);
// such images as streams of rows; and the 23-tap upsampling of a stream.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/host.h"
#include "core/step_result.h"
#include "fusion/injection/degraded_pans.h"
#include "fusion/injection/upsample_weights.h"
#include "imaging/row_stream.h"

namespace lumesta {

struct InjectionModel;

struct MsCopy {
    DegradedPans bands;  // image k: band k
    DegradedPans valid;  // one image of 1 (valid) and 0; none when the scene is not masked
};

// Copies the fitted model's MS window. A read failure shows readFailure; a temporary file that
// cannot be made or written shows the output-file message; both answer Failed. pump answering
// false answers Cancelled.
StepResult CopyMs(const InjectionModel& model, MsCopy& copy, const std::string& readFailure,
                  Host& host, const std::function<bool()>& pump);

// The rows of one image of a file of float images as a stream of doubles: its top-left
// width × height samples (a crop when smaller than the images). A row the file cannot give
// fails the stream (no message: the caller reports it).
class ImageRows : public RowStream {
public:
    ImageRows(const DegradedPans& images, int image, std::int64_t width, std::int64_t height,
              std::size_t window = 48);

protected:
    bool Produce(std::int64_t y, double* out) override;

private:
    const DegradedPans& m_images;
    int m_image;
    std::vector<float> m_row;
};

// A stream upsampled by ratio with the 23-tap interpolator's weights: down the columns first
// (the source rows that reach row y, in their order), then along the row, as the fusion pass
// upsamples.
class UpsampledRows : public RowStream {
public:
    UpsampledRows(RowStream& source, int ratio);

protected:
    bool Produce(std::int64_t y, double* out) override;

private:
    RowStream& m_source;
    AxisWeights m_down;
    AxisWeights m_along;
    std::vector<const double*> m_rows;
    std::vector<double> m_line;
};

// line[x] = Σ_c w[c] · rows[c][x] for x < width, summed in order of c.
void WeightedRowSum(const double* w, int count, const double* const* rows, std::int64_t width,
                    double* line);

}  // namespace lumesta
