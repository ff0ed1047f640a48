#pragma once
// The options of lumesta-cli register: each with its value syntax, help, default and how it sets
// the RegisterJob.

#include "core/option_table.h"
#include "fusion/registration/register_job.h"

namespace lumesta {

const OptionTable<RegisterJob>& RegisterOptions();

}  // namespace lumesta
