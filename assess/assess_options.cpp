#include "assess/assess_options.h"

#include <climits>

#include "assess/assess_browse.h"
#include "raster/no_data_choice.h"

namespace lumesta {

namespace {

const char kSemivarianceDescription[] =
    "Writes the semivariances of one band at 0, 45, 90 and 135 degrees for lags 1 to\n"
    "--max-lag (default 100) as a text table (default: the input name + _SemiVariance.txt).\n"
    "--band picks the band of a multi-band ENVI file (1-based, default 1); --width and\n"
    "--height are needed for a headerless file.\n";

const char kImageStatsDescription[] =
    "Writes nine statistics of one band and of its 2 x 2 averaged levels up to --level\n"
    "(default 0: the band itself) as a text table (default: the input name +\n"
    "_ImageStats.txt). --band and --width/--height as for semivariance.\n";

const char kHaarDescription[] =
    "Decomposes one band into --levels (default 1) Haar wavelet levels with coefficients\n"
    "1/2 or 1/sqrt(2) (default), written as a 32-bit float raster (default: the input name +\n"
    "_Haar.img or _Haar.rst with its header) and a grey 24-bit BMP (_Haar.bmp).\n"
    "--band and --width/--height as for semivariance.\n";

// True when the input's size is typed, not read from its header: a headerless file (not one
// read through GDAL).
bool SizeTyped(const AssessInput& input)
{
    return input.extension != "img" && input.extension != "rst" && !input.gdal;
}

// --input, --band, --width and --height, shared by the three tools: the input browse, the
// input list entry and the typed size.
template <typename Job>
std::vector<OptionRow<Job>> InputRows(bool (*browse)(Job&, const std::string&, Host&))
{
    OptionRow<Job> input{FileOption(ValueKind::InputFile, "--input", {".img", ".rst"}, true,
                                    "The input band (ENVI, Idrisi32 or a generic matrix)."),
                         [browse](Job& job, const OptionUse& use) {
                             return AppliedOrStopped(browse(job, FullPath(use.Text()), use.host));
                         }};
    input.get = [](const Job& job) {
        return job.input.inputPath.empty() ? GivenValues() : Given(job.input.inputPath);
    };
    input.def.synopsis = Synopsis::Plain;
    input.def.need = Need::Required;
    OptionRow<Job> band{
        IntegerOption("--band", "N", 1, INT_MAX,
                      "The entry of the input list (the band of a multi-band ENVI "
                      "file), 1-based.",
                      "1"),
        [](Job& job, const OptionUse& use) {
            if (use.Int() > static_cast<int>(job.input.inputList.size())) {
                return WrongCommandLine("--band names an entry beyond the input list");
            }
            SelectAssessInputEntry(job.input, use.Int() - 1);
            return Applied();
        },
        false,
        [](const Job& job) {
            return job.input.inputList.size() < 2 || job.input.listSelection < 0
                       ? GivenValues()
                       : Given(std::to_string(job.input.listSelection + 1));
        }};
    OptionRow<Job> width{
        IntegerOption("--width", "N", 0, INT_MAX, "The Width field (typed for a headerless file).",
                      "from the header"),
        [](Job& job, const OptionUse& use) {
            job.input.width = use.Int();
            return Applied();
        },
        false,
        [](const Job& job) {
            return SizeTyped(job.input) ? Given(std::to_string(job.input.width)) : GivenValues();
        }};
    OptionRow<Job> height{
        IntegerOption("--height", "N", 0, INT_MAX,
                      "The Height field (typed for a headerless file).", "from the header"),
        [](Job& job, const OptionUse& use) {
            job.input.height = use.Int();
            return Applied();
        },
        false,
        [](const Job& job) {
            return SizeTyped(job.input) ? Given(std::to_string(job.input.height)) : GivenValues();
        }};
    height.def.synopsis = Synopsis::WithPrevious;
    return {input, band, width, height};
}

// A count goes to the run unchecked: a 0 or negative count gets the tool's own message.
OptionDef CountOption(const char* name, const char* help, const char* defaultText)
{
    return IntegerOption(name, "N", INT_MIN, INT_MAX, help, defaultText);
}

template <typename Job>
OptionRow<Job> TextOutputRow(std::string Job::*field, const char* defaultText)
{
    return {FileOption(ValueKind::OutputFile, "--output", {".txt"}, true, "The text table written.",
                       defaultText),
            StoresFullPath(field), false, GivesText(field)};
}

template <typename Job>
OptionTable<Job> MakeTable(const char* name, const char* summary, const char* description,
                           bool (*browse)(Job&, const std::string&, Host&))
{
    OptionTable<Job> table;
    table.tool.name = name;
    table.tool.summary = summary;
    table.tool.description = description;
    table.tool.checkOrder = CheckOrder::RequiredFirst;
    table.rows = InputRows<Job>(browse);
    return table;
}

// --nodata V|none: samples of that value take no part (none: every sample counts).
template <typename Job>
OptionRow<Job> NoDataRow(const char* help)
{
    OptionRow<Job> row{TextOption("--nodata", "V|none", help, "none"),
                       [](Job& job, const OptionUse& use) {
                           const std::optional<NoDataChoice> choice =
                               ParseNoDataChoice(use.Text());
                           if (!choice) {
                               return WrongCommandLine(use.def.name + " takes a number or none");
                           }
                           job.noData.reset();
                           if (!choice->none) job.noData = choice->value;
                           return Applied();
                       }};
    row.def.checkedWhenSet = true;
    return row;
}

OptionTable<SemivarianceJob> MakeSemivarianceTable()
{
    auto table = MakeTable<SemivarianceJob>("semivariance", "Geostatistical Semivariance",
                                            kSemivarianceDescription, BrowseSemivarianceInput);
    OptionRow<SemivarianceJob> maxLag{
        CountOption("--max-lag", "\"Maximum Lag (Pixels):\": the largest lag in pixels.", "100"),
        StoresInt(&SemivarianceJob::maxLag), false, GivesInt(&SemivarianceJob::maxLag)};
    maxLag.def.newLine = true;
    table.rows.push_back(maxLag);
    table.rows.push_back(
        TextOutputRow(&SemivarianceJob::outputPath, "the input name + _SemiVariance.txt"));
    table.rows.push_back(NoDataRow<SemivarianceJob>(
        "The value marking no data: pairs holding it take no part in the sums or the counts."));
    return table;
}

OptionTable<ImageStatsJob> MakeImageStatsTable()
{
    auto table = MakeTable<ImageStatsJob>("stats", "Multi-Resolution Image Statistics",
                                          kImageStatsDescription, BrowseImageStatsInput);
    table.rows.push_back({CountOption("--level",
                                      "\"Level\": the highest 2 x 2 averaged level "
                                      "(0: the band itself).",
                                      "0"),
                          StoresInt(&ImageStatsJob::level), false,
                          GivesInt(&ImageStatsJob::level)});
    table.rows.push_back(
        TextOutputRow(&ImageStatsJob::outputPath, "the input name + _ImageStats.txt"));
    table.rows.back().def.newLine = true;
    table.rows.push_back(NoDataRow<ImageStatsJob>(
        "The value marking no data: those samples take no part, and a block of a higher level "
        "averages its valid samples only."));
    return table;
}

OptionTable<HaarJob> MakeHaarTable()
{
    auto table =
        MakeTable<HaarJob>("haar", "Haar Wavelet Transforms", kHaarDescription, BrowseHaarInput);
    table.tool.runOptionsLayout = RunOptionsLayout::NoDisplayQuiet;
    table.rows.push_back({CountOption("--levels", "\"Level(s)\": the decomposition levels.", "1"),
                          StoresInt(&HaarJob::levels), false, GivesInt(&HaarJob::levels)});
    OptionRow<HaarJob> form{
        ChoiceOption(ValueKind::Choice, "--form", {"half", "sqrt2"},
                     "The coefficient form: 1/2 or 1/sqrt(2).", "sqrt2"),
        [](HaarJob& job, const OptionUse& use) {
            job.form = use.Text() == "half" ? HaarForm::Half : HaarForm::InverseSqrt2;
            return Applied();
        },
        false,
        [](const HaarJob& job) { return Given(job.form == HaarForm::Half ? "half" : "sqrt2"); }};
    form.def.newLine = true;
    table.rows.push_back(form);
    table.rows.push_back(
        {FileOption(ValueKind::OutputFile, "--output", {".img", ".rst"}, true,
                    "The 32-bit float raster of the coefficients, with its header.",
                    "the input name + _Haar.img or _Haar.rst"),
         StoresFullPath(&HaarJob::outputImagePath), false, GivesText(&HaarJob::outputImagePath)});
    table.rows.push_back({FileOption(ValueKind::OutputFile, "--bmp", {".bmp"}, true,
                                     "The grey 24-bit BMP picture of the coefficients.",
                                     "the input name + _Haar.bmp"),
                          StoresFullPath(&HaarJob::bmpPath), false, GivesText(&HaarJob::bmpPath)});
    table.rows.push_back(NoDataRow<HaarJob>(
        "The value marking no data: those samples take no part (a block's approximation averages "
        "its valid samples only); a block without a valid sample is NaN in the raster and black "
        "in the picture."));
    return table;
}

}  // namespace

const OptionTable<SemivarianceJob>& SemivarianceOptions()
{
    static const OptionTable<SemivarianceJob> table = MakeSemivarianceTable();
    return table;
}

const OptionTable<ImageStatsJob>& ImageStatsOptions()
{
    static const OptionTable<ImageStatsJob> table = MakeImageStatsTable();
    return table;
}

const OptionTable<HaarJob>& HaarOptions()
{
    static const OptionTable<HaarJob> table = MakeHaarTable();
    return table;
}

}  // namespace lumesta
