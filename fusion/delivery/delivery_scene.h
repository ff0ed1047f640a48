#pragma once
// What a delivery run (`pansharpen --ms`) fuses, checked before anything is written: the pan
// and the MS opened through the image model, the MS placed on the pan's grid, the no-data
// values and masks that apply, the sensor's gains for the band count, the picture's bands, and
// the result's format and names (never one of the inputs).

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/host.h"
#include "fusion/pansharpen_job.h"
#include "raster/placement.h"
#include "raster/raster_source.h"

namespace lumesta {

struct DeliveryScene {
    std::shared_ptr<RasterSource> pan;
    std::shared_ptr<RasterSource> ms;
    MsPlacement placement;
    int bands = 0;
    SampleType type = SampleType::UInt16;  // of the MS and the result
    std::vector<std::string> bandNames;    // the MS's, "Band k" where it names none
    std::array<int, 3> rgb{};              // the picture's red, green and blue bands, 0-based
    // Where the engine samples the MS, in MS pixels (see InjectionInputs::shiftX), and the
    // report's line on the registration that decided it (empty with --register off).
    double shiftX = 0;
    double shiftY = 0;
    std::string registrationLine;
    // No data: values compared with the samples, or the files' own masks read through the
    // sources; msNoData is also what the result writes at invalid pixels (else 0).
    std::optional<double> panNoData;
    std::optional<double> msNoData;
    bool panMask = false;
    bool msMask = false;
    std::vector<double> msGains;
    double panGain = 0;
    // The result marks and declares no data: a no-data value or mask applies, or the MS does
    // not lie on the pan's corners at the pan's size over the ratio (pixels it leaves are
    // no data).
    bool marksNoData = false;
    std::string format;                    // "envi", "geotiff" or "cog"
    std::string outputPath;                // the result (ENVI: its .img)
    std::vector<std::string> outputFiles;  // every file of the result, the data file first
    std::string bmpPath;

    // What the result holds at invalid pixels: the MS's no-data value, else 0.
    double OutputNoData() const { return msNoData.value_or(0.0); }
};

// The result's format name ("ENVI", "GeoTIFF", "Cloud Optimized GeoTIFF") for reports.
std::string FormatLabel(const std::string& format);

// Opens and checks everything the run needs, in the order a user meets the problems: the files
// open, one pan band of 8- or 16-bit integers, 3 to 16 MS bands of one such type, the method a
// detail-injection one, the placement, the picture's bands, the no-data values within the
// types' ranges, the sensor's gains for the band count, and the result's names. False after a
// message naming what is wrong; nothing is written.
bool OpenDeliveryScene(const PanSharpenJob& job, DeliveryScene& scene, Host& host);

// Places the MS at the engine's shift (in MS pixels; from the registration) and decides
// whether the result marks no data.
void SetSceneShift(DeliveryScene& scene, double shiftX, double shiftY);

}  // namespace lumesta
