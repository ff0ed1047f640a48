#pragma once
// Checks of a pan-sharpening job before its report starts.

#include "core/host.h"

namespace lumesta {

// The size checks of both pan-sharpening tools, in their order: a missing (or negative) size,
// both sides below 512, both sides above 40000. False after the message.
bool PanSizeAcceptable(int width, int height, Host& host);

}  // namespace lumesta
