#pragma once
// The options of `pansharpen` for deliveries: --ms with its result (--output, --format), the
// picture's bands (--rgb), the ratio and the no-data values; and how --ms changes the rows of
// the four-band inputs (the pan is taken as it is, --blue ... are refused).

#include <vector>

#include "core/option_table.h"
#include "fusion/pansharpen_job.h"

namespace lumesta {

// The delivery rows, in synopsis order (after the four-band inputs).
std::vector<OptionRow<PanSharpenJob>> DeliveryOptionRows();

// Adjusts the rows of table for --ms: --pan takes the pan without the four-band tool's header
// checks, --blue is not required and, like --green, --red, --nir and --select, refused.
void AdaptRowsForDelivery(std::vector<OptionRow<PanSharpenJob>>& rows);

}  // namespace lumesta
