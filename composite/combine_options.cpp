#include "composite/combine_options.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

#include "batch/batch_job_rows.h"
#include "composite/combine_browse.h"
#include "imaging/stretch_options.h"
#include "raster/file_name.h"
#include "raster/no_data_choice.h"

namespace lumesta {

namespace {

using Row = OptionRow<BandCombinationJob>;

const char kSharedDescription[] =
    "--blue takes one band, a multi-band .img or .tif, or an Idrisi32 .rgf group; --select\n"
    "picks the Blue, Green and Red entries of such a file (1-based, default 1,2,3).\n"
    "--geotiff also writes a three-band GeoTIFF composite for GeoTIFF inputs.\n"
    "\n";
const char kDescription16[] =
    "Makes a stretched colour composite of three 16-bit bands (QuickBird, IKONOS, OrbView-3).\n";
const char kDescription8[] =
    "Makes a stretched colour composite of three 8-bit bands (Landsat ETM+, ASTER, MODIS, "
    "SPOT).\n";

bool IsBatchFile(const std::string& path)
{
    return ExtensionLower(path) == "bif";
}

// The Blue choice; a batch file supplies every input and output, so those options are
// refused then.
ApplyResult SetBlue(BandCombinationJob& job, const OptionUse& use)
{
    const bool browsed = BrowseCombineBlue(job, FullPath(use.Text()), use.host);
    return AfterBatchArmingBrowse(browsed, job.batchMode, use.values);
}

Row OtherBandRow(int band, const char* name, const char* help)
{
    Row row{
        FileOption(ValueKind::InputFile, name, {".img", ".rst", ".tif"}, true, help),
        [band](BandCombinationJob& job, const OptionUse& use) {
            if (!job.browseEnabled[band]) {
                return WrongCommandLine(use.def.name +
                                        " cannot be used when --blue names a multi-band file "
                                        "or a group");
            }
            return AppliedOrStopped(BrowseCombineBand(job, band, FullPath(use.Text()), use.host));
        }};
    row.get = [band](const BandCombinationJob& job) {
        const bool own = !job.batchMode && job.browseEnabled[band] && !job.bandPath[band].empty();
        return own ? Given(job.bandPath[band]) : GivenValues();
    };
    row.def.synopsis = band == kCompositeGreen ? Synopsis::Optional : Synopsis::WithPrevious;
    row.def.newLine = band == kCompositeGreen;
    row.def.notWithBatch = true;
    return row;
}

// The selected list entries; with a batch file the colour band selectors.
ApplyResult SetSelect(BandCombinationJob& job, const OptionUse& use)
{
    return SelectListEntries(job, job.bandLists, use.Ints(), SelectCombineBand);
}

// The selected entries, where the lists offer a choice (a batch file, a multi-band file or a
// group fills each list with more than one entry).
GivenValues GetSelect(const BandCombinationJob& job)
{
    const auto& chosen = job.selectedIndex;
    if (job.bandLists[kCompositeBlue].size() < 2 ||
        *std::min_element(chosen.begin(), chosen.end()) < 0) {
        return std::nullopt;
    }
    return Given(JoinedNumbers(std::array<int, 3>{chosen[0] + 1, chosen[1] + 1, chosen[2] + 1}));
}

std::vector<Row> InputRows()
{
    Row blue{
        FileOption(ValueKind::InputFile, "--blue", {".img", ".rst", ".rgf", ".tif", ".bif"}, true,
                   "The Blue band, a multi-band .img or .tif file, an Idrisi32 .rgf group, "
                   "or a .bif batch file that runs every job it lists."),
        SetBlue};
    blue.get = [](const BandCombinationJob& job) {
        const std::string& path = job.batchMode ? job.batchPath : job.bluePath;
        return path.empty() ? GivenValues() : Given(path);
    };
    blue.def.synopsis = Synopsis::Plain;
    blue.def.need = Need::Required;
    blue.def.armsBatch = true;
    Row select{IntegerListOption("--select", "B,G,R", 3, 1, 1000000,
                                 "The selected entries of the Blue, Green and Red lists "
                                 "(1-based); with a batch file the colour band selectors.",
                                 "1,2,3"),
               SetSelect, false, GetSelect};
    return {blue, OtherBandRow(kCompositeGreen, "--green", "The Green band."),
            OtherBandRow(kCompositeRed, "--red", "The Red band."), select};
}

// True when the bands' size is typed, not read from a header: generic matrices.
bool SizeTyped(const BandCombinationJob& job)
{
    const std::string& kind = job.inputKind;
    return !job.batchMode && kind != ".img" && kind != ".rst" && kind != ".tif";
}

std::vector<Row> OutputRows()
{
    Row width{IntegerOption("--width", "N", 0, INT_MAX,
                            "The Width field (typed for a generic matrix).", "from the headers"),
              StoresInt(&BandCombinationJob::width)};
    width.get = [](const BandCombinationJob& job) {
        return SizeTyped(job) ? Given(std::to_string(job.width)) : GivenValues();
    };
    width.def.notWithBatch = true;
    Row height{IntegerOption("--height", "N", 0, INT_MAX,
                             "The Height field (typed for a generic matrix).", "from the headers"),
               StoresInt(&BandCombinationJob::height)};
    height.get = [](const BandCombinationJob& job) {
        return SizeTyped(job) ? Given(std::to_string(job.height)) : GivenValues();
    };
    height.def.synopsis = Synopsis::WithPrevious;
    height.def.notWithBatch = true;
    Row bmp{FileOption(ValueKind::OutputFile, "--bmp", {".bmp"}, true, "The 24-bit BMP composite.",
                       "the Blue path without its extension + _Composite.bmp"),
            StoresFullPath(&BandCombinationJob::bmpPath)};
    bmp.get = [](const BandCombinationJob& job) {
        return job.batchMode || job.bmpPath.empty() ? GivenValues() : Given(job.bmpPath);
    };
    bmp.def.notWithBatch = true;
    Row geoTiff{FlagOption("--geotiff",
                           "For inputs in GeoTIFF, also write a three-band GeoTIFF composite."),
                [](BandCombinationJob& job, const OptionUse& use) {
                    if (!job.batchMode) job.geoTiffOutput = use.Given();
                    return Applied();
                },
                true,
                [](const BandCombinationJob& job) {
                    return !job.batchMode && job.geoTiffOutput
                               ? GivenValues(std::vector<std::string>())
                               : GivenValues();
                }};
    geoTiff.def.newLine = true;
    geoTiff.def.notWithBatch = true;
    Row noData{TextOption("--nodata", "V|none",
                          "The value marking no data in the bands: left out of the stretch, "
                          "black in the picture.",
                          "none"),
               [](BandCombinationJob& job, const OptionUse& use) {
                   const std::optional<NoDataChoice> choice = ParseNoDataChoice(use.Text());
                   if (!choice) return WrongCommandLine(use.def.name + " takes a number or none");
                   job.noData.reset();
                   if (choice->none) return Applied();
                   const bool sixteen = job.depth == CombineDepth::Sixteen;
                   const double low = sixteen ? -32768 : 0;
                   const double high = sixteen ? 32767 : 255;
                   const double value = choice->value;
                   if (value != std::floor(value) || value < low || value > high) {
                       use.host.ShowMessage("The no-data value is not a value of the bands' " +
                                            std::string(sixteen ? "16" : "8") + "-bit samples.");
                       return Stopped();
                   }
                   job.noData = value;
                   return Applied();
               }};
    noData.def.checkedWhenSet = true;
    noData.def.notWithBatch = true;
    return {width, height, bmp, geoTiff, noData};
}

OptionTable<BandCombinationJob> MakeTable(CombineDepth depth)
{
    const bool sixteen = depth == CombineDepth::Sixteen;
    OptionTable<BandCombinationJob> table;
    table.tool.name = sixteen ? "combine" : "combine8";
    table.tool.summary = sixteen ? "Band Combination, 16-bit" : "Band Combination, 8-bit";
    table.tool.description =
        std::string(kSharedDescription) + (sixteen ? kDescription16 : kDescription8);
    table.tool.runOptionsLayout = RunOptionsLayout::OwnLine;
    table.tool.isBatchFile = IsBatchFile;
    for (auto rows : {InputRows(), OutputRows(), StretchOptionRows(&BandCombinationJob::stretch),
                      BatchJobRows<BandCombinationJob>()}) {
        table.rows.insert(table.rows.end(), rows.begin(), rows.end());
    }
    // The picture opens in a viewer only when asked for on the command line, never in batch.
    table.setRunOptions = [](BandCombinationJob& job, const OptionValues& values) {
        job.displayBmp = values.Has("--display") && !job.batchMode;
    };
    table.getRunOptions = [](const BandCombinationJob& job) {
        return job.displayBmp && !job.batchMode ? std::vector<std::string>{"--display"}
                                                : std::vector<std::string>();
    };
    return table;
}

}  // namespace

const OptionTable<BandCombinationJob>& CombineOptions(CombineDepth depth)
{
    static const OptionTable<BandCombinationJob> sixteen = MakeTable(CombineDepth::Sixteen);
    static const OptionTable<BandCombinationJob> eight = MakeTable(CombineDepth::Eight);
    return depth == CombineDepth::Sixteen ? sixteen : eight;
}

}  // namespace lumesta
