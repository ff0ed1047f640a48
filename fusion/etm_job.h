#pragma once
// The job record of the Landsat ETM+ pan-sharpening tool: an 8-bit pan band and Blue, Green
// and Red bands at twice the pan's pixel size, as its dialog holds them.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "fusion/fusion_method.h"
#include "batch/batch_file.h"
#include "imaging/stretch.h"
#include "raster/no_data_choice.h"
#include "raster/image_info.h"
#include "raster/raster_kind.h"

namespace lumesta {

// Indices of the three MS bands in every per-band array.
enum EtmBand { kEtmBlue = 0, kEtmGreen = 1, kEtmRed = 2 };

// Spatial filter choices of the Landsat tool, in the order of the dialog's radio buttons.
enum class EtmFilter { Smooth = 0, SmoothSharpen = 1, None = 2, Detail = 3, Sharpen = 4 };

struct EtmJob {
    std::string panName;
    std::string panPath;
    std::string panExt;  // lower case, without dot
    int width = 0;       // pan width W
    int height = 0;      // pan height H
    std::string panMinX, panMaxX, panMinY, panMaxY;

    std::array<std::vector<std::string>, 3> bandLists;
    std::array<int, 3> selectedIndex{0, -1, -1};
    std::array<std::string, 3> selection;
    std::array<std::string, 3> msPath;
    std::array<std::string, 3> msExt;
    int msBandCount = 0;       // bands of the Blue file (3 or more for a multi-band file)
    std::string msHeaderType;  // "ENVI" for an ENVI file
    std::string groupFolder;
    std::string bluePath;  // the Blue choice as made: one band, a multi-band file or a group
    std::array<bool, 3> browseEnabled{true, true, true};

    // The kind of each input: index 0 the pan, 1..3 Blue, Green, Red.
    std::array<RasterKind, 4> rasterKind{};

    FusionMethod method = FusionMethod::Optimisation1;
    int resampling = 0;
    std::string suffix = "_Fused";
    std::string bmpName;
    bool displayBmp = true;
    // A run inside the quality protocol on a reduced-scale scene: no minimum image size and no
    // BMP; everything else as the dialog would run it.
    bool protocolRun = false;
    // Close the report with the full-resolution quality line (D_lambda, D_s, QNR).
    bool qualityLine = false;
    bool colourMatch = false;

    EtmFilter filterType = EtmFilter::None;
    std::array<bool, 3> filterFlags{false, false, false};
    StretchParams stretch;

    // Batch mode: the .bif file, its output format indicator (0 BMP and GeoTIFF, 1 BMP only,
    // 2 GeoTIFF only), and the current job's GeoTIFF output and georeference (the pan).
    bool batchMode = false;
    std::string batchPath;
    BatchOutputFormat batchOutputFormat = BatchOutputFormat::BmpAndGeoTiff;
    std::string batchGeoTiff;
    std::string geoReference;
    CImageInfo info;
    // --nodata, --pan-nodata, --ms-nodata as given (the per-input ones win), and the values the
    // validation resolves from them; the files' own declarations do not count here.
    NoDataChoice noDataOption, panNoDataOption, msNoDataOption;
    std::optional<double> panNoData;
    std::optional<double> msNoData;
};

// The value the fused bands' no-data pixels are written as: the MS's, else 0.
inline std::optional<double> FusedNoDataValue(const EtmJob& job)
{
    if (job.msNoData) return job.msNoData;
    return job.panNoData ? std::optional<double>(0.0) : std::nullopt;
}

}  // namespace lumesta
