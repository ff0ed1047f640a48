#include "core/option_table.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <sstream>

namespace lumesta {

namespace {

OptionSpec MakeSpec(std::string name, std::string metavar, std::string help,
                    std::string defaultText)
{
    OptionSpec spec;
    spec.name = std::move(name);
    spec.metavar = std::move(metavar);
    spec.help = std::move(help);
    spec.defaultText = std::move(defaultText);
    return spec;
}

std::string JoinChoices(const std::vector<std::string>& choices)
{
    std::string text;
    for (std::size_t i = 0; i < choices.size(); ++i) {
        if (i > 0) text += i + 1 == choices.size() ? " or " : ", ";
        text += choices[i];
    }
    return text;
}

bool TakesValue(const OptionSpec& spec)
{
    return spec.kind != ValueKind::None;
}

// The value's text for a wrong command line, or empty when the value passes.
std::string CheckValue(const OptionSpec& spec, const std::string& text)
{
    bool good = true;
    switch (spec.kind) {
        case ValueKind::Integer: {
            const auto value = ParseInteger(text);
            good = value && *value >= spec.low && *value <= spec.high;
            break;
        }
        case ValueKind::IntegerList:
            good = ParseIntegerList(text, spec.count, spec.low, spec.high).has_value();
            break;
        case ValueKind::Choice:
            good = std::find(spec.choices.begin(), spec.choices.end(), text) != spec.choices.end();
            break;
        case ValueKind::ChoiceList:
            good = ParseChoiceList(text, spec.choices).has_value();
            break;
        case ValueKind::InputFile:
        case ValueKind::OutputFile:
        case ValueKind::Text:
        case ValueKind::None:
            good = !(spec.emptyRefused && text.empty());
            break;
    }
    return good ? std::string() : WrongValueText(spec);
}

std::string CheckValues(const OptionValues& values, const std::vector<const OptionSpec*>& specs)
{
    for (const OptionSpec* spec : specs) {
        if (spec->checkedWhenSet) continue;
        if (!TakesValue(*spec)) continue;
        for (const auto& text : values.Texts(spec->name)) {
            if (auto wrong = CheckValue(*spec, text); !wrong.empty()) return wrong;
        }
    }
    return std::string();
}

std::string CheckRequired(const OptionValues& values, const ToolOptions& tool)
{
    bool batch = false;
    for (const OptionSpec& spec : tool.options) {
        const auto text = values.Text(spec.name);
        if (spec.need == Need::Required && !text) return spec.name + " is required";
        if (spec.need == Need::RequiredUnlessBatch && !text && !batch) {
            return spec.name + " is required";
        }
        if (spec.armsBatch && text && tool.tool.isBatchFile) batch = tool.tool.isBatchFile(*text);
    }
    return std::string();
}

}  // namespace

OptionSpec FlagSpec(std::string name, std::string help, std::string defaultText)
{
    return MakeSpec(std::move(name), {}, std::move(help), std::move(defaultText));
}

OptionSpec TextSpec(std::string name, std::string metavar, std::string help,
                    std::string defaultText)
{
    OptionSpec spec =
        MakeSpec(std::move(name), std::move(metavar), std::move(help), std::move(defaultText));
    spec.kind = ValueKind::Text;
    return spec;
}

OptionSpec FileSpec(ValueKind kind, std::string name, std::vector<std::string> fileFilters,
                    bool otherFileNames, std::string help, std::string defaultText)
{
    OptionSpec spec = MakeSpec(std::move(name), "PATH", std::move(help), std::move(defaultText));
    spec.kind = kind;
    spec.fileFilters = std::move(fileFilters);
    spec.otherFileNames = otherFileNames;
    return spec;
}

OptionSpec IntegerSpec(std::string name, std::string metavar, long long low, long long high,
                       std::string help, std::string defaultText)
{
    OptionSpec spec =
        MakeSpec(std::move(name), std::move(metavar), std::move(help), std::move(defaultText));
    spec.kind = ValueKind::Integer;
    spec.low = low;
    spec.high = high;
    return spec;
}

OptionSpec IntegerListSpec(std::string name, std::string metavar, std::size_t count, long long low,
                           long long high, std::string help, std::string defaultText)
{
    OptionSpec spec = IntegerSpec(std::move(name), std::move(metavar), low, high, std::move(help),
                                  std::move(defaultText));
    spec.kind = ValueKind::IntegerList;
    spec.count = count;
    return spec;
}

OptionSpec ChoiceSpec(ValueKind kind, std::string name, std::vector<std::string> choices,
                      std::string help, std::string defaultText)
{
    OptionSpec spec = MakeSpec(std::move(name), {}, std::move(help), std::move(defaultText));
    spec.kind = kind;
    spec.choices = std::move(choices);
    return spec;
}

std::vector<OptionSpec> RunOptionSpecs(RunOptionsLayout layout)
{
    OptionSpec log = FileSpec(ValueKind::OutputFile, "--log", {".txt"}, true,
                              "Append the report block to FILE (created when missing) instead "
                              "of writing it to standard output.");
    log.metavar = "FILE";
    log.emptyRefused = true;
    log.newLine = layout == RunOptionsLayout::OwnLine;
    OptionSpec yes = FlagSpec("--yes", "Answer Yes to every question of the run.", {});
    OptionSpec no = FlagSpec("--no",
                             "Answer No to every question of the run (without --yes or "
                             "--no: asked on a terminal, otherwise No).",
                             {});
    no.excludes = "--yes";
    no.synopsis = Synopsis::OrPrevious;
    OptionSpec display =
        FlagSpec("--display", "Open the result in the desktop's viewer at the end.");
    if (layout == RunOptionsLayout::NoDisplayQuiet) display.synopsis = Synopsis::Hidden;
    OptionSpec quiet = FlagSpec("--quiet", "Show no progress bar on standard error.", {});
    quiet.newLine = layout == RunOptionsLayout::NoDisplayQuiet;
    return {log, yes, no, display, quiet};
}

const OptionSpec* FindOption(const ToolOptions& tool, const std::string& name)
{
    for (const OptionSpec& spec : tool.options) {
        if (spec.name == name) return &spec;
    }
    return nullptr;
}

std::string OptionValues::Read(const std::vector<std::string>& args,
                               const std::vector<OptionSpec>& specs)
{
    m_specs = specs;
    m_values.clear();
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        const OptionSpec* spec = Spec(name);
        if (m_values.count(name) && !(spec && spec->repeatable)) {
            return "option " + name + " given twice";
        }
        if (spec && !TakesValue(*spec) && !inlineValue) {
            m_values[name].push_back(std::string());
        } else if (spec && TakesValue(*spec)) {
            auto& values = m_values[name];
            if (inlineValue) {
                values.push_back(*inlineValue);
            } else if (i + 1 < args.size()) {
                values.push_back(args[++i]);
            } else {
                m_values.erase(name);
                return "option " + name + " needs a value";
            }
            // An option taking several values takes every argument up to the next option.
            while (spec->takesSeveral && i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) {
                values.push_back(args[++i]);
            }
        } else {
            return "unknown option " + args[i];
        }
    }
    return std::string();
}

