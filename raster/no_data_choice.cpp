#include "raster/no_data_choice.h"

#include <cmath>

#include "raster/header_fields.h"

namespace lumesta {

std::optional<NoDataChoice> ParseNoDataChoice(const std::string& text)
{
    NoDataChoice choice;
    choice.given = true;
    choice.none = text == "none";
    if (choice.none) return choice;
    const std::optional<double> value = ParseHeaderNumber(text);
    if (!value || !std::isfinite(*value) || text.find_first_of(" \t") != std::string::npos) {
        return std::nullopt;
    }
    choice.value = *value;
    return choice;
}

}  // namespace lumesta
