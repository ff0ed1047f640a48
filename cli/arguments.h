#pragma once
// Command-line parsing shared by the tools: "--name value" options and flags, comma-separated
// number lists, and the options every tool takes.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/terminal_host.h"
#include "imaging/stretch.h"

namespace lumesta::cli {

// A wrong command line: the text goes to standard error with the usage, exit status 2.
struct UsageError {
    std::string text;
};

class Arguments {
public:
    // Splits argv into options; valueOptions take a value, flags do not. Throws UsageError for
    // unknown options, missing values and repeated options.
    Arguments(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
              const std::set<std::string>& flags);

    bool Has(const std::string& name) const { return m_values.count(name) > 0; }
    std::optional<std::string> Value(const std::string& name) const;
    // An integer value within [low, high]; nullopt when absent.
    std::optional<int> Int(const std::string& name, int low, int high) const;
    // Exactly count comma-separated integers, each within [low, high]; nullopt when absent.
    std::optional<std::vector<int>> IntList(const std::string& name, std::size_t count, int low,
                                            int high) const;

private:
    std::map<std::string, std::string> m_values;
};

// The options every tool takes: --log, --yes, --no, --display, --quiet.
extern const std::set<std::string> kCommonValueOptions;
extern const std::set<std::string> kCommonFlags;
TerminalOptions CommonOptions(const Arguments& args);

// The full path a file chooser would hand over for a path given on the command line.
std::string FullPath(const std::string& path);

// Applies --cutoffs BL,BR,GL,GR,RL,RR and --nonlinear B,G,R to the stretch parameters.
void ApplyStretchOptions(const Arguments& args, StretchParams& stretch);

// Parses a whole decimal integer without locale; nullopt for anything else.
std::optional<long long> ParseInteger(const std::string& text);

}  // namespace lumesta::cli
