#pragma once
// What a run does about registration (--register auto|off|DX,DY) and the report line that says
// what it did.

#include <optional>
#include <string>

#include "fusion/registration/registration.h"

namespace lumesta {

enum class RegisterMode { Auto, Off, Given };

struct RegisterChoice {
    RegisterMode mode = RegisterMode::Auto;
    double dx = 0.0;  // Given: the MS's offset on the pan in pan pixels (geometric)
    double dy = 0.0;
};

// "auto", "off", or two finite numbers "DX,DY" (a decimal point whatever the locale, "+"
// allowed); nothing
// for anything else, which is a wrong command line.
std::optional<RegisterChoice> ParseRegisterChoice(const std::string& text);
// The choice as --register takes it back: "auto", "off" or "DX,DY" (shortest decimals that
// read back as the same numbers).
std::string RegisterChoiceText(const RegisterChoice& choice);

// The report's line, without its line end: "MS offset on the pan:\tDX, DY pan pixels
// (estimated)" with the offset applied (AppliedOffset), "(not applied: REASON)" with the
// estimate that was not applied.
std::string EstimatedOffsetLine(const RegistrationEstimate& estimate);
// The same for an offset given on the command line: "(given)".
std::string GivenOffsetLine(double dx, double dy);

}  // namespace lumesta
