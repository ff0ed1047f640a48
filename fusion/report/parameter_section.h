#pragma once
// The parameter section (c) of the pan-sharpening reports.

#include "core/run_log.h"
#include "fusion/etm_job.h"
#include "fusion/pansharpen_job.h"

namespace lumesta {

// Section (c): its title, the fusion and resampling methods, the spatial filters and, for the
// 16-bit tool, the colour modification.
void WriteParameterSection(const PanSharpenJob& job, RunLog& log);
void WriteParameterSection(const EtmJob& job, RunLog& log);

}  // namespace lumesta
