#include "core/shell_words.h"

namespace lumesta {

std::string ShellQuote(const std::string& word)
{
    std::string quoted = "'";
    for (const char c : word) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::string ShellWord(const std::string& word)
{
    const bool plain = !word.empty() && word.find_first_not_of(
                                            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                            "0123456789_./:=+,@%-") == std::string::npos;
    return plain ? word : ShellQuote(word);
}

std::string ShellCommand(const std::vector<std::string>& words)
{
    std::string command;
    for (const std::string& word : words) command += (command.empty() ? "" : " ") + ShellWord(word);
    return command;
}

}  // namespace lumesta
