#pragma once

#include <string>
#include <vector>

namespace lumesta::cli {

// lumesta-cli pansharpen: fills the 16-bit pan-sharpening job as the dialog would and runs it.
// Returns the exit status (0 finished, 1 stopped, 2 wrong command line, 130 cancelled).
int RunPanSharpenCommand(const std::vector<std::string>& args);

extern const char* const kPanSharpenUsage;

}  // namespace lumesta::cli
