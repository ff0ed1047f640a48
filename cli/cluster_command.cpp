#include "cli/cluster_command.h"

#include <filesystem>
#include <iostream>

#include "cli/cluster_collect.h"
#include "cli/exit_status.h"
#include "cli/job_mode.h"
#include "cli/sbatch_script.h"
#include "cli/tool_commands.h"
#include "core/option_table.h"
#include "raster/file_name.h"

namespace lumesta::cli {

const char* const kClusterUsage =
    "usage: lumesta-cli cluster plan TOOL FILE.bif [tool options] [--partition P]\n"
    "         [--cpus-per-task N] [--mem M] [--time T] [--max-parallel K]\n"
    "       lumesta-cli cluster collect FILE.bif\n"
    "\n"
    "plan writes FILE.sbatch beside the batch file: a Slurm job array with one task per job,\n"
    "each running this lumesta-cli as TOOL (pansharpen, pansharpen-etm, combine, combine8) with\n"
    "the tool options and --job N --yes --quiet --skip-done, its report in FILE.job<N>.log.\n"
    "One CPU per task and no memory or time limit unless given. It prints the sbatch command.\n"
    "collect merges the tasks' report blocks in job order into FILE.log and lists the jobs\n"
    "done, failed (with their messages) and missing; exit 0 only when every job is done.\n";

namespace {

// A wrong command line of cluster: the text goes to standard error with the usage, status 2.
struct UsageError {
    std::string text;
};

using ToolLister = int (*)(const std::vector<std::string>&, const JobListConsumer&);

struct BatchTool {
    const char* name;
    const char* batchOption;
    ToolLister list;
};

const BatchTool kBatchTools[] = {
    {"pansharpen", "--pan", RunPanSharpenCommand},
    {"pansharpen-etm", "--pan", RunEtmCommand},
    {"combine", "--blue", RunCombineCommand},
    {"combine8", "--blue", RunCombine8Command},
};

const BatchTool* FindTool(const std::string& name)
{
    for (const BatchTool& tool : kBatchTools) {
        if (name == tool.name) return &tool;
    }
    return nullptr;
}

// Slurm values go into #SBATCH lines as they are: no blanks, quotes or control characters.
std::string SlurmValue(const std::string& option, const std::string& value)
{
    const bool plain = !value.empty() && value.find_first_of(" '\"\\#") == std::string::npos &&
                       !HasControlCharacter(value);
    if (!plain) throw UsageError{option + " takes one word"};
    return value;
}

long PositiveNumber(const std::string& option, const std::string& value, long high)
{
    const auto number = ParseInteger(value);
    if (!number || *number < 1 || *number > high) {
        throw UsageError{option + " takes a whole number from 1 to " + std::to_string(high)};
    }
    return static_cast<long>(*number);
}

// Takes the cluster options out of the rest; what remains are the tool's options. Throws
// UsageError for options the script sets itself.
std::vector<std::string> SplitClusterOptions(const std::vector<std::string>& rest,
                                             ClusterRequest& request)
{
    static const char* const kScriptSets[] = {"--job", "--list-jobs", "--skip-done", "--log",
                                              "--yes", "--no",        "--quiet",     "--display"};
    std::vector<std::string> toolOptions;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        std::string name = rest[i];
        std::optional<std::string> value;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        for (const char* set : kScriptSets) {
            if (name == set) throw UsageError{name + " is set by the plan's script"};
        }
        const bool cluster = name == "--partition" || name == "--cpus-per-task" ||
                             name == "--mem" || name == "--time" || name == "--max-parallel";
        if (!cluster) {
            toolOptions.push_back(rest[i]);
            continue;
        }
        if (!value) {
            if (i + 1 >= rest.size()) throw UsageError{"option " + name + " needs a value"};
            value = rest[++i];
        }
        if (name == "--partition") request.partition = SlurmValue(name, *value);
        if (name == "--mem") request.memory = SlurmValue(name, *value);
        if (name == "--time") request.timeLimit = SlurmValue(name, *value);
        if (name == "--cpus-per-task")
            request.cpusPerTask = static_cast<int>(PositiveNumber(name, *value, 4096));
        if (name == "--max-parallel") request.maxParallel = PositiveNumber(name, *value, 100000000);
    }
    return toolOptions;
}

// The paths and words the script carries, checked before anything is read or written: a
// control character in any of them would break the script's lines. Returns the refusal, or
// empty.
std::string RefusedInScript(const SbatchPlan& plan)
{
    static const char kControl[] =
        " holds a control character (a line end, a tab or the like), which a job script cannot "
        "carry safely.";
    if (HasControlCharacter(plan.workingFolder))
        return "The working folder's path" + std::string(kControl) +
               " Run cluster plan from another folder.";
    if (HasControlCharacter(plan.bifPath))
        return "The batch file's path" + std::string(kControl) + " Rename it or its folder.";
    if (HasControlCharacter(plan.program))
        return "The path of this lumesta-cli" + std::string(kControl);
    for (const std::string& word : plan.toolArgs) {
        if (HasControlCharacter(word)) return "A tool option" + std::string(kControl);
    }
    return {};
}

int Plan(const std::vector<std::string>& args)
{
    ClusterRequest request;
    std::vector<std::string> toolArgs;
    const BatchTool* tool = args.size() >= 3 ? FindTool(args[1]) : nullptr;
    try {
        if (args.size() < 3) throw UsageError{"cluster plan needs a tool and a .bif batch file"};
        if (!tool)
            throw UsageError{"cluster plan takes pansharpen, pansharpen-etm, combine or combine8"};
        if (ExtensionLower(args[2]) != "bif")
            throw UsageError{"cluster plan needs a .bif batch file"};
        const std::vector<std::string> rest(args.begin() + 3, args.end());
        toolArgs = {tool->name, tool->batchOption, FullPath(args[2])};
        for (const auto& option : SplitClusterOptions(rest, request)) toolArgs.push_back(option);
    } catch (const UsageError& error) {
        return ReportUsageError(error.text, kClusterUsage);
    }
    const SbatchPlan unlisted{RunningProgramPath(),
                              toolArgs[2],
                              std::filesystem::current_path().string(),
                              0,
                              toolArgs,
                              request};
    if (const std::string refused = RefusedInScript(unlisted); !refused.empty()) {
        std::cerr << refused << "\n";
        return kExitStopped;
    }
    const auto write = [&](const std::string& bifPath, long count,
                           const std::vector<BatchJobEntry>&, Host& host) {
        if (count < 1) {
            host.ShowMessage("The batch file lists no job: there is nothing to plan.");
            return kExitStopped;
        }
        SbatchPlan plan = unlisted;
        plan.bifPath = bifPath;
        plan.jobCount = count;
        if (const std::string refused = RefusedInScript(plan); !refused.empty()) {
            host.ShowMessage(refused);
            return kExitStopped;
        }
        const std::string script = BesideBatchFile(bifPath, ".sbatch");
        if (!WriteWholeFile(script, SbatchScriptText(plan), host)) return kExitStopped;
        host.ShowMessage("Wrote " + script + ": a job array of " + std::to_string(count) +
                         (count == 1 ? " task." : " tasks."));
        std::cout << "sbatch " << ShellWord(script) << std::endl;
        return kExitFinished;
    };
    const std::vector<std::string> toolOptions(toolArgs.begin() + 1, toolArgs.end());
    return tool->list(toolOptions, write);
}

int Collect(const std::vector<std::string>& args)
{
    if (args.size() != 2 || ExtensionLower(args[1]) != "bif") {
        return ReportUsageError("cluster collect takes one .bif batch file", kClusterUsage);
    }
    const std::string bifPath = FullPath(args[1]);
    const std::string script = BesideBatchFile(bifPath, ".sbatch");
    const auto planned = FileExists(script) ? ReadPlannedArgs(ReadWholeFile(script)) : std::nullopt;
    const BatchTool* tool = planned && planned->size() >= 3 ? FindTool((*planned)[0]) : nullptr;
    if (!tool) {
        std::cerr << "No job array was planned for " << bifPath << " (" << script
                  << " is missing or not written by cluster plan).\n";
        return kExitStopped;
    }
    if (!SamePath((*planned)[2], bifPath)) {
        std::cerr << script << " was planned for " << (*planned)[2]
                  << ": plan this batch file again.\n";
        return kExitStopped;
    }
    const auto collect = [&script](const std::string& bif, long count,
                                   const std::vector<BatchJobEntry>& jobs, Host& host) {
        return CollectTaskReports(bif, script, count, jobs, host);
    };
    return tool->list(std::vector<std::string>(planned->begin() + 1, planned->end()), collect);
}

}  // namespace

int RunClusterCommand(const std::vector<std::string>& args)
{
    if (!args.empty() && args[0] == "plan") return Plan(args);
    if (!args.empty() && args[0] == "collect") return Collect(args);
    return ReportUsageError("cluster takes plan or collect", kClusterUsage);
}

}  // namespace lumesta::cli
