#pragma once
// The options of the Landsat ETM+ pan-sharpening tool on the command line: each with its value
// syntax, help, default and how it sets the job, applied as the dialog's choices would be.

#include "core/option_table.h"
#include "fusion/etm_job.h"

namespace lumesta {

const OptionTable<EtmJob>& EtmOptions();

}  // namespace lumesta
