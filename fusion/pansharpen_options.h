#pragma once
// The options of the 16-bit pan-sharpening tool on the command line: each with its value
// syntax, help, default and how it sets the job, applied as the dialog's choices would be.

#include "core/option_table.h"
#include "fusion/pansharpen_job.h"

namespace lumesta {

const OptionTable<PanSharpenJob>& PanSharpenOptions();

// The --method option over a method table (PanSharpenOptions takes FusionMethods()): its
// choices and help list every row; a choice sets the method and its default filter.
OptionRow<PanSharpenJob> MethodOption(const MethodTable& methods);

}  // namespace lumesta
