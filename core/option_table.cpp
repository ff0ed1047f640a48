#include "core/option_table.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <sstream>

#include "core/input_file.h"

namespace lumesta {

namespace {

OptionDef MakeOption(std::string name, std::string metavar, std::string help,
                     std::string defaultText)
{
    OptionDef def;
    def.name = std::move(name);
    def.metavar = std::move(metavar);
    def.help = std::move(help);
    def.defaultText = std::move(defaultText);
    return def;
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

bool TakesValue(const OptionDef& def)
{
    return def.kind != ValueKind::None;
}

// The value's text for a wrong command line, or empty when the value passes.
std::string CheckValue(const OptionDef& def, const std::string& text)
{
    bool good = true;
    switch (def.kind) {
        case ValueKind::Integer: {
            const auto value = ParseInteger(text);
            good = value && *value >= def.low && *value <= def.high;
            break;
        }
        case ValueKind::IntegerList:
            good = ParseIntegerList(text, def.count, def.low, def.high).has_value();
            break;
        case ValueKind::Choice:
            good = std::find(def.choices.begin(), def.choices.end(), text) != def.choices.end();
            break;
        case ValueKind::ChoiceList:
            good = ParseChoiceList(text, def.choices).has_value();
            break;
        case ValueKind::InputFile:
        case ValueKind::OutputFile:
        case ValueKind::Text:
        case ValueKind::None:
            good = !(def.emptyRefused && text.empty());
            break;
    }
    return good ? std::string() : WrongValueText(def);
}

std::string CheckValues(const OptionValues& values, const std::vector<const OptionDef*>& defs)
{
    for (const OptionDef* def : defs) {
        if (def->checkedWhenSet) continue;
        if (!TakesValue(*def)) continue;
        for (const auto& text : values.Texts(def->name)) {
            if (auto wrong = CheckValue(*def, text); !wrong.empty()) return wrong;
        }
    }
    return std::string();
}

std::string CheckRequired(const OptionValues& values, const ToolOptions& tool)
{
    bool batch = false;
    for (const OptionDef& def : tool.options) {
        const auto text = values.Text(def.name);
        if (!def.unlessGiven.empty() && values.Has(def.unlessGiven)) continue;
        if (def.need == Need::Required && !text) return def.name + " is required";
        if (def.need == Need::RequiredUnlessBatch && !text && !batch) {
            return def.name + " is required";
        }
        if (def.armsBatch && text && tool.tool.isBatchFile) batch = tool.tool.isBatchFile(*text);
    }
    return std::string();
}

}  // namespace

OptionDef FlagOption(std::string name, std::string help, std::string defaultText)
{
    return MakeOption(std::move(name), {}, std::move(help), std::move(defaultText));
}

OptionDef TextOption(std::string name, std::string metavar, std::string help,
                     std::string defaultText)
{
    OptionDef def =
        MakeOption(std::move(name), std::move(metavar), std::move(help), std::move(defaultText));
    def.kind = ValueKind::Text;
    return def;
}

OptionDef FileOption(ValueKind kind, std::string name, std::vector<std::string> fileFilters,
                     bool otherFileNames, std::string help, std::string defaultText)
{
    OptionDef def = MakeOption(std::move(name), "PATH", std::move(help), std::move(defaultText));
    def.kind = kind;
    def.fileFilters = std::move(fileFilters);
    def.otherFileNames = otherFileNames;
    return def;
}

OptionDef IntegerOption(std::string name, std::string metavar, long long low, long long high,
                        std::string help, std::string defaultText)
{
    OptionDef def =
        MakeOption(std::move(name), std::move(metavar), std::move(help), std::move(defaultText));
    def.kind = ValueKind::Integer;
    def.low = low;
    def.high = high;
    return def;
}

OptionDef IntegerListOption(std::string name, std::string metavar, std::size_t count, long long low,
                            long long high, std::string help, std::string defaultText)
{
    OptionDef def = IntegerOption(std::move(name), std::move(metavar), low, high, std::move(help),
                                  std::move(defaultText));
    def.kind = ValueKind::IntegerList;
    def.count = count;
    return def;
}

OptionDef ChoiceOption(ValueKind kind, std::string name, std::vector<std::string> choices,
                       std::string help, std::string defaultText)
{
    OptionDef def = MakeOption(std::move(name), {}, std::move(help), std::move(defaultText));
    def.kind = kind;
    def.choices = std::move(choices);
    return def;
}

std::vector<OptionDef> RunOptionDefs(RunOptionsLayout layout)
{
    OptionDef log = FileOption(ValueKind::OutputFile, "--log", {".txt"}, true,
                               "Append the report block to FILE (created when missing) instead "
                               "of writing it to standard output.");
    log.metavar = "FILE";
    log.emptyRefused = true;
    log.newLine = layout == RunOptionsLayout::OwnLine;
    OptionDef yes = FlagOption("--yes", "Answer Yes to every question of the run.", {});
    OptionDef no = FlagOption("--no",
                              "Answer No to every question of the run (without --yes or "
                              "--no: asked on a terminal, otherwise No).",
                              {});
    no.excludes = "--yes";
    no.synopsis = Synopsis::OrPrevious;
    OptionDef display =
        FlagOption("--display", "Open the result in the desktop's viewer at the end.");
    if (layout == RunOptionsLayout::NoDisplayQuiet) display.synopsis = Synopsis::Hidden;
    OptionDef quiet = FlagOption("--quiet", "Show no progress bar on standard error.", {});
    quiet.newLine = layout == RunOptionsLayout::NoDisplayQuiet;
    return {log, yes, no, display, quiet};
}

void AppendOption(const OptionDef& def, const std::vector<std::string>& values,
                  std::vector<std::string>& args)
{
    if (def.kind == ValueKind::None) {
        args.push_back(def.name);
        return;
    }
    if (values.empty()) return;
    if (def.takesSeveral) {
        args.push_back(def.name);
        args.insert(args.end(), values.begin(), values.end());
        return;
    }
    for (const std::string& value : values) {
        args.insert(args.end(), {def.name, value});
        if (!def.repeatable) break;
    }
}

std::vector<std::string> StillApplicable(const std::vector<std::string>& args,
                                         const std::vector<OptionDef>& defs)
{
    const auto isOption = [](const std::string& arg) { return arg.rfind("--", 0) == 0; };
    std::vector<std::string> kept;
    for (std::size_t i = 0; i < args.size();) {
        const std::string& name = args[i++];
        const auto def = std::find_if(defs.begin(), defs.end(),
                                      [&name](const OptionDef& d) { return d.name == name; });
        if (def == defs.end()) {  // unknown: its values go with it
            while (i < args.size() && !isOption(args[i])) ++i;
            continue;
        }
        std::vector<std::string> values;
        if (def->kind != ValueKind::None && i < args.size()) {
            values.push_back(args[i++]);  // the value, whatever it looks like
            while (def->takesSeveral && i < args.size() && !isOption(args[i]))
                values.push_back(args[i++]);
        }
        if (def->kind == ValueKind::InputFile) {
            values.erase(
                std::remove_if(values.begin(), values.end(),
                               [](const std::string& path) { return !IsRegularFile(path); }),
                values.end());
            if (values.empty()) continue;
        }
        AppendOption(*def, values, kept);
    }
    return kept;
}

std::string OptionValues::Read(const std::vector<std::string>& args,
                               const std::vector<OptionDef>& defs)
{
    m_defs = defs;
    m_values.clear();
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        const OptionDef* def = Definition(name);
        if (m_values.count(name) && !(def && def->repeatable)) {
            return "option " + name + " given twice";
        }
        if (def && !TakesValue(*def) && !inlineValue) {
            m_values[name].push_back(std::string());
        } else if (def && TakesValue(*def)) {
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
            while (def->takesSeveral && i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) {
                values.push_back(args[++i]);
            }
        } else {
            return "unknown option " + args[i];
        }
    }
    return std::string();
}

const OptionDef* OptionValues::Definition(const std::string& name) const
{
    for (const OptionDef& def : m_defs) {
        if (def.name == name) return &def;
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
    const OptionDef* def = Definition(name);
    if (!text || !def) return std::nullopt;
    return ParseIntegerList(*text, def->count, def->low, def->high);
}

std::optional<std::vector<bool>> OptionValues::Choices(const std::string& name) const
{
    const auto text = Text(name);
    const OptionDef* def = Definition(name);
    if (!text || !def) return std::nullopt;
    return ParseChoiceList(*text, def->choices);
}

std::string CheckCommandLine(const OptionValues& values, const ToolOptions& tool)
{
    for (const OptionDef& def : tool.options) {
        if (!def.excludes.empty() && values.Has(def.name) && values.Has(def.excludes)) {
            return def.excludes + " and " + def.name + " exclude each other";
        }
    }
    // The options every tool takes first, then the tool's own in table order.
    const auto runDefs = RunOptionDefs(tool.tool.runOptionsLayout);
    std::vector<const OptionDef*> runOptions;
    std::vector<const OptionDef*> toolOptions;
    for (const OptionDef& def : tool.options) {
        const bool isRunOption =
            std::any_of(runDefs.begin(), runDefs.end(),
                        [&](const OptionDef& run) { return run.name == def.name; });
        (isRunOption ? runOptions : toolOptions).push_back(&def);
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

std::string WrongValueText(const OptionDef& def)
{
    switch (def.kind) {
        case ValueKind::Integer:
            return def.name + " takes a whole number from " + std::to_string(def.low) + " to " +
                   std::to_string(def.high);
        case ValueKind::IntegerList:
            return WrongIntegerListText(def.name, def.count, def.low, def.high);
        case ValueKind::Choice:
            return def.name + " takes " + JoinChoices(def.choices);
        case ValueKind::ChoiceList: {
            auto names = def.choices;
            names.push_back("none");
            return def.name + " takes " + JoinChoices(names);
        }
        case ValueKind::InputFile:
        case ValueKind::OutputFile:
        case ValueKind::Text:
        case ValueKind::None:
            break;
    }
    return def.name + " needs a file name";
}

std::string UsageText(const ToolOptions& tool)
{
    std::vector<std::string> lines{"usage: lumesta-cli " + tool.tool.name};
    for (const OptionDef& def : tool.options) {
        if (def.synopsis == Synopsis::Hidden) continue;
        std::string metavar = def.metavar;
        if (metavar.empty() && def.kind == ValueKind::Choice) {
            for (const auto& choice : def.choices) metavar += (metavar.empty() ? "" : "|") + choice;
        }
        const std::string token = metavar.empty() ? def.name : def.name + " " + metavar;
        if (def.newLine) lines.push_back("        ");
        std::string& line = lines.back();
        switch (def.synopsis) {
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
        if (def.repeatable) line += "...";
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
    for (const OptionDef& def : m_defs) {
        if (def.notWithBatch && Has(def.name)) {
            return def.name + " cannot be used with a batch file";
        }
    }
    return std::string();
}

}  // namespace lumesta
