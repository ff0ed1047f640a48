#include "raster/envi_band_writer.h"

#include <cmath>
#include <limits>

#include "raster/file_name.h"

namespace lumesta {
namespace {

template <typename T>
bool Fits(double value)
{
    return value >= static_cast<double>(std::numeric_limits<T>::lowest()) &&
           value <= static_cast<double>(std::numeric_limits<T>::max());
}

}  // namespace

bool EnviBandWriter::Fail(const std::string& message)
{
    if (!m_failed) m_host->ShowMessage(message);
    m_failed = true;
    return false;
}

bool EnviBandWriter::Create(const std::string& imgPath, const std::string& bandName,
                            std::int64_t width, std::int64_t height, SampleType type, Host& host)
{
    m_host = &host;
    m_path = imgPath;
    m_bandName = bandName;
    m_width = width;
    m_height = height;
    m_bytes = type == SampleType::UInt8;
    m_row.resize(static_cast<std::size_t>(width * (m_bytes ? 1 : 2)));
    m_img.open(imgPath, std::ios::binary);
    return m_img || Fail("Cannot write " + imgPath + ".");
}

bool EnviBandWriter::WriteRow(const double* samples)
{
    if (m_failed) return false;
    for (std::int64_t i = 0; i < m_width; ++i) {
        const double value = std::nearbyint(samples[i]);
        if (m_bytes ? !Fits<std::uint8_t>(value) : !Fits<std::int16_t>(value)) {
            return Fail(std::string("The samples do not fit the method's ") +
                        (m_bytes ? "8" : "16") + "-bit range.");
        }
        if (m_bytes) {
            m_row[i] = static_cast<unsigned char>(value);
        } else {
            const auto sample = static_cast<std::uint16_t>(static_cast<std::int16_t>(value));
            m_row[2 * i] = static_cast<unsigned char>(sample & 0xff);
            m_row[2 * i + 1] = static_cast<unsigned char>(sample >> 8);
        }
    }
    m_img.write(reinterpret_cast<const char*>(m_row.data()),
                static_cast<std::streamsize>(m_row.size()));
    return m_img || Fail("Cannot write " + m_path + ".");
}

bool EnviBandWriter::Finish()
{
    if (m_failed) return false;
    std::ofstream hdr(WithoutLastFour(m_path) + ".hdr", std::ios::binary);
    hdr << "ENVI\ndescription = {\n"
        << FileNameOf(m_path) << "}\nsamples = " << m_width << "\nlines   = " << m_height
        << "\nbands   = 1\nheader offset = 0\nfile type = ENVI Standard\n"
        << "data type = " << (m_bytes ? 1 : 2)
        << "\ninterleave = bsq\nbyte order = 0\nband names = {\n"
        << m_bandName << "}\n";
    // Closed before the check: a full disk may only show when the last bytes go out.
    m_img.close();
    hdr.close();
    return (m_img && hdr) || Fail("Cannot write " + m_path + ".");
}

bool WriteEnviBand(const std::string& imgPath, const std::string& bandName,
                   const std::vector<double>& samples, std::int64_t width, std::int64_t height,
                   SampleType type, Host& host)
{
    EnviBandWriter writer;
    if (!writer.Create(imgPath, bandName, width, height, type, host)) return false;
    for (std::int64_t row = 0; row < height; ++row) {
        if (!writer.WriteRow(samples.data() + row * width)) return false;
    }
    return writer.Finish();
}

}  // namespace lumesta
