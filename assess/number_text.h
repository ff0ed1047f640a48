#pragma once
// Numbers as the assessment tables and headers print them, independent of the user's locale
// (the desktop adopts it, the command line does not, and both must write the same bytes).

#include <string>

namespace lumesta {

// Fixed notation with the given digits after the point, as printf's "%.*f" in the C locale.
// Not-a-number is always "nan" (never "-nan"); infinities are "inf" and "-inf".
std::string FixedText(double value, int digits);

// General notation with 6 significant digits, as printf's "%g" in the C locale; "nan" as above.
std::string GeneralText(double value);

// The text right-aligned (padded with spaces on the left) in a field of the given width, as
// "%*s" does; a longer text is kept whole.
std::string PadLeft(const std::string& text, std::size_t width);

// The text left-aligned (padded with spaces on the right), as "%-*s" does.
std::string PadRight(const std::string& text, std::size_t width);

}  // namespace lumesta
