#include "cli/pansharpen_command.h"

#include <iostream>
#include <sstream>

#include "cli/arguments.h"
#include "cli/exit_status.h"
#include "cli/tool_command.h"
#include "fusion/pansharpen_batch.h"
#include "raster/file_name.h"
#include "fusion/pansharpen_browse.h"
#include "fusion/pansharpen_run.h"

namespace lumesta::cli {

const char* const kPanSharpenUsage =
    "usage: lumesta-cli pansharpen --pan PATH --blue PATH [--green PATH --red PATH --nir PATH]\n"
    "         [--select B,G,R,N] [--width N --height N] [--method 1|2] [--suffix TEXT]\n"
    "         [--bmp PATH] [--colour-match] [--filter sharpen|detail|none]\n"
    "         [--filter-bands LIST|none] [--adjust B,G,R] [--cutoffs BL,BR,GL,GR,RL,RR]\n"
    "         [--nonlinear B,G,R] [--log FILE] [--yes|--no] [--display] [--quiet]\n"
    "\n"
    "Pan-sharpens a 16-bit pan band (QuickBird, IKONOS, OrbView-3) with four MS bands.\n"
    "--blue takes one band, a four-band .img or an Idrisi32 .rgf group; --select picks the\n"
    "Blue, Green, Red and NIR entries of such a file (1-based, default 1,2,3,4).\n";

namespace {

const std::set<std::string> kValueOptions = {
    "--pan",    "--blue",   "--green",  "--red",    "--nir",          "--select", "--width",
    "--height", "--method", "--suffix", "--bmp",    "--filter",       "--filter-bands",
    "--adjust", "--cutoffs", "--nonlinear", "--log"};
const std::set<std::string> kFlags = {"--colour-match", "--yes", "--no", "--display", "--quiet"};

FilterType16 ParseFilter(const std::string& name)
{
    if (name == "sharpen") return FilterType16::Sharpen;
    if (name == "detail") return FilterType16::Detail;
    if (name == "none") return FilterType16::None;
    throw UsageError{"--filter takes sharpen, detail or none"};
}

std::array<bool, 4> ParseFilterBands(const std::string& list)
{
    std::array<bool, 4> flags{};
    if (list == "none") return flags;
    static const char* const kNames[4] = {"blue", "green", "red", "nir"};
    std::stringstream items(list);
    std::string item;
    while (std::getline(items, item, ',')) {
        bool known = false;
        for (int band = kBlue; band <= kNir; ++band) {
            if (item == kNames[band]) flags[band] = known = true;
        }
        if (!known) throw UsageError{"--filter-bands takes blue, green, red, nir or none"};
    }
    return flags;
}

// A batch file supplies every input; --select sets the colour band selectors.
bool SelectBatchBands(const Arguments& args, PanSharpenJob& job)
{
    for (const char* option : {"--blue", "--green", "--red", "--nir", "--width", "--height", "--bmp"}) {
        if (args.Has(option)) throw UsageError{std::string(option) + " cannot be used with a batch file"};
    }
    if (const auto select = args.IntList("--select", 4, 1, 4)) {
        for (int band = kBlue; band <= kNir; ++band) SelectBand(job, band, (*select)[band] - 1);
    }
    return true;
}

// The browse choices: pan, Blue (and what it supplies), then the other bands.
bool BrowseInputs(const Arguments& args, PanSharpenJob& job, Host& host)
{
    if (!BrowsePan(job, FullPath(*args.Value("--pan")), host)) return false;
    if (job.batchMode) return SelectBatchBands(args, job);
    if (!BrowseBlue(job, FullPath(*args.Value("--blue")), host)) return false;
    static const char* const kOptions[4] = {"--blue", "--green", "--red", "--nir"};
    for (int band = kGreen; band <= kNir; ++band) {
        if (!args.Has(kOptions[band])) continue;
        if (!job.browseEnabled[band]) {
            throw UsageError{std::string(kOptions[band]) +
                             " cannot be used when --blue names a four-band file or a group"};
        }
        if (!BrowseOtherBand(job, band, FullPath(*args.Value(kOptions[band])), host)) return false;
    }
    if (const auto select = args.IntList("--select", 4, 1, 1000000)) {
        for (int band = kBlue; band <= kNir; ++band) {
            if ((*select)[band] > static_cast<int>(job.bandLists[band].size())) {
                throw UsageError{"--select names an entry beyond the band list"};
            }
            SelectBand(job, band, (*select)[band] - 1);
        }
    }
    return true;
}

void ApplyParameters(const Arguments& args, PanSharpenJob& job)
{
    if (const auto width = args.Int("--width", 0, 2147483647)) job.width = *width;
    if (const auto height = args.Int("--height", 0, 2147483647)) job.height = *height;
    if (const auto method = args.Int("--method", 1, 2)) job.method = static_cast<FusionMethod>(*method - 1);
    if (const auto suffix = args.Value("--suffix")) SetSuffix(job, *suffix);
    if (const auto bmp = args.Value("--bmp")) job.bmpName = FullPath(*bmp);
    job.colourMatch = args.Has("--colour-match");
    if (const auto filter = args.Value("--filter")) {
        job.filterType = ParseFilter(*filter);
        job.filterFlags = job.filterType == FilterType16::None
                              ? std::array<bool, 4>{false, false, false, false}
                              : std::array<bool, 4>{false, true, true, false};
    }
    if (const auto bands = args.Value("--filter-bands")) {
        if (job.filterType == FilterType16::None) {
            throw UsageError{"--filter-bands needs --filter sharpen or detail"};
        }
        job.filterFlags = ParseFilterBands(*bands);
    }
    if (const auto adjust = args.IntList("--adjust", 3, 0, 30)) {
        std::copy(adjust->begin(), adjust->end(), job.colourAmounts.begin());
    }
    ApplyStretchOptions(args, job.stretch);
    // The picture opens in a viewer only when asked for on the command line.
    if (!args.Has("--display")) job.displayBmp = false;
}

}  // namespace

int RunPanSharpenCommand(const std::vector<std::string>& argList)
{
    PanSharpenJob job;
    RunCounters counters;
    const ToolCommand command{&kValueOptions, &kFlags, kPanSharpenUsage};
    return RunToolCommand(
        argList, command,
        [](const Arguments& args) {
            // Every number is checked before anything runs, so a wrong command line changes nothing.
            args.IntList("--select", 4, 1, 1000000);
            args.Int("--width", 0, 2147483647);
            args.Int("--height", 0, 2147483647);
            args.Int("--method", 1, 2);
            args.IntList("--adjust", 3, 0, 30);
            args.IntList("--cutoffs", 6, 1, 20);
            args.IntList("--nonlinear", 3, 0, 20);
            if (!args.Has("--pan")) throw UsageError{"--pan is required"};
            const bool batch = ExtensionLower(*args.Value("--pan")) == "bif";
            if (!batch && !args.Has("--blue")) throw UsageError{"--blue is required"};
        },
        [&job](const Arguments& args, Host& host) {
            if (!BrowseInputs(args, job, host)) return false;
            ApplyParameters(args, job);
            return true;
        },
        [&job] { return job.batchMode; },
        [&](Host& host) { return RunPanSharpen(job, counters, host); },
        [&](Host& host, const std::function<void(long, long)>& onJob) {
            return RunPanSharpenBatch(job, counters, host, onJob);
        });
}

}  // namespace lumesta::cli
