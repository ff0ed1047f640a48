#pragma once
// The options of the assessment tools on the command line (semivariance, stats, haar): each
// with its value syntax, help, default and how it sets the job, applied as the dialog's
// choices would be.

#include "assess/haar_job.h"
#include "assess/image_stats_job.h"
#include "assess/semivariance_job.h"
#include "core/option_table.h"

namespace lumesta {

const OptionTable<SemivarianceJob>& SemivarianceOptions();
const OptionTable<ImageStatsJob>& ImageStatsOptions();
const OptionTable<HaarJob>& HaarOptions();

}  // namespace lumesta
