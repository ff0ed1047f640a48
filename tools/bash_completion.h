#pragma once
// The bash completion of lumesta-cli, written from the tools' option tables: tool names (and
// the subcommands of two-word tools), each tool's options, the choices of choice options and
// the file names each file option is meant for.

#include <string>
#include <vector>

#include "core/option_table.h"

namespace lumesta {

// A bash script that defines the completion function and binds it to lumesta-cli. It needs
// nothing beyond bash itself (the bash-completion package's helpers are not used).
std::string BashCompletionScript(const std::vector<ToolOptions>& tools);

}  // namespace lumesta
