#pragma once
// The options of the fusion quality tools on the command line (quality reduced, quality full,
// quality wald, degrade): each with its value syntax, help, default and how it sets the
// QualityJob, as the Fusion Quality dialog's fields would. --format steers what the command
// line prints and sets nothing of the job.

#include "core/option_table.h"
#include "workflows/quality_runs.h"

namespace lumesta {

const OptionTable<QualityJob>& QualityOptions(QualityProtocol protocol);

}  // namespace lumesta
