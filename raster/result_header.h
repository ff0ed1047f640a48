#pragma once
// Result headers of fused bands, written from a template header of an input band: an Idrisi32
// .rdc for .rst results and an ENVI .hdr for .img results. Output lines end with CR LF.
// Messages: "Error - when reading the input header file!" (template cannot be opened; the
// writer goes on with the lines that do not need it) and "Error - when writing to the output
// file!" (output cannot be created, or a write, flush or close of it failed). Each writer
// answers true when the output was written whole and closed.

#include <ctime>
#include <string>

#include "core/host.h"

namespace lumesta {

struct IdrisiResultValues {
    int columns = 0;
    int rows = 0;
    std::string minX, maxX, minY, maxY;  // written unchanged
    int minValue = 0;
    int maxValue = 0;
    int displayMin = 0;
    int displayMax = 0;
};

bool WriteIdrisiResultHeader(const std::string& panName, const std::string& templatePath,
                             const std::string& outputPath, const IdrisiResultValues& values,
                             Host& host);

// The lines argument is accepted and not written: the template's lines entry is copied.
bool WriteEnviResultHeader(const std::string& templatePath, const std::string& bandLabel,
                           const std::string& outputPath, int samples, int lines,
                           const std::string& bandText, Host& host);
// The same with a given time of writing (for the description line).
bool WriteEnviResultHeader(const std::string& templatePath, const std::string& bandLabel,
                           const std::string& outputPath, int samples, int lines,
                           const std::string& bandText, std::time_t when, Host& host);

}  // namespace lumesta
