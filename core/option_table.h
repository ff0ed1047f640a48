#pragma once
// Option tables: each command-line tool declares its options once -- name, value syntax, help
// text, default, the file names it accepts, and how it sets the tool's job record -- and the
// usage text, the parsing, the checks and the manual pages and shell completion all read that
// one table. The job-free part (OptionDef, ToolOptions) describes; OptionTable<Job> also sets.

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/host.h"

namespace lumesta {

// What an option's value is: how it is checked, and what a shell completes for it.
enum class ValueKind {
    None,         // a flag: takes no value
    InputFile,    // a file that is read
    OutputFile,   // a file that is written
    Text,         // any text
    Integer,      // one whole number within [low, high]
    IntegerList,  // exactly `count` comma-separated whole numbers, each within [low, high]
    Choice,       // one of `choices`
    ChoiceList,   // comma-separated `choices`, or "none"
};

// Whether a command line must give the option.
enum class Need {
    Optional,
    Required,
    RequiredUnlessBatch,  // required unless the batch-arming option names a batch file
};

// How an option shows in the synopsis of the usage text.
enum class Synopsis {
    Optional,      // [--name VALUE]
    Plain,         // --name VALUE
    WithPrevious,  // inside the previous option's brackets: [--width N --height N]
    OrPrevious,    // an alternative to the previous option: [--yes|--no]
    Hidden,        // accepted but not shown
};

// One option of a tool, without the job it sets.
struct OptionDef {
    std::string name;  // "--pan"
    // The value's syntax in the synopsis ("PATH"); for a Choice left empty, the choices
    // joined by '|'.
    std::string metavar;
    std::string help;         // one sentence for manual pages and tooltips
    std::string defaultText;  // empty: none, or derived as the dialog does (see help)
    ValueKind kind = ValueKind::None;
    long long low = 0;                 // Integer, IntegerList
    long long high = 0;                // Integer, IntegerList
    std::size_t count = 0;             // IntegerList
    std::vector<std::string> choices;  // Choice, ChoiceList
    // InputFile, OutputFile: the name endings the option is meant for (".img", ".bif"), and
    // whether any other name is taken too (a headerless matrix).
    std::vector<std::string> fileFilters;
    bool otherFileNames = false;
    bool emptyRefused = false;  // an empty value is "NAME needs a file name"
    bool repeatable = false;    // may be given more than once ("[--method NAME]..."); all kept
    bool takesSeveral = false;  // takes every argument up to the next option ("--ms a b c d")
    // The value is checked when it sets the job, after the inputs are read, instead of before
    // anything runs (its meaning depends on what the inputs gave).
    bool checkedWhenSet = false;
    Need need = Need::Optional;
    std::string unlessGiven;    // a required option is not required when this one is given
    bool armsBatch = false;     // a batch file given here runs every job it lists
    bool notWithBatch = false;  // refused when a batch file is given
    std::string excludes;       // an option that may not be given together with this one
    Synopsis synopsis = Synopsis::Optional;
    bool newLine = false;  // the synopsis starts a continuation line with this option
};

// How the options every tool takes show in a tool's synopsis.
enum class RunOptionsLayout {
    SameLine,        // after the tool's last option
    OwnLine,         // on a continuation line of their own
    NoDisplayQuiet,  // after the tool's options, --display not shown, --quiet on its own line
};

// When a command line lacks a required option and has a wrong value too, which is named.
enum class CheckOrder { ValuesFirst, RequiredFirst };

// What a tool is, for the tool list, the usage text and the checks.
struct ToolInfo {
    std::string name;         // "pansharpen"
    std::string summary;      // the line of the tool list
    std::string description;  // the paragraphs after the synopsis in the usage text
    RunOptionsLayout runOptionsLayout = RunOptionsLayout::SameLine;
    CheckOrder checkOrder = CheckOrder::ValuesFirst;
    bool (*isBatchFile)(const std::string& path) = nullptr;  // for armsBatch options
};

// A tool and all of its options (its own, then those every tool takes), in synopsis order.
struct ToolOptions {
    ToolInfo tool;
    std::vector<OptionDef> options;
};

// Builders of the common kinds of option, for the tables.
OptionDef FlagOption(std::string name, std::string help, std::string defaultText = "off");
OptionDef TextOption(std::string name, std::string metavar, std::string help,
                     std::string defaultText = {});
OptionDef FileOption(ValueKind kind, std::string name, std::vector<std::string> fileFilters,
                     bool otherFileNames, std::string help, std::string defaultText = {});
OptionDef IntegerOption(std::string name, std::string metavar, long long low, long long high,
                        std::string help, std::string defaultText = {});
OptionDef IntegerListOption(std::string name, std::string metavar, std::size_t count, long long low,
                            long long high, std::string help, std::string defaultText = {});
OptionDef ChoiceOption(ValueKind kind, std::string name, std::vector<std::string> choices,
                       std::string help, std::string defaultText = {});

// The options every tool takes: --log FILE, --yes, --no, --display, --quiet.
std::vector<OptionDef> RunOptionDefs(RunOptionsLayout layout);

// The options of a command line, split by a tool's defs.
class OptionValues {
public:
    // Splits args ("--name value", "--name=value", flags). Returns the wrong-command-line text
    // for unknown options, missing values and repeated options, or empty.
    std::string Read(const std::vector<std::string>& args, const std::vector<OptionDef>& defs);

