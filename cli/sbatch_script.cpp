#include "cli/sbatch_script.h"

#include <filesystem>
#include <sstream>
#include <system_error>

#include "cli/job_mode.h"
#include "raster/file_name.h"

namespace lumesta::cli {
namespace {

const char* const kArgsLineStart = "args=(";

// Slurm expands %-patterns in the names of output files: a literal % is written %%.
std::string SlurmFileName(const std::string& path)
{
    std::string escaped;
    for (const char c : path) {
        escaped += c;
        if (c == '%') escaped += '%';
    }
    return escaped;
}

// A value of an #SBATCH line as sbatch reads it: as it is when it is one plain word, else in
// double quotes with a backslash before every " and \. Unquoted, a blank would end the value,
// a # would start a comment and a quote would open a string the line never closes.
std::string SbatchValue(const std::string& value)
{
    const bool plain = !value.empty() && value.find_first_not_of(
                                             "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                             "0123456789_./:=+,@%-") == std::string::npos;
    if (plain) return value;
    std::string quoted = "\"";
    for (const char c : value) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

// Slurm drops every backslash from the name of an output file and then expands no pattern in
// it, so a task's output file cannot be named for Slurm in a folder whose name holds one. The
// script then sends its own output there itself.
bool SlurmCannotNameOutput(const std::string& stem)
{
    return stem.find('\\') != std::string::npos;
}

// Reads one word made of '...' pieces and \' escapes; false at a malformed word.
bool ReadQuotedWord(const std::string& text, std::size_t& at, std::string& word)
{
    word.clear();
    while (at < text.size() && text[at] != ' ' && text[at] != ')') {
        if (text.compare(at, 2, "\\'") == 0) {
            word += '\'';
            at += 2;
            continue;
        }
        if (text[at] != '\'') return false;
        const std::size_t close = text.find('\'', at + 1);
        if (close == std::string::npos) return false;
        word += text.substr(at + 1, close - at - 1);
        at = close + 1;
    }
    return true;
}

}  // namespace

std::string SbatchScriptText(const SbatchPlan& plan)
{
    const std::string stem = WithoutLastFour(plan.bifPath);
    const ClusterRequest& request = plan.request;
    const bool ownOutput = SlurmCannotNameOutput(stem);
    std::ostringstream text;
    text << "#!/bin/bash\n"
         << "# A job array over the batch file " << ShellWord(plan.bifPath) << ",\n"
         << "# written by lumesta-cli cluster plan: one task per job, each running only its job\n"
         << "# and writing its report to " << ShellWord(stem + ".job")
         << "<N>.log. A job already done is skipped,\n"
         << "# so submitting the script again finishes only what is missing.\n"
         << "#   submit:   sbatch " << ShellWord(BesideBatchFile(plan.bifPath, ".sbatch")) << "\n"
         << "#   results:  " << ShellWord(plan.program) << " cluster collect "
         << ShellWord(plan.bifPath) << "\n";
    text << "#SBATCH --job-name=" << SbatchValue("lumesta-" + FileNameOf(stem)) << "\n"
         << "#SBATCH --array=1-" << plan.jobCount;
    if (request.maxParallel > 0) text << '%' << request.maxParallel;
    text << "\n#SBATCH --ntasks=1\n"
         << "#SBATCH --cpus-per-task=" << request.cpusPerTask << "\n"
         << "#SBATCH --output="
         << (ownOutput ? std::string("/dev/null") : SbatchValue(SlurmFileName(stem) + ".job%a.out"))
         << "\n"
         << "#SBATCH --chdir=" << SbatchValue(plan.workingFolder) << "\n";
    if (!request.partition.empty()) text << "#SBATCH --partition=" << request.partition << "\n";
    if (!request.memory.empty()) text << "#SBATCH --mem=" << request.memory << "\n";
    if (!request.timeLimit.empty()) text << "#SBATCH --time=" << request.timeLimit << "\n";
    text << "set -u\n"
         << ": \"${SLURM_ARRAY_TASK_ID:?run this script with sbatch}\"\n";
    if (ownOutput) {
        text << "exec >" << ShellQuote(stem + ".job") << "\"$SLURM_ARRAY_TASK_ID\""
             << ShellQuote(".out") << " 2>&1\n";
    }
    text << kArgsLineStart;
    for (std::size_t i = 0; i < plan.toolArgs.size(); ++i) {
        text << (i ? " " : "") << ShellQuote(plan.toolArgs[i]);
    }
    text << ")\n"
         << "exec " << ShellWord(plan.program)
         << " \"${args[@]}\" --job $SLURM_ARRAY_TASK_ID --yes --quiet --skip-done \\\n"
         << "    --log " << ShellWord(stem + ".job") << "$SLURM_ARRAY_TASK_ID.log\n";
    return text.str();
}

bool HasControlCharacter(const std::string& text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) return true;
    }
    return false;
}

std::optional<std::vector<std::string>> ReadPlannedArgs(const std::string& scriptText)
{
    std::istringstream lines(scriptText);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(kArgsLineStart, 0) != 0 || line.empty() || line.back() != ')') continue;
        std::vector<std::string> args;
        std::size_t at = std::string(kArgsLineStart).size();
        while (at < line.size() && line[at] != ')') {
            std::string word;
            if (!ReadQuotedWord(line, at, word)) return std::nullopt;
            args.push_back(word);
            while (at < line.size() && line[at] == ' ') ++at;
        }
        return args;
    }
    return std::nullopt;
}

std::string RunningProgramPath()
{
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("lumesta-cli") : path.string();
}

}  // namespace lumesta::cli
