#include "fusion/registration/register_options.h"

#include <charconv>
#include <cmath>

#include "imaging/sensor_gains.h"

namespace lumesta {
namespace {

using Row = OptionRow<RegisterJob>;

const std::vector<std::string> kImageFilters = {".img", ".rst", ".tif"};

const char kDescription[] =
    "Estimates where the MS lies on the pan, to a fraction of a pan pixel: the pan degraded to\n"
    "the MS's scale by the sensor's MTF against an MS intensity fitted to it, over valid pixels,\n"
    "by upsampled cross-correlation in the scene's most detailed windows. dx > 0: the MS's\n"
    "content lies right of where its pixels cover the pan (ratio x ratio pan pixels each, placed\n"
    "by the georeferencing, else corners aligned); dy > 0: below. No data: the files' own unless\n"
    "--nodata, --pan-nodata or --ms-nodata say otherwise. --grid K also estimates K x K blocks,\n"
    "so a warp shows as blocks that disagree. A featureless or small scene, a low confidence or\n"
    "a warp is reported as not applicable, with the reason.\n";

Row PanRow()
{
    Row row{FileOption(ValueKind::InputFile, "--pan", kImageFilters, false, "The pan band."),
            StoresFullPath(&RegisterJob::pan)};
    row.def.metavar = "P";
    row.def.need = Need::Required;
    row.def.synopsis = Synopsis::Plain;
    return row;
}

Row MsRow()
{
    Row row{FileOption(ValueKind::InputFile, "--ms", kImageFilters, false,
                       "The MS: one multi-band file or single-band files in band order."),
            [](RegisterJob& job, const OptionUse& use) {
                for (const auto& path : use.values.Texts(use.def.name)) {
                    job.ms.push_back(FullPath(path));
                }
                return Applied();
            }};
    row.def.metavar = "M...";
    row.def.takesSeveral = true;
    row.def.need = Need::Required;
    row.def.synopsis = Synopsis::Plain;
    return row;
}

Row SensorRow()
{
    std::vector<std::string> names;
    for (const SensorGains& sensor : KnownSensors()) names.push_back(sensor.name);
    Row row{ChoiceOption(ValueKind::Choice, "--sensor", names,
                         "The sensor whose Nyquist gains shape the pan's low-pass.", "generic"),
            [](RegisterJob& job, const OptionUse& use) {
                job.sensor = use.Text();
                return Applied();
            }};
    row.def.metavar = "NAME";
    return row;
}

Row NoDataRow(const char* name, const char* help, NoDataChoice RegisterJob::*field)
{
    Row row{TextOption(name, "V|none", help), [field](RegisterJob& job, const OptionUse& use) {
                const auto choice = ParseNoDataChoice(use.Text());
                if (!choice) return WrongCommandLine(use.def.name + " takes a number or none");
                job.*field = *choice;
                return Applied();
            }};
    return row;
}

OptionTable<RegisterJob> MakeTable()
{
    OptionTable<RegisterJob> table;
    table.tool = {"register", "MS offset on the pan (registration), in pan pixels", kDescription,
                  RunOptionsLayout::OwnLine, CheckOrder::RequiredFirst};
    Row format{
        ChoiceOption(ValueKind::Choice, "--format", {"text", "json"},
                     "What standard output shows: aligned lines, or one JSON object.", "text"),
        [](RegisterJob& job, const OptionUse& use) {
            job.format = use.Text() == "json" ? RegisterFormat::Json : RegisterFormat::Text;
            return Applied();
        }};
    format.def.newLine = true;
    table.rows = {
        PanRow(),
        MsRow(),
        {IntegerOption("--ratio", "N", 1, 1 << 20,
                       "The resolution ratio pan : MS, a power of two; it must agree with the "
                       "georeferencing or the sizes.",
                       "from the images"),
         StoresInt(&RegisterJob::ratio)},
        SensorRow(),
        {IntegerOption("--grid", "K", 1, 64,
                       "Also estimate the offsets of K x K blocks of the scene.", "none"),
         StoresInt(&RegisterJob::grid)},
        format,
        NoDataRow("--nodata", "The value marking no data in the pan and the MS (none: no value).",
                  &RegisterJob::noData),
        NoDataRow("--pan-nodata", "The value marking no data in the pan; wins over --nodata.",
                  &RegisterJob::panNoData),
        NoDataRow("--ms-nodata", "The value marking no data in the MS; wins over --nodata.",
                  &RegisterJob::msNoData),
    };
    return table;
}

}  // namespace

const OptionTable<RegisterJob>& RegisterOptions()
{
    static const OptionTable<RegisterJob> table = MakeTable();
    return table;
}

}  // namespace lumesta
