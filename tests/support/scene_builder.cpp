#include "tests/support/scene_builder.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "fusion/fusion_browse.h"
#include "tests/support/fake_host.h"
#include "tests/support/geotiff_builder.h"
#include "tests/support/temp_dir.h"

namespace lumesta::testing {
namespace {

const char* const kBandFiles[5] = {"blue", "green", "red", "nir", "swir"};

std::int16_t Clamp11(double value)
{
    return static_cast<std::int16_t>(std::lround(std::fmin(2047.0, std::fmax(1.0, value))));
}

}  // namespace

Scene MakeScene(int width, int height)
{
    Scene scene;
    scene.width = width;
    scene.height = height;
    const int msWidth = width / 4;
    const int msHeight = height / 4;
    static const double kGain[4] = {0.8, 1.0, 1.1, 1.4};
    for (int band = 0; band < 4; ++band) {
        auto& ms = scene.ms[band];
        ms.resize(static_cast<std::size_t>(msWidth) * msHeight);
        for (int y = 0; y < msHeight; ++y) {
            for (int x = 0; x < msWidth; ++x) {
                const bool roof = (x / 9 + y / 7) % 3 == 0;
                const double field = 300 + 120 * std::sin(x * 0.11 + band) * std::cos(y * 0.07);
                ms[static_cast<std::size_t>(y) * msWidth + x] =
                    Clamp11(kGain[band] * field + (roof ? 250 + 40 * band : 0) + (x * 7 + y * 3 + band) % 23);
            }
        }
    }
    scene.pan.resize(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int mx = std::min(x / 4, msWidth - 1);
            const int my = std::min(y / 4, msHeight - 1);
            const std::size_t m = static_cast<std::size_t>(my) * msWidth + mx;
            const double sum = 0.3 * scene.ms[0][m] + 0.2 * scene.ms[1][m] + 0.3 * scene.ms[2][m] +
                               0.2 * scene.ms[3][m];
            scene.pan[static_cast<std::size_t>(y) * width + x] = Clamp11(sum + ((x ^ y) % 9) - 4);
        }
    }
    return scene;
}

Scene8 MakeScene8(int width, int height, int bands)
{
    Scene8 s{width, height, {}, std::vector<std::vector<std::uint8_t>>(bands)};
    const int msW = width / 2, msH = height / 2;
    for (int b = 0; b < bands; ++b) {
        s.ms[b].resize(static_cast<std::size_t>(msW) * msH);
        for (int y = 0; y < msH; ++y) {
            for (int x = 0; x < msW; ++x) {
                const bool roof = (x / 11 + y / 5) % 4 == 0;
                s.ms[b][static_cast<std::size_t>(y) * msW + x] = static_cast<std::uint8_t>(
                    30 + 20 * b + (roof ? 90 : 0) + (x * 3 + y * 5 + b * 7) % 31);
            }
        }
    }
    s.pan.resize(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t m = static_cast<std::size_t>(std::min(y / 2, msH - 1)) * msW +
                                  std::min(x / 2, msW - 1);
            const int value =
                (3 * s.ms[0][m] + 4 * s.ms[1][m] + 3 * s.ms[2][m]) / 10 + (x ^ y) % 7 - 3;
            s.pan[static_cast<std::size_t>(y) * width + x] =
                static_cast<std::uint8_t>(std::clamp(value, 1, 255));
        }
    }
    return s;
}

void WriteEnviHeader(const std::string& imgPath, int width, int height, int bands,
                     const std::vector<std::string>& names, int dataType)
{
    std::string text = "ENVI\ndescription = {\nscene}\nsamples = " + std::to_string(width) +
                       "\nlines   = " + std::to_string(height) + "\nbands   = " +
                       std::to_string(bands) +
                       "\nheader offset = 0\nfile type = ENVI Standard\ndata type = " +
                       std::to_string(dataType) + "\ninterleave = bsq\nbyte order = 0\n";
    if (!names.empty()) {
        text += "band names = {\n";
        for (std::size_t i = 0; i < names.size(); ++i) {
            text += names[i] + (i + 1 < names.size() ? ",\n" : "}\n");
        }
    }
    WriteFileBytes(imgPath.substr(0, imgPath.size() - 4) + ".hdr", text);
}

