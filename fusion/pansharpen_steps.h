#pragma once
// The analytical steps of the 16-bit pan-sharpening run, working on the state the run shares
// between them. Each step appends its own progress dots; the run writes the step headings and
// closing lines.

#include <array>
#include <cstdint>
#include <string>

#include "core/host.h"
#include "core/run_log.h"
#include "imaging/stretch.h"
#include "fusion/fusion_methods.h"
#include "fusion/pansharpen_job.h"
#include "fusion/pansharpen_outputs.h"
#include "fusion/fusion_strips.h"
#include "core/step_result.h"
#include "raster/raw_file.h"

namespace lumesta {

struct PanRunState {
    PanRunState(PanSharpenJob& runJob, Host& runHost, RunLog& runLog, RunProgress& runProgress)
        : job(runJob), host(runHost), log(runLog), progress(runProgress)
    {
    }

    PanSharpenJob& job;
    Host& host;
    RunLog& log;
    RunProgress& progress;

    std::int64_t width = 0;  // pan W and H
    std::int64_t height = 0;
    std::int64_t msWidth = 0;  // W / 4 and H / 4
    std::int64_t msHeight = 0;
    std::array<std::string, 4> msInput;         // the files the MS samples are read from
    std::array<std::int64_t, 4> msByteOffset{};  // where each band starts in its file
    std::string panInput;                        // the file the pan samples are read from

    PanOutputs outputs;
    std::array<RawFile, 4> fused;  // the fused band files, open for reading and writing
    Coefficients coefficients;
    std::array<StretchCutoffs, 3> limits;  // Blue, Green, Red
    std::array<int, 4> minValue{};
    std::array<int, 4> maxValue{};

    // Lets waiting messages be handled; false when the user cancelled the run.
    bool Pump();
};

// Step 1: estimates the regression coefficients from every eighth MS row.
StepResult EstimateCoefficients(PanRunState& state);
// With "Colours match with those of inputs closely": stretch limits from the input MS bands.
StepResult ComputeInputStretchLimits(PanRunState& state);
// Step 2: fuses the image in eight strips into the fused band files.
StepResult FuseStrips(PanRunState& state);
// Step 3: border replication, filtering, clipping, statistics and stretch limits per band.
StepResult PostProcessBands(PanRunState& state);
// Step 5: the stretched 24-bit BMP of Red, Green and Blue.
StepResult WriteFusedBmp(PanRunState& state);

}  // namespace lumesta
