#include "fusion/pansharpen_options.h"

#include "batch/batch_job_rows.h"
#include "fusion/delivery/delivery_options.h"
#include "fusion/fusion_option_rows.h"
#include "fusion/fusion_browse.h"
#include "imaging/sensor_gains.h"
#include "imaging/stretch_options.h"
#include "raster/file_name.h"

namespace lumesta {

namespace {

using Row = OptionRow<PanSharpenJob>;

const char kDescription[] =
    "Pan-sharpens a 16-bit pan band (QuickBird, IKONOS, OrbView-3) with four MS bands.\n"
    "--blue takes one band, a four-band .img or an Idrisi32 .rgf group; --select picks the\n"
    "Blue, Green, Red and NIR entries of such a file (1-based, default 1,2,3,4).\n"
    "--ms takes instead one multi-band MS file of any format the program reads (3 to 16\n"
    "bands) and fuses every band with a detail-injection method into one multi-band file.\n";
const char kBlueSupplies[] = "a four-band file or a group";

bool IsBatchFile(const std::string& path)
{
    return ExtensionLower(path) == "bif";
}

// In batch mode the four numbers are the colour band selectors (1..4); otherwise entries of
// the band lists, each within its list.
ApplyResult SetSelect(PanSharpenJob& job, const OptionUse& use)
{
    if (!job.batchMode) return SelectListEntries(job, job.bandLists, use.Ints(), SelectBand);
    const auto select = ParseIntegerList(use.Text(), 4, 1, 4);
    if (!select) return WrongCommandLine(WrongIntegerListText(use.def.name, 4, 1, 4));
    for (int band = kBlue; band <= kNir; ++band) SelectBand(job, band, (*select)[band] - 1);
    return Applied();
}

// The selected entries, where there is a choice: the colour band selectors of a batch file, or
// the entries of a multi-band Blue file or group.
GivenValues GetSelect(const PanSharpenJob& job)
{
    if (!job.batchMode && job.bandLists[kBlue].size() < 2) return std::nullopt;
    std::array<int, 4> entries{};
    for (int band = kBlue; band <= kNir; ++band) {
        if (job.selectedIndex[band] < 0) return std::nullopt;
        entries[band] = job.selectedIndex[band] + 1;
    }
    return Given(JoinedNumbers(entries));
}

std::vector<Row> InputRows()
{
    Row select{IntegerListOption("--select", "B,G,R,N", 4, 1, 1000000,
                                 "The selected entries of the Blue, Green, Red and NIR lists "
                                 "(1-based); with a batch file the colour band selectors.",
                                 "1,2,3,4"),
               SetSelect, false, GetSelect};
    select.def.newLine = true;
    return {
        PanRow<PanSharpenJob>(BrowsePan),
        BlueRow<PanSharpenJob>(BrowseBlue,
                               "The Blue band, a four-band .img file or an "
                               "Idrisi32 .rgf group."),
        OtherBandRow<PanSharpenJob>(kGreen, "--green", "The Green band.", BrowseOtherBand,
                                    kBlueSupplies),
        OtherBandRow<PanSharpenJob>(kRed, "--red", "The Red band.", BrowseOtherBand, kBlueSupplies),
        OtherBandRow<PanSharpenJob>(kNir, "--nir", "The near-infrared band.", BrowseOtherBand,
                                    kBlueSupplies),
        select};
}

std::vector<Row> FilterRows()
{
    Row filterBands = FilterBandsRow<PanSharpenJob>(
        {"blue", "green", "red", "nir"}, "green,red", FilterType16::None,
        "--filter-bands needs --filter sharpen or detail");
    filterBands.def.newLine = true;
    Row adjust{
        IntegerListOption("--adjust", "B,G,R", 3, 0, 30,
                          "The colour adjustments of the Blue, Green and Red bands.", "0,0,0"),
        [](PanSharpenJob& job, const OptionUse& use) {
            const auto amounts = use.Ints();
            std::copy(amounts.begin(), amounts.end(), job.colourAmounts.begin());
            return Applied();
        },
        false,
        [](const PanSharpenJob& job) {
            return job.colourAmounts == std::array<int, 3>{}
                       ? GivenValues()
                       : Given(JoinedNumbers(job.colourAmounts));
        }};
    return {FilterRow<PanSharpenJob>({"sharpen", "detail", "none"}, "sharpen", DefaultFilterFlags),
            filterBands, adjust};
}

// "four" for 4: how the --method help counts the methods that default to --filter none.
std::string CountWord(std::size_t count)
{
    static const char* const kWords[] = {"no",    "one",  "two", "three", "four",   "five",
                                         "six",   "seven", "eight", "nine", "ten",   "eleven",
                                         "twelve"};
    return count < std::size(kWords) ? kWords[count] : std::to_string(count);
}

// "a, b and c".
std::string JoinedWithAnd(const std::vector<std::string>& names)
{
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
        text += names[i];
    }
    return text;
}

}  // namespace