const OptionSpec* OptionValues::Spec(const std::string& name) const
{
    for (const OptionSpec& spec : m_specs) {
        if (spec.name == name) return &spec;
    }
    return nullptr;
}

std::optional<std::string> OptionValues::Text(const std::string& name) const
{
    const auto found = m_values.find(name);
    if (found == m_values.end()) return std::nullopt;
    return found->second.front();
}

std::vector<std::string> OptionValues::Texts(const std::string& name) const
{
    const auto found = m_values.find(name);
    return found == m_values.end() ? std::vector<std::string>() : found->second;
}

std::optional<int> OptionValues::Int(const std::string& name) const
{
    const auto text = Text(name);
    if (!text) return std::nullopt;
    const auto value = ParseInteger(*text);
    if (!value) return std::nullopt;
    return static_cast<int>(*value);
}

std::optional<std::vector<int>> OptionValues::Ints(const std::string& name) const
{
    const auto text = Text(name);
    const OptionSpec* spec = Spec(name);
    if (!text || !spec) return std::nullopt;
    return ParseIntegerList(*text, spec->count, spec->low, spec->high);
}

std::optional<std::vector<bool>> OptionValues::Choices(const std::string& name) const
{
    const auto text = Text(name);
    const OptionSpec* spec = Spec(name);
    if (!text || !spec) return std::nullopt;
    return ParseChoiceList(*text, spec->choices);
}

