#pragma once

#include <string>
#include <vector>

namespace lumesta::cli {

// lumesta-cli pansharpen-etm: fills the Landsat ETM+ pan-sharpening job as its dialog would
// and runs it. Returns the exit status (0 finished, 1 stopped, 2 wrong command line, 130
// cancelled).
int RunEtmCommand(const std::vector<std::string>& args);

extern const char* const kEtmUsage;

}  // namespace lumesta::cli