// --method: every method of the table by its name. Choosing one sets its default spatial filter
// (--filter may set another).
OptionRow<PanSharpenJob> MethodOption(const MethodTable& methods)
{
    std::vector<std::string> names;
    std::string help = "The fusion method: ";
    std::size_t filterless = 0;
    for (const FusionMethodRow& row : methods) {
        help += (names.empty() ? "" : ", ") + std::string(row.name) + " " + row.summary;
        names.push_back(row.name);
        if (row.defaultFilter == FilterType16::None) ++filterless;
    }
    help += ".";
    if (filterless > 0) help += " The last " + CountWord(filterless) + " default to --filter none.";
    help += " auto: the classical method with the best quality on this scene at reduced "
            "resolution; the report lists every candidate's scores. With --ms the default is "
            "glp-hpm.";
    names.push_back(kAutoMethodName);
    Row method{ChoiceOption(ValueKind::Choice, "--method", names, help, names.front()),
               [methods](PanSharpenJob& job, const OptionUse& use) {
                   if (use.Text() == kAutoMethodName) {
                       job.autoMethod.requested = true;
                       job.autoMethod.filterType = job.filterType;
                       job.autoMethod.filterFlags = job.filterFlags;
                       return Applied();
                   }
                   const FusionMethodRow* row = FindMethod(use.Text(), methods);
                   if (!row) return WrongCommandLine(WrongValueText(use.def));
                   job.autoMethod.requested = false;
                   ChooseMethod(job, *row);
                   return Applied();
               }};
    method.get = [](const PanSharpenJob& job) { return Given(MethodRowOf(job.method).name); };
    method.def.checkedWhenSet = true;
    return method;
}

namespace {

Row SensorRow()
{
    std::vector<std::string> names;
    for (const SensorGains& sensor : KnownSensors()) names.push_back(sensor.name);
    std::vector<std::string> matched;
    for (const FusionMethodRow& row : FusionMethods()) {
        if (row.needsSensor) matched.push_back(row.name);
    }
    Row sensor{ChoiceOption(ValueKind::Choice, "--sensor", names,
                            "The sensor whose Nyquist gains shape the MTF-matched filters of " +
                                JoinedWithAnd(matched) + ".",
                            "generic"),
               [names](PanSharpenJob& job, const OptionUse& use) {
                   if (std::find(names.begin(), names.end(), use.Text()) == names.end()) {
                       return WrongCommandLine(WrongValueText(use.def));
                   }
                   job.sensor = use.Text();
                   return Applied();
               },
               false, GivesText(&PanSharpenJob::sensor)};
    sensor.def.checkedWhenSet = true;
    return sensor;
}

// --register auto|off|DX,DY: where the detail-injection methods place the MS on the pan.
Row RegisterRow()
{
    Row row{TextOption("--register", "auto|off|DX,DY",
                       "Where the detail-injection methods place the MS on the pan: auto estimates "
                       "its offset (applied unless it is uncertain), off takes it as it lies, DX,DY "
                       "gives it in pan pixels (right and down). Methods 1 and 2 never register.",
                       "auto"),
            [](PanSharpenJob& job, const OptionUse& use) {
                const auto choice = ParseRegisterChoice(use.Text());
                if (!choice) return WrongCommandLine("--register takes auto, off or two numbers DX,DY");
                job.registerChoice = *choice;
                return Applied();
            },
            false,
            [](const PanSharpenJob& job) -> GivenValues {
                if (job.registerChoice.mode == RegisterMode::Auto) return std::nullopt;
                return std::vector<std::string>{RegisterChoiceText(job.registerChoice)};
            }};
    row.def.newLine = true;
    return row;
}

OptionTable<PanSharpenJob> MakeTable()
{
    OptionTable<PanSharpenJob> table;
    table.tool.name = "pansharpen";
    table.tool.summary = "Pan-Sharpening, 16-bit (QuickBird, IKONOS, OrbView-3)";
    table.tool.description = kDescription;
    table.tool.isBatchFile = IsBatchFile;
    for (auto rows : {InputRows(), DeliveryOptionRows(), PanSizeRows<PanSharpenJob>(),
                      MethodAndOutputRows<PanSharpenJob>(SetSuffix), FilterRows(),
                      StretchOptionRows(&PanSharpenJob::stretch), BatchJobRows<PanSharpenJob>()}) {
        table.rows.insert(table.rows.end(), rows.begin(), rows.end());
    }
    table.rows.push_back({FlagOption("--quality",
                                     "After the run, append the full-resolution D_lambda, D_s "
                                     "and QNR of the result to the report."),
                          StoresGiven(&PanSharpenJob::qualityLine), true,
                          GivesFlag(&PanSharpenJob::qualityLine)});
    RowNamed(table.rows, "--method") = MethodOption(FusionMethods());
    const auto filter = std::find_if(table.rows.begin(), table.rows.end(),
                                     [](const Row& row) { return row.def.name == "--filter"; });
    table.rows.insert(table.rows.insert(filter, SensorRow()) + 1, RegisterRow());
    RowNamed(table.rows, "--nonlinear").def.newLine = true;
    AdaptRowsForDelivery(table.rows);
    // The picture opens in a viewer only when asked for on the command line.
    table.setRunOptions = [](PanSharpenJob& job, const OptionValues& values) {
        if (!values.Has("--display")) job.displayBmp = false;
    };
    table.getRunOptions = [](const PanSharpenJob& job) {
        return job.displayBmp ? std::vector<std::string>{"--display"} : std::vector<std::string>();
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