    bool Has(const std::string& name) const { return m_values.count(name) > 0; }
    // The value given (the first, for an option given more than once or taking several).
    std::optional<std::string> Text(const std::string& name) const;
    // Every value given, in command-line order.
    std::vector<std::string> Texts(const std::string& name) const;
    // The number or numbers of an option that passed CheckCommandLine; nullopt when absent.
    std::optional<int> Int(const std::string& name) const;
    std::optional<std::vector<int>> Ints(const std::string& name) const;
    // The flags of a ChoiceList option, one per choice; nullopt when absent.
    std::optional<std::vector<bool>> Choices(const std::string& name) const;
    // The first option given that a batch file refuses, as a wrong-command-line text, or empty.
    std::string RefusedWithBatch() const;

private:
    const OptionDef* Definition(const std::string& name) const;

    std::map<std::string, std::vector<std::string>> m_values;
    std::vector<OptionDef> m_defs;
};

// Checks a read command line before anything runs: options that exclude each other, every
// value, required options. Returns the wrong-command-line text, or empty.
std::string CheckCommandLine(const OptionValues& values, const ToolOptions& tool);

// The checks of single values; nullopt for a wrong value (no message).
std::optional<long long> ParseInteger(const std::string& text);
std::optional<std::vector<int>> ParseIntegerList(const std::string& text, std::size_t count,
                                                 long long low, long long high);
std::optional<std::vector<bool>> ParseChoiceList(const std::string& text,
                                                 const std::vector<std::string>& choices);
// The text naming a wrong value of an option ("--width takes a whole number from 0 to ...").
std::string WrongValueText(const OptionDef& def);
std::string WrongIntegerListText(const std::string& name, std::size_t count, long long low,
                                 long long high);

// The usage text of a tool: its synopsis, a blank line, its description.
std::string UsageText(const ToolOptions& tool);

// The full path a file chooser would hand over for a path given on the command line.
std::string FullPath(const std::string& path);

// What setting a job from one option came to.
enum class ApplyStatus { Applied, Stopped, WrongCommandLine };
struct ApplyResult {
    ApplyStatus status = ApplyStatus::Applied;
    std::string text;  // WrongCommandLine: what is wrong
};
inline ApplyResult Applied()
{
    return {};
}
inline ApplyResult Stopped()
{
    return {ApplyStatus::Stopped, {}};
}  // a message was shown
inline ApplyResult WrongCommandLine(std::string text)
{
    return {ApplyStatus::WrongCommandLine, std::move(text)};
}
inline ApplyResult AppliedOrStopped(bool applied)
{
    return applied ? Applied() : Stopped();
}

// What a row's setter sees: its option, the whole checked command line, the host.
struct OptionUse {
    const OptionDef& def;
    const OptionValues& values;
    Host& host;

