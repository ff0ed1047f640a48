#pragma once
// Writing a band of doubles as a one-band ENVI image (.img and .hdr), as the quality protocol
// hands its degraded scenes to the fusion tools: whole, or a row at a time.

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "core/host.h"
#include "raster/raster_layout.h"

namespace lumesta {

// Rows of doubles into an ENVI band of the given type (UInt8, else Int16), each sample rounded to
// the nearest integer (ties to even). The messages: "The samples do not fit the method's
// SIZE-bit range." (a sample outside the type) and "Cannot write PATH." (the files cannot be
// made or written); after either the writer takes nothing more. The caller removes the files of
// a writer that failed.
class EnviBandWriter {
public:
    bool Create(const std::string& imgPath, const std::string& bandName, std::int64_t width,
                std::int64_t height, SampleType type, Host& host);
    // The next row (width samples).
    bool WriteRow(const double* samples);
    // Closes the image and writes the header.
    bool Finish();

private:
    bool Fail(const std::string& message);

    Host* m_host = nullptr;
    std::string m_path;
    std::string m_bandName;
    std::int64_t m_width = 0;
    std::int64_t m_height = 0;
    bool m_bytes = false;
    bool m_failed = false;
    std::ofstream m_img;
    std::vector<unsigned char> m_row;
};

// Writes a whole band (width × height samples) with an EnviBandWriter; false after its message.
bool WriteEnviBand(const std::string& imgPath, const std::string& bandName,
                   const std::vector<double>& samples, std::int64_t width, std::int64_t height,
                   SampleType type, Host& host);

}  // namespace lumesta
