#include "fusion/etm_options.h"

#include <algorithm>

#include "fusion/etm_browse.h"
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

bool IsBatchFile(const std::string& path) { return ExtensionLower(path) == "bif"; }

// The pan choice; a batch file supplies every input, so the band options are refused then.
ApplyResult SetPan(EtmJob& job, const OptionUse& use)
{
    if (!BrowseEtmPan(job, FullPath(use.Text()), use.host)) return Stopped();
    if (!job.batchMode) return Applied();
    const std::string refused = use.values.RefusedWithBatch();
    return refused.empty() ? Applied() : WrongCommandLine(refused);
}

ApplyResult SetBlue(EtmJob& job, const OptionUse& use)
{
    if (job.batchMode) return Applied();
    return AppliedOrStopped(BrowseEtmBlue(job, FullPath(use.Text()), use.host));
}

Row OtherBandRow(int band, const char* name, const char* help)
{
    Row row{FileSpec(ValueKind::InputFile, name, {".img", ".rst", ".tif"}, true, help),
            [band](EtmJob& job, const OptionUse& use) {
                if (job.batchMode) return Applied();
                if (!job.browseEnabled[band]) {
                    return WrongCommandLine(use.spec.name +
                                            " cannot be used when --blue names a multi-band file "
                                            "or a group");
                }
                return AppliedOrStopped(
                    BrowseEtmOtherBand(job, band, FullPath(use.Text()), use.host));
            }};
    row.spec.synopsis = band == kEtmGreen ? Synopsis::Optional : Synopsis::WithPrevious;
    row.spec.notWithBatch = true;
    return row;
}

ApplyResult SetSelect(EtmJob& job, const OptionUse& use)
{
    const auto select = use.Ints();
    for (int band = kEtmBlue; band <= kEtmRed; ++band) {
        if (select[band] > static_cast<int>(job.bandLists[band].size())) {
            return WrongCommandLine("--select names an entry beyond the band list");
        }
        SelectEtmBand(job, band, select[band] - 1);
    }
    return Applied();
}

// Choosing a filter checks all three bands; "none" clears them.
ApplyResult SetFilter(EtmJob& job, const OptionUse& use)
{
    const auto& choices = use.spec.choices;
    const auto found = std::find(choices.begin(), choices.end(), use.Text());
    if (found == choices.end()) return WrongCommandLine(WrongValueText(use.spec));
    // The choices are listed in the order of the dialog's radio buttons.
    job.filterType = static_cast<EtmFilter>(found - choices.begin());
    const bool on = job.filterType != EtmFilter::None;
    job.filterFlags = {on, on, on};
    return Applied();
}

ApplyResult SetFilterBands(EtmJob& job, const OptionUse& use)
{
    if (job.filterType == EtmFilter::None) {
        return WrongCommandLine("--filter-bands needs a --filter other than none");
    }
    const auto flags = ParseChoiceList(use.Text(), use.spec.choices);
    if (!flags) return WrongCommandLine(WrongValueText(use.spec));
    std::copy(flags->begin(), flags->end(), job.filterFlags.begin());
    return Applied();
}

std::vector<Row> InputRows()
{
    Row pan{FileSpec(ValueKind::InputFile, "--pan", PanFileFilters(), true,
                     "The pan band; a .bif batch file runs every job it lists."),
            SetPan};
    pan.spec.synopsis = Synopsis::Plain;
    pan.spec.need = Need::Required;
    pan.spec.armsBatch = true;
    Row blue{FileSpec(ValueKind::InputFile, "--blue", {".img", ".rst", ".rgf", ".tif"}, true,
                      "The Blue band, a multi-band .img file (3 or more bands) or an Idrisi32 "
                      ".rgf group."),
             SetBlue};
    blue.spec.synopsis = Synopsis::Plain;
    blue.spec.need = Need::RequiredUnlessBatch;
    blue.spec.notWithBatch = true;
    Row select{IntegerListSpec("--select", "B,G,R", 3, 1, 1000000,
                               "The selected entries of the Blue, Green and Red lists (1-based).",
                               "1,2,3"),
               SetSelect};
    select.spec.newLine = true;
    select.spec.notWithBatch = true;
    return {pan,
            blue,
            OtherBandRow(kEtmGreen, "--green", "The Green band."),
            OtherBandRow(kEtmRed, "--red", "The Red band."),
            select};
}

std::vector<Row> OutputRows()
{
    Row suffix{TextSpec("--suffix", "TEXT", "Added to the input MS file names for the results.",
                        "_Fused"),
               [](EtmJob& job, const OptionUse& use) {
                   SetEtmSuffix(job, use.Text());
                   return Applied();
               }};
    Row bmp = BmpRow<EtmJob>();
    bmp.spec.newLine = true;
    Row filter{ChoiceSpec(ValueKind::Choice, "--filter",
                          {"smooth", "smooth-sharpen", "none", "detail", "sharpen"},
                          "The spatial filter applied to the fused bands.", "none"),
               SetFilter};
    filter.spec.checkedWhenSet = true;
    filter.spec.newLine = true;
    Row filterBands{ChoiceSpec(ValueKind::ChoiceList, "--filter-bands", {"blue", "green", "red"},
                               "The bands the filter is applied to.",
                               "all three when a filter is set, none otherwise"),
                    SetFilterBands};
    filterBands.spec.metavar = "LIST|none";
    filterBands.spec.checkedWhenSet = true;
    return {MethodRow<EtmJob>(), suffix, bmp, ColourMatchRow<EtmJob>(), filter, filterBands};
}

OptionTable<EtmJob> MakeTable()
{
    OptionTable<EtmJob> table;
    table.tool.name = "pansharpen-etm";
    table.tool.summary = "Pan-Sharpening, Landsat ETM+ (8-bit)";
    table.tool.description = kDescription;
    table.tool.runOptionsLayout = RunOptionsLayout::OwnLine;
    table.tool.isBatchFile = IsBatchFile;
    for (auto rows : {InputRows(), PanSizeRows<EtmJob>(), OutputRows(),
                      StretchOptionRows(&EtmJob::stretch)}) {
        table.rows.insert(table.rows.end(), rows.begin(), rows.end());
    }
    RowNamed(table.rows, "--cutoffs").spec.newLine = true;
    // The picture opens in a viewer only when asked for on the command line.
    table.setRunOptions = [](EtmJob& job, const OptionValues& values) {
        if (!values.Has("--display")) job.displayBmp = false;
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
