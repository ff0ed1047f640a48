#include "fusion/pansharpen_options.h"

#include <algorithm>

#include "fusion/fusion_option_rows.h"
#include "fusion/pansharpen_browse.h"
#include "imaging/stretch_options.h"
#include "raster/file_name.h"

namespace lumesta {

namespace {

using Row = OptionRow<PanSharpenJob>;

const char kDescription[] =
    "Pan-sharpens a 16-bit pan band (QuickBird, IKONOS, OrbView-3) with four MS bands.\n"
    "--blue takes one band, a four-band .img or an Idrisi32 .rgf group; --select picks the\n"
    "Blue, Green, Red and NIR entries of such a file (1-based, default 1,2,3,4).\n";

bool IsBatchFile(const std::string& path) { return ExtensionLower(path) == "bif"; }

// The pan choice; a batch file supplies every input, so the band options are refused then.
ApplyResult SetPan(PanSharpenJob& job, const OptionUse& use)
{
    if (!BrowsePan(job, FullPath(use.Text()), use.host)) return Stopped();
    if (!job.batchMode) return Applied();
    const std::string refused = use.values.RefusedWithBatch();
    return refused.empty() ? Applied() : WrongCommandLine(refused);
}

ApplyResult SetBlue(PanSharpenJob& job, const OptionUse& use)
{
    if (job.batchMode) return Applied();
    return AppliedOrStopped(BrowseBlue(job, FullPath(use.Text()), use.host));
}

Row OtherBandRow(int band, const char* name, const char* help)
{
    Row row{FileSpec(ValueKind::InputFile, name, {".img", ".rst", ".tif"}, true, help),
            [band](PanSharpenJob& job, const OptionUse& use) {
                if (job.batchMode) return Applied();
                if (!job.browseEnabled[band]) {
                    return WrongCommandLine(use.spec.name +
                                            " cannot be used when --blue names a four-band file "
                                            "or a group");
                }
                return AppliedOrStopped(BrowseOtherBand(job, band, FullPath(use.Text()), use.host));
            }};
    row.spec.synopsis = band == kGreen ? Synopsis::Optional : Synopsis::WithPrevious;
    row.spec.notWithBatch = true;
    return row;
}

// In batch mode the four numbers are the colour band selectors (1..4); otherwise entries of
// the band lists, each within its list.
ApplyResult SetSelect(PanSharpenJob& job, const OptionUse& use)
{
    if (job.batchMode) {
        const auto select = ParseIntegerList(use.Text(), 4, 1, 4);
        if (!select) return WrongCommandLine(WrongIntegerListText(use.spec.name, 4, 1, 4));
        for (int band = kBlue; band <= kNir; ++band) SelectBand(job, band, (*select)[band] - 1);
        return Applied();
    }
    const auto select = use.Ints();
    for (int band = kBlue; band <= kNir; ++band) {
        if (select[band] > static_cast<int>(job.bandLists[band].size())) {
            return WrongCommandLine("--select names an entry beyond the band list");
        }
        SelectBand(job, band, select[band] - 1);
    }
    return Applied();
}

// Choosing a filter checks the Green and Red boxes; "none" clears them all.
ApplyResult SetFilter(PanSharpenJob& job, const OptionUse& use)
{
    const auto& choices = use.spec.choices;
    const auto found = std::find(choices.begin(), choices.end(), use.Text());
    if (found == choices.end()) return WrongCommandLine(WrongValueText(use.spec));
    // The choices are listed in the order of the dialog's radio buttons.
    job.filterType = static_cast<FilterType16>(found - choices.begin());
    job.filterFlags = job.filterType == FilterType16::None
                          ? std::array<bool, 4>{false, false, false, false}
                          : std::array<bool, 4>{false, true, true, false};
    return Applied();
}

ApplyResult SetFilterBands(PanSharpenJob& job, const OptionUse& use)
{
    if (job.filterType == FilterType16::None) {
        return WrongCommandLine("--filter-bands needs --filter sharpen or detail");
    }
    const auto flags = ParseChoiceList(use.Text(), use.spec.choices);
    if (!flags) return WrongCommandLine(WrongValueText(use.spec));
    std::copy(flags->begin(), flags->end(), job.filterFlags.begin());
    return Applied();
}

ApplyResult SetAdjust(PanSharpenJob& job, const OptionUse& use)
{
    const auto amounts = use.Ints();
    std::copy(amounts.begin(), amounts.end(), job.colourAmounts.begin());
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
                      "The Blue band, a four-band .img file or an Idrisi32 .rgf group."),
             SetBlue};
    blue.spec.synopsis = Synopsis::Plain;
    blue.spec.need = Need::RequiredUnlessBatch;
    blue.spec.notWithBatch = true;
    Row select{IntegerListSpec("--select", "B,G,R,N", 4, 1, 1000000,
                               "The selected entries of the Blue, Green, Red and NIR lists "
                               "(1-based); with a batch file the colour band selectors.",
                               "1,2,3,4"),
               SetSelect};
    select.spec.newLine = true;
    return {pan,
            blue,
            OtherBandRow(kGreen, "--green", "The Green band."),
            OtherBandRow(kRed, "--red", "The Red band."),
            OtherBandRow(kNir, "--nir", "The near-infrared band."),
            select};
}

