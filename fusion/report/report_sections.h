#pragma once
// The report parts both pan-sharpening runs write alike: the banner, the output section (d)
// and the closing section (f). The input sections (a) and (b) are in input_sections.h, the
// parameter section (c) in parameter_section.h.

#include <cstddef>
#include <ctime>
#include <memory>

#include "core/host.h"
#include "core/run_log.h"
#include "fusion/fusion_method.h"
#include "fusion/outputs/fusion_outputs.h"
#include "imaging/stretch.h"

namespace lumesta {

// The "Stretch:" part of section (d): colour match, cutoffs and nonlinear strengths.
void WriteStretchReport(bool colourMatch, const StretchParams& stretch, RunLog& log);

// Opens the report block with the pan-sharpening banner (the counter both tools share) and the
// dialog's progress bar at 0 of 0..100.
std::unique_ptr<RunProgress> OpenPanSharpeningReport(RunLog& log, Host& host);

// Section (d): the fused band files (in batch mode only those the indicator asks for), or the
// bands of resultPath when the bands go into that one file, the picture, whether it is
// displayed, and its stretch. For N bands Blue, Green, Red (, NIR).
template <typename Job, std::size_t N>
void WriteOutputSection(const Job& job, const FusedOutputs<N>& outputs,
                        const std::string& resultPath, RunLog& log);

// Section (f) and "Notes:".
void WriteReportEnd(RunLog& log, std::time_t start, std::time_t postProcessing, std::time_t end);

}  // namespace lumesta
