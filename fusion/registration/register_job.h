#pragma once
// The job record of the registration tool (lumesta-cli register), as its command line fills it.

#include <optional>
#include <string>
#include <vector>

#include "raster/no_data_choice.h"

namespace lumesta {

enum class RegisterFormat { Text, Json };

struct RegisterJob {
    std::string pan;
    std::vector<std::string> ms;  // one multi-band file or single-band files in band order
    int ratio = 0;  // --ratio; 0: from the georeferencing or the sizes
    std::string sensor = "generic";
    int grid = 0;  // 0: no block offsets
    RegisterFormat format = RegisterFormat::Text;
    NoDataChoice noData;     // both inputs
    NoDataChoice panNoData;  // wins over noData for the pan
    NoDataChoice msNoData;   // wins over noData for the MS
};

}  // namespace lumesta
