#pragma once
// Headers of the Haar wavelet raster, written from the input band's header as a template:
// an ENVI .hdr (32-bit float, one band) or an Idrisi32 .rdc (real). Lines end with CR LF;
// template lines are read with at most 255 characters (a longer one is split).

#include <ctime>
#include <string>

#include "core/host.h"

namespace lumesta {

// ENVI: "ENVI", a description with the time of writing, samples, lines and bands = 1; the
// template lines after its bands line are copied (empty ones kept) with the data type line
// replaced by "data type = 4", up to its band names line, which becomes the one band name
// "Haar Wavelet Transform (Band:" + bandName + ")}" (no line end after it). A template without
// band names gets them in place of its last line end. Messages: "Error - when reading the input
// header files!" (the writer goes on) and "Error - when writing to the output file!" (also
// when a write or the close fails; the header is removed then). False after the latter.
bool WriteEnviHaarHeader(const std::string& templatePath, const std::string& outputPath,
                         const std::string& bandName, int width, int height, Host& host);
// The same with a given time of writing.
bool WriteEnviHaarHeader(const std::string& templatePath, const std::string& outputPath,
                         const std::string& bandName, int width, int height, std::time_t when,
                         Host& host);

// Idrisi32: the template with the title naming the input path, data type real, the value
// range minimum..maximum ("%g") with its display range truncated toward zero, and a lineage
// line without line end. Messages: "Error - when reading the input header file." (the writer
// goes on) and "Error - when writing to the output file!" (the output cannot be created or
// written; it is removed then). False after the latter.
bool WriteIdrisiHaarHeader(const std::string& templatePath, const std::string& inputPath,
                           double minimum, double maximum, const std::string& outputPath,
                           Host& host);

}  // namespace lumesta
