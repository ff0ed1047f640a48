#pragma once
// The options of the band combination tools on the command line (combine for 16-bit bands,
// combine8 for 8-bit bands): each with its value syntax, help, default and how it sets the
// job, applied as the dialog's choices would be.

#include "composite/combine_job.h"
#include "core/option_table.h"

namespace lumesta {

const OptionTable<BandCombinationJob>& CombineOptions(CombineDepth depth);

}  // namespace lumesta
