#include "fusion/fusion_validation.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "fusion/etm_steps.h"
#include "fusion/outputs/fusion_outputs.h"
#include "imaging/sensor_gains.h"
#include "raster/declared_no_data.h"
#include "raster/reader_choice.h"

namespace lumesta {
namespace {

constexpr std::int64_t kVeryLargePixels = 67108864;

// The MS bands of either tool's job record (rasterKind has the pan first, then these).
template <typename Job>
constexpr int BandCount()
{
    return static_cast<int>(std::tuple_size<decltype(Job::msPath)>::value);
}

template <typename Job>
bool AllInputsChosen(const Job& job)
{
    if (job.panName.empty() || job.bmpName.empty()) return false;
    for (const auto& selection : job.selection) {
        if (selection.empty()) return false;
    }
    return true;
}

template <typename Job>
bool SelectionsRepeat(const Job& job)
{
    for (int a = 0; a < BandCount<Job>(); ++a) {
        for (int b = a + 1; b < BandCount<Job>(); ++b) {
            if (job.selection[a] == job.selection[b]) return true;
        }
    }
    return false;
}

template <typename Job>
bool AnyRasterKindSet(const Job& job)
{
    for (RasterKind kind : job.rasterKind) {
        if (kind == RasterKind::GeoTiffOrMatrix) return true;
    }
    return false;
}

template <typename Job>
bool AllMsRasterKindsSet(const Job& job)
{
    for (int band = 1; band <= BandCount<Job>(); ++band) {
        if (job.rasterKind[band] != RasterKind::GeoTiffOrMatrix) return false;
    }
    return true;
}

template <typename Job>
bool TypesAgree(const Job& job, bool multiBandMsFile, Host& host)
{
    if (multiBandMsFile) {
        // TIFF and GDAL-read files are all extracted alike: they mix.
        if (job.panExt == job.msExt[0] ||
            (IsExtractedExtension(job.panExt) && IsExtractedExtension(job.msExt[0]))) {
            return true;
        }
        host.ShowMessage("Pan and Ms image types are not the same.");
        return false;
    }
    if (!AnyRasterKindSet(job)) {
        for (const auto& ext : job.msExt) {
            if (ext != job.panExt) {
                host.ShowMessage(
                    "Pan and Ms image types are not the same, as identified by file extensions");
                return false;
            }
        }
        return true;
    }
    for (const auto& ext : job.msExt) {
        if (ext == "rst" || ext == "img") {
            host.ShowMessage("Ms image types are not the same, as identified by file extensions");
            return false;
        }
    }
    return true;
}

template <typename Job>
bool ValidateFusionJob(Job& job, bool multiBandMsFile, bool namesCheckedInBatch, Host& host)
{
    if (!AllInputsChosen(job)) {
        host.ShowMessage("Please input images.");
        return false;
    }
    // A quality protocol run takes scenes of any size: they are reduced-scale copies.
    const bool protocolSize = job.protocolRun && job.width > 0 && job.height > 0;
    if (!protocolSize && !PanSizeAcceptable(job.width, job.height, host)) return false;
    if ((namesCheckedInBatch || !job.batchMode) && SelectionsRepeat(job)) {
        host.ShowMessage("Input images should not have the same name.");
        return false;
    }
    if (!TypesAgree(job, multiBandMsFile, host)) return false;
    if (AllMsRasterKindsSet(job) && !IsExtractedExtension(job.panExt) && job.displayBmp &&
        static_cast<std::int64_t>(job.width) * job.height > kVeryLargePixels &&
        host.AskYesNo("Input images are very large. Do you wish to disable the automatic display "
                      "of 24-bit BMP?")) {
        job.displayBmp = false;
    }
    return true;
}

}  // namespace

bool PanSizeAcceptable(int width, int height, Host& host)
{
    // Negative sizes (typed, or from a damaged header) are refused like missing ones.
    if (width <= 0 || height <= 0) {
        host.ShowMessage("Please input width and height.");
        return false;
    }
    if (width < 512 && height < 512) {
        host.ShowMessage("Image size is too small; the minimum size is 512*512.");
        return false;
    }
    if (width > 40000 && height > 40000) {
        host.ShowMessage(
            "Image size is too big; If you wish to have this limit relaxed, please contact "
            "developer.");
        return false;
    }
    return true;
}

// The no-data values of a run of the four bands: each input's option, else --nodata, else (for
// the detail-injection methods) the file's own declaration (the pan's, the Blue band's for the
// MS). The MS's value marks the results, which hold 0 to 2047; the spatial filters
// would spread it, so they are refused with one.
static bool ResolveNoData(PanSharpenJob& job, Host& host)
{
    const DeliveryJob& options = job.delivery;
    const bool asked = options.noData.given || options.panNoData.given || options.msNoData.given;
    job.panNoData.reset();
    job.msNoData.reset();
    if (job.batchMode) {
        if (!asked) return true;
        host.ShowMessage("No-data values (--nodata, --pan-nodata, --ms-nodata) are honoured by a "
                         "single run, not by a batch.");
        return false;
    }
    // Methods 1 and 2 honour only what an option asks, so that their inputs keep their bytes.
    const bool declared = InjectsDetail(job.method);
    const auto chosen = [&options, declared](const NoDataChoice& own,
                                             const std::string& path) -> std::optional<double> {
        const NoDataChoice& choice = own.given ? own : options.noData;
        if (choice.given) return choice.none ? std::nullopt : std::optional<double>(choice.value);
        return declared ? DeclaredNoData(path) : std::nullopt;
    };
    job.panNoData = chosen(options.panNoData, job.panPath);
    job.msNoData = chosen(options.msNoData, job.msPath[kBlue]);
    const auto outside = [](const std::optional<double>& value, double low, double high) {
        return value && (*value != std::floor(*value) || *value < low || *value > high);
    };
    if (outside(job.panNoData, -32768, 32767)) {
        host.ShowMessage("The pan's no-data value is not a 16-bit value.");
        return false;
    }
    if (outside(job.msNoData, 0, 2047)) {
        host.ShowMessage("The MS's no-data value must lie within 0 to 2047, the values of the "
                         "results.");
        return false;
    }
    const bool filtered = job.filterType != FilterType16::None &&
                          std::any_of(job.filterFlags.begin(), job.filterFlags.end(),
                                      [](bool on) { return on; });
    if ((job.panNoData || job.msNoData) && filtered) {
        host.ShowMessage("The spatial filters would spread no data into the image: choose "
                         "--filter none, or no no-data value (--nodata none).");
        return false;
    }
    return true;
}

bool ValidatePanSharpenJob(PanSharpenJob& job, Host& host)
{
    if (!ValidateFusionJob(job, HasMultiBandMsFile(job), true, host)) return false;
    // The tool fuses four MS bands: a sensor whose gains are for other counts cannot shape them.
    return SensorForBands(job.sensor, BandCount<PanSharpenJob>(), host).has_value() &&
           ResolveNoData(job, host);
}

// The Landsat tool's no-data values: each input's option, else --nodata; 8-bit values; the
// spatial filters would spread them, so they are refused with one.
static bool ResolveEtmNoData(EtmJob& job, Host& host)
{
    const auto chosen = [&job](const NoDataChoice& own) -> std::optional<double> {
        const NoDataChoice& choice = own.given ? own : job.noDataOption;
        if (!choice.given || choice.none) return std::nullopt;
        return choice.value;
    };
    job.panNoData = chosen(job.panNoDataOption);
    job.msNoData = chosen(job.msNoDataOption);
    const auto outside = [](const std::optional<double>& value) {
        return value && (*value != std::floor(*value) || *value < 0 || *value > 255);
    };
    if (outside(job.panNoData) || outside(job.msNoData)) {
        host.ShowMessage("A no-data value of the Landsat tool must lie within 0 to 255.");
        return false;
    }
    const bool filtered =
        job.filterType != EtmFilter::None &&
        std::any_of(job.filterFlags.begin(), job.filterFlags.end(), [](bool on) { return on; });
    if ((job.panNoData || job.msNoData) && filtered) {
        host.ShowMessage("The spatial filters would spread no data into the image: choose "
                         "--filter none, or no no-data value (--nodata none).");
        return false;
    }
    return true;
}

bool ValidateEtmJob(EtmJob& job, Host& host)
{
    return ValidateFusionJob(job, HasMultiBandMsFile(job), false, host) &&
           ResolveEtmNoData(job, host);
}

}  // namespace lumesta
