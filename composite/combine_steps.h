#pragma once
// The processing steps of a band combination run, working on the state the run shares between
// them: GeoTIFF extraction, opening the bands, the cutoffs, the BMP and the GeoTIFF composite.
// The run writes the step headings and the closing lines; each step reports its own failures
// in message boxes.

#include <array>
#include <cstdint>
#include <string>

#include "core/host.h"
#include "core/run_files.h"
#include "core/run_log.h"
#include "core/step_result.h"
#include "composite/combine_job.h"
#include "imaging/stretch.h"
#include "raster/raw_file.h"

namespace lumesta {

// The steps answer a StepResult: Stopped ends the run without a closing line, Failed with
// "\r\n\r\nUnsuccessful\r\n", Cancelled with "\r\nCancelled\r\n\r\n".

struct CombineRunState {
    CombineRunState(BandCombinationJob& runJob, Host& runHost, RunLog& runLog)
        : job(runJob), host(runHost), log(runLog)
    {
    }

    std::int64_t BytesPerSample() const { return job.depth == CombineDepth::Sixteen ? 2 : 1; }
    std::int64_t BandBytes() const { return width * height * BytesPerSample(); }

    BandCombinationJob& job;
    Host& host;
    RunLog& log;

    std::int64_t width = 0;  // the size the run works with
    std::int64_t height = 0;
    std::array<std::string, 3> readPath;       // where Blue, Green, Red samples are read
    std::array<std::int64_t, 3> byteOffset{};  // where each band starts in its file
    std::array<RawFile, 3> files;              // open band files (one for a multi-band ENVI file)
    std::array<const RawFile*, 3> source{};    // the file each band reads from
    std::array<StretchCutoffs, 3> cutoffs;
    // The extracted GeoTIFF bands and the outputs under names of the run's own; removed when
    // the run ends unless Commit put the outputs in place.
    RunFiles runFiles;
    bool geoTiffWritten = false;
};

// True when the run writes the BMP, and the GeoTIFF composite.
bool WritesCompositeBmp(const BandCombinationJob& job);
bool WritesCompositeGeoTiff(const BandCombinationJob& job);

// Step 0 for GeoTIFF inputs: extracts Blue, Green and Red into temporary files of the run in
// the Blue folder and reads from them. Messages: "Error: Extracting Ms band ..." (Stopped),
// "The file size of Ms bands is not the same." (Failed).
StepResult ExtractGeoTiffInputs(CombineRunState& state);

// Opens the band files, or shows "Error: Integer/Binary - ReadDataBlock for Step 1" (Failed).
StepResult OpenBandFiles(CombineRunState& state);

// Reads each band whole (one band buffer at a time) and computes its cutoffs. Messages:
// "Error: reading image file - Cannot allocate memory", "Error! reading an image  file -
// length problem." (both Failed).
StepResult ComputeBandCutoffs(CombineRunState& state);

// Step 1: the stretched 24-bit BMP in eight strips, read line by line from the bands, with the
// progress window "Writing 24-bit BMP ..." checked before each line. Messages: the allocation,
// length and BMP writer messages (Failed). The picture is written under a name of the run's
// own until the run finishes.
StepResult WriteCompositeBmp(CombineRunState& state);

// Step 2: the three-band GeoTIFF (red, green, blue planes) with the Blue input's
// georeferencing; sets geoTiffWritten. Failed when the writer reports a failure (it shows
// its message, or "Error with GeoTIFF writing.\n" is shown here), also for an output named
// like an input.
StepResult WriteCompositeGeoTiff(CombineRunState& state);

}  // namespace lumesta
