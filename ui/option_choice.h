#pragma once
// A dialog control's choice applied to the job through the tool's option table, as lumesta-cli
// would apply the option: the row's own setter checks and stores it, and the job's command line
// (remembered, listed in the History, replayed) then gives it back through the row's getter.

#include <algorithm>
#include <string>
#include <vector>

#include "core/host.h"
#include "core/option_table.h"

namespace lumesta {

// Applies `name value` to job as lumesta-cli would, with the options of `context` the job's
// command line holds (with their one value) beside it, for setters that look at another option
// ("--format needs --ms"). The setter's result; a message goes to host.
template <typename Job>
ApplyResult ApplyOptionChoice(const OptionTable<Job>& table, Job& job, const std::string& name,
                              const std::string& value, Host& host,
                              const std::vector<std::string>& context = {})
{
    const std::vector<OptionDef> defs = table.Describe().options;
    std::vector<std::string> args;
    const std::vector<std::string> present = table.CommandLine(job);
    for (std::size_t i = 0; i + 1 < present.size(); ++i) {
        if (present[i] != name &&
            std::find(context.begin(), context.end(), present[i]) != context.end()) {
            args.push_back(present[i]);
            args.push_back(present[++i]);
        }
    }
    args.push_back(name);
    args.push_back(value);
    OptionValues values;
    if (const std::string problem = values.Read(args, defs); !problem.empty()) {
        return WrongCommandLine(problem);
    }
    for (const auto& row : table.rows) {
        if (row.def.name == name && row.set) return row.set(job, OptionUse{row.def, values, host});
    }
    return WrongCommandLine("unknown option " + name);
}

}  // namespace lumesta
