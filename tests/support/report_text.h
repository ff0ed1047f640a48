#pragma once
// Report blocks with their clock-dependent parts replaced, so that two runs of the same job
// can be compared byte for byte.

#include <string>

namespace lumesta::testing {

// Every 24-character time stamp ("Sun Dec  6 19:48:11 2026") becomes "<time>" and the
// "Seconds spent:\t" count becomes "<n>".
std::string MaskTimes(const std::string& text);

}  // namespace lumesta::testing
