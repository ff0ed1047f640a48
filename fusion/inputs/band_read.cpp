#include "fusion/inputs/band_read.h"

#include "raster/raw_file.h"

namespace lumesta {

namespace {
const char* const kLengthProblem = "Error! reading an image  file - length problem.";
}  // namespace

bool ReadBandBytes(const std::string& path, std::int64_t byteOffset, std::int64_t byteCount,
                   void* buffer, const std::string& openFailure, Host& host)
{
    RawFile file;
    if (!file.OpenForReading(path)) {
        host.ShowMessage(openFailure);
        return false;
    }
    if (file.ReadAt(byteOffset, byteCount, buffer) != byteCount) {
        host.ShowMessage(kLengthProblem);
        return false;
    }
    return true;
}

}  // namespace lumesta
