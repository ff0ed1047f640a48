#pragma once
// Checks of a pan-sharpening job before its report starts, for both pan-sharpening tools.

#include "core/host.h"
#include "fusion/etm_job.h"
#include "fusion/pansharpen_job.h"

namespace lumesta {

// The size checks of both pan-sharpening tools, in their order: a missing (or negative) size,
// both sides below 512, both sides above 40000. False after the message.
bool PanSizeAcceptable(int width, int height, Host& host);

// The checks before the report starts, in their fixed order: every input chosen, the size,
// distinct band choices (the Landsat tool skips this in batch mode), input types that agree.
// False after the first message. May ask whether to turn off the automatic display of a very
// large picture, and clears displayBmp on Yes.
bool ValidatePanSharpenJob(PanSharpenJob& job, Host& host);
bool ValidateEtmJob(EtmJob& job, Host& host);

}  // namespace lumesta
