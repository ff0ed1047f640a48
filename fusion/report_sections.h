#pragma once
// The report parts both pan-sharpening runs write alike: the banner, the stretch part of
// section (d) and the closing section (f).

#include <ctime>
#include <memory>

#include "core/host.h"
#include "core/run_log.h"
#include "imaging/stretch.h"

namespace lumesta {

// The "Stretch:" part of section (d): colour match, cutoffs and nonlinear strengths.
void WriteStretchReport(bool colourMatch, const StretchParams& stretch, RunLog& log);

// Opens the report block with the pan-sharpening banner (the counter both tools share) and the
// dialog's progress bar at 0 of 0..100.
std::unique_ptr<RunProgress> OpenPanSharpeningReport(RunLog& log, Host& host);

// Section (f) and "Notes:".
void WriteReportEnd(RunLog& log, std::time_t start, std::time_t postProcessing, std::time_t end);

}  // namespace lumesta
