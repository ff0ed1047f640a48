#include "fusion/registration/register_choice.h"

#include <charconv>
#include <cmath>

namespace lumesta {
namespace {

const char kOffsetLabel[] = "MS offset on the pan:\t";

// A decimal number, "+" allowed in front.
std::optional<double> Number(const std::string& text)
{
    double value = 0.0;
    const char* begin = text.data() + (text.size() > 1 && text[0] == '+' && text[1] != '-');
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (begin == end || error != std::errc() || stop != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string OffsetLine(double dx, double dy, const std::string& how)
{
    return kOffsetLabel + DecimalText(dx) + ", " + DecimalText(dy) + " pan pixels (" + how + ")";
}

}  // namespace

std::optional<RegisterChoice> ParseRegisterChoice(const std::string& text)
{
    RegisterChoice choice;
    if (text == "auto") return choice;
    if (text == "off") {
        choice.mode = RegisterMode::Off;
        return choice;
    }
    const auto comma = text.find(',');
    if (comma == std::string::npos) return std::nullopt;
    const auto dx = Number(text.substr(0, comma));
    const auto dy = Number(text.substr(comma + 1));
    if (!dx || !dy) return std::nullopt;
    choice.mode = RegisterMode::Given;
    choice.dx = *dx;
    choice.dy = *dy;
    return choice;
}

std::string RegisterChoiceText(const RegisterChoice& choice)
{
    if (choice.mode == RegisterMode::Auto) return "auto";
    if (choice.mode == RegisterMode::Off) return "off";
    const auto number = [](double value) {
        char text[32];
        const auto [end, error] = std::to_chars(text, text + sizeof text, value);
        return error == std::errc() ? std::string(text, end) : std::string("0");
    };
    return number(choice.dx) + "," + number(choice.dy);
}

std::string EstimatedOffsetLine(const RegistrationEstimate& estimate)
{
    if (!estimate.applicable) {
        return OffsetLine(estimate.dx, estimate.dy, "not applied: " + estimate.reason);
    }
    const PanOffset applied = AppliedOffset(estimate);
    return OffsetLine(applied.dx, applied.dy, "estimated");
}

std::string GivenOffsetLine(double dx, double dy)
{
    return OffsetLine(dx, dy, "given");
}

}  // namespace lumesta
