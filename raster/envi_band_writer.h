#pragma once
// Writing a band of doubles as a one-band ENVI image (.img and .hdr), as the quality protocol
// hands its degraded scenes to the fusion tools.

#include <cstdint>
#include <string>
#include <vector>

#include "core/host.h"
#include "raster/raster_layout.h"

namespace lumesta {

// Writes an ENVI band (.img and .hdr) of the given type (UInt8, else Int16) from doubles,
// rounded to the nearest integer (ties to even). False after "The samples do not fit the
// method's SIZE-bit range." or "Cannot write PATH.".
bool WriteEnviBand(const std::string& imgPath, const std::string& bandName,
                   const std::vector<double>& samples, std::int64_t width, std::int64_t height,
                   SampleType type, Host& host);

}  // namespace lumesta
