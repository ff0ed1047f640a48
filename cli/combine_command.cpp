#include "cli/combine_command.h"

#include <filesystem>
#include <optional>

#include "cli/arguments.h"
#include "cli/exit_status.h"
#include "cli/tool_command.h"
#include "composite/combine_batch.h"
#include "composite/combine_browse.h"
#include "composite/combine_run.h"

namespace lumesta::cli {

#define LUMESTA_COMBINE_OPTIONS                                                                 \
    "         [--green PATH --red PATH] [--select B,G,R] [--width N --height N] [--bmp PATH]\n" \
    "         [--geotiff] [--cutoffs BL,BR,GL,GR,RL,RR] [--nonlinear B,G,R]\n"                  \
    "         [--log FILE] [--yes|--no] [--display] [--quiet]\n"                                \
    "\n"                                                                                        \
    "--blue takes one band, a multi-band .img or .tif, or an Idrisi32 .rgf group; --select\n"   \
    "picks the Blue, Green and Red entries of such a file (1-based, default 1,2,3).\n"          \
    "--geotiff also writes a three-band GeoTIFF composite for GeoTIFF inputs.\n"

const char* const kCombineUsage =
    "usage: lumesta-cli combine --blue PATH\n" LUMESTA_COMBINE_OPTIONS
    "\nMakes a stretched colour composite of three 16-bit bands (QuickBird, IKONOS, OrbView-3).\n";
const char* const kCombine8Usage =
    "usage: lumesta-cli combine8 --blue PATH\n" LUMESTA_COMBINE_OPTIONS
    "\nMakes a stretched colour composite of three 8-bit bands (Landsat ETM+, ASTER, MODIS, "
    "SPOT).\n";

#undef LUMESTA_COMBINE_OPTIONS

namespace {

const std::set<std::string> kValueOptions = {"--blue",      "--green",  "--red", "--select",
                                             "--width",     "--height", "--bmp", "--cutoffs",
                                             "--nonlinear", "--log"};
const std::set<std::string> kFlags = {"--geotiff", "--yes", "--no", "--display", "--quiet"};

// A file chooser hands over full paths; so does the command line.
std::string FullPath(const std::string& path)
{
    if (path.empty()) return path;
    return std::filesystem::absolute(path).lexically_normal().string();
}

// Every number is parsed before anything runs, so a wrong command line changes nothing.
void CheckNumbers(const Arguments& args)
{
    args.IntList("--select", 3, 1, 1000000);
    args.Int("--width", 0, 2147483647);
    args.Int("--height", 0, 2147483647);
    args.IntList("--cutoffs", 6, 1, 20);
    args.IntList("--nonlinear", 3, 0, 20);
    if (!args.Has("--blue")) throw UsageError{"--blue is required"};
}

// The browse choices: Blue (and what it supplies), Green, Red, then the list selections.
bool BrowseInputs(const Arguments& args, BandCombinationJob& job, Host& host)
{
    if (!BrowseCombineBlue(job, FullPath(*args.Value("--blue")), host)) return false;
    if (job.batchMode) {
        // A batch file supplies every input and output; --select sets the colour selectors.
        for (const char* option : {"--green", "--red", "--width", "--height", "--bmp", "--geotiff"}) {
            if (args.Has(option)) throw UsageError{std::string(option) + " cannot be used with a batch file"};
        }
    }
    static const char* const kOptions[3] = {"--blue", "--green", "--red"};
    for (int band = kCompositeGreen; band <= kCompositeRed; ++band) {
        if (!args.Has(kOptions[band])) continue;
        if (!job.browseEnabled[band]) {
            throw UsageError{std::string(kOptions[band]) +
                             " cannot be used when --blue names a multi-band file or a group"};
        }
        const std::string path = FullPath(*args.Value(kOptions[band]));
        if (!BrowseCombineBand(job, band, path, host)) return false;
    }
    if (const auto select = args.IntList("--select", 3, 1, 1000000)) {
        for (int band = kCompositeBlue; band <= kCompositeRed; ++band) {
            if ((*select)[band] > static_cast<int>(job.bandLists[band].size())) {
                throw UsageError{"--select names an entry beyond the band list"};
            }
            SelectCombineBand(job, band, (*select)[band] - 1);
        }
    }
    return true;
}

void ApplyParameters(const Arguments& args, BandCombinationJob& job)
{
    if (const auto width = args.Int("--width", 0, 2147483647)) job.width = *width;
    if (const auto height = args.Int("--height", 0, 2147483647)) job.height = *height;
    if (const auto bmp = args.Value("--bmp")) job.bmpPath = FullPath(*bmp);
    if (!job.batchMode) job.geoTiffOutput = args.Has("--geotiff");
    ApplyStretchOptions(args, job.stretch);
    // The picture opens in a viewer only when asked for on the command line.
    job.displayBmp = args.Has("--display") && !job.batchMode;
}

int RunCommand(const std::vector<std::string>& argList, CombineDepth depth, const char* usage)
{
    BandCombinationJob job(depth);
    RunCounters counters;
    const ToolCommand command{&kValueOptions, &kFlags, usage};
    return RunToolCommand(
        argList, command, CheckNumbers,
        [&job](const Arguments& args, Host& host) {
            if (!BrowseInputs(args, job, host)) return false;
            ApplyParameters(args, job);
            return true;
        },
        [&job] { return job.batchMode; },
        [&](Host& host) { return RunBandCombination(job, counters, host); },
        [&](Host& host, const std::function<void(long, long)>& onJob) {
            return RunBandCombinationBatch(job, counters, host, onJob);
        });
}

}  // namespace

int RunCombineCommand(const std::vector<std::string>& args)
{
    return RunCommand(args, CombineDepth::Sixteen, kCombineUsage);
}

int RunCombine8Command(const std::vector<std::string>& args)
{
    return RunCommand(args, CombineDepth::Eight, kCombine8Usage);
}

}  // namespace lumesta::cli
