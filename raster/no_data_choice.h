#pragma once
// What a no-data option (--nodata, --pan-nodata, --ms-nodata) asked for: nothing (the file's own
// declaration counts), none (the file's declaration is ignored), or a value.

#include <optional>
#include <string>

namespace lumesta {

struct NoDataChoice {
    bool given = false;
    bool none = false;
    double value = 0;
};

// "none", or a finite number written with a decimal point whatever the locale; nothing for
// any other text.
std::optional<NoDataChoice> ParseNoDataChoice(const std::string& text);

}  // namespace lumesta
