// Build tool: writes the manual pages lumesta-cli.1 and lumesta.1 and the bash completion of
// lumesta-cli from the option tables, with the examples of the README.

#include <fstream>
#include <iostream>
#include <string>

#include "tools/bash_completion.h"
#include "tools/manual_page.h"
#include "workflows/tool_catalog.h"

namespace {

bool WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) std::cerr << "make_manuals: cannot write " << path << "\n";
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::cerr << "usage: make_manuals README.md VERSION OUTPUT_FOLDER\n";
        return 2;
    }
    std::ifstream readme(argv[1]);
    if (!readme) {
        std::cerr << "make_manuals: cannot read " << argv[1] << "\n";
        return 1;
    }
    const std::string version = argv[2];
    const std::string folder = std::string(argv[3]) + "/";
    const auto tools = lumesta::CommandLineTools();
    const auto examples = lumesta::ReadmeExamples(readme);
    const bool written =
        WriteFile(folder + "lumesta-cli.1", lumesta::CliManualPage(tools, version, examples)) &&
        WriteFile(folder + "lumesta.1", lumesta::DesktopManualPage(tools, version)) &&
        WriteFile(folder + "lumesta-cli.bash", lumesta::BashCompletionScript(tools));
    return written ? 0 : 1;
}
