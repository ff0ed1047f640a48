#pragma once
// The images of a finished pan-sharpening or band-combination job, for showing the result
// beside its inputs: the result's files, the input MS bands (each a file and the band inside
// it) and the pan. Derived from the job record alone, as the run named its outputs.

#include <string>
#include <vector>

#include "composite/combine_job.h"
#include "fusion/etm_job.h"
#include "fusion/pansharpen_job.h"
#include "raster/image_open.h"

namespace lumesta {

struct BandFile {
    std::string path;
    int band = 0;       // band inside the file, from 0
    MatrixSize matrix;  // the size of a headerless matrix
    std::string name;   // shown for the band ("Blue", ...); empty: the file's own name
};

struct RunImages {
    std::vector<BandFile> result;  // the result's bands in blue, green, red (, NIR) order
    std::vector<BandFile> inputs;  // the input MS bands in the same order
    BandFile pan;                  // empty path for band combination
    std::string picture;           // the BMP written, empty when none
    int width = 0;                 // the result's grid
    int height = 0;
    // True when result and inputs hold the same units (fused bands against MS bands), so one
    // stretch serves both; a composite picture holds display bytes instead.
    bool sameUnits = true;
};

// Opens the bands as one image (each file once); nothing with error set when one cannot be
// opened or has another size than the first.
std::unique_ptr<RasterSource> OpenBandFiles(const std::vector<BandFile>& bands, std::string& error);

RunImages ImagesOfRun(const PanSharpenJob& job);
RunImages ImagesOfRun(const EtmJob& job);
RunImages ImagesOfRun(const BandCombinationJob& job);

}  // namespace lumesta
