#include "cli/assess_commands.h"

#include <climits>
#include <optional>

#include "assess/assess_browse.h"
#include "assess/haar_transform.h"
#include "assess/image_stats.h"
#include "assess/semivariance.h"
#include "cli/arguments.h"
#include "cli/exit_status.h"

namespace lumesta::cli {

const char* const kSemivarianceUsage =
    "usage: lumesta-cli semivariance --input PATH [--band N] [--width N --height N]\n"
    "         [--max-lag N] [--output PATH] [--log FILE] [--yes|--no] [--display] [--quiet]\n"
    "\n"
    "Writes the semivariances of one band at 0, 45, 90 and 135 degrees for lags 1 to\n"
    "--max-lag (default 100) as a text table (default: the input name + _SemiVariance.txt).\n"
    "--band picks the band of a multi-band ENVI file (1-based, default 1); --width and\n"
    "--height are needed for a headerless file.\n";

const char* const kImageStatsUsage =
    "usage: lumesta-cli stats --input PATH [--band N] [--width N --height N] [--level N]\n"
    "         [--output PATH] [--log FILE] [--yes|--no] [--display] [--quiet]\n"
    "\n"
    "Writes nine statistics of one band and of its 2 x 2 averaged levels up to --level\n"
    "(default 0: the band itself) as a text table (default: the input name +\n"
    "_ImageStats.txt). --band and --width/--height as for semivariance.\n";

const char* const kHaarUsage =
    "usage: lumesta-cli haar --input PATH [--band N] [--width N --height N] [--levels N]\n"
    "         [--form half|sqrt2] [--output PATH] [--bmp PATH] [--log FILE] [--yes|--no]\n"
    "         [--quiet]\n"
    "\n"
    "Decomposes one band into --levels (default 1) Haar wavelet levels with coefficients\n"
    "1/2 or 1/sqrt(2) (default), written as a 32-bit float raster (default: the input name +\n"
    "_Haar.img or _Haar.rst with its header) and a grey 24-bit BMP (_Haar.bmp).\n"
    "--band and --width/--height as for semivariance.\n";

namespace {

std::set<std::string> ValueOptions(std::initializer_list<const char*> toolOptions)
{
    std::set<std::string> options = {"--input", "--band", "--width", "--height", "--output"};
    options.insert(kCommonValueOptions.begin(), kCommonValueOptions.end());
    options.insert(toolOptions.begin(), toolOptions.end());
    return options;
}

// Parses the options and checks every number before anything runs, so that a wrong command
// line changes nothing. Throws UsageError.
Arguments ParseCommandLine(const std::vector<std::string>& argList,
                           const std::set<std::string>& valueOptions,
                           std::initializer_list<const char*> countOptions,
                           TerminalOptions& options)
{
    Arguments args(argList, valueOptions, kCommonFlags);
    options = CommonOptions(args);
    if (!args.Has("--input")) throw UsageError{"--input is required"};
    args.Int("--band", 1, INT_MAX);
    args.Int("--width", 0, INT_MAX);
    args.Int("--height", 0, INT_MAX);
    // Counts go to the run unchecked: a 0 or negative count gets the tool's own message.
    for (const char* name : countOptions) args.Int(name, INT_MIN, INT_MAX);
    if (const auto form = args.Value("--form"); form && *form != "half" && *form != "sqrt2") {
        throw UsageError{"--form takes half or sqrt2"};
    }
    return args;
}

// The input list entry and the typed size, after the input browse.
void ApplyInputOptions(const Arguments& args, AssessInput& input)
{
    if (const auto band = args.Int("--band", 1, INT_MAX)) {
        if (*band > static_cast<int>(input.inputList.size())) {
            throw UsageError{"--band names an entry beyond the input list"};
        }
        SelectAssessInputEntry(input, *band - 1);
    }
    if (const auto width = args.Int("--width", 0, INT_MAX)) input.width = *width;
    if (const auto height = args.Int("--height", 0, INT_MAX)) input.height = *height;
}

// The shared course of the three commands: parse, browse the input, fill the rest of the job,
// run. browse and fill work on the tool's job; run returns the outcome.
template <typename Job, typename Browse, typename Fill, typename Run>
int RunAssessCommand(const std::vector<std::string>& argList, const char* usage,
                     const std::set<std::string>& valueOptions,
                     std::initializer_list<const char*> countOptions, Browse browse, Fill fill,
                     Run run)
{
    std::optional<Arguments> args;
    TerminalOptions options;
    try {
        args.emplace(ParseCommandLine(argList, valueOptions, countOptions, options));
    } catch (const UsageError& error) {
        return ReportUsageError(error, usage);
    }
    TerminalHost host(options);
    if (!host.OpenLog()) return kExitStopped;
    Job job;
    try {
        if (!browse(job, FullPath(*args->Value("--input")), host)) return kExitStopped;
        ApplyInputOptions(*args, job.input);
        fill(*args, job);
    } catch (const UsageError& error) {
        return ReportUsageError(error, usage);
    }
    RunCounters counters;
    return ExitStatusOf(run(job, counters, host));
}

}  // namespace

int RunSemivarianceCommand(const std::vector<std::string>& args)
{
    return RunAssessCommand<SemivarianceJob>(
        args, kSemivarianceUsage, ValueOptions({"--max-lag"}), {"--max-lag"},
        BrowseSemivarianceInput,
        [](const Arguments& parsed, SemivarianceJob& job) {
            if (const auto lag = parsed.Int("--max-lag", INT_MIN, INT_MAX)) job.maxLag = *lag;
            if (const auto output = parsed.Value("--output")) job.outputPath = FullPath(*output);
        },
        ComputeSemivariance);
}

int RunImageStatsCommand(const std::vector<std::string>& args)
{
    return RunAssessCommand<ImageStatsJob>(
        args, kImageStatsUsage, ValueOptions({"--level"}), {"--level"}, BrowseImageStatsInput,
        [](const Arguments& parsed, ImageStatsJob& job) {
            if (const auto level = parsed.Int("--level", INT_MIN, INT_MAX)) job.level = *level;
            if (const auto output = parsed.Value("--output")) job.outputPath = FullPath(*output);
        },
        ComputeImageStatistics);
}

int RunHaarCommand(const std::vector<std::string>& args)
{
    return RunAssessCommand<HaarJob>(
        args, kHaarUsage, ValueOptions({"--levels", "--form", "--bmp"}), {"--levels"},
        BrowseHaarInput,
        [](const Arguments& parsed, HaarJob& job) {
            if (const auto levels = parsed.Int("--levels", INT_MIN, INT_MAX)) job.levels = *levels;
            if (const auto form = parsed.Value("--form")) {
                job.form = *form == "half" ? HaarForm::Half : HaarForm::InverseSqrt2;
            }
            if (const auto output = parsed.Value("--output"))
                job.outputImagePath = FullPath(*output);
            if (const auto bmp = parsed.Value("--bmp")) job.bmpPath = FullPath(*bmp);
        },
        ComputeHaarTransform);
}

}  // namespace lumesta::cli
