#include "fusion/delivery/delivery_options.h"

#include <algorithm>
#include <charconv>

#include "fusion/fusion_browse.h"
#include "fusion/fusion_method.h"
#include "raster/file_name.h"

namespace lumesta {
namespace {

using Row = OptionRow<PanSharpenJob>;

// The method of a delivery run without --method.
const char kMsDefaultMethod[] = "glp-hpm";

const char kBlueWithMs[] =
    "--ms names every MS band of the run: --blue, --green, --red, --nir and --select cannot be "
    "used with it.";

// The options of the four-band runs that a delivery run does not take.
const char* const kNotWithMs[] = {"--filter", "--filter-bands", "--adjust", "--colour-match",
                                  "--quality"};

// Options that only mean something with --ms.
ApplyResult NeedsMs(const OptionUse& use)
{
    if (use.values.Has("--ms")) return Applied();
    return WrongCommandLine(use.def.name + " needs --ms");
}

// A delivery field as its option gives it back; nothing while it is not set.
Row::Getter GivesDeliveryText(std::string DeliveryJob::*field)
{
    return [field](const PanSharpenJob& job) -> GivenValues {
        if ((job.delivery.*field).empty()) return std::nullopt;
        return std::vector<std::string>{job.delivery.*field};
    };
}

// A number as the option reads it back: the shortest decimals that give the same value.
std::string NumberText(double value)
{
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, end) : std::string("0");
}

// --output and --format: one result of the run's bands, with --ms or with --blue ..., never for
// a batch file's many jobs.
ApplyResult NotWithBatch(const PanSharpenJob& job, const OptionUse& use)
{
    if (job.batchMode) return WrongCommandLine(use.def.name + " cannot be used with a batch file");
    return Applied();
}

Row MsRow()
{
    Row ms{FileOption(ValueKind::InputFile, "--ms", {".tif", ".img", ".jp2", ".vrt", ".ntf"}, true,
                      "One multi-band MS file (3 to 16 bands), every band fused by a "
                      "detail-injection method into one multi-band result."),
           [](PanSharpenJob& job, const OptionUse& use) {
               for (const char* name : kNotWithMs) {
                   if (use.values.Has(name)) {
                       return WrongCommandLine(std::string(name) + " cannot be used with --ms");
                   }
               }
               if (job.batchMode) return WrongCommandLine("--ms cannot be used with a batch file");
               job.delivery.msPath = FullPath(use.Text());
               job.delivery.bmpGiven = use.values.Has("--bmp");
               // Methods 1 and 2 fuse four bands only: without --method a delivery takes
               // glp-hpm (--method, when given, chooses after this).
               if (!use.values.Has("--method")) {
                   if (const FusionMethodRow* row = FindMethod(kMsDefaultMethod)) {
                       ChooseMethod(job, *row);
                   }
               }
               return Applied();
           },
           false, GivesDeliveryText(&DeliveryJob::msPath)};
    ms.def.newLine = true;
    ms.def.emptyRefused = true;
    return ms;
}

Row OutputRow()
{
    return {FileOption(ValueKind::OutputFile, "--output", {".tif", ".img"}, true,
                       "The fused MS as one multi-band file (never one of the inputs).",
                       "with --ms: the MS name, the suffix and the format's extension, beside "
                       "the MS; without --ms: the bands' own files"),
            [](PanSharpenJob& job, const OptionUse& use) {
                if (auto refused = NotWithBatch(job, use); refused.status != ApplyStatus::Applied) {
                    return refused;
                }
                job.delivery.outputPath = FullPath(use.Text());
                return Applied();
            },
            false, GivesDeliveryText(&DeliveryJob::outputPath)};
}

Row FormatRow()
{
    return {ChoiceOption(ValueKind::Choice, "--format", {"envi", "geotiff", "cog"},
                         "The result's format: ENVI BSQ (.img and .hdr), GeoTIFF, or Cloud "
                         "Optimized GeoTIFF.",
                         "by --output's extension (.img: envi; .tif, .tiff: geotiff, or cog "
                         "with --ms and GeoTIFF or GDAL inputs); else with --ms cog for GeoTIFF "
                         "or GDAL inputs, envi otherwise; else envi"),
            [](PanSharpenJob& job, const OptionUse& use) {
                if (auto refused = NotWithBatch(job, use); refused.status != ApplyStatus::Applied) {
                    return refused;
                }
                job.delivery.outputFormat = use.Text();
                return Applied();
            },
            false, GivesDeliveryText(&DeliveryJob::outputFormat)};
}

Row RgbRow()
{
    return {IntegerListOption("--rgb", "R,G,B", 3, 1, 16,
                              "The MS bands (1-based) of the picture's red, green and blue.",
                              "5,3,2 for eight-band WorldView, else 3,2,1 (without --ms: 3,2,1 of "
                              "Blue, Green, Red, NIR)"),
            [](PanSharpenJob& job, const OptionUse& use) {
                const std::vector<int> bands = use.Ints();
                if (!use.values.Has("--ms") &&
                    std::any_of(bands.begin(), bands.end(), [](int b) { return b > 4; })) {
                    return WrongCommandLine("--rgb takes bands 1 to 4 without --ms");
                }
                for (int i = 0; i < 3; ++i) job.delivery.rgb[i] = bands[i];
                return Applied();
            },
            false,
            [](const PanSharpenJob& job) -> GivenValues {
                const std::array<int, 3>& rgb = job.delivery.rgb;
                if (rgb[0] == 0) return std::nullopt;
                return std::vector<std::string>{std::to_string(rgb[0]) + "," +
                                                std::to_string(rgb[1]) + "," +
                                                std::to_string(rgb[2])};
            }};
}

Row RatioRow()
{
    return {IntegerOption("--ratio", "N", 1, 64,
                          "The resolution ratio pan : MS (2, 4, 8 or 16); it must agree with "
                          "the georeferencing.",
                          "from the georeferencing, else the sizes"),
            [](PanSharpenJob& job, const OptionUse& use) {
                if (auto needs = NeedsMs(use); needs.status != ApplyStatus::Applied) return needs;
                job.delivery.ratio = use.Int();
                return Applied();
            },
            false,
            [](const PanSharpenJob& job) -> GivenValues {
                if (job.delivery.ratio == 0) return std::nullopt;
                return std::vector<std::string>{std::to_string(job.delivery.ratio)};
            }};
}

Row NoDataRow(const char* name, NoDataChoice DeliveryJob::*field, const char* help)
{
    Row row{TextOption(name, "V|none", help, "the file's own"),
            [field](PanSharpenJob& job, const OptionUse& use) {
                const std::optional<NoDataChoice> choice = ParseNoDataChoice(use.Text());
                if (!choice) {
                    return WrongCommandLine(use.def.name + " takes a number or none");
                }
                job.delivery.*field = *choice;
                return Applied();
            },
            false,
            [field](const PanSharpenJob& job) -> GivenValues {
                const NoDataChoice& choice = job.delivery.*field;
                if (!choice.given) return std::nullopt;
                return std::vector<std::string>{choice.none ? "none" : NumberText(choice.value)};
            }};
    row.def.checkedWhenSet = true;
    row.def.notWithBatch = true;
    return row;
}

}  // namespace

