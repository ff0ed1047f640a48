// lumesta-cli: runs Lumesta's tools without windows, on the same engine as the desktop program.

#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/assess_commands.h"
#include "cli/combine_command.h"
#include "cli/etm_command.h"
#include "cli/exit_status.h"
#include "cli/pansharpen_command.h"
#include "cli/terminal_host.h"

namespace {

const char* const kUsage =
    "usage: lumesta-cli TOOL [OPTIONS]\n"
    "       lumesta-cli --help | --version\n"
    "       lumesta-cli TOOL --help\n"
    "\n"
    "Tools:\n"
    "  pansharpen      Pan-Sharpening, 16-bit (QuickBird, IKONOS, OrbView-3)\n"
    "  pansharpen-etm  Pan-Sharpening, Landsat ETM+ (8-bit)\n"
    "  combine         Band Combination, 16-bit\n"
    "  combine8        Band Combination, 8-bit\n"
    "  semivariance    Geostatistical Semivariance\n"
    "  stats           Multi-Resolution Image Statistics\n"
    "  haar            Haar Wavelet Transforms\n"
    "\n"
    "Options of every tool: --log FILE, --yes | --no, --display, --quiet.\n"
    "Exit status: 0 finished, 1 stopped on a message, 2 wrong command line, 130 cancelled.\n";

bool WantsHelp(const std::vector<std::string>& args)
{
    for (const auto& arg : args) {
        if (arg == "--help" || arg == "-h") return true;
    }
    return false;
}

// The tools of the command line: name, usage text and the command that runs it.
struct ToolEntry {
    const char* name;
    const char* const* usage;
    int (*run)(const std::vector<std::string>&);
};

const ToolEntry kTools[] = {
    {"pansharpen", &lumesta::cli::kPanSharpenUsage, lumesta::cli::RunPanSharpenCommand},
    {"pansharpen-etm", &lumesta::cli::kEtmUsage, lumesta::cli::RunEtmCommand},
    {"combine", &lumesta::cli::kCombineUsage, lumesta::cli::RunCombineCommand},
    {"combine8", &lumesta::cli::kCombine8Usage, lumesta::cli::RunCombine8Command},
    {"semivariance", &lumesta::cli::kSemivarianceUsage, lumesta::cli::RunSemivarianceCommand},
    {"stats", &lumesta::cli::kImageStatsUsage, lumesta::cli::RunImageStatsCommand},
    {"haar", &lumesta::cli::kHaarUsage, lumesta::cli::RunHaarCommand},
};

int Dispatch(const std::string& tool, const std::vector<std::string>& args)
{
    using namespace lumesta::cli;
    for (const ToolEntry& entry : kTools) {
        if (tool != entry.name) continue;
        if (WantsHelp(args)) {
            std::cout << *entry.usage;
            return kExitFinished;
        }
        return entry.run(args);
    }
    std::cerr << "lumesta-cli: unknown tool " << tool << "\n" << kUsage;
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << kUsage;
        return lumesta::cli::kExitUsage;
    }
    const std::string first = argv[1];
    if (first == "--help" || first == "-h") {
        std::cout << kUsage;
        return 0;
    }
    if (first == "--version") {
        std::cout << "lumesta-cli 0.1.0\n";
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
