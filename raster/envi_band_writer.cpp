#include "raster/envi_band_writer.h"

#include <cmath>
#include <fstream>
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

bool WriteEnviBand(const std::string& imgPath, const std::string& bandName,
                   const std::vector<double>& samples, std::int64_t width, std::int64_t height,
                   SampleType type, Host& host)
{
    const bool bytes = type == SampleType::UInt8;
    std::vector<unsigned char> data(samples.size() * (bytes ? 1 : 2));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double value = std::nearbyint(samples[i]);
        if (bytes ? !Fits<std::uint8_t>(value) : !Fits<std::int16_t>(value)) {
            host.ShowMessage(std::string("The samples do not fit the method's ") +
                             (bytes ? "8" : "16") + "-bit range.");
            return false;
        }
        if (bytes) {
            data[i] = static_cast<unsigned char>(value);
        } else {
            const auto sample = static_cast<std::uint16_t>(static_cast<std::int16_t>(value));
            data[2 * i] = static_cast<unsigned char>(sample & 0xff);
            data[2 * i + 1] = static_cast<unsigned char>(sample >> 8);
        }
    }
    std::ofstream img(imgPath, std::ios::binary);
    img.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
    std::ofstream hdr(WithoutLastFour(imgPath) + ".hdr", std::ios::binary);
    hdr << "ENVI\ndescription = {\n"
        << FileNameOf(imgPath) << "}\nsamples = " << width << "\nlines   = " << height
        << "\nbands   = 1\nheader offset = 0\nfile type = ENVI Standard\n"
        << "data type = " << (bytes ? 1 : 2)
        << "\ninterleave = bsq\nbyte order = 0\nband names = {\n"
        << bandName << "}\n";
    // Closed before the check: a full disk may only show when the last bytes go out.
    img.close();
    hdr.close();
    if (!img || !hdr) {
        host.ShowMessage("Cannot write " + imgPath + ".");
        return false;
    }
    return true;
}

}  // namespace lumesta
