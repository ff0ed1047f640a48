#pragma once
// The report sections (a) to (d) that the 16-bit pan-sharpening run writes before its
// analytical steps, with the file checks that belong to them.

#include "core/host.h"
#include "core/run_log.h"
#include "fusion/pansharpen_job.h"
#include "fusion/pansharpen_outputs.h"
#include "fusion/pansharpen_steps.h"

namespace lumesta {

// Sections (a) and (b) with the file-size and header checks; false after a message.
bool WriteInputSections(PanRunState& state);
// Section (c): methods, filters and colour adjustments.
void WriteParameterSection(const PanSharpenJob& job, RunLog& log);
}  // namespace lumesta
