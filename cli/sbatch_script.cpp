#include "cli/sbatch_script.h"

#include <filesystem>
#include <sstream>
#include <system_error>

#include "cli/job_mode.h"
#include "raster/file_name.h"

namespace lumesta::cli {
namespace {

const char* const kArgsLineStart = "args=(";

// Slurm expands %-patterns in file names: a literal % is written %%.
std::string SlurmFileName(const std::string& path)
{
    std::string escaped;
    for (const char c : path) {
        escaped += c;
        if (c == '%') escaped += '%';
    }
    return escaped;
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
    std::ostringstream text;
    text << "#!/bin/bash\n"
         << "# A job array over the batch file " << plan.bifPath << ",\n"
         << "# written by lumesta-cli cluster plan: one task per job, each running only its job\n"
         << "# and writing its report to " << stem
         << ".job<N>.log. A job already done is skipped,\n"
         << "# so submitting the script again finishes only what is missing.\n"
         << "#   submit:   sbatch " << ShellWord(BesideBatchFile(plan.bifPath, ".sbatch")) << "\n"
         << "#   results:  " << ShellWord(plan.program) << " cluster collect "
         << ShellWord(plan.bifPath) << "\n";
    text << "#SBATCH --job-name=lumesta-" << FileNameOf(stem) << "\n"
         << "#SBATCH --array=1-" << plan.jobCount;
    if (request.maxParallel > 0) text << '%' << request.maxParallel;
    text << "\n#SBATCH --ntasks=1\n"
         << "#SBATCH --cpus-per-task=" << request.cpusPerTask << "\n"
         << "#SBATCH --output=" << SlurmFileName(stem) << ".job%a.out\n"
         << "#SBATCH --chdir=" << SlurmFileName(plan.workingFolder) << "\n";
    if (!request.partition.empty()) text << "#SBATCH --partition=" << request.partition << "\n";
    if (!request.memory.empty()) text << "#SBATCH --mem=" << request.memory << "\n";
    if (!request.timeLimit.empty()) text << "#SBATCH --time=" << request.timeLimit << "\n";
    text << "set -u\n"
         << ": \"${SLURM_ARRAY_TASK_ID:?run this script with sbatch}\"\n"
         << kArgsLineStart;
    for (std::size_t i = 0; i < plan.toolArgs.size(); ++i) {
        text << (i ? " " : "") << ShellQuote(plan.toolArgs[i]);
    }
    text << ")\n"
         << "exec " << ShellWord(plan.program)
         << " \"${args[@]}\" --job $SLURM_ARRAY_TASK_ID --yes --quiet --skip-done \\\n"
         << "    --log " << ShellWord(stem + ".job") << "$SLURM_ARRAY_TASK_ID.log\n";
    return text.str();
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
