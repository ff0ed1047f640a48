#include "tools/manual_page.h"

#include <cctype>
#include <sstream>

#include "workflows/tool_catalog.h"

namespace lumesta {

namespace {

constexpr char kCliCommand[] = "lumesta-cli";

bool StartsWith(const std::string& text, const std::string& start)
{
    return text.compare(0, start.size(), start) == 0;
}

std::string Trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Splits "command   # remark" at the first " #" that starts a remark.
void SplitRemark(const std::string& line, std::string& command, std::string& remark)
{
    const auto mark = line.find(" #");
    command = Trimmed(line.substr(0, mark));
    if (mark != std::string::npos) remark = Trimmed(line.substr(mark + 2));
}

// Lines of preformatted text: escaped, each on its own output line.
std::string NoFill(const std::string& text)
{
    std::string out = ".nf\n";
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) out += RoffEscaped(line) + "\n";
    return out + ".fi\n";
}

// Paragraphs of running text, separated by blank lines.
std::string Paragraphs(const std::string& text)
{
    std::string out;
    std::istringstream lines(text);
    bool open = false;
    for (std::string line; std::getline(lines, line);) {
        if (Trimmed(line).empty()) {
            open = false;
            continue;
        }
        if (!open) out += ".PP\n";
        open = true;
        out += RoffEscaped(Trimmed(line)) + "\n";
    }
    return out;
}

std::string Joined(const std::vector<std::string>& items, const std::string& separator)
{
    std::string text;
    for (const auto& item : items) text += (text.empty() ? "" : separator) + item;
    return text;
}

// The sentences after an option's help: what it takes, its default and its constraints.
std::string OptionFacts(const OptionDef& def)
{
    std::vector<std::string> facts;
    if (def.need == Need::Required) facts.push_back("Required.");
    if (def.need == Need::RequiredUnlessBatch)
        facts.push_back("Required unless a batch file is given.");
    if (!def.fileFilters.empty()) {
        std::string others = ".";
        if (def.otherFileNames) {
            others = def.kind == ValueKind::InputFile
                         ? "; any other name is read as a headerless matrix."
                         : "; any other name is taken too.";
        }
        facts.push_back("Names ending in " + Joined(def.fileFilters, ", ") + others);
    }
    if (def.kind == ValueKind::Integer) {
        facts.push_back("A whole number from " + std::to_string(def.low) + " to " +
                        std::to_string(def.high) + ".");
    }
    if (def.kind == ValueKind::IntegerList) {
        facts.push_back(std::to_string(def.count) + " comma-separated whole numbers, each from " +
                        std::to_string(def.low) + " to " + std::to_string(def.high) + ".");
    }
    if (def.kind == ValueKind::Choice)
        facts.push_back("One of: " + Joined(def.choices, ", ") + ".");
    if (def.kind == ValueKind::ChoiceList) {
        facts.push_back("Comma-separated names from: " + Joined(def.choices, ", ") + "; or none.");
    }
    if (def.takesSeveral) facts.push_back("Takes every argument up to the next option.");
    if (def.repeatable) facts.push_back("May be given more than once.");
    if (def.notWithBatch) facts.push_back("Refused with a batch file.");
    if (!def.excludes.empty()) facts.push_back("Not together with " + def.excludes + ".");
    if (!def.defaultText.empty()) facts.push_back("Default: " + def.defaultText + ".");
    return Joined(facts, " ");
}

std::string OptionEntry(const OptionDef& def)
{
    std::string metavar = def.metavar;
    if (metavar.empty() && def.kind == ValueKind::Choice) metavar = Joined(def.choices, "|");
    std::string out = ".TP\n\\fB" + RoffEscaped(def.name) + "\\fR";
    if (!metavar.empty()) out += " \\fI" + RoffEscaped(metavar) + "\\fR";
    out += "\n" + RoffEscaped(def.help);
    const std::string facts = OptionFacts(def);
    if (!facts.empty()) out += (def.help.empty() ? "" : " ") + RoffEscaped(facts);
    return out + "\n";
}

bool IsRunOption(const OptionDef& def)
{
    for (const auto& run : RunOptionDefs(RunOptionsLayout::SameLine)) {
        if (run.name == def.name) return true;
    }
    return false;
}

std::string ToolSection(const ToolOptions& tool)
{
    const std::string usage = UsageText(tool);
    const auto split = usage.find("\n\n");
    std::string synopsis = usage.substr(0, split);
    if (StartsWith(synopsis, "usage: ")) synopsis = synopsis.substr(7);
    std::string out = ".SH \"TOOL " + RoffEscaped(tool.tool.name) + "\"\n";
    out += RoffEscaped(tool.tool.summary) + ".\n.PP\n" + NoFill(synopsis);
    if (split != std::string::npos) out += Paragraphs(usage.substr(split + 2));
    out += ".PP\nOptions:\n";
    for (const OptionDef& def : tool.options) {
        if (!IsRunOption(def)) out += OptionEntry(def);
    }
    return out + ".PP\nAnd the options of every tool (see \\fBOPTIONS OF EVERY TOOL\\fR).\n";
}

std::string Header(const std::string& name, const std::string& version, const std::string& what)
{
    return ".\\\" Written at build time from the option tables of lumesta-cli; do not edit.\n"
           ".TH " +
           name + " 1 \"\" \"Lumesta " + version + "\" \"User Commands\"\n.nh\n.ad l\n.SH NAME\n" +
           RoffEscaped(what) + "\n";
}

std::string ExitStatusSection()
{
    return ".SH \"EXIT STATUS\"\n"
           ".TP\n\\fB0\\fR\nThe run finished.\n"
           ".TP\n\\fB1\\fR\nThe run stopped on a message (written to standard error).\n"
           ".TP\n\\fB2\\fR\nThe command line is wrong: an unknown tool or option, a missing or "
           "wrong value.\n"
           ".TP\n\\fB130\\fR\nThe run was cancelled with Ctrl\\-C; a termination signal gives "
           "128 plus its number.\n";
}

std::string ExamplesSection(const std::vector<ManualExample>& examples)
{
    if (examples.empty()) return std::string();
    std::string out = ".SH EXAMPLES\n";
    for (const ManualExample& example : examples) {
        out += example.remark.empty() ? ".PP\n" : ".PP\n" + RoffEscaped(example.remark) + ":\n";
        out += ".RS\n" + NoFill(example.command) + ".RE\n";
    }
    return out;
}

}  // namespace

