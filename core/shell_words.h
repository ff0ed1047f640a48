#pragma once
// Words as a POSIX shell reads them: the command lines lumesta-cli writes into job scripts and
// the desktop's history shows for copying into a terminal.

#include <string>
#include <vector>

namespace lumesta {

// A word quoted for the shell: '...' with every ' written as '\''.
std::string ShellQuote(const std::string& word);
// The word as it is when the shell reads it so, else quoted.
std::string ShellWord(const std::string& word);
// The words as one command line, each as ShellWord gives it, separated by single spaces.
std::string ShellCommand(const std::vector<std::string>& words);

}  // namespace lumesta
