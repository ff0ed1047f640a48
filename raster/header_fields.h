#pragma once
// Keyword reading of text headers for the image viewer, which accepts more than the tools'
// positional readers: ENVI "key = value" (values in braces may span lines) and Idrisi32
// "key : value" lines. Keys are lower-cased with inner runs of spaces kept as one space.

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lumesta {

using HeaderFields = std::map<std::string, std::string>;

// The fields of an ENVI header; nothing when the file cannot be read or does not start with
// the word "ENVI" (any case).
std::optional<HeaderFields> ReadEnviFields(const std::string& headerPath);
// The fields of an Idrisi32 .rdc file; nothing when it cannot be read or has no "columns".
std::optional<HeaderFields> ReadIdrisiFields(const std::string& headerPath);

// The comma-separated items of a value, each without surrounding spaces and braces.
std::vector<std::string> SplitItems(const std::string& value);
// A number read locale-independently from the whole (trimmed) text; nothing otherwise.
std::optional<double> ParseHeaderNumber(const std::string& text);
std::optional<long long> ParseHeaderInteger(const std::string& text);
std::string LowerText(std::string text);
std::string Trimmed(const std::string& text);

}  // namespace lumesta
