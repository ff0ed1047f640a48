#include "tests/support/report_text.h"

#include <cctype>

namespace lumesta::testing {
namespace {

bool IsTimeStampAt(const std::string& text, std::size_t at)
{
    // "Www Mmm dd hh:mm:ss yyyy": letter classes, then digits and separators by position.
    static const char kShape[] = "Aaa Aaa _9 99:99:99 9999";
    if (at + 24 > text.size()) return false;
    for (std::size_t i = 0; i < 24; ++i) {
        const auto c = static_cast<unsigned char>(text[at + i]);
        switch (kShape[i]) {
            case 'A': if (!std::isupper(c)) return false; break;
            case 'a': if (!std::islower(c)) return false; break;
            case '9': if (!std::isdigit(c)) return false; break;
            case '_': if (c != ' ' && !std::isdigit(c)) return false; break;
            default: if (c != static_cast<unsigned char>(kShape[i])) return false;
        }
    }
    return true;
}

}  // namespace

std::string MaskTimes(const std::string& text)
{
    static const std::string kSeconds = "Seconds spent:\t";
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (IsTimeStampAt(text, i)) {
            out += "<time>";
            i += 24;
        } else if (text.compare(i, kSeconds.size(), kSeconds) == 0) {
            out += kSeconds + "<n>";
            i += kSeconds.size();
            while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
        } else {
            out += text[i++];
        }
    }
    return out;
}

}  // namespace lumesta::testing
