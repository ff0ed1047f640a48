#include "raster/header_fields.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace lumesta {
namespace {

// Header files are small; anything larger than this is not a header.
constexpr std::streamoff kMaxHeaderBytes = 4 << 20;

std::optional<std::string> ReadSmallFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    if (size < 0 || size > kMaxHeaderBytes) return std::nullopt;
    file.seekg(0);
    std::string text(static_cast<std::size_t>(size), '\0');
    file.read(text.data(), size);
    return text;
}

std::string NormalisedKey(const std::string& raw)
{
    std::string key;
    for (char c : LowerText(Trimmed(raw))) {
        if (c == '\t') c = ' ';
        if (c == ' ' && !key.empty() && key.back() == ' ') continue;
        key += c;
    }
    return key;
}

}  // namespace

std::string LowerText(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string Trimmed(const std::string& text)
{
    const char* blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::optional<double> ParseHeaderNumber(const std::string& text)
{
    const std::string trimmed = Trimmed(text);
    const char* first = trimmed.data();
    if (!trimmed.empty() && *first == '+') ++first;
    double value = 0;
    const char* last = trimmed.data() + trimmed.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || first == last) return std::nullopt;
    return value;
}

std::optional<long long> ParseHeaderInteger(const std::string& text)
{
    const std::string trimmed = Trimmed(text);
    long long value = 0;
    const char* last = trimmed.data() + trimmed.size();
    const auto [end, error] = std::from_chars(trimmed.data(), last, value);
    if (error != std::errc() || end != last || trimmed.empty()) return std::nullopt;
    return value;
}

std::vector<std::string> SplitItems(const std::string& value)
{
    std::string inner = Trimmed(value);
    if (!inner.empty() && inner.front() == '{') inner.erase(0, 1);
    if (!inner.empty() && inner.back() == '}') inner.pop_back();
    std::vector<std::string> items;
    std::stringstream stream(inner);
    std::string item;
    while (std::getline(stream, item, ',')) items.push_back(Trimmed(item));
    return items;
}

std::optional<HeaderFields> ReadEnviFields(const std::string& headerPath)
{
    const std::optional<std::string> text = ReadSmallFile(headerPath);
    if (!text || LowerText(text->substr(0, 4)) != "envi") return std::nullopt;
    HeaderFields fields;
    std::size_t at = text->find('\n');
    while (at != std::string::npos && at < text->size()) {
        const std::size_t equals = text->find('=', at);
        if (equals == std::string::npos) break;
        const std::string key = NormalisedKey(text->substr(at, equals - at));
        std::size_t valueStart = text->find_first_not_of(" \t", equals + 1);
        if (valueStart == std::string::npos) valueStart = text->size();
        std::size_t valueEnd =
            (*text)[valueStart] == '{' ? text->find('}', valueStart) : text->find('\n', valueStart);
        if (valueEnd == std::string::npos) valueEnd = text->size();
        if ((*text)[valueStart] == '{' && valueEnd < text->size()) ++valueEnd;
        fields[key] = Trimmed(text->substr(valueStart, valueEnd - valueStart));
        at = text->find('\n', valueEnd);
        if (at != std::string::npos) ++at;
    }
    return fields;
}

std::optional<HeaderFields> ReadIdrisiFields(const std::string& headerPath)
{
    const std::optional<std::string> text = ReadSmallFile(headerPath);
    if (!text) return std::nullopt;
    HeaderFields fields;
    std::stringstream stream(*text);
    std::string line;
    while (std::getline(stream, line)) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string key = NormalisedKey(line.substr(0, colon));
        if (fields.count(key) == 0) fields[key] = Trimmed(line.substr(colon + 1));
    }
    if (fields.count("columns") == 0) return std::nullopt;
    return fields;
}

}  // namespace lumesta
