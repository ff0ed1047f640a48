#pragma once
// Band reads of the pan-sharpening runs that stop the run when samples are missing.

#include <cstdint>
#include <string>

#include "core/host.h"

namespace lumesta {

// Reads byteCount bytes at byteOffset of a band file. A file that cannot be opened shows
// openFailure; one that holds too few bytes shows "Error! reading an image  file - length
// problem."; both answer false, since the run cannot go on with missing samples.
bool ReadBandBytes(const std::string& path, std::int64_t byteOffset, std::int64_t byteCount,
                   void* buffer, const std::string& openFailure, Host& host);

}  // namespace lumesta
