#pragma once
// The 24-bit picture of a delivery run: three of the fused bands, each stretched between the
// cutoffs of its histogram over the valid pixels (no data takes no part and shows black). The
// bands' fused rows go to a temporary file of the run as they arrive, their histograms counted
// on the way; the picture is written from that file once every row is there.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/host.h"
#include "core/step_result.h"
#include "imaging/stretch.h"
#include "raster/raster_layout.h"
#include "raster/raw_file.h"

namespace lumesta {

// The histogram of one band's samples of an 8- or 16-bit integer type, every value its own bin.
class SampleHistogram {
public:
    explicit SampleHistogram(SampleType type);
    // Counts count samples of the type at samples, leaving out those equal to skip.
    void Add(const void* samples, std::int64_t count, const std::optional<double>& skip);
    // The first values whose cumulative share of the counted samples reaches leftPercent and
    // 100 − rightPercent; both 0 when nothing was counted.
    StretchCutoffs Cutoffs(double leftPercent, double rightPercent) const;

private:
    SampleType m_type;
    int m_lowest;  // the value of bin 0
    std::vector<std::int64_t> m_counts;
};

class DeliveryPicture {
public:
    // noData: the value that marks invalid pixels in the fused rows (none: every pixel valid).
    DeliveryPicture(SampleType type, std::int64_t width, std::int64_t height,
                    std::optional<double> noData);

    // Creates the temporary file at path; false after the output-file message.
    bool Open(const std::string& path, Host& host);
    // Takes the next rows of the picture's blue, green and red bands (rows × width samples of
    // the type each); false after the output-file message.
    bool Take(const std::array<const void*, 3>& blueGreenRed, std::int64_t rows, Host& host);
    // Writes the picture at path (bottom-up BMP) with the stretch's cutoffs (Blue, Green, Red)
    // and nonlinear strengths, the progress from 0 to 100.
    StepResult Write(const std::string& path, const StretchParams& stretch, RunProgress& progress,
                     const std::function<bool()>& pump, Host& host);
    // Closes the temporary file.
    void Close() { m_file.Close(); }

private:
    SampleType m_type;
    std::int64_t m_width, m_height;
    std::optional<double> m_noData;
    std::int64_t m_rowsTaken = 0;
    RawFile m_file;
    std::vector<SampleHistogram> m_histograms;
};

}  // namespace lumesta
