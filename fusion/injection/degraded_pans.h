#pragma once
// The pan degraded to MS scale, one float image per Gaussian, kept in a temporary file of the
// run while the fit's passes and the pyramid's fusion pass read it back row by row. The file
// goes when the object does (or at Release), on every path. Methods that work at MS scale
// keep their other images of one size (the MS bands, their corrections) in such files too.

#include <cstdint>
#include <string>

#include "core/host.h"
#include "core/run_files.h"
#include "raster/raw_file.h"

namespace lumesta {

class DegradedPans {
public:
    // Makes the file for count images of width × height floats in the folder of besidePath (or
    // the system's temporary folder). False after the output-file message.
    bool Create(const std::string& besidePath, int count, std::int64_t width, std::int64_t height,
                Host& host);
    // Rows first .. first + rows − 1 of image g. False after the output-file message.
    bool WriteRows(int g, std::int64_t first, std::int64_t rows, const float* samples,
                   Host& host) const;
    // False when the file no longer holds them (after the output-file message).
    bool ReadRows(int g, std::int64_t first, std::int64_t rows, float* samples, Host& host) const;
    // The same without a message, from any thread (distinct rows at once): false when the file
    // did not take or give them.
    bool PutRows(int g, std::int64_t first, std::int64_t rows, const float* samples) const;
    bool GetRows(int g, std::int64_t first, std::int64_t rows, float* samples) const;
    int Count() const { return m_count; }
    std::int64_t Width() const { return m_width; }
    std::int64_t Height() const { return m_height; }
    // Removes the file: the images are not needed any more.
    void Release();

private:
    std::int64_t Offset(int g, std::int64_t row) const;

    RunFiles m_files;
    RawFile m_file;
    int m_count = 0;
    std::int64_t m_width = 0;
    std::int64_t m_height = 0;
};

}  // namespace lumesta