std::vector<ManualExample> ReadmeExamples(std::istream& readme)
{
    std::vector<ManualExample> examples;
    bool continues = false;
    for (std::string line; std::getline(readme, line);) {
        const bool indented = StartsWith(line, "    ") || StartsWith(line, "\t");
        std::string command, remark;
        SplitRemark(line, command, remark);
        if (indented && continues && !examples.empty()) {
            examples.back().command += "\n  " + command;
        } else if (indented && StartsWith(command, std::string(kCliCommand) + " ")) {
            examples.push_back({command, std::string()});
        } else {
            continues = false;
            continue;
        }
        if (examples.back().remark.empty() && !remark.empty()) {
            remark[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(remark[0])));
            examples.back().remark = remark;
        }
        continues = !command.empty() && command.back() == '\\';
    }
    return examples;
}

std::string RoffEscaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else {
            out += c;
        }
    }
    // A line starting with '.' or '\'' would be read as a request.
    std::string safe;
    bool lineStart = true;
    for (char c : out) {
        if (lineStart && (c == '.' || c == '\'')) safe += "\\&";
        safe += c;
        lineStart = c == '\n';
    }
    return safe;
}

std::string CliManualPage(const std::vector<ToolOptions>& tools, const std::string& version,
                          const std::vector<ManualExample>& examples)
{
    std::string out =
        Header("LUMESTA-CLI", version,
               "lumesta-cli - fuse and inspect satellite imagery from the command line");
    out += ".SH SYNOPSIS\n" + NoFill(
                                  "lumesta-cli TOOL [OPTIONS]\nlumesta-cli --help | --version\n"
                                  "lumesta-cli TOOL --help");
    out += ".SH DESCRIPTION\n" +
           Paragraphs(
               "lumesta-cli runs the tools of Lumesta without windows, on the same engine "
               "as the desktop program lumesta(1). For the same job it writes the same "
               "files and the same report block as the tool's dialog.\n\n"
               "The report block goes to standard output, or is appended to the file of "
               "--log. Messages and questions go to standard error. Ctrl-C cancels a run "
               "cleanly: the run removes what it had begun to write.\n\n"
               "Tools:");
    out += NoFill(ToolListText(tools));
    out +=
        ".PP\n\\fB\\-\\-version\\fR prints the package version and the commit it was built "
        "from.\n";
    out += ".SH \"OPTIONS OF EVERY TOOL\"\n";
    for (const auto& def : RunOptionDefs(RunOptionsLayout::SameLine)) out += OptionEntry(def);
    for (const ToolOptions& tool : tools) out += ToolSection(tool);
    out += ExitStatusSection() + ExamplesSection(examples);
    out +=
        ".SH FILES\n"
        ".TP\n\\fI/usr/share/lumesta/User_Guide.pdf\\fR\nThe user guide.\n"
        ".TP\n\\fI/usr/share/bash\\-completion/completions/lumesta\\-cli\\fR\n"
        "Completion of tools, options, choices and file names in bash.\n"
        ".SH \"SEE ALSO\"\n\\fBlumesta\\fR(1)\n";
    return out;
}

std::string DesktopManualPage(const std::vector<ToolOptions>& tools, const std::string& version)
{
    std::string out = Header("LUMESTA", version,
                             "lumesta - fuse and inspect satellite imagery (desktop program)");
    out += ".SH SYNOPSIS\n.B lumesta\n[\\fILOGFILE\\fR]\n";
    out += ".SH DESCRIPTION\n" +
           Paragraphs(
               "lumesta is the desktop program of Lumesta: one window showing the run "
               "log, and a dialog per tool, opened from the menu. Every run appends a "
               "readable report to the log, which can be saved, opened and printed.\n\n"
               "The tools, each also run by lumesta-cli(1) with the same results:");
    out += NoFill(ToolListText(tools));
    out +=
        ".SH ARGUMENTS\n.TP\n\\fILOGFILE\\fR\nA saved run log, opened in place of the new, "
        "empty log. The program ends with status 1 when it cannot be opened.\n";
    out +=
        ".SH FILES\n"
        ".TP\n\\fI/usr/share/lumesta/User_Guide.pdf\\fR\nThe user guide, opened by Help > "
        "User Guide; in a build folder, the guide beside the executable.\n"
        ".TP\n\\fI/usr/share/applications/lumesta.desktop\\fR\nThe menu entry.\n"
        ".SH \"SEE ALSO\"\n\\fBlumesta\\-cli\\fR(1)\n";
    return out;
}

}  // namespace lumesta
