#include "fusion/delivery/delivery_scene.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "core/run_files.h"
#include "fusion/fusion_method.h"
#include "fusion/outputs/band_result.h"
#include "imaging/sensor_gains.h"
#include "raster/file_name.h"
#include "raster/image_open.h"
#include "raster/reader_choice.h"

namespace lumesta {
namespace {

constexpr int kMostBands = 16;
constexpr int kFewestBands = 3;

bool FusableType(SampleType type)
{
    return type == SampleType::UInt8 || type == SampleType::UInt16 || type == SampleType::Int16;
}

double LowestOf(SampleType type)
{
    return type == SampleType::Int16 ? std::numeric_limits<std::int16_t>::lowest() : 0.0;
}

double HighestOf(SampleType type)
{
    if (type == SampleType::UInt8) return std::numeric_limits<std::uint8_t>::max();
    if (type == SampleType::Int16) return std::numeric_limits<std::int16_t>::max();
    return std::numeric_limits<std::uint16_t>::max();
}

// A value samples of type can hold.
bool HoldsValue(SampleType type, double value)
{
    return value == std::floor(value) && value >= LowestOf(type) && value <= HighestOf(type);
}

// The number as people write it: "0", "-9999", "0.5".
std::string ValueText(double value)
{
    if (value == std::floor(value) && std::fabs(value) < 1e15) {
        return std::to_string(static_cast<long long>(value));
    }
    std::string text = std::to_string(value);
    text.erase(text.find_last_not_of('0') + 1);
    return text;
}

std::shared_ptr<RasterSource> OpenInput(const std::string& role, const std::string& path,
                                        const MatrixSize& matrix, Host& host)
{
    std::string error;
    std::shared_ptr<RasterSource> source = OpenRaster(path, matrix, error);
    if (!source) host.ShowMessage("Cannot read the " + role + " " + path + ": " + error);
    return source;
}

bool CheckType(const std::string& role, const std::string& path, SampleType type, Host& host)
{
    if (FusableType(type)) return true;
    host.ShowMessage("The " + role + " " + path + " holds " + SampleTypeName(type) +
                     " samples; pan-sharpening takes 8-bit unsigned, 16-bit unsigned or 16-bit "
                     "signed integers.");
    return false;
}

// The detail-injection methods by name, for the refusal of the others.
std::string InjectionMethodNames()
{
    std::string names;
    for (const FusionMethodRow& row : FusionMethods()) {
        if (row.engine != MethodEngine::DetailInjection) continue;
        names += (names.empty() ? "" : ", ") + std::string(row.name);
    }
    return names;
}

bool CheckMethod(const PanSharpenJob& job, int bands, Host& host)
{
    const FusionMethodRow& row = MethodRowOf(job.method);
    if (row.engine != MethodEngine::DetailInjection) {
        host.ShowMessage("Method " + std::string(row.name) +
                         " fuses the four bands of --blue, --green, --red and --nir. --ms is "
                         "fused by the detail-injection methods: --method " +
                         InjectionMethodNames() + ".");
        return false;
    }
    if (bands < row.minBands || bands > row.maxBands) {
        host.ShowMessage("Method " + std::string(row.name) + " fuses " +
                         std::to_string(row.minBands) + " to " + std::to_string(row.maxBands) +
                         " MS bands, not " + std::to_string(bands) + ".");
        return false;
    }
    return true;
}

bool Place(const PanSharpenJob& job, DeliveryScene& scene, Host& host)
{
    const RasterDescription& pan = scene.pan->Description();
    std::string error;
    if (!PlaceMsOnPan(pan, scene.ms->Description(), job.delivery.ratio, scene.placement, error)) {
        host.ShowMessage(error);
        return false;
    }
    const int ratio = scene.placement.ratio;
    if (pan.width % ratio != 0 || pan.height % ratio != 0) {
        host.ShowMessage("The pan " + job.panPath + " is " + std::to_string(pan.width) + " x " +
                         std::to_string(pan.height) + " pixels: its sides must be multiples of "
                         "the ratio " + std::to_string(ratio) + ".");
        return false;
    }
    return true;
}

// --rgb, or 5,3,2 for an eight-band WorldView MS, else 3,2,1.
bool ChoosePictureBands(const PanSharpenJob& job, DeliveryScene& scene, Host& host)
{
    std::array<int, 3> rgb = job.delivery.rgb;
    if (rgb[0] == 0) {
        const bool worldView = job.sensor == "worldview2" || job.sensor == "worldview3" ||
                               (!scene.bandNames.empty() && scene.bandNames[0] == "Coastal");
        rgb = scene.bands == 8 && worldView ? std::array<int, 3>{5, 3, 2}
                                            : std::array<int, 3>{3, 2, 1};
    }
    for (int i = 0; i < 3; ++i) {
        if (rgb[i] > scene.bands) {
            host.ShowMessage("--rgb names band " + std::to_string(rgb[i]) + ", but the MS " +
                             job.delivery.msPath + " has " + std::to_string(scene.bands) +
                             " bands.");
            return false;
        }
        scene.rgb[i] = rgb[i] - 1;
    }
    return true;
}

// One input's no data: the option's value (within the type's range), else the file's own
// declaration or mask, read through the source.
bool ChooseNoData(const NoDataChoice& own, const NoDataChoice& both, const std::string& role,
                  const std::string& path, const RasterSource& source,
                  std::optional<double>& value, bool& mask, Host& host)
{
    const RasterDescription& d = source.Description();
    const NoDataChoice& given = own.given ? own : both;
    if (given.given) {
        if (!given.none) value = given.value;
        if (value && !HoldsValue(d.type, *value)) {
            host.ShowMessage("The no-data value " + ValueText(*value) + " is not a value of the " +
                             role + " " + path + " (" + SampleTypeName(d.type) + " samples).");
            return false;
        }
        return true;
    }
    mask = d.noData.has_value() || d.maskBand;
    if (d.noData && HoldsValue(d.type, *d.noData)) value = d.noData;
    return true;
}

bool ChooseGains(const PanSharpenJob& job, DeliveryScene& scene, Host& host)
{
    const std::optional<SensorGains> sensor = SensorForBands(job.sensor, scene.bands, host);
    if (!sensor) return false;
    scene.panGain = sensor->pan;
    scene.msGains = sensor->ms;
    return true;
}

// The format asked for; else the one --output's name says (.img ENVI; .tif or .tiff a Cloud
// Optimized GeoTIFF for TIFF and GDAL inputs, a GeoTIFF otherwise); else a Cloud Optimized
// GeoTIFF for TIFF and GDAL inputs, ENVI otherwise. The result's name, else the MS's with the
// suffix beside it; the picture beside the result unless --bmp names it.
bool NameOutputs(const PanSharpenJob& job, DeliveryScene& scene, Host& host)
{
    const ReaderKind reader = scene.ms->Description().reader;
    const bool tiffInput = reader == ReaderKind::StripTiff || reader == ReaderKind::Gdal;
    scene.format = job.delivery.outputFormat;
    if (scene.format.empty() && !job.delivery.outputPath.empty()) {
        if (LastFourLower(job.delivery.outputPath) == ".img") {
            scene.format = "envi";
        } else if (FormatByName(job.delivery.outputPath) == BandFileFormat::GeoTiff) {
            scene.format = tiffInput ? "cog" : "geotiff";
        }
    }
    if (scene.format.empty()) scene.format = tiffInput ? "cog" : "envi";
    const bool envi = scene.format == "envi";
    scene.outputPath = job.delivery.outputPath;
    if (scene.outputPath.empty()) {
        scene.outputPath =
            WithoutExtension(job.delivery.msPath) + job.suffix + (envi ? ".img" : ".tif");
    }
    if (envi && LastFourLower(scene.outputPath) != ".img") {
        host.ShowMessage("An ENVI result is named NAME.img, its header NAME.hdr: " +
                         scene.outputPath + " (--format geotiff or cog writes other names).");
        return false;
    }
    scene.outputFiles = {scene.outputPath};
    if (envi) scene.outputFiles.push_back(WithoutLastFour(scene.outputPath) + ".hdr");
    scene.bmpPath =
        job.delivery.bmpGiven ? job.bmpName : WithoutExtension(scene.outputPath) + ".bmp";
    return true;
}

// Refuses a result or picture that is one of the inputs (any name of it: links and other
// spellings included) or that two outputs share.
bool OutputsAreNew(const PanSharpenJob& job, const DeliveryScene& scene, Host& host)
{
    std::vector<std::string> inputs{job.panPath, job.delivery.msPath};
    for (const RasterSource* source : {scene.pan.get(), scene.ms.get()}) {
        const RasterDescription& d = source->Description();
        inputs.insert(inputs.end(), d.dataPaths.begin(), d.dataPaths.end());
        inputs.insert(inputs.end(), d.headerPaths.begin(), d.headerPaths.end());
    }
    std::vector<std::string> targets = scene.outputFiles;
    targets.push_back(scene.bmpPath);
    return TargetsAreNew(targets, inputs, host);
}

// Whether every sample of the pan's MS grid (count samples) takes a delivered sample (of own)
// at the shift: the engine's validity takes the nearest delivered sample.
bool Covers(std::int64_t count, std::int64_t own, double shift)
{
    const double whole = std::floor(shift);
    const std::int64_t step = static_cast<std::int64_t>(whole) + (shift - whole > 0.5 ? 1 : 0);
    return -step >= 0 && count - 1 - step <= own - 1;
}

// The engine marks no data wherever an input does, or where the MS leaves part of the pan.
void MarkNoData(DeliveryScene& scene)
{
    const RasterDescription& pan = scene.pan->Description();
    const RasterDescription& ms = scene.ms->Description();
    const std::int64_t ratio = scene.placement.ratio;
    scene.marksNoData = scene.panNoData || scene.msNoData || scene.panMask || scene.msMask ||
                        !Covers(pan.width / ratio, ms.width, scene.shiftX) ||
                        !Covers(pan.height / ratio, ms.height, scene.shiftY);
}

}  // namespace

std::string FormatLabel(const std::string& format)
{
    if (format == "envi") return "ENVI";
    if (format == "geotiff") return "GeoTIFF";
    return "Cloud Optimized GeoTIFF";
}

bool OpenDeliveryScene(const PanSharpenJob& job, DeliveryScene& scene, Host& host)
{
    const DeliveryJob& delivery = job.delivery;
    const MatrixSize panMatrix{job.width, job.height, 2};
    scene.pan = OpenInput("pan", job.panPath, panMatrix, host);
    if (!scene.pan) return false;
    if (NeedsMatrixSize(delivery.msPath)) {
        host.ShowMessage("The MS " + delivery.msPath +
                         " has no header: --ms takes a file that gives its size and bands.");
        return false;
    }
    scene.ms = OpenInput("MS", delivery.msPath, MatrixSize{}, host);
    if (!scene.ms) return false;
    const RasterDescription& pan = scene.pan->Description();
    const RasterDescription& ms = scene.ms->Description();
    if (pan.bands != 1) {
        host.ShowMessage("The pan " + job.panPath + " has " + std::to_string(pan.bands) +
                         " bands; pan-sharpening takes a pan of one band.");
        return false;
    }
    if (!CheckType("pan", job.panPath, pan.type, host)) return false;
    scene.bands = ms.bands;
    if (ms.bands < kFewestBands || ms.bands > kMostBands) {
        host.ShowMessage("The MS " + delivery.msPath + " has " + std::to_string(ms.bands) +
                         (ms.bands == 1 ? " band" : " bands") + "; --ms takes 3 to 16.");
        return false;
    }
    if (!CheckType("MS", delivery.msPath, ms.type, host)) return false;
    scene.type = ms.type;
    for (int k = 0; k < ms.bands; ++k) {
        const bool named = k < static_cast<int>(ms.bandNames.size()) && !ms.bandNames[k].empty();
        scene.bandNames.push_back(named ? ms.bandNames[k] : "Band " + std::to_string(k + 1));
    }
    return CheckMethod(job, scene.bands, host) && Place(job, scene, host) &&
           ChoosePictureBands(job, scene, host) &&
           ChooseNoData(delivery.panNoData, delivery.noData, "pan", job.panPath, *scene.pan,
                        scene.panNoData, scene.panMask, host) &&
           ChooseNoData(delivery.msNoData, delivery.noData, "MS", delivery.msPath, *scene.ms,
                        scene.msNoData, scene.msMask, host) &&
           ChooseGains(job, scene, host) && NameOutputs(job, scene, host) &&
           OutputsAreNew(job, scene, host);
}

void SetSceneShift(DeliveryScene& scene, double shiftX, double shiftY)
{
    scene.shiftX = shiftX;
    scene.shiftY = shiftY;
    MarkNoData(scene);
}

}  // namespace lumesta
