#pragma once
// Writes plain multi-band TIFF files (no georeferencing) of any sample type from rows of
// doubles: separate planes, one row per strip, written band after band, row after row.
// Integer types take the nearest integer (ties to even) within the type's range.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "raster/sample_raster.h"

namespace lumesta {

class SampleTiffWriter {
public:
    SampleTiffWriter();
    ~SampleTiffWriter();  // an unfinished file (no Finish) is removed
    SampleTiffWriter(const SampleTiffWriter&) = delete;
    SampleTiffWriter& operator=(const SampleTiffWriter&) = delete;

    // Creates path; false when it cannot be created (no message: the caller names the file).
    bool Create(const std::string& path, std::int64_t width, std::int64_t height, int bands,
                SampleType type);
    // Rows in order: band 0 rows 0 .. height − 1, then band 1, ... False on a write failure.
    bool WriteRow(int band, std::int64_t row, const double* samples);
    // Closes the file; false when the last writes failed.
    bool Finish();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// Writes a whole image (bands × height × width, row-major per band) at once.
bool WriteSampleTiff(const std::string& path, std::int64_t width, std::int64_t height,
                     const std::vector<std::vector<double>>& bands, SampleType type);

}  // namespace lumesta
