#pragma once
// The job record of the 16-bit pan-sharpening tool: everything its dialog holds. The dialog's
// browse handlers and lumesta-cli's option parser both fill it through the functions of
// fusion_browse.h and then call RunPanSharpen (fusion_run.h).

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "fusion/delivery/delivery_job.h"
#include "fusion/fusion_method.h"
#include "fusion/registration/register_choice.h"
#include "batch/batch_file.h"
#include "imaging/stretch.h"
#include "raster/image_info.h"
#include "raster/raster_kind.h"

namespace lumesta {

// --method auto ("Best for this scene"): the method is chosen just before the run, by ranking
// the classical methods on the scene at reduced resolution (workflows/method_ranking.h).
struct AutoMethodChoice {
    bool requested = false;
    // The filter when auto was asked for: the chosen method brings its own default filter
    // unless --filter chose one after --method auto.
    FilterType16 filterType = FilterType16::Sharpen;
    std::array<bool, 4> filterFlags{};
    // The report's lines after the method line (each ends with CR LF), once chosen.
    std::vector<std::string> reportLines;
};

// Indices of the four MS bands in every per-band array.
enum MsBand { kBlue = 0, kGreen = 1, kRed = 2, kNir = 3 };

struct PanSharpenJob {
    // Pan: displayed file name, full path, extension without dot, lower case.
    std::string panName;
    std::string panPath;
    std::string panExt;
    int width = 0;   // pan width W in pixels
    int height = 0;  // pan height H in pixels
    // The Idrisi32 pan's min./max. X/Y texts, for the result headers.
    std::string panMinX, panMaxX, panMinY, panMaxY;

    // The four drop-down lists (entries), their selected indices and texts, and each band's
    // full path and extension (lower case, without dot).
    std::array<std::vector<std::string>, 4> bandLists;
    std::array<int, 4> selectedIndex{0, -1, -1, -1};
    std::array<std::string, 4> selection;
    std::array<std::string, 4> msPath;
    std::array<std::string, 4> msExt;
    int msBandCount = 0;       // bands of the Blue file (4 for one four-band file)
    std::string msHeaderType;  // "ENVI" for an ENVI file
    std::string groupFolder;   // folder of a chosen .rgf group, with its separator
    std::string bluePath;      // the Blue choice as made: one band, a multi-band file or a group
    // Browse buttons of Green, Red, NIR (disabled when a group or four-band file supplies them).
    std::array<bool, 4> browseEnabled{true, true, true, true};

    // The kind of each input: index 0 the pan, 1..4 Blue, Green, Red, NIR.
    std::array<RasterKind, 5> rasterKind{};

    FusionMethod method = FusionMethod::Optimisation1;
    AutoMethodChoice autoMethod;
    std::string sensor = "generic";  // whose Nyquist gains the MTF-matched methods use
    // Where the detail-injection methods place the MS on the pan (--register): estimated by
    // default, none, or given. Methods 1 and 2 and the quality protocol's runs never register.
    RegisterChoice registerChoice;
    int resampling = 0;  // 0 "Improved Bilinear"
    std::string suffix = "_Fused";
    std::string bmpName;
    bool displayBmp = true;
    // A run inside the quality protocol on a reduced-scale scene: no minimum image size and no
    // BMP; everything else as the dialog would run it.
    bool protocolRun = false;
    // Close the report with the full-resolution quality line (D_lambda, D_s, QNR).
    bool qualityLine = false;
    bool colourMatch = false;

    FilterType16 filterType = FilterType16::Sharpen;
    std::array<bool, 4> filterFlags{false, true, true, false};
    std::array<int, 3> colourAmounts{0, 0, 0};
    StretchParams stretch;

    // Batch mode: the .bif file, its output format indicator (0 BMP and GeoTIFF, 1 BMP only,
    // 2 GeoTIFF only), and the current job's GeoTIFF output and georeference (the pan).
    bool batchMode = false;
    std::string batchPath;
    BatchOutputFormat batchOutputFormat = BatchOutputFormat::BmpAndGeoTiff;
    std::string batchGeoTiff;
    std::string geoReference;
    CImageInfo info;  // the dialog's header record, filled by the browse handlers

    // One multi-band MS file fused whole (lumesta-cli pansharpen --ms); inactive otherwise.
    // Its no-data options serve the detail-injection methods on the four bands too.
    DeliveryJob delivery;
    // The no-data values a run of the four bands honours, resolved by the validation: for the
    // detail-injection methods the options', else the files' own; for methods 1 and 2 only the
    // options'.
    std::optional<double> panNoData;
    std::optional<double> msNoData;
};

// The value the fused bands' no-data pixels are written as and declared with: the MS's; for
// methods 1 and 2 given a pan value only, 0.
inline std::optional<double> FusedNoDataValue(const PanSharpenJob& job)
{
    if (job.msNoData || InjectsDetail(job.method)) return job.msNoData;
    return job.panNoData ? std::optional<double>(0.0) : std::nullopt;
}

}  // namespace lumesta
