#include "workflows/quality_options.h"

#include <climits>
#include <cmath>

#include "imaging/sensor_gains.h"
#include "raster/header_fields.h"

namespace lumesta {
namespace {

using Row = OptionRow<QualityJob>;

const std::vector<std::string> kImageFilters = {".img", ".rst", ".tif"};

const char kReducedDescription[] =
    "Measures a fused image against a reference on the same grid: ERGAS, SAM, Q2n, Q, SCC and\n"
    "Q per band. F... and R... are single-band files in band order or one multi-band file:\n"
    "ENVI, Idrisi32, GeoTIFF (any integer or float type) or headerless matrices (--width,\n"
    "--height, --bytes). Only the results go to standard output; --log FILE appends a report\n"
    "block. --map writes the per-block Q2n as a float TIFF.\n";

const char kFullDescription[] =
    "Measures a fused image against the MS and pan it was fused from: D_lambda, D_s and QNR.\n"
    "The MS is upsampled with the 23-tap interpolator; the pan is degraded with the sensor's\n"
    "MTF (worldview2, quickbird, ikonos, worldview3, geoeye1, generic: its gains for the band\n"
    "count). --map writes the per-block QNR as a float TIFF. A headerless MS is 1/ratio of the\n"
    "typed size. No data (each file's own, or --nodata) takes no part in the block statistics.\n";

const char kWaldDescription[] =
    "Degrades the pan and MS by the ratio (MTF-matched to --sensor), fuses them with each\n"
    "method that takes the scene (or each --method) exactly as pansharpen would with its\n"
    "defaults (but the MS placed as it lies unless --register says otherwise), and prints\n"
    "ERGAS, SAM, Q2n, Q, SCC and Q per band of every result against the MS. --keep writes the\n"
    "degraded inputs (pan.tif, ms.tif) and each method's result there.\n";

const char kDegradeDescription[] =
    "Writes DIR/pan.tif and DIR/ms.tif: the pan and MS filtered to the sensor's MTF and\n"
    "decimated by the ratio, in the inputs' sample types, for putting any other fusion tool\n"
    "through the reduced-resolution protocol.\n";

// A list of image files: every argument up to the next option.
Row BandListRow(const char* name, const char* metavar, const char* help,
                std::vector<std::string> QualityJob::*field)
{
    Row row{FileOption(ValueKind::InputFile, name, kImageFilters, true, help),
            [field](QualityJob& job, const OptionUse& use) {
                for (const auto& path : use.values.Texts(use.def.name)) {
                    (job.*field).push_back(FullPath(path));
                }
                return Applied();
            },
            false,
            [field](const QualityJob& job) {
                return (job.*field).empty() ? GivenValues() : GivenValues(job.*field);
            }};
    row.def.metavar = metavar;
    row.def.takesSeveral = true;
    row.def.need = Need::Required;
    row.def.synopsis = Synopsis::Plain;
    return row;
}

Row PanRow()
{
    Row row{FileOption(ValueKind::InputFile, "--pan", kImageFilters, true, "The pan band."),
            StoresFullPath(&QualityJob::pan), false, GivesText(&QualityJob::pan)};
    row.def.metavar = "P";
    row.def.need = Need::Required;
    row.def.synopsis = Synopsis::Plain;
    return row;
}

std::vector<Row> CommonRows()
{
    Row ratio{IntegerOption("--ratio", "N", 1, 1 << 20,
                            "The resolution ratio pan : MS, a power of two.", "4"),
              [](QualityJob& job, const OptionUse& use) {
                  job.ratio = use.Int();
                  job.ratioGiven = true;
                  return Applied();
              },
              false, GivesInt(&QualityJob::ratio)};
    Row width{IntegerOption("--width", "W", 1, INT_MAX,
                            "The width of a headerless matrix (the pan's or fused image's).")};
    width.set = [](QualityJob& job, const OptionUse& use) {
        job.generic.width = use.Int();
        return Applied();
    };
    // A headerless matrix's size, when one was given.
    const auto generic = [](int GenericSize::*field) {
        return [field](const QualityJob& job) {
            return job.generic.*field > 0 ? Given(std::to_string(job.generic.*field))
                                          : GivenValues();
        };
    };
    width.get = generic(&GenericSize::width);
    width.def.newLine = true;
    Row height{IntegerOption("--height", "H", 1, INT_MAX, "The height of a headerless matrix."),
               [](QualityJob& job, const OptionUse& use) {
                   job.generic.height = use.Int();
                   return Applied();
               },
               false, generic(&GenericSize::height)};
    height.def.synopsis = Synopsis::WithPrevious;
    Row bytes{IntegerOption("--bytes", "1|2", 1, 2,
                            "The sample size of a headerless matrix: 1 (unsigned) or 2 (signed)."),
              [](QualityJob& job, const OptionUse& use) {
                  job.generic.bytes = use.Int();
                  return Applied();
              },
              false,
              [](const QualityJob& job) {
                  return job.generic.width > 0 ? Given(std::to_string(job.generic.bytes))
                                               : GivenValues();
              }};
    bytes.def.synopsis = Synopsis::WithPrevious;
    return {ratio, width, height, bytes};
}

Row SensorRow()
{
    std::vector<std::string> names;
    for (const SensorGains& sensor : KnownSensors()) names.push_back(sensor.name);
    Row row{
        ChoiceOption(ValueKind::Choice, "--sensor", names,
                     "The sensor whose Nyquist gains shape the MTF-matched filters.", "generic"),
        [](QualityJob& job, const OptionUse& use) {
            job.sensor = use.Text();
            return Applied();
        },
        false, GivesText(&QualityJob::sensor)};
    row.def.metavar = "NAME";
    return row;
}

Row FormatRow()
{
    Row row{ChoiceOption(ValueKind::Choice, "--format", {"text", "json", "csv"},
                         "What standard output shows: an aligned table, one JSON object per "
                         "method, or CSV.",
                         "text")};
    row.def.newLine = true;
    return row;
}

Row FolderRow(const char* name, const char* help, std::string QualityJob::*field)
{
    Row row{TextOption(name, "DIR", help), StoresFullPath(field),  // a folder, made when missing
            false, GivesText(field)};
    row.def.metavar = "DIR";
    return row;
}

// --nodata V|none and its per-input forms.
Row NoDataRow(const char* name, const char* help, NoDataChoice QualityJob::*field)
{
    Row row{TextOption(name, "V|none", help), [field](QualityJob& job, const OptionUse& use) {
                NoDataChoice choice;
                choice.given = true;
                choice.none = use.Text() == "none";
                if (!choice.none) {
                    const std::optional<double> value = ParseHeaderNumber(use.Text());
                    if (!value || !std::isfinite(*value))
                        return WrongCommandLine(WrongValueText(use.def));
                    choice.value = *value;
                }
                job.*field = choice;
                return Applied();
            }};
    return row;
}

std::vector<Row> NoDataRows(bool perInput)
{
    std::vector<Row> rows{
        NoDataRow("--nodata",
                  "The value marking no data in every input (none: ignore the files' own); by "
                  "default each file's own declaration.",
                  &QualityJob::noData)};
    rows.front().def.newLine = true;
    if (!perInput) return rows;
    rows.push_back(NoDataRow("--pan-nodata", "The same for the pan; wins over --nodata.",
                             &QualityJob::panNoData));
    rows.push_back(NoDataRow("--ms-nodata", "The same for the MS; wins over --nodata.",
                             &QualityJob::msNoData));
    return rows;
}

Row MapRow(const char* help)
{
    Row row{FileOption(ValueKind::OutputFile, "--map", {".tif"}, true, help),
            StoresFullPath(&QualityJob::mapPath), false, GivesText(&QualityJob::mapPath)};
    row.def.metavar = "FILE.tif";
    return row;
}

OptionTable<QualityJob> MakeTable(QualityProtocol protocol)
{
    OptionTable<QualityJob> table;
    std::vector<Row>& rows = table.rows;
    const std::vector<Row> common = CommonRows();
    switch (protocol) {
        case QualityProtocol::Reduced:
            table.tool = {
                "quality reduced", "Fusion quality against a reference (ERGAS, SAM, Q2n, Q, SCC)",
                kReducedDescription, RunOptionsLayout::OwnLine, CheckOrder::RequiredFirst};
            rows = {
                BandListRow("--fused", "F...", "The fused bands.", &QualityJob::fused),
                BandListRow("--reference", "R...", "The reference bands.", &QualityJob::reference),
                common[0],
                {IntegerOption("--cut", "N", 0, INT_MAX,
                               "Pixels left out at every border before measuring.", "0"),
                 StoresInt(&QualityJob::cut), false, [](const QualityJob& job) {
                     return job.cut == 0 ? GivenValues() : Given(std::to_string(job.cut));
                 }}};
            break;
        case QualityProtocol::Full:
            table.tool = {"quality full", "Fusion quality without a reference (D_lambda, D_s, QNR)",
                          kFullDescription, RunOptionsLayout::OwnLine, CheckOrder::RequiredFirst};
            rows = {BandListRow("--fused", "F...", "The fused bands.", &QualityJob::fused),
                    BandListRow("--ms", "M...", "The MS bands it was fused from.", &QualityJob::ms),
                    PanRow(), common[0], SensorRow()};
            break;
        case QualityProtocol::Wald:
            table.tool = {"quality wald",
                          "Fusion quality of each fusion method on your scene (Wald)",
                          kWaldDescription, RunOptionsLayout::OwnLine, CheckOrder::RequiredFirst};
            rows = {PanRow(), BandListRow("--ms", "M...", "The MS bands.", &QualityJob::ms),
                    common[0], SensorRow()};
            rows.push_back({TextOption("--method", "NAME",
                                       "A fusion method to test (all when none is given)."),
                            [](QualityJob& job, const OptionUse& use) {
                                job.methods = use.values.Texts(use.def.name);
                                return Applied();
                            },
                            false,
                            [](const QualityJob& job) {
                                return job.methods.empty() ? GivenValues()
                                                           : GivenValues(job.methods);
                            }});
            rows.back().def.repeatable = true;
            rows.push_back(FolderRow("--keep",
                                     "Keep the degraded inputs and each method's result here.",
                                     &QualityJob::keepFolder));
            rows.push_back(
                {TextOption("--register", "auto|off|DX,DY",
                            "Where the detail-injection methods place the reduced MS on the "
                            "reduced pan: off as it lies, auto at its estimated offset, DX,DY "
                            "at that offset in reduced pan pixels.",
                            "off"),
                 [](QualityJob& job, const OptionUse& use) {
                     const auto choice = ParseRegisterChoice(use.Text());
                     if (!choice) {
                         return WrongCommandLine(
                             "--register takes auto, off or two numbers DX,DY");
                     }
                     job.registerChoice = *choice;
                     return Applied();
                 }});
            break;
        case QualityProtocol::Degrade:
            table.tool = {"degrade", "Degrade a pan and MS to the reduced scale for other tools",
                          kDegradeDescription, RunOptionsLayout::OwnLine,
                          CheckOrder::RequiredFirst};
            rows = {PanRow(), BandListRow("--ms", "M...", "The MS bands.", &QualityJob::ms),
                    FolderRow("--out", "The folder of pan.tif and ms.tif.", &QualityJob::outFolder),
                    common[0], SensorRow()};
            rows[2].def.need = Need::Required;
            rows[2].def.synopsis = Synopsis::Plain;
            break;
    }
    if (protocol != QualityProtocol::Degrade) rows.push_back(FormatRow());
    if (protocol == QualityProtocol::Reduced)
        rows.push_back(MapRow("Also write the per-block Q2n as a float TIFF."));
    if (protocol == QualityProtocol::Full)
        rows.push_back(MapRow("Also write the per-block QNR as a float TIFF."));
    const std::vector<Row> noData = NoDataRows(protocol != QualityProtocol::Reduced);
    rows.insert(rows.end(), noData.begin(), noData.end());
    rows.insert(rows.end(), common.begin() + 1, common.end());
    table.setRunOptions = [protocol](QualityJob& job, const OptionValues&) {
        job.protocol = protocol;
    };
    return table;
}

}  // namespace

const OptionTable<QualityJob>& QualityOptions(QualityProtocol protocol)
{
    static const OptionTable<QualityJob> tables[] = {
        MakeTable(QualityProtocol::Reduced), MakeTable(QualityProtocol::Full),
        MakeTable(QualityProtocol::Wald), MakeTable(QualityProtocol::Degrade)};
    return tables[static_cast<int>(protocol)];
}

}  // namespace lumesta
