#include "fusion/etm_options.h"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "batch/batch_job_rows.h"
#include "fusion/fusion_browse.h"
#include "fusion/fusion_option_rows.h"
#include "imaging/stretch_options.h"
#include "raster/file_name.h"

namespace lumesta {

namespace {

using Row = OptionRow<EtmJob>;

const char kDescription[] =
    "Pan-sharpens an 8-bit Landsat ETM+ pan band with Blue, Green and Red bands at twice its\n"
    "pixel size. --blue takes one band, a multi-band .img (3 or more bands) or an Idrisi32 .rgf\n"
    "group; --select picks the Blue, Green and Red entries of such a file (1-based, default\n"
    "1,2,3).\n";
const char kBlueSupplies[] = "a multi-band file or a group";

bool IsBatchFile(const std::string& path)
{
    return ExtensionLower(path) == "bif";
}

// --nodata, --pan-nodata, --ms-nodata: the value marking no data (none: no value).
Row NoDataRow(const char* name, NoDataChoice EtmJob::*field, const char* help)
{
    Row row{TextOption(name, "V|none", help, "none"),
            [field](EtmJob& job, const OptionUse& use) {
                const std::optional<NoDataChoice> choice = ParseNoDataChoice(use.Text());
                if (!choice) return WrongCommandLine(use.def.name + " takes a number or none");
                job.*field = *choice;
                return Applied();
            },
            false,
            [field](const EtmJob& job) -> GivenValues {
                const NoDataChoice& choice = job.*field;
                if (!choice.given) return std::nullopt;
                char text[32];
                const auto [end, error] = std::to_chars(text, text + sizeof text, choice.value);
                return std::vector<std::string>{
                    choice.none ? "none" : error == std::errc() ? std::string(text, end) : "0"};
            }};
    row.def.checkedWhenSet = true;
    row.def.notWithBatch = true;
    return row;
}

// Choosing a filter checks all three bands; "none" clears them.
std::array<bool, 3> FilterFlagsFor(EtmFilter filter)
{
    const bool on = filter != EtmFilter::None;
    return {on, on, on};
}

std::vector<Row> InputRows()
{
    Row select{IntegerListOption("--select", "B,G,R", 3, 1, 1000000,
                                 "The selected entries of the Blue, Green and Red lists (1-based).",
                                 "1,2,3"),
               [](EtmJob& job, const OptionUse& use) {
                   return SelectListEntries(job, job.bandLists, use.Ints(), SelectEtmBand);
               },
               false,
               [](const EtmJob& job) {
                   // Only a multi-band Blue file or a group offers a choice.
                   const auto& chosen = job.selectedIndex;
                   const bool choice = !job.batchMode && job.bandLists[kEtmBlue].size() > 1 &&
                                       *std::min_element(chosen.begin(), chosen.end()) >= 0;
                   return choice ? Given(JoinedNumbers(std::array<int, 3>{
                                       chosen[0] + 1, chosen[1] + 1, chosen[2] + 1}))
                                 : GivenValues();
               }};
    select.def.newLine = true;
    select.def.notWithBatch = true;
    return {
        PanRow<EtmJob>(BrowseEtmPan),
        BlueRow<EtmJob>(BrowseEtmBlue,
                        "The Blue band, a multi-band .img file (3 or more "
                        "bands) or an Idrisi32 .rgf group."),
        OtherBandRow<EtmJob>(kEtmGreen, "--green", "The Green band.", BrowseEtmOtherBand,
                             kBlueSupplies),
        OtherBandRow<EtmJob>(kEtmRed, "--red", "The Red band.", BrowseEtmOtherBand, kBlueSupplies),
        select};
}

std::vector<Row> FilterRows()
{
    Row filter = FilterRow<EtmJob>({"smooth", "smooth-sharpen", "none", "detail", "sharpen"},
                                   "none", FilterFlagsFor);
    filter.def.newLine = true;
    return {filter, FilterBandsRow<EtmJob>(
                        {"blue", "green", "red"}, "all three when a filter is set, none otherwise",
                        EtmFilter::None, "--filter-bands needs a --filter other than none")};
}

OptionTable<EtmJob> MakeTable()
{
    OptionTable<EtmJob> table;
    table.tool.name = "pansharpen-etm";
    table.tool.summary = "Pan-Sharpening, Landsat ETM+ (8-bit)";
    table.tool.description = kDescription;
    table.tool.runOptionsLayout = RunOptionsLayout::OwnLine;
    table.tool.isBatchFile = IsBatchFile;
    for (auto rows : {InputRows(), PanSizeRows<EtmJob>(), MethodAndOutputRows<EtmJob>(SetEtmSuffix),
                      FilterRows(), StretchOptionRows(&EtmJob::stretch), BatchJobRows<EtmJob>()}) {
        table.rows.insert(table.rows.end(), rows.begin(), rows.end());
    }
    table.rows.push_back({FlagOption("--quality",
                                     "After the run, append the full-resolution D_lambda, D_s "
                                     "and QNR of the result to the report."),
                          StoresGiven(&EtmJob::qualityLine), true,
                          GivesFlag(&EtmJob::qualityLine)});
    table.rows.push_back(NoDataRow("--nodata", &EtmJob::noDataOption,
                                   "The value marking no data in the pan and the MS bands: "
                                   "those pixels are no data in every fused band."));
    table.rows.push_back(NoDataRow("--pan-nodata", &EtmJob::panNoDataOption,
                                   "The value marking no data in the pan; wins over --nodata."));
    table.rows.push_back(NoDataRow("--ms-nodata", &EtmJob::msNoDataOption,
                                   "The value marking no data in the MS; wins over --nodata."));
    RowNamed(table.rows, "--cutoffs").def.newLine = true;
    RowNamed(table.rows, "--nodata").def.newLine = true;
    // The picture opens in a viewer only when asked for on the command line.
    table.setRunOptions = [](EtmJob& job, const OptionValues& values) {
        if (!values.Has("--display")) job.displayBmp = false;
    };
    table.getRunOptions = [](const EtmJob& job) {
        return job.displayBmp ? std::vector<std::string>{"--display"} : std::vector<std::string>();
    };
    return table;
}

}  // namespace

const OptionTable<EtmJob>& EtmOptions()
{
    static const OptionTable<EtmJob> table = MakeTable();
    return table;
}

}  // namespace lumesta
