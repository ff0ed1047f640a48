#pragma once
// The input part shared by the three assessment dialogs (semivariance, multi-resolution
// statistics, Haar wavelets): the input list, the chosen file, its size and its header.

#include <string>
#include <vector>

#include "raster/image_info.h"

namespace lumesta {

// How the run reads the band, decided from the file size (or the ENVI data type code).
enum class SampleKind { Bits8, Bits16 };

struct AssessInput {
    // The input drop-down list: the file name, or the band names of a multi-band ENVI file.
    std::vector<std::string> inputList;
    int listSelection = -1;  // selected entry of the list, -1 for none
    // File name without folder, or the selected band name of a multi-band ENVI file.
    std::string inputName;
    std::string inputPath;  // full path of the chosen file
    std::string extension;  // its extension, lower case, without the dot
    int width = 0;          // samples per line
    int height = 0;         // lines
    int bandIndex = 0;      // band of a multi-band ENVI or GDAL-read file (entry of the list)
    int bandCount = 0;      // bands named by an ENVI header or described by GDAL
    int dataType = 0;       // ENVI data type code (GDAL-read files: 1, 2 or 12 alike)
    bool gdal = false;      // read through GDAL (tiled .tif, .tiff, .jp2, .vrt, ...)
    CImageInfo info;        // the header of the chosen ENVI or Idrisi32 file
};

// True for a band of a multi-band ENVI file (read from its place in the band sequence).
inline bool IsMultiBandEnvi(const AssessInput& input)
{
    return input.extension == "img" && input.bandCount > 1;
}

// True for a band of any multi-band file (the report names the band).
inline bool IsBandOfMultiBandFile(const AssessInput& input)
{
    return IsMultiBandEnvi(input) || (input.gdal && input.bandCount > 1);
}

}  // namespace lumesta