std::vector<OptionRow<PanSharpenJob>> DeliveryOptionRows()
{
    return {MsRow(),
            OutputRow(),
            FormatRow(),
            RgbRow(),
            RatioRow(),
            NoDataRow("--nodata", &DeliveryJob::noData,
                      "The value marking no data in the pan and the MS (none: ignore the files' "
                      "own)."),
            NoDataRow("--pan-nodata", &DeliveryJob::panNoData,
                      "The value marking no data in the pan; wins over --nodata."),
            NoDataRow("--ms-nodata", &DeliveryJob::msNoData,
                      "The value marking no data in the MS; wins over --nodata.")};
}

void AdaptRowsForDelivery(std::vector<OptionRow<PanSharpenJob>>& rows)
{
    for (Row& row : rows) {
        const std::string& name = row.def.name;
        const Row::Setter inner = row.set;
        // A delivery job's command line leaves out what --ms refuses.
        if (row.get && std::find(std::begin(kNotWithMs), std::end(kNotWithMs), name) !=
                           std::end(kNotWithMs)) {
            row.get = [outer = row.get](const PanSharpenJob& job) -> GivenValues {
                if (job.delivery.Active()) return std::nullopt;
                return outer(job);
            };
        }
        if (name == "--pan") {
            // The delivery run reads the pan through the image model; it checks it itself.
            row.set = [inner](PanSharpenJob& job, const OptionUse& use) {
                if (!use.values.Has("--ms")) return inner(job, use);
                const std::string path = FullPath(use.Text());
                if (ExtensionLower(path) == "bif") {
                    return WrongCommandLine("--ms cannot be used with a batch file");
                }
                job.panPath = path;
                job.panName = FileNameOf(path);
                job.panExt = ExtensionLower(path);
                return Applied();
            };
        } else if (name == "--blue" || name == "--green" || name == "--red" || name == "--nir" ||
                   name == "--select") {
            if (name == "--blue") row.def.unlessGiven = "--ms";
            row.set = [inner](PanSharpenJob& job, const OptionUse& use) {
                if (!use.values.Has("--ms")) return inner(job, use);
                use.host.ShowMessage(kBlueWithMs);
                return Stopped();
            };
        }
    }
}

}  // namespace lumesta