    bool Given() const { return values.Has(def.name); }
    std::string Text() const { return values.Text(def.name).value_or(std::string()); }
    // The value of a checked Integer or IntegerList option.
    int Int() const { return values.Int(def.name).value_or(0); }
    std::vector<int> Ints() const { return values.Ints(def.name).value_or(std::vector<int>()); }
};

// The values an option is given with: one text for most options, every value of one that
// takes several or is repeated, none for a flag; nullopt leaves the option out.
using GivenValues = std::optional<std::vector<std::string>>;

// Appends the option with its values to args, as a command line gives them.
void AppendOption(const OptionDef& def, const std::vector<std::string>& values,
                  std::vector<std::string>& args);

// A remembered command line with what no longer applies left out: options defs does not
// know (with their values), and input files that no longer exist (an option whose every file
// is gone goes altogether).
std::vector<std::string> StillApplicable(const std::vector<std::string>& args,
                                         const std::vector<OptionDef>& defs);

// A tool's option table: each row an option, how it sets the job, and how the job's present
// choice shows as it. Rows are applied in order, after the command line has passed its checks,
// as the dialog's choices would be made.
template <typename Job>
struct OptionRow {
    using Setter = std::function<ApplyResult(Job&, const OptionUse&)>;
    // The values that give a fresh job this job's choice (nullopt: leaving the option out does).
    using Getter = std::function<GivenValues(const Job&)>;
    OptionDef def;
    Setter set = {};             // empty: the option sets nothing of the job
    bool setWhenAbsent = false;  // set runs whether or not the option is given
    Getter get = {};             // empty: no choice of the job shows as this option
};

template <typename Job>
struct OptionTable {
    ToolInfo tool;
    std::vector<OptionRow<Job>> rows;
    // What the options every tool takes change in the job, after the rows.
    std::function<void(Job&, const OptionValues&)> setRunOptions;

    ToolOptions Describe() const
    {
        ToolOptions described{tool, {}};
        for (const auto& row : rows) described.options.push_back(row.def);
        for (auto& def : RunOptionDefs(tool.runOptionsLayout)) described.options.push_back(def);
        return described;
    }

    // The run options the job's choices stand for ("--display"), given after the rows'.
    std::function<std::vector<std::string>(const Job&)> getRunOptions;

    // Sets the job from a checked command line; stops at the first row that does not apply.
    ApplyResult Apply(Job& job, const OptionValues& values, Host& host) const
    {
        for (const auto& row : rows) {
            if (!row.set || (!row.setWhenAbsent && !values.Has(row.def.name))) continue;
            ApplyResult result = row.set(job, OptionUse{row.def, values, host});
            if (result.status != ApplyStatus::Applied) return result;
        }
        if (setRunOptions) setRunOptions(job, values);
        return Applied();
    }

    // The command line that gives a fresh job this job's choices: each row's option the job
    // gives a value, in the table's order, then the run options. It is what lumesta-cli runs
    // for the job, and how the desktop remembers a job and its history lists a run.
    std::vector<std::string> CommandLine(const Job& job) const
    {
        std::vector<std::string> args;
        for (const auto& row : rows) {
            if (!row.get) continue;
            if (const GivenValues values = row.get(job)) AppendOption(row.def, *values, args);
        }
        if (getRunOptions) {
            for (const std::string& option : getRunOptions(job)) args.push_back(option);
        }
        return args;
    }

