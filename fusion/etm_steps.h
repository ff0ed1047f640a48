#pragma once
// The analytical steps of the Landsat ETM+ run and the state they share.

#include <array>
#include <cstdint>
#include <string>

#include "core/host.h"
#include "core/run_log.h"
#include "fusion/etm_fusion.h"
#include "fusion/etm_job.h"
#include "fusion/pansharpen_outputs.h"
#include "fusion/fusion_strips.h"
#include "core/step_result.h"
#include "raster/raw_file.h"

namespace lumesta {

struct EtmRunState {
    EtmRunState(EtmJob& runJob, Host& runHost, RunLog& runLog, RunProgress& runProgress)
        : job(runJob), host(runHost), log(runLog), progress(runProgress)
    {
    }

    EtmJob& job;
    Host& host;
    RunLog& log;
    RunProgress& progress;

    std::int64_t width = 0;  // pan W and H
    std::int64_t height = 0;
    std::int64_t msWidth = 0;  // W / 2 and H / 2
    std::int64_t msHeight = 0;
    std::string panInput;
    std::array<std::string, 3> msInput;
    std::array<std::int64_t, 3> msByteOffset{};

    FusedOutputs<3> outputs;
    std::array<RawFile, 3> fused;
    EtmCoefficients coefficients;
    std::array<StretchCutoffs, 3> limits;
    std::array<int, 3> minValue{};
    std::array<int, 3> maxValue{};

    bool Pump();
};

bool HasMultiBandMsFile(const EtmJob& job);

// Step 1: coefficients from every sixteenth MS row.
StepResult EstimateEtmCoefficients(EtmRunState& state);
// With the colour-match option: stretch limits from the input MS bands.
StepResult ComputeEtmInputStretchLimits(EtmRunState& state);
// Step 2: fusion in eight strips into the fused band files.
StepResult FuseEtmStrips(EtmRunState& state);
// Step 3: border replication, stretch limits, filters and statistics per band.
StepResult PostProcessEtmBands(EtmRunState& state);
// Step 5: the stretched 24-bit BMP.
StepResult WriteEtmBmp(EtmRunState& state);

}  // namespace lumesta
