#include "assess/number_text.h"

#include <charconv>
#include <cmath>

namespace lumesta {
namespace {

// to_chars prints a NaN with its sign bit as "-nan"; 0/0 on x86 yields exactly such a NaN.
std::string NumberText(double value, std::chars_format format, int precision)
{
    if (std::isnan(value)) return "nan";
    char buffer[400];  // the longest "%.Nf" of a finite double needs 309 digits before the point
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
    if (result.ec != std::errc()) return "nan";
    return std::string(buffer, result.ptr);
}

}  // namespace

std::string FixedText(double value, int digits)
{
    return NumberText(value, std::chars_format::fixed, digits);
}

std::string GeneralText(double value)
{
    return NumberText(value, std::chars_format::general, 6);
}

std::string PadLeft(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string PadRight(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

}  // namespace lumesta
