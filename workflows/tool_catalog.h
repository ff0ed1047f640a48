#pragma once
// Every command-line tool with its option table, in the order lumesta-cli lists them: what
// the usage text, manual pages and shell completion are made from.

#include <ostream>
#include <vector>

#include "core/option_table.h"

namespace lumesta {

// The tools and all of their options (the options every tool takes included).
std::vector<ToolOptions> CommandLineTools();

// The tool list of the program's usage text: one line per tool, "  NAME" padded to 18
// columns, then its summary.
std::string ToolListText(const std::vector<ToolOptions>& tools);

// "--log FILE, --yes | --no, --display, --quiet": the options every tool takes.
std::string RunOptionsText();

// The usage text of lumesta-cli itself: its synopsis, the tool list, the options every tool
// takes and the exit statuses.
std::string ProgramUsageText();

// A plain dump of every tool and option, one tab-separated line each:
//   tool    NAME    SUMMARY
//   option  NAME    METAVAR  KIND  NEED  FILTERS  CHOICES  DEFAULT  HELP
// KIND is flag, input-file, output-file, text, integer, integer-list, choice or choice-list;
// NEED optional, required or required-unless-batch; FILTERS the name endings separated by
// blanks, "*" for any other name; CHOICES separated by blanks.
void DumpOptionTables(const std::vector<ToolOptions>& tools, std::ostream& out);

}  // namespace lumesta
