#include "cli/etm_command.h"

#include <sstream>

#include "cli/arguments.h"
#include "cli/exit_status.h"
#include "cli/tool_command.h"
#include "fusion/pansharpen_batch.h"
#include "raster/file_name.h"
#include "fusion/etm_browse.h"
#include "fusion/etm_run.h"

namespace lumesta::cli {

const char* const kEtmUsage =
    "usage: lumesta-cli pansharpen-etm --pan PATH --blue PATH [--green PATH --red PATH]\n"
    "         [--select B,G,R] [--width N --height N] [--method 1|2] [--suffix TEXT]\n"
    "         [--bmp PATH] [--colour-match]\n"
    "         [--filter smooth|smooth-sharpen|none|detail|sharpen] [--filter-bands LIST|none]\n"
    "         [--cutoffs BL,BR,GL,GR,RL,RR] [--nonlinear B,G,R]\n"
    "         [--log FILE] [--yes|--no] [--display] [--quiet]\n"
    "\n"
    "Pan-sharpens an 8-bit Landsat ETM+ pan band with Blue, Green and Red bands at twice its\n"
    "pixel size. --blue takes one band, a multi-band .img (3 or more bands) or an Idrisi32 .rgf\n"
    "group; --select picks the Blue, Green and Red entries of such a file (1-based, default\n"
    "1,2,3).\n";

namespace {

const std::set<std::string> kValueOptions = {
    "--pan",    "--blue",   "--green",  "--red",    "--select",       "--width",   "--height",
    "--method", "--suffix", "--bmp",    "--filter", "--filter-bands", "--cutoffs", "--nonlinear",
    "--log"};
const std::set<std::string> kFlags = {"--colour-match", "--yes", "--no", "--display", "--quiet"};

EtmFilter ParseFilter(const std::string& name)
{
    if (name == "smooth") return EtmFilter::Smooth;
    if (name == "smooth-sharpen") return EtmFilter::SmoothSharpen;
    if (name == "none") return EtmFilter::None;
    if (name == "detail") return EtmFilter::Detail;
    if (name == "sharpen") return EtmFilter::Sharpen;
    throw UsageError{"--filter takes smooth, smooth-sharpen, none, detail or sharpen"};
}

std::array<bool, 3> ParseFilterBands(const std::string& list)
{
    std::array<bool, 3> flags{};
    if (list == "none") return flags;
    static const char* const kNames[3] = {"blue", "green", "red"};
    std::stringstream items(list);
    std::string item;
    while (std::getline(items, item, ',')) {
        bool known = false;
        for (int band = 0; band < 3; ++band) {
            if (item == kNames[band]) flags[band] = known = true;
        }
        if (!known) throw UsageError{"--filter-bands takes blue, green, red or none"};
    }
    return flags;
}

bool BrowseInputs(const Arguments& args, EtmJob& job, Host& host)
{
    if (!BrowseEtmPan(job, FullPath(*args.Value("--pan")), host)) return false;
    if (job.batchMode) {
        // A batch file supplies every input.
        for (const char* option : {"--blue", "--green", "--red", "--select", "--width", "--height", "--bmp"}) {
            if (args.Has(option)) throw UsageError{std::string(option) + " cannot be used with a batch file"};
        }
        return true;
    }
    if (!BrowseEtmBlue(job, FullPath(*args.Value("--blue")), host)) return false;
    static const char* const kOptions[3] = {"--blue", "--green", "--red"};
    for (int band = 1; band < 3; ++band) {
        if (!args.Has(kOptions[band])) continue;
        if (!job.browseEnabled[band]) {
            throw UsageError{std::string(kOptions[band]) +
                             " cannot be used when --blue names a multi-band file or a group"};
        }
        if (!BrowseEtmOtherBand(job, band, FullPath(*args.Value(kOptions[band])), host)) return false;
    }
    if (const auto select = args.IntList("--select", 3, 1, 1000000)) {
        for (int band = 0; band < 3; ++band) {
            if ((*select)[band] > static_cast<int>(job.bandLists[band].size())) {
                throw UsageError{"--select names an entry beyond the band list"};
            }
            SelectEtmBand(job, band, (*select)[band] - 1);
        }
    }
    return true;
}

void ApplyParameters(const Arguments& args, EtmJob& job)
{
    if (const auto width = args.Int("--width", 0, 2147483647)) job.width = *width;
    if (const auto height = args.Int("--height", 0, 2147483647)) job.height = *height;
    if (const auto method = args.Int("--method", 1, 2)) job.method = static_cast<FusionMethod>(*method - 1);
    if (const auto suffix = args.Value("--suffix")) SetEtmSuffix(job, *suffix);
    if (const auto bmp = args.Value("--bmp")) job.bmpName = FullPath(*bmp);
    job.colourMatch = args.Has("--colour-match");
    if (const auto filter = args.Value("--filter")) {
        // Choosing a filter checks all three bands; "None" clears them.
        job.filterType = ParseFilter(*filter);
        const bool on = job.filterType != EtmFilter::None;
        job.filterFlags = {on, on, on};
    }
    if (const auto bands = args.Value("--filter-bands")) {
        if (job.filterType == EtmFilter::None) {
            throw UsageError{"--filter-bands needs a --filter other than none"};
        }
        job.filterFlags = ParseFilterBands(*bands);
    }
    ApplyStretchOptions(args, job.stretch);
    if (!args.Has("--display")) job.displayBmp = false;
}

}  // namespace

int RunEtmCommand(const std::vector<std::string>& argList)
{
    EtmJob job;
    RunCounters counters;
    const ToolCommand command{&kValueOptions, &kFlags, kEtmUsage};
    return RunToolCommand(
        argList, command,
        [](const Arguments& args) {
            // Every number is checked before anything runs, so a wrong command line changes nothing.
            args.IntList("--select", 3, 1, 1000000);
            args.Int("--width", 0, 2147483647);
            args.Int("--height", 0, 2147483647);
            args.Int("--method", 1, 2);
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
        [&](Host& host) { return RunEtmPanSharpen(job, counters, host); },
        [&](Host& host, const std::function<void(long, long)>& onJob) {
            return RunEtmBatch(job, counters, host, onJob);
        });
}

}  // namespace lumesta::cli
