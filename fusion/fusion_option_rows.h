#pragma once
// Option rows that both pan-sharpening tools declare alike: the size fields, the method, the
// picture and the colour match, over either tool's job record.

#include <climits>

#include "core/option_table.h"

namespace lumesta {

// The pan's file name endings in the dialogs' choosers; any other name is a generic matrix.
inline std::vector<std::string> PanFileFilters() { return {".img", ".rst", ".tif", ".bif"}; }

// --width N and --height N: the Width and Height fields (typed for a generic matrix).
template <typename Job>
std::vector<OptionRow<Job>> PanSizeRows()
{
    OptionRow<Job> width{IntegerSpec("--width", "N", 0, INT_MAX,
                                     "The Width field: pan width in pixels (typed for a generic "
                                     "matrix).",
                                     "from the pan header"),
                         StoresInt(&Job::width)};
    width.spec.notWithBatch = true;
    OptionRow<Job> height{IntegerSpec("--height", "N", 0, INT_MAX,
                                      "The Height field: pan height in pixels (typed for a "
                                      "generic matrix).",
                                      "from the pan header"),
                          StoresInt(&Job::height)};
    height.spec.synopsis = Synopsis::WithPrevious;
    height.spec.notWithBatch = true;
    return {width, height};
}

// --method 1|2 ("Optimisation 1" / "Optimisation 2"), --suffix is per tool, then --bmp PATH.
template <typename Job>
OptionRow<Job> MethodRow()
{
    return {IntegerSpec("--method", "1|2", 1, 2,
                        "The fusion method: 1 \"Optimisation 1\", 2 \"Optimisation 2\".", "1"),
            StoresInt(&Job::method, -1)};
}

template <typename Job>
OptionRow<Job> BmpRow()
{
    OptionRow<Job> bmp{FileSpec(ValueKind::OutputFile, "--bmp", {".bmp"}, true,
                                "The 24-bit BMP picture of the result.",
                                "derived from the pan path and suffix as the dialog does"),
                       StoresFullPath(&Job::bmpName)};
    bmp.spec.notWithBatch = true;
    return bmp;
}

template <typename Job>
OptionRow<Job> ColourMatchRow()
{
    return {FlagSpec("--colour-match", "\"Colours match with those of inputs closely\"."),
            StoresGiven(&Job::colourMatch), true};
}

}  // namespace lumesta
