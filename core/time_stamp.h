#pragma once
// The 24-character local time of the reports and ENVI result headers:
// "Www Mmm dd hh:mm:ss yyyy" with English names and the day of month in two columns.

#include <ctime>
#include <string>

namespace lumesta {

std::string TimeStamp(std::time_t when);

}  // namespace lumesta
