#pragma once
// The job record of the two band combination tools (16-bit and 8-bit data): everything their
// dialogs hold. The dialogs' browse handlers and lumesta-cli's option parser both fill it
// through the functions of combine_browse.h and then call RunBandCombination
// (combine_run.h).

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "imaging/stretch.h"
#include "raster/image_info.h"
#include "raster/raster_kind.h"

namespace lumesta {

// Indices of the three colour bands in every per-band array.
constexpr int kCompositeBlue = 0;
constexpr int kCompositeGreen = 1;
constexpr int kCompositeRed = 2;

// Which of the two tools the job belongs to: it decides the header reader, the sample size
// and the texts that differ between them.
enum class CombineDepth { Sixteen, Eight };

// What a run writes: the dialog's choices, or (set by batch jobs) only one of the outputs.
enum class CombineOutputs { AsChosen = 0, BmpOnly = 1, GeoTiffOnly = 2 };

struct BandCombinationJob {
    explicit BandCombinationJob(CombineDepth toolDepth = CombineDepth::Sixteen) : depth(toolDepth)
    {
    }

    CombineDepth depth;

    // The three drop-down lists (entries), their selected indices and shown texts, and each
    // band's full path and extension (lower case, without dot). A multi-band file holds the
    // same path three times; the selected index picks the band inside it.
    std::array<std::vector<std::string>, 3> bandLists;
    std::array<int, 3> selectedIndex{-1, -1, -1};
    std::array<std::string, 3> selection;
    std::array<std::string, 3> bandPath;
    std::array<std::string, 3> bandExt;
    // The kind of each band's input.
    std::array<RasterKind, 3> bandKind{};
    // The Green and Red browse buttons (disabled when a group or multi-band file supplies them).
    std::array<bool, 3> browseEnabled{true, true, true};

    // The file chosen with the Blue browse (.rgf, .img, .tif, ...) and its folder with the
    // final separator (group members and temporary files live there).
    std::string bluePath;
    std::string folder;
    // The Blue input's kind: ".img", ".rst" (files and groups), ".tif" (GeoTIFF and every file
    // read through GDAL: extracted before the run); otherwise the last four characters of its
    // name.
    std::string inputKind;
    int inputBands = 0;       // bands of the Blue file: 1, or more for a multi-band file
    bool groupInput = false;  // the Blue browse picked an Idrisi32 .rgf group
    int blueHeaderWidth = 0;  // size in the Blue band's header, read at browse time
    int blueHeaderHeight = 0;

    int width = 0;  // Width and Height fields (typed for a generic matrix)
    int height = 0;
    std::string bmpPath;      // "24-bit BMP"
    std::string geoTiffPath;  // derived from a GeoTIFF Blue input
    bool displayBmp = true;   // "Display BMP"
    // "For inputs in GeoTIFF, also produce a composite in this format?"
    bool geoTiffOutput = false;
    StretchParams stretch;
    // --nodata: samples of this value in any band are no data (left out of the stretch, black
    // in the picture); none unless asked for.
    std::optional<double> noData;

    bool batchMode = false;
    std::string batchPath;  // the .bif file chosen with the Blue browse
    CombineOutputs outputs = CombineOutputs::AsChosen;
    CImageInfo info;  // the dialog's header record, filled by the browse handlers
};

// True when the Blue input is one ENVI or GeoTIFF file whose bands the three colours select.
inline bool HasMultiBandInput(const BandCombinationJob& job)
{
    return (job.inputKind == ".img" || job.inputKind == ".tif") && job.inputBands > 1;
}

}  // namespace lumesta
