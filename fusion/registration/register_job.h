#pragma once
// The job record of the registration tool (lumesta-cli register), as its command line fills it.

#include <optional>
#include <string>
#include <vector>

namespace lumesta {

enum class RegisterFormat { Text, Json };

// A no-data choice of one input: not given (the file's own), "none" (no value), or a value.
struct NoDataOption {
    bool given = false;  // false: the file's own declaration
    std::optional<double> value;
};

struct RegisterJob {
    std::string pan;
    std::vector<std::string> ms;  // one multi-band file or single-band files in band order
    int ratio = 0;  // --ratio; 0: from the georeferencing or the sizes
    std::string sensor = "generic";
    int grid = 0;  // 0: no block offsets
    RegisterFormat format = RegisterFormat::Text;
    NoDataOption noData;     // both inputs
    NoDataOption panNoData;  // wins over noData for the pan
    NoDataOption msNoData;   // wins over noData for the MS
};

}  // namespace lumesta
