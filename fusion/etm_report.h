#pragma once
// The report sections (a) to (d) that the Landsat ETM+ pan-sharpening run writes before its
// analytical steps, with the file checks that belong to them.

#include "core/run_log.h"
#include "fusion/etm_job.h"
#include "fusion/etm_steps.h"
#include "fusion/pansharpen_outputs.h"

namespace lumesta {

// Sections (a) and (b) with the file-size and header checks; false after a message.
bool WriteInputSections(EtmRunState& state);
// Section (c): methods and filters.
void WriteParameterSection(const EtmJob& job, RunLog& log);

}  // namespace lumesta
