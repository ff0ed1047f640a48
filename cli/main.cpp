// lumesta-cli: runs Lumesta's tools without windows, on the same engine as the desktop program.

#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/build_info.h"
#include "cli/cluster_command.h"
#include "cli/exit_status.h"
#include "cli/terminal_host.h"
#include "cli/tool_commands.h"
#include "core/option_table.h"
#include "workflows/tool_catalog.h"

namespace {

bool WantsHelp(const std::vector<std::string>& args)
{
    for (const auto& arg : args) {
        if (arg == "--help" || arg == "-h") return true;
    }
    return false;
}

// The command that runs each tool of the catalog.
struct ToolRunner {
    const char* name;
    int (*run)(const std::vector<std::string>&);
};

const ToolRunner kRunners[] = {
    {"pansharpen", lumesta::cli::RunPanSharpenCommand},
    {"pansharpen-etm", lumesta::cli::RunEtmCommand},
    {"combine", lumesta::cli::RunCombineCommand},
    {"combine8", lumesta::cli::RunCombine8Command},
    {"semivariance", lumesta::cli::RunSemivarianceCommand},
    {"stats", lumesta::cli::RunImageStatsCommand},
    {"haar", lumesta::cli::RunHaarCommand},
    {"quality reduced", lumesta::cli::RunQualityReducedCommand},
    {"quality full", lumesta::cli::RunQualityFullCommand},
    {"quality wald", lumesta::cli::RunQualityWaldCommand},
    {"degrade", lumesta::cli::RunDegradeCommand},
    {"register", lumesta::cli::RunRegisterCommand},
};

// A tool's name is one word ("haar") or a command and its subcommand ("quality reduced"): the
// number of arguments it takes from the front of the command line, or 0 when it does not match.
std::size_t NameWords(const std::string& name, const std::string& first,
                      const std::vector<std::string>& rest)
{
    const auto space = name.find(' ');
    if (space == std::string::npos) return name == first ? 1 : 0;
    const bool matches = name.compare(0, space, first) == 0 && space == first.size() &&
                         !rest.empty() && name.substr(space + 1) == rest.front();
    return matches ? 2 : 0;
}

int Dispatch(const std::string& first, const std::vector<std::string>& rest)
{
    using namespace lumesta::cli;
    if (first == "cluster") {
        if (WantsHelp(rest)) {
            std::cout << kClusterUsage;
            return kExitFinished;
        }
        return RunClusterCommand(rest);
    }
    for (const lumesta::ToolOptions& options : lumesta::CommandLineTools()) {
        const std::size_t words = NameWords(options.tool.name, first, rest);
        if (words == 0) continue;
        const std::vector<std::string> args(rest.begin() + static_cast<long>(words - 1),
                                            rest.end());
        if (WantsHelp(args)) {
            std::cout << lumesta::UsageText(options);
            return kExitFinished;
        }
        for (const ToolRunner& runner : kRunners) {
            if (options.tool.name == runner.name) return runner.run(args);
        }
    }
    std::cerr << "lumesta-cli: unknown tool " << first << "\n" << lumesta::ProgramUsageText();
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << lumesta::ProgramUsageText();
        return lumesta::cli::kExitUsage;
    }
    const std::string first = argv[1];
    if (first == "--help" || first == "-h") {
        std::cout << lumesta::ProgramUsageText();
        return 0;
    }
    if (first == "--version") {
        std::cout << "lumesta-cli " << lumesta::kPackageVersion << " (commit "
                  << lumesta::kBuildCommit << ")\n";
        return 0;
    }
    lumesta::cli::TerminalHost::InstallInterruptHandler();
    try {
        return Dispatch(first, std::vector<std::string>(argv + 2, argv + argc));
    } catch (const std::exception& error) {
        // A last resort for faults of the program itself, never for expected failures.
        std::cerr << "lumesta-cli: internal error: " << error.what() << "\n";
        return lumesta::cli::kExitStopped;
    }
}
