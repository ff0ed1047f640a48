#pragma once
// The options of the 16-bit pan-sharpening tool on the command line: each with its value
// syntax, help, default and how it sets the job, applied as the dialog's choices would be.

#include "core/option_table.h"
#include "fusion/pansharpen_job.h"

namespace lumesta {

const OptionTable<PanSharpenJob>& PanSharpenOptions();

}  // namespace lumesta
