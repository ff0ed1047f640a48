#pragma once
// The steps the three assessment runs share: the size checks, the input section of the report
// with the sample kind decided by the file size, reading the band, the progress window and its
// per-unit counter, and the closing lines.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/host.h"
#include "core/run_log.h"
#include "assess/assess_input.h"
#include "raster/raster_source.h"
#include "raster/raw_file.h"

namespace lumesta {

// Closing lines of an assessment report block.
inline const std::string kAssessFinished = "Finished\r\n\r\n";
inline const std::string kAssessCancelled = "Cancelled\r\n\r\n";
inline const std::string kAssessUnsuccessful = "Unsucessful\r\n\r\n";

// "Please input file names" when allGiven is false; returns allGiven.
bool CheckFileNamesGiven(bool allGiven, Host& host);
// "Please input width and height." when the width or height is 0.
bool CheckSizeGiven(const AssessInput& input, Host& host);
// "Image size is too small; ..." when both sides are below 32, "Image size is too big; ..."
// when both exceed maximumSide. True when neither applies.
bool CheckSizeLimits(const AssessInput& input, int maximumSide, Host& host);

// e − subtract, where e is the smallest e ≥ 0 with 2^e ≥ min(width, height).
int MaximumPyramidLevel(int width, int height, int subtract);
// " The maximum level you can select for this image is N." when level exceeds
// MaximumPyramidLevel(width, height, subtract); true otherwise.
bool CheckMaximumLevel(int level, const AssessInput& input, int subtract, Host& host);

// Width × height, the samples of the band.
inline std::int64_t SampleCount(const AssessInput& input)
{
    return static_cast<std::int64_t>(input.width) * input.height;
}

// Refuses (with a message) an output that names the input or its header; true otherwise.
bool CheckNotAnInput(const std::string& output, const AssessInput& input, Host& host);
// The overwrite question for one output, after refusing an output that names the input or its
// header (answering Yes would delete the input). False when the run must stop.
bool ConfirmAssessOutput(const std::string& output, const AssessInput& input, Host& host);

// Opens the report block of an assessment run whose job was checked: the banner (bannerStart,
// the block's number, bannerEnd) and section (a) with the sample kind (WriteInputSection).
// Nothing after "Check the file size of the input image.".
std::optional<SampleKind> OpenAssessReport(Tool tool, const char* bannerStart,
                                           const char* bannerEnd, const AssessInput& input,
                                           RunLog& log, Host& host);

// Writes section (a) of the report (input, width, height, image size, file size) and decides
// the sample kind: the data type code for a band of a multi-band ENVI file (whose file must
// hold band count × width × height samples of that kind), otherwise the file size (2 × width ×
// height bytes: 16-bit; width × height: 8-bit). Any other size shows "Check the file size of
// the input image." and returns nothing (the report stays as it is).
std::optional<SampleKind> WriteInputSection(const AssessInput& input, RunLog& log, Host& host);

// The band read a strip of lines at a time, so that a run holds only the lines it works on.
// The file stays open from Open to the destructor.
class AssessBandStrips {
public:
    AssessBandStrips(const AssessInput& input, SampleKind kind);
    // Opens the file; false after the reader's open-failure message.
    bool Open(Host& host);
    // Lines that make up about one read of a few megabytes (at least 1).
    int LinesPerStrip() const;
    // Reads lineCount lines from firstLine into buffer (samples of the kind: std::int16_t or
    // std::uint8_t). A read that comes up short shows "Error! reading an image  file - length
    // problem." and returns false: the run stops instead of working on samples never read.
    bool Read(int firstLine, int lineCount, void* buffer, Host& host) const;

private:
    bool ReadThroughGdal(int firstLine, int lineCount, void* buffer, Host& host) const;

    const AssessInput& m_input;
    std::int64_t m_bytesPerSample;
    std::int64_t m_firstByte;
    RawFile m_file;
    std::unique_ptr<RasterSource> m_gdal;  // the input read through GDAL, when it is
};

// The progress window of the assessment runs ("Processing ...", a segmented bar), whose one
// step the host is told by its name.
std::unique_ptr<RunProgress> OpenAssessProgress(Host& host, const std::string& step);
// Range 0..100 with step 1 and the status text "Press Cancel to stop ...\n\n".
void StartAssessProgress(RunProgress& progress);

// Counts the run's work units against a total fixed in advance: the bar shows
// trunc(count × 100.0 / total), stepping through every position the count passes, and messages
// are pumped with Escape cancelling.
class ProgressCounter {
public:
    ProgressCounter(RunProgress& progress, std::int64_t total)
        : m_progress(progress), m_total(total)
    {
    }
    // Counts one unit; false when the user cancelled.
    bool Advance() { return AdvanceBy(1); }
    // Counts the units of a line of work at once, before the line is done: the bar passes the
    // same positions as unit by unit, messages are pumped once. False when the user cancelled.
    bool AdvanceBy(std::int64_t units);

private:
    int PositionAt(std::int64_t count) const;

    RunProgress& m_progress;
    std::int64_t m_total;
    std::int64_t m_count = 0;
    std::int64_t m_nextChange = 0;  // the first count whose position differs from the shown one
    int m_shown = 0;
};

}  // namespace lumesta
