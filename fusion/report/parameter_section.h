#pragma once
// The parameter section (c) of the pan-sharpening reports.

#include <string>

#include "core/run_log.h"
#include "fusion/etm_job.h"
#include "fusion/pansharpen_job.h"

namespace lumesta {

// Section (c): its title, the fusion and resampling methods, the spatial filters and, for the
// 16-bit tool, the colour modification; offsetLine (where the MS was placed on the pan, without
// its line end) follows the method line unless empty.
void WriteParameterSection(const PanSharpenJob& job, const std::string& offsetLine, RunLog& log);
void WriteParameterSection(const EtmJob& job, RunLog& log);

}  // namespace lumesta
