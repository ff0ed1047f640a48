#pragma once
// The job record of the Haar wavelet tool: everything its dialog holds. The dialog and
// lumesta-cli fill it through assess_browse.h and run it with ComputeHaarTransform.

#include <optional>
#include <string>

#include "assess/assess_input.h"

namespace lumesta {

// The two coefficient forms, in the order of the dialog's radio buttons.
enum class HaarForm { Half = 0, InverseSqrt2 = 1 };

struct HaarJob {
    AssessInput input;
    std::string outputImagePath;   // the float raster
    std::string inputHeaderPath;   // the input's .hdr or .rdc, derived when the input is chosen
    std::string outputHeaderPath;  // the result's .hdr or .rdc, derived likewise
    std::string bmpPath;           // the 24-bit picture
    int levels = 1;                // decomposition levels L
    int waveletIndex = 0;          // entry of the wavelet list; its only entry is "Haar"
    HaarForm form = HaarForm::InverseSqrt2;
    // --nodata: samples of this value take no part; a block without a valid sample is NaN in
    // the raster (declared in an ENVI header) and black in the picture (none unless asked for).
    std::optional<double> noData;
};

}  // namespace lumesta
