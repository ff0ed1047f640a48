#include "cli/arguments.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

namespace lumesta::cli {

const std::set<std::string> kCommonValueOptions = {"--log"};
const std::set<std::string> kCommonFlags = {"--yes", "--no", "--display", "--quiet"};

std::optional<long long> ParseInteger(const std::string& text)
{
    long long value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') ++first;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || first == last) return std::nullopt;
    return value;
}

Arguments::Arguments(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
                     const std::set<std::string>& flags)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        if (m_values.count(name)) throw UsageError{"option " + name + " given twice"};
        if (flags.count(name) && !inlineValue) {
            m_values[name] = std::string();
        } else if (valueOptions.count(name)) {
            if (inlineValue) {
                m_values[name] = *inlineValue;
            } else if (i + 1 < args.size()) {
                m_values[name] = args[++i];
            } else {
                throw UsageError{"option " + name + " needs a value"};
            }
        } else {
            throw UsageError{"unknown option " + args[i]};
        }
    }
}

std::optional<std::string> Arguments::Value(const std::string& name) const
{
    const auto found = m_values.find(name);
    if (found == m_values.end()) return std::nullopt;
    return found->second;
}

std::optional<int> Arguments::Int(const std::string& name, int low, int high) const
{
    const auto text = Value(name);
    if (!text) return std::nullopt;
    const auto value = ParseInteger(*text);
    if (!value || *value < low || *value > high) {
        throw UsageError{name + " takes a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high)};
    }
    return static_cast<int>(*value);
}

std::optional<std::vector<int>> Arguments::IntList(const std::string& name, std::size_t count,
                                                   int low, int high) const
{
    const auto text = Value(name);
    if (!text) return std::nullopt;
    std::vector<int> values;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text->find(',', start);
        const auto value = ParseInteger(text->substr(start, comma - start));
        if (!value || *value < low || *value > high) break;
        values.push_back(static_cast<int>(*value));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (values.size() != count || std::count(text->begin(), text->end(), ',') + 1 !=
                                      static_cast<long>(count)) {
        throw UsageError{name + " takes " + std::to_string(count) +
                         " comma-separated whole numbers from " + std::to_string(low) + " to " +
                         std::to_string(high)};
    }
    return values;
}

TerminalOptions CommonOptions(const Arguments& args)
{
    if (args.Has("--yes") && args.Has("--no")) throw UsageError{"--yes and --no exclude each other"};
    TerminalOptions options;
    options.logPath = args.Value("--log").value_or(std::string());
    if (args.Has("--log") && options.logPath.empty()) throw UsageError{"--log needs a file name"};
    options.answer = args.Has("--yes") ? Answer::Yes : args.Has("--no") ? Answer::No : Answer::Ask;
    options.display = args.Has("--display");
    options.quiet = args.Has("--quiet");
    return options;
}

}  // namespace lumesta::cli

namespace lumesta::cli {

std::string FullPath(const std::string& path)
{
    if (path.empty()) return path;
    return std::filesystem::absolute(path).lexically_normal().string();
}

void ApplyStretchOptions(const Arguments& args, StretchParams& stretch)
{
    if (const auto cutoffs = args.IntList("--cutoffs", 6, 1, 20)) {
        for (int band = 0; band < 3; ++band) {
            stretch.leftCutoff[band] = (*cutoffs)[2 * band];
            stretch.rightCutoff[band] = (*cutoffs)[2 * band + 1];
        }
    }
    if (const auto nonlinear = args.IntList("--nonlinear", 3, 0, 20)) {
        std::copy(nonlinear->begin(), nonlinear->end(), stretch.nonlinear.begin());
    }
}

}  // namespace lumesta::cli
