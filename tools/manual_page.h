#pragma once
// The manual pages lumesta-cli(1) and lumesta(1), written in the man macros of roff from the
// tools' option tables, so that they say what --help says and cannot drift from it.

#include <istream>
#include <string>
#include <vector>

#include "core/option_table.h"

namespace lumesta {

// An example command line of a manual page and the remark written after it in the README.
struct ManualExample {
    std::string command;  // one or more lines, continuation lines ending in " \"
    std::string remark;   // may be empty
};

// The lumesta-cli command lines of a README: the indented lines that start with "lumesta-cli"
// and their continuation lines, each with the "# remark" after it, in the order given.
std::vector<ManualExample> ReadmeExamples(std::istream& readme);

// Text made safe for roff: backslashes, minus signs and lines starting with a control character.
std::string RoffEscaped(const std::string& text);

// lumesta-cli(1): name, synopsis, the options every tool takes, one section per tool with its
// synopsis, description and each option (value, default, accepted names, choices, range),
// exit statuses, examples, files and see also. version is the package version.
std::string CliManualPage(const std::vector<ToolOptions>& tools, const std::string& version,
                          const std::vector<ManualExample>& examples);

// lumesta(1): the desktop program, its argument, its tools, files and see also.
std::string DesktopManualPage(const std::vector<ToolOptions>& tools, const std::string& version);

}  // namespace lumesta
