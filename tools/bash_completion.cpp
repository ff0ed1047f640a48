#include "tools/bash_completion.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace lumesta {

namespace {

// The file-name helper: $1 the word, then the name endings; "*" among them lets any other
// name through when no name with one of the endings matches.
constexpr char kFileHelper[] = R"(_lumesta_cli_files() {
    local word=$1 name lower ending any=0 IFS=$'\n'
    shift
    local endings=()
    for ending in "$@"; do
        if [ "$ending" = "*" ]; then any=1; else endings+=("$ending"); fi
    done
    compopt -o filenames 2>/dev/null
    for name in $(compgen -f -- "$word"); do
        if [ -d "$name" ]; then COMPREPLY+=("$name"); continue; fi
        lower=${name,,}
        for ending in "${endings[@]}"; do
            if [ "${lower%"$ending"}" != "$lower" ]; then COMPREPLY+=("$name"); break; fi
        done
    done
    local found=0
    for name in "${COMPREPLY[@]}"; do [ -d "$name" ] || found=1; done
    if [ "$found" -eq 0 ] && { [ "$any" -eq 1 ] || [ ${#endings[@]} -eq 0 ]; }; then
        COMPREPLY=($(compgen -f -- "$word"))
    fi
}

# $1 the word, then the choices: comma-separated names, each completed after the last comma.
_lumesta_cli_list() {
    local word=$1 head=""
    shift
    [[ $word == *,* ]] && head=${word%,*},
    compopt -o nospace 2>/dev/null
    COMPREPLY=($(compgen -P "$head" -W "$*" -- "${word##*,}"))
}

)";

// The body of _lumesta_cli up to the per-tool cases: the word, the tool, and for a first word
// with subcommands, the subcommand.
constexpr char kFunctionStart[] = R"(_lumesta_cli() {
    local word=${COMP_WORDS[COMP_CWORD]} tool=${COMP_WORDS[1]} first=2 option="" i
    COMPREPLY=()
)";

// Finds the option whose value is being completed: the word before, or for an option taking
// every argument up to the next option, the last option before the word. In "--name=value",
// bash splits off "=" as a word of its own.
constexpr char kFindOption[] = R"(    i=$((COMP_CWORD - 1))
    [ "${COMP_WORDS[i]}" = "=" ] && i=$((i - 1))
    if [ "$i" -ge "$first" ] && [[ ${COMP_WORDS[i]} == --* ]]; then option=${COMP_WORDS[i]}; fi
    if [ -z "$option" ] && [[ $word != -* ]]; then
        for ((i = COMP_CWORD - 1; i >= first; i--)); do
            [[ ${COMP_WORDS[i]} == --* ]] || continue
            case "$tool ${COMP_WORDS[i]}" in
)";

std::string Words(const std::vector<std::string>& items)
{
    std::string text;
    for (const auto& item : items) text += (text.empty() ? "" : " ") + item;
    return text;
}

std::string FirstWord(const std::string& name)
{
    return name.substr(0, name.find(' '));
}

std::string Lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// What completes an option's value, or empty for a flag (the option list follows it).
std::string ValueCompletion(const OptionDef& def)
{
    switch (def.kind) {
        case ValueKind::None:
            return std::string();
        case ValueKind::InputFile:
        case ValueKind::OutputFile: {
            std::string call = "_lumesta_cli_files \"$word\"";
            for (const auto& filter : def.fileFilters) call += " '" + Lowered(filter) + "'";
            if (def.otherFileNames) call += " '*'";
            return call;
        }
        case ValueKind::Choice:
            return "COMPREPLY=($(compgen -W '" + Words(def.choices) + "' -- \"$word\"))";
        case ValueKind::ChoiceList:
            return "_lumesta_cli_list \"$word\" " + Words(def.choices) + " none";
        case ValueKind::Text:
        case ValueKind::Integer:
        case ValueKind::IntegerList:
            return ":";  // typed by hand: nothing to offer
    }
    return ":";
}

std::string ToolNameCases(const std::vector<ToolOptions>& tools)
{
    std::vector<std::string> firstWords;
    std::map<std::string, std::vector<std::string>> subcommands;
    for (const ToolOptions& tool : tools) {
        const std::string first = FirstWord(tool.tool.name);
        if (std::find(firstWords.begin(), firstWords.end(), first) == firstWords.end()) {
            firstWords.push_back(first);
        }
        if (first != tool.tool.name) {
            subcommands[first].push_back(tool.tool.name.substr(first.size() + 1));
        }
    }
    std::string out =
        "    if [ \"$COMP_CWORD\" -eq 1 ]; then\n"
        "        COMPREPLY=($(compgen -W '" +
        Words(firstWords) +
        " --help --version' -- \"$word\"))\n"
        "        return\n"
        "    fi\n";
    if (subcommands.empty()) return out;
    out += "    case $tool in\n";
    for (const auto& [first, names] : subcommands) {
        out += "        " + first + ")\n" +
               "            if [ \"$COMP_CWORD\" -eq 2 ]; then\n"
               "                COMPREPLY=($(compgen -W '" +
               Words(names) +
               "' -- \"$word\"))\n"
               "                return\n"
               "            fi\n"
               "            tool=\"$tool ${COMP_WORDS[2]}\"\n"
               "            first=3\n"
               "            ;;\n";
    }
    return out + "    esac\n";
}

std::string OptionCases(const std::vector<ToolOptions>& tools)
{
    std::string several, values, lists;
    for (const ToolOptions& tool : tools) {
        std::vector<std::string> names;
        for (const OptionDef& def : tool.options) {
            names.push_back(def.name);
            const std::string key = "\"" + tool.tool.name + " " + def.name + "\"";
            if (def.takesSeveral)
                several += "                " + key + ") option=${COMP_WORDS[i]} ;;\n";
            const std::string completion = ValueCompletion(def);
            if (!completion.empty())
                values += "        " + key + ")\n            " + completion +
                          "\n            return\n            ;;\n";
        }
        names.push_back("--help");
        lists += "        \"" + tool.tool.name + "\") COMPREPLY=($(compgen -W '" + Words(names) +
                 "' -- \"$word\")) ;;\n";
    }
    std::string out = kFindOption + several +
                      "            esac\n"
                      "            break\n"
                      "        done\n"
                      "    fi\n";
    out += "    case \"$tool $option\" in\n" + values + "    esac\n";
    out += "    case $tool in\n" + lists + "    esac\n";
    return out;
}

}  // namespace

std::string BashCompletionScript(const std::vector<ToolOptions>& tools)
{
    return std::string(
               "# Completion of lumesta-cli in bash, written at build time from its option "
               "tables; do not edit.\n\n") +
           kFileHelper + kFunctionStart + ToolNameCases(tools) + OptionCases(tools) + "}\n\n" +
           "complete -F _lumesta_cli lumesta-cli\n";
}

}  // namespace lumesta
