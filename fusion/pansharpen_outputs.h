#pragma once
// Output names of the 16-bit pan-sharpening run, derived from the job as the run reports them.

#include <array>
#include <string>

#include "fusion/pansharpen_job.h"

namespace lumesta {

// The kinds of result the MS inputs lead to.
enum class PanOutputKind {
    FourBandEnvi,  // one four-band ENVI file: base + suffix + "1.img" ... "4.img", ENVI headers
    Envi,          // four ENVI files: each path without ".img" + suffix + ".img", ENVI headers
    Idrisi,        // four Idrisi32 files: ".rst" data with ".rdc" headers
    Generic,       // generic matrices: each path + suffix, no header
    GeoTiff,       // GeoTIFF pan and MS: one GeoTIFF result
};

struct PanOutputs {
    PanOutputKind kind = PanOutputKind::Generic;
    std::array<std::string, 4> data;     // fused band files, Blue, Green, Red, NIR
    std::array<std::string, 4> headers;  // empty where the kind has no header
};

// True when one file holds all four MS bands.
inline bool HasFourBandMsFile(const PanSharpenJob& job) { return job.msBandCount == 4; }

PanOutputs DerivePanOutputs(const PanSharpenJob& job);

}  // namespace lumesta