void WriteIdrisiHeader(const std::string& rstPath, int width, int height,
                       const std::string& rdcType)
{
    const std::string w = std::to_string(width);
    const std::string h = std::to_string(height);
    const std::string text =
        "file format : Idrisi Raster A.1\r\nfile title  : \r\ndata type   : " + rdcType +
        "\r\nfile type   : binary\r\ncolumns     : " + w + "\r\nrows        : " + h +
        "\r\nref. system : plane\r\nref. units  : m\r\nunit dist.  : 1\r\nmin. X      : 0\r\n"
        "max. X      : " + w + "\r\nmin. Y      : 0\r\nmax. Y      : " + h +
        "\r\npos'n error : unspecified\r\nresolution  : 1.0\r\nmin. value  : 1\r\n"
        "max. value  : 2047\r\ndisplay min : 1\r\ndisplay max : 2047\r\n"
        "value units : unspecified\r\nlineage     : \r\ncomment     : \r\n";
    WriteFileBytes(rstPath.substr(0, rstPath.size() - 4) + ".rdc", text);
}

void WriteEnviScene(const std::string& dir, const Scene& scene)
{
    WriteInt16File(dir + "/pan.img", scene.pan);
    WriteEnviHeader(dir + "/pan.img", scene.width, scene.height, 1, {"Pan"});
    for (int band = 0; band < 4; ++band) {
        const std::string path = dir + "/" + kBandFiles[band] + ".img";
        WriteInt16File(path, scene.ms[band]);
        WriteEnviHeader(path, scene.width / 4, scene.height / 4, 1, {kBandFiles[band]});
    }
}

void WriteEnvi4Scene(const std::string& dir, const Scene& scene)
{
    WriteInt16File(dir + "/pan.img", scene.pan);
    WriteEnviHeader(dir + "/pan.img", scene.width, scene.height, 1, {"Pan"});
    std::vector<std::int16_t> all;
    for (const auto& band : scene.ms) all.insert(all.end(), band.begin(), band.end());
    WriteInt16File(dir + "/ms.img", all);
    WriteEnviHeader(dir + "/ms.img", scene.width / 4, scene.height / 4, 4,
                    {"Blue", "Green", "Red", "NIR"});
}

void WriteIdrisiScene(const std::string& dir, const Scene& scene)
{
    WriteInt16File(dir + "/pan.rst", scene.pan);
    WriteIdrisiHeader(dir + "/pan.rst", scene.width, scene.height);
    std::string group = "4\r\n";
    for (int band = 0; band < 4; ++band) {
        const std::string path = dir + "/" + kBandFiles[band] + ".rst";
        WriteInt16File(path, scene.ms[band]);
        WriteIdrisiHeader(path, scene.width / 4, scene.height / 4);
        group += std::string(kBandFiles[band]) + "\r\n";
    }
    WriteFileBytes(dir + "/ms.rgf", group);
}

void WriteGeoTiffScene(const std::string& dir, const Scene& scene)
{
    const int msW = scene.width / 4, msH = scene.height / 4;
    WriteGeoTiff16(dir + "/pan.tif", scene.width, scene.height, {scene.pan});
    for (int b = 0; b < 4; ++b) {
        WriteGeoTiff16(dir + "/" + kBandFiles[b] + ".tif", msW, msH, {scene.ms[b]});
    }
    WriteGeoTiff16(dir + "/ms.tif", msW, msH, {scene.ms.begin(), scene.ms.end()});
}

void WriteEnviScene8(const std::string& dir, const Scene8& scene)
{
    WriteByteFile(dir + "/pan.img", scene.pan);
    WriteEnviHeader(dir + "/pan.img", scene.width, scene.height, 1, {"Pan"}, 1);
    for (std::size_t band = 0; band < scene.ms.size(); ++band) {
        const std::string path = dir + "/" + kBandFiles[band] + ".img";
        WriteByteFile(path, scene.ms[band]);
        WriteEnviHeader(path, scene.width / 2, scene.height / 2, 1, {kBandFiles[band]}, 1);
    }
}

PanSharpenJob BrowsedJob(const std::string& dir, const std::string& ext, bool fourBand, bool group)
{
    FakeHost host;
    PanSharpenJob job;
    bool ok = BrowsePan(job, dir + "/pan." + ext, host);
    if (fourBand || group) {
        ok = ok && BrowseBlue(job, dir + (group ? "/ms.rgf" : "/ms." + ext), host);
    } else {
        ok = ok && BrowseBlue(job, dir + "/blue." + ext, host);
        for (int band = 1; band < 4; ++band) {
            ok = ok && BrowseOtherBand(job, band, dir + "/" + kBandFiles[band] + "." + ext, host);
        }
    }
    if (!ok || !host.Messages().empty()) throw std::runtime_error("browsing the test scene failed");
    return job;
}

}  // namespace lumesta::testing
