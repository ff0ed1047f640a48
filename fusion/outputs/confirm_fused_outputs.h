#pragma once
// The question before a pan-sharpening run replaces existing outputs.

#include <string>
#include <vector>

#include "core/host.h"

namespace lumesta {

// Refuses outputs that would replace an input or its header (an empty suffix, a picture named
// like an input), then asks once before existing outputs are replaced and deletes them on Yes.
// False when the run must stop (the message was shown or the answer was No).
bool ConfirmFusedOutputs(const std::vector<std::string>& targets,
                         const std::vector<std::string>& inputs, const std::string& blueOutput,
                         Host& host);

}  // namespace lumesta