std::string CheckCommandLine(const OptionValues& values, const ToolOptions& tool)
{
    for (const OptionSpec& spec : tool.options) {
        if (!spec.excludes.empty() && values.Has(spec.name) && values.Has(spec.excludes)) {
            return spec.excludes + " and " + spec.name + " exclude each other";
        }
    }
    // The options every tool takes first, then the tool's own in table order.
    const auto runSpecs = RunOptionSpecs(tool.tool.runOptionsLayout);
    std::vector<const OptionSpec*> runOptions;
    std::vector<const OptionSpec*> toolOptions;
    for (const OptionSpec& spec : tool.options) {
        const bool isRunOption =
            std::any_of(runSpecs.begin(), runSpecs.end(),
                        [&](const OptionSpec& run) { return run.name == spec.name; });
        (isRunOption ? runOptions : toolOptions).push_back(&spec);
    }
    if (auto wrong = CheckValues(values, runOptions); !wrong.empty()) return wrong;
    if (tool.tool.checkOrder == CheckOrder::RequiredFirst) {
        if (auto wrong = CheckRequired(values, tool); !wrong.empty()) return wrong;
    }
    if (auto wrong = CheckValues(values, toolOptions); !wrong.empty()) return wrong;
    return CheckRequired(values, tool);
}

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

std::optional<std::vector<int>> ParseIntegerList(const std::string& text, std::size_t count,
                                                 long long low, long long high)
{
    std::vector<int> values;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        const auto value = ParseInteger(text.substr(start, comma - start));
        if (!value || *value < low || *value > high) break;
        values.push_back(static_cast<int>(*value));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    const auto commas = static_cast<std::size_t>(std::count(text.begin(), text.end(), ','));
    if (values.size() != count || commas + 1 != count) return std::nullopt;
    return values;
}

std::optional<std::vector<bool>> ParseChoiceList(const std::string& text,
                                                 const std::vector<std::string>& choices)
{
    std::vector<bool> flags(choices.size(), false);
    if (text == "none") return flags;
    std::stringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        const auto found = std::find(choices.begin(), choices.end(), item);
        if (found == choices.end()) return std::nullopt;
        flags[static_cast<std::size_t>(found - choices.begin())] = true;
    }
    return flags;
}

std::string WrongIntegerListText(const std::string& name, std::size_t count, long long low,
                                 long long high)
{
    return name + " takes " + std::to_string(count) + " comma-separated whole numbers from " +
           std::to_string(low) + " to " + std::to_string(high);
}

std::string WrongValueText(const OptionSpec& spec)
{
    switch (spec.kind) {
        case ValueKind::Integer:
            return spec.name + " takes a whole number from " + std::to_string(spec.low) + " to " +
                   std::to_string(spec.high);
        case ValueKind::IntegerList:
            return WrongIntegerListText(spec.name, spec.count, spec.low, spec.high);
        case ValueKind::Choice:
            return spec.name + " takes " + JoinChoices(spec.choices);
        case ValueKind::ChoiceList: {
            auto names = spec.choices;
            names.push_back("none");
            return spec.name + " takes " + JoinChoices(names);
        }
        case ValueKind::InputFile:
        case ValueKind::OutputFile:
        case ValueKind::Text:
        case ValueKind::None:
            break;
    }
    return spec.name + " needs a file name";
}

std::string UsageText(const ToolOptions& tool)
{
    std::vector<std::string> lines{"usage: lumesta-cli " + tool.tool.name};
    for (const OptionSpec& spec : tool.options) {
        if (spec.synopsis == Synopsis::Hidden) continue;
        std::string metavar = spec.metavar;
        if (metavar.empty() && spec.kind == ValueKind::Choice) {
            for (const auto& choice : spec.choices)
                metavar += (metavar.empty() ? "" : "|") + choice;
        }
        const std::string token = metavar.empty() ? spec.name : spec.name + " " + metavar;
        if (spec.newLine) lines.push_back("        ");
        std::string& line = lines.back();
        switch (spec.synopsis) {
            case Synopsis::Plain:
                line += " " + token;
                break;
            case Synopsis::Optional:
                line += " [" + token + "]";
                break;
            case Synopsis::WithPrevious:
                line.back() = ' ';
                line += token + "]";
                break;
            case Synopsis::OrPrevious:
                line.back() = '|';
                line += token + "]";
                break;
            case Synopsis::Hidden:
                break;
        }
        if (spec.repeatable) line += "...";
    }
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text + "\n" + tool.tool.description;
}

std::string FullPath(const std::string& path)
{
    if (path.empty()) return path;
    return std::filesystem::absolute(path).lexically_normal().string();
}

ApplyResult AfterBatchArmingBrowse(bool browsed, bool batchMode, const OptionValues& values)
{
    if (!browsed) return Stopped();
    if (!batchMode) return Applied();
    const std::string refused = values.RefusedWithBatch();
    return refused.empty() ? Applied() : WrongCommandLine(refused);
}

std::string OptionValues::RefusedWithBatch() const
{
    for (const OptionSpec& spec : m_specs) {
        if (spec.notWithBatch && Has(spec.name)) {
            return spec.name + " cannot be used with a batch file";
        }
    }
    return std::string();
}

}  // namespace lumesta