    // Sets job from a remembered command line as far as it still applies (StillApplicable):
    // every row that can be set is, one that cannot is passed over (its message goes to host).
    void ApplyRemembered(Job& job, const std::vector<std::string>& args, Host& host) const
    {
        const ToolOptions described = Describe();
        OptionValues values;
        if (!values.Read(StillApplicable(args, described.options), described.options).empty())
            return;
        for (const auto& row : rows) {
            if (row.set && (row.setWhenAbsent || values.Has(row.def.name)))
                row.set(job, OptionUse{row.def, values, host});
        }
        if (setRunOptions) setRunOptions(job, values);
    }
};

// The row of an option the table declares (for adjusting its synopsis layout).
template <typename Job>
OptionRow<Job>& RowNamed(std::vector<OptionRow<Job>>& rows, const std::string& name)
{
    for (auto& row : rows) {
        if (row.def.name == name) return row;
    }
    return rows.back();
}

// After the browse of an input that can arm batch mode: Stopped when the browse refused (it
// showed its message), the first option given that a batch file refuses when batch mode is
// armed, otherwise Applied.
ApplyResult AfterBatchArmingBrowse(bool browsed, bool batchMode, const OptionValues& values);

// Selects the 1-based entries of --select in the band lists, list by list, through
// select(job, list, index); an entry beyond its list is a wrong command line.
template <typename Job, std::size_t Lists>
ApplyResult SelectListEntries(Job& job, const std::array<std::vector<std::string>, Lists>& lists,
                              const std::vector<int>& entries, void (*select)(Job&, int, int))
{
    for (std::size_t list = 0; list < Lists; ++list) {
        if (entries[list] > static_cast<int>(lists[list].size())) {
            return WrongCommandLine("--select names an entry beyond the band list");
        }
        select(job, static_cast<int>(list), entries[list] - 1);
    }
    return Applied();
}

// Setters for rows that only store their value in a field of the job.
template <typename Job>
typename OptionRow<Job>::Setter StoresInt(int Job::*field, int offset = 0)
{
    return [field, offset](Job& job, const OptionUse& use) {
        job.*field = use.Int() + offset;
        return Applied();
    };
}
template <typename Job>
typename OptionRow<Job>::Setter StoresFullPath(std::string Job::*field)
{
    return [field](Job& job, const OptionUse& use) {
        job.*field = FullPath(use.Text());
        return Applied();
    };
}
template <typename Job>
typename OptionRow<Job>::Setter StoresGiven(bool Job::*field)
{
    return [field](Job& job, const OptionUse& use) {
        job.*field = use.Given();
        return Applied();
    };
}

// Getters for rows whose option gives one field of the job.
inline GivenValues Given(std::string value)
{
    return std::vector<std::string>{std::move(value)};
}
template <typename Job>
typename OptionRow<Job>::Getter GivesInt(int Job::*field)
{
    return [field](const Job& job) { return Given(std::to_string(job.*field)); };
}
// The text when there is one.
template <typename Job>
typename OptionRow<Job>::Getter GivesText(std::string Job::*field)
{
    return [field](const Job& job) {
        return (job.*field).empty() ? GivenValues() : Given(job.*field);
    };
}
// The flag while the field is set.
template <typename Job>
typename OptionRow<Job>::Getter GivesFlag(bool Job::*field)
{
    return [field](const Job& job) {
        return job.*field ? GivenValues(std::vector<std::string>()) : GivenValues();
    };
}
// Numbers as an IntegerList option takes them: "1,2,3".
template <typename Numbers>
std::string JoinedNumbers(const Numbers& numbers)
{
    std::string text;
    for (const auto number : numbers) text += (text.empty() ? "" : ",") + std::to_string(number);
    return text;
}
// A ChoiceList value: the choices whose flag is set, or "none".
template <typename Flags>
std::string JoinedChoices(const Flags& flags, const std::vector<std::string>& choices)
{
    std::string text;
    for (std::size_t i = 0; i < choices.size() && i < flags.size(); ++i) {
        if (flags[i]) text += (text.empty() ? "" : ",") + choices[i];
    }
    return text.empty() ? "none" : text;
}

}  // namespace lumesta
