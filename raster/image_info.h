#pragma once
// The image description every tool dialog holds, and the three header readers that fill it
// from ENVI (.hdr), Idrisi32 (.rdc) and GeoTIFF files. Headers are parsed positionally, by
// counting separators, so the line order of the header files is part of the accepted format.

#include <string>

#include "core/host.h"

namespace lumesta {

class CImageInfo {
public:
    CImageInfo() = default;
    virtual ~CImageInfo() = default;

    // Generic reader of the assessment tools: ENVI (up to 8 bands; data type 1, 2 or 12) and
    // Idrisi32. Returns 1 on success or for any other extension (".tif" included), 0 on failure.
    int ReadHeader(const std::string& path, Host& host);
    // Reader of the 8-bit tools: ENVI byte data with 1 or 3 to 8 bands (returns the band
    // count), Idrisi32 byte data, GeoTIFF and single-band 8-bit files read through GDAL by name
    // (return 1), other extensions 1, failure 0.
    int ReadHeader8(const std::string& path, Host& host);
    // Reader of the 16-bit tools: ENVI 16-bit data with 1 or 4 bands (returns the band count),
    // Idrisi32 integer data, GeoTIFF and 16-bit integer files of 1 or 4 bands read through GDAL
    // by name (return 1), other extensions 1, failure 0.
    int ReadHeader16(const std::string& path, Host& host);

    int bitsPerSample = 0;    // GeoTIFF and GDAL-read files only
    int samplesPerPixel = 0;  // GeoTIFF and GDAL-read files only
    int height = 0;
    int width = 0;
    std::string minX, maxX, minY, maxY;  // Idrisi32 only (ReadHeader8, ReadHeader16)
    std::string headerKind;              // ENVI: first word, upper-cased
    std::string firstWord;               // ENVI: first word as read
    std::string interleave;              // ENVI
    std::string bandNames4[4];           // ReadHeader16
    int bands = 0;
    int dataType = 0;       // ENVI data type code; 0 when not ENVI
    std::string extension;  // last four characters, lower-cased
    std::string bandNames8[8];  // ReadHeader8, ReadHeader
    std::string nameScratch;
};

// For an ENVI (.img) or Idrisi32 (.rst) file named by the user: true when its header file
// (.hdr, .rdc) opens; otherwise shows "Cannot open the header file <header path>." and returns
// false. Any other extension gives true (it has no header file, or reads its own).
bool HeaderFileOpens(const std::string& path, Host& host);

}  // namespace lumesta
