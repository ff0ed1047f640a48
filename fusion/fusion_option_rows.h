#pragma once
// Option rows that both pan-sharpening tools declare alike, over either tool's job record and
// browse functions: the inputs, the size fields, the method, the suffix, the picture, the
// colour match and the spatial filter.

#include <algorithm>
#include <climits>
#include <string>

#include "core/option_table.h"
#include "fusion/fusion_method.h"
#include "raster/reader_choice.h"

namespace lumesta {

template <typename Job>
using BrowseFunction = bool (*)(Job&, const std::string&, Host&);

// --pan PATH: the pan choice; a batch file supplies every input, so the options a batch file
// refuses are refused then.
template <typename Job>
OptionRow<Job> PanRow(BrowseFunction<Job> browsePan)
{
    OptionRow<Job> pan{FileOption(ValueKind::InputFile, "--pan", {".img", ".rst", ".tif", ".bif"},
                                  true, "The pan band; a .bif batch file runs every job it lists."),
                       [browsePan](Job& job, const OptionUse& use) {
                           const bool browsed = browsePan(job, FullPath(use.Text()), use.host);
                           return AfterBatchArmingBrowse(browsed, job.batchMode, use.values);
                       }};
    pan.get = [](const Job& job) {
        const std::string& path = job.batchMode ? job.batchPath : job.panPath;
        return path.empty() ? GivenValues() : Given(path);
    };
    pan.def.synopsis = Synopsis::Plain;
    pan.def.need = Need::Required;
    pan.def.armsBatch = true;
    return pan;
}

// --blue PATH: one band, a multi-band file or a group, whose entries fill the band lists.
template <typename Job>
OptionRow<Job> BlueRow(BrowseFunction<Job> browseBlue, const char* help)
{
    OptionRow<Job> blue{
        FileOption(ValueKind::InputFile, "--blue", {".img", ".rst", ".rgf", ".tif"}, true, help),
        [browseBlue](Job& job, const OptionUse& use) {
            if (job.batchMode) return Applied();
            return AppliedOrStopped(browseBlue(job, FullPath(use.Text()), use.host));
        }};
    blue.get = [](const Job& job) {
        return job.batchMode || job.bluePath.empty() ? GivenValues() : Given(job.bluePath);
    };
    blue.def.synopsis = Synopsis::Plain;
    blue.def.need = Need::RequiredUnlessBatch;
    blue.def.notWithBatch = true;
    return blue;
}

// --green, --red (, --nir): a single band each, refused when --blue supplied that band.
template <typename Job>
OptionRow<Job> OtherBandRow(int band, const char* name, const char* help,
                            bool (*browseBand)(Job&, int, const std::string&, Host&),
                            const char* blueSupplies)
{
    OptionRow<Job> row{
        FileOption(ValueKind::InputFile, name, {".img", ".rst", ".tif"}, true, help),
        [band, browseBand, blueSupplies](Job& job, const OptionUse& use) {
            if (job.batchMode) return Applied();
            if (!job.browseEnabled[band]) {
                return WrongCommandLine(use.def.name + " cannot be used when --blue names " +
                                        blueSupplies);
            }
            return AppliedOrStopped(browseBand(job, band, FullPath(use.Text()), use.host));
        }};
    row.get = [band](const Job& job) {
        const bool own = !job.batchMode && job.browseEnabled[band] && !job.msPath[band].empty();
        return own ? Given(job.msPath[band]) : GivenValues();
    };
    row.def.synopsis = band == 1 ? Synopsis::Optional : Synopsis::WithPrevious;
    row.def.notWithBatch = true;
    return row;
}

// True when the pan's size is typed, not read from its header: a generic matrix.
template <typename Job>
bool PanSizeTyped(const Job& job)
{
    return !job.batchMode && job.panExt != "img" && job.panExt != "rst" &&
           !IsExtractedExtension(job.panExt);
}

// --width N and --height N: the Width and Height fields (typed for a generic matrix).
template <typename Job>
std::vector<OptionRow<Job>> PanSizeRows()
{
    OptionRow<Job> width{IntegerOption("--width", "N", 0, INT_MAX,
                                       "The Width field: pan width in pixels (typed for a generic "
                                       "matrix).",
                                       "from the pan header"),
                         StoresInt(&Job::width)};
    width.get = [](const Job& job) {
        return PanSizeTyped(job) ? Given(std::to_string(job.width)) : GivenValues();
    };
    width.def.notWithBatch = true;
    OptionRow<Job> height{IntegerOption("--height", "N", 0, INT_MAX,
                                        "The Height field: pan height in pixels (typed for a "
                                        "generic matrix).",
                                        "from the pan header"),
                          StoresInt(&Job::height)};
    height.get = [](const Job& job) {
        return PanSizeTyped(job) ? Given(std::to_string(job.height)) : GivenValues();
    };
    height.def.synopsis = Synopsis::WithPrevious;
    height.def.notWithBatch = true;
    return {width, height};
}

// --method 1|2 ("Optimisation 1" / "Optimisation 2"), --suffix TEXT, --bmp PATH (on a
// continuation line) and --colour-match.
template <typename Job>
std::vector<OptionRow<Job>> MethodAndOutputRows(void (*setSuffix)(Job&, const std::string&))
{
    OptionRow<Job> method{
        IntegerOption("--method", "1|2", 1, 2,
                      "The fusion method: 1 \"Optimisation 1\", 2 \"Optimisation 2\".", "1"),
        [](Job& job, const OptionUse& use) {
            job.method = FindMethod(std::to_string(use.Int()))->method;  // "1" or "2"
            return Applied();
        },
        false,
        [](const Job& job) { return Given(MethodRowOf(job.method).name); }};
    OptionRow<Job> suffix{
        TextOption("--suffix", "TEXT", "Added to the input MS file names for the results.",
                   "_Fused"),
        [setSuffix](Job& job, const OptionUse& use) {
            setSuffix(job, use.Text());
            return Applied();
        },
        false,
        [](const Job& job) { return job.suffix == "_Fused" ? GivenValues() : Given(job.suffix); }};
    OptionRow<Job> bmp{FileOption(ValueKind::OutputFile, "--bmp", {".bmp"}, true,
                                  "The 24-bit BMP picture of the result.",
                                  "derived from the pan path and suffix as the dialog does"),
                       StoresFullPath(&Job::bmpName)};
    bmp.get = [](const Job& job) {
        return job.batchMode || job.bmpName.empty() ? GivenValues() : Given(job.bmpName);
    };
    bmp.def.notWithBatch = true;
    bmp.def.newLine = true;
    OptionRow<Job> colourMatch{
        FlagOption("--colour-match", "\"Colours match with those of inputs closely\"."),
        StoresGiven(&Job::colourMatch), true, GivesFlag(&Job::colourMatch)};
    return {method, suffix, bmp, colourMatch};
}

// --filter NAME: the choices in the order of the dialog's radio buttons; flagsFor gives the
// band boxes a choice checks. The name is checked when set, as the dialog's choice is made.
template <typename Job, typename Filter, typename Flags>
OptionRow<Job> FilterRow(std::vector<std::string> choices, const char* defaultText,
                         Flags (*flagsFor)(Filter))
{
    OptionRow<Job> filter{
        ChoiceOption(ValueKind::Choice, "--filter", std::move(choices),
                     "The spatial filter applied to the fused bands.", defaultText),
        [flagsFor](Job& job, const OptionUse& use) {
            const auto& names = use.def.choices;
            const auto found = std::find(names.begin(), names.end(), use.Text());
            if (found == names.end()) return WrongCommandLine(WrongValueText(use.def));
            job.filterType = static_cast<Filter>(found - names.begin());
            job.filterFlags = flagsFor(job.filterType);
            return Applied();
        }};
    filter.get = [names = filter.def.choices](const Job& job) {
        return Given(names[static_cast<std::size_t>(job.filterType)]);
    };
    filter.def.checkedWhenSet = true;
    return filter;
}

// --filter-bands LIST|none: the band boxes, refused while no filter is chosen.
template <typename Job, typename Filter>
OptionRow<Job> FilterBandsRow(std::vector<std::string> bands, const char* defaultText, Filter none,
                              const char* needsFilter)
{
    OptionRow<Job> filterBands{
        ChoiceOption(ValueKind::ChoiceList, "--filter-bands", std::move(bands),
                     "The bands the filter is applied to.", defaultText),
        [none, needsFilter](Job& job, const OptionUse& use) {
            if (job.filterType == none) return WrongCommandLine(needsFilter);
            const auto flags = ParseChoiceList(use.Text(), use.def.choices);
            if (!flags) return WrongCommandLine(WrongValueText(use.def));
            std::copy(flags->begin(), flags->end(), job.filterFlags.begin());
            return Applied();
        }};
    filterBands.get = [none, choices = filterBands.def.choices](const Job& job) {
        return job.filterType == none ? GivenValues()
                                      : Given(JoinedChoices(job.filterFlags, choices));
    };
    filterBands.def.metavar = "LIST|none";
    filterBands.def.checkedWhenSet = true;
    return filterBands;
}

}  // namespace lumesta