std::vector<Row> OutputRows()
{
    Row suffix{TextSpec("--suffix", "TEXT", "Added to the input MS file names for the results.",
                        "_Fused"),
               [](PanSharpenJob& job, const OptionUse& use) {
                   SetSuffix(job, use.Text());
                   return Applied();
               }};
    Row bmp = BmpRow<PanSharpenJob>();
    bmp.spec.newLine = true;
    Row filter{ChoiceSpec(ValueKind::Choice, "--filter", {"sharpen", "detail", "none"},
                          "The spatial filter applied to the fused bands.", "sharpen"),
               SetFilter};
    filter.spec.checkedWhenSet = true;
    Row filterBands{ChoiceSpec(ValueKind::ChoiceList, "--filter-bands",
                               {"blue", "green", "red", "nir"},
                               "The bands the filter is applied to.", "green,red"),
                    SetFilterBands};
    filterBands.spec.metavar = "LIST|none";
    filterBands.spec.checkedWhenSet = true;
    filterBands.spec.newLine = true;
    Row adjust{IntegerListSpec("--adjust", "B,G,R", 3, 0, 30,
                               "The colour adjustments of the Blue, Green and Red bands.", "0,0,0"),
               SetAdjust};
    return {MethodRow<PanSharpenJob>(), suffix, bmp, ColourMatchRow<PanSharpenJob>(),
            filter, filterBands, adjust};
}

OptionTable<PanSharpenJob> MakeTable()
{
    OptionTable<PanSharpenJob> table;
    table.tool.name = "pansharpen";
    table.tool.summary = "Pan-Sharpening, 16-bit (QuickBird, IKONOS, OrbView-3)";
    table.tool.description = kDescription;
    table.tool.isBatchFile = IsBatchFile;
    for (auto rows : {InputRows(), PanSizeRows<PanSharpenJob>(), OutputRows(),
                      StretchOptionRows(&PanSharpenJob::stretch)}) {
        table.rows.insert(table.rows.end(), rows.begin(), rows.end());
    }
    RowNamed(table.rows, "--nonlinear").spec.newLine = true;
    // The picture opens in a viewer only when asked for on the command line.
    table.setRunOptions = [](PanSharpenJob& job, const OptionValues& values) {
        if (!values.Has("--display")) job.displayBmp = false;
    };
    return table;
}

}  // namespace

const OptionTable<PanSharpenJob>& PanSharpenOptions()
{
    static const OptionTable<PanSharpenJob> table = MakeTable();
    return table;
}

}  // namespace lumesta
