#pragma once

#include <string>
#include <vector>

namespace lumesta::cli {

// lumesta-cli combine and combine8: fill the band combination job of the 16-bit or 8-bit tool
// as its dialog would and run it. Return the exit status (0 finished, 1 stopped, 2 wrong
// command line, 130 cancelled).
int RunCombineCommand(const std::vector<std::string>& args);
int RunCombine8Command(const std::vector<std::string>& args);

extern const char* const kCombineUsage;
extern const char* const kCombine8Usage;

}  // namespace lumesta::cli
