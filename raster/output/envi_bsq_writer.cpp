#include "raster/output/envi_bsq_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "raster/file_name.h"
#include "raster/output/gdal_library.h"
#include "raster/write_behind.h"

namespace lumesta {
namespace {

constexpr int kUtmNorth = 32600;
constexpr int kUtmSouth = 32700;

int EnviDataType(SampleType type)
{
    switch (type) {
        case SampleType::UInt8:
            return 1;
        case SampleType::Int16:
            return 2;
        case SampleType::UInt16:
            return 12;
        default:
            return 4;
    }
}

// A name as one item of a brace list: no commas, braces or line ends inside.
std::string ListItem(std::string text)
{
    for (char& c : text) {
        if (c == ',' || c == '{' || c == '}' || c == '\n' || c == '\r') c = ' ';
    }
    return text;
}

// map info = {projection, 1, 1, easting, northing, pixel width, height[, zone, North|South],
// datum, units}: reference pixel (1, 1) is the upper-left corner of the upper-left pixel.
std::string MapInfo(const Georeference& geo, const std::string& wkt)
{
    const std::string corner =
        ", 1, 1, " + ExactNumberText(geo.originX) + ", " + ExactNumberText(geo.originY) + ", " +
        ExactNumberText(geo.pixelWidth) + ", " + ExactNumberText(-geo.pixelHeight);
    const bool north = geo.epsg > kUtmNorth && geo.epsg <= kUtmNorth + 60;
    const bool south = geo.epsg > kUtmSouth && geo.epsg <= kUtmSouth + 60;
    if (north || south) {
        const int zone = geo.epsg - (north ? kUtmNorth : kUtmSouth);
        return "{UTM" + corner + ", " + std::to_string(zone) + (north ? ", North" : ", South") +
               ", WGS-84, units=Meters}";
    }
    if (geo.epsg == 4326) return "{Geographic Lat/Lon" + corner + ", WGS-84, units=Degrees}";
    const std::string name = ListItem(WktName(wkt));
    return "{" + (name.empty() ? std::string("Arbitrary") : name) + corner + "}";
}

std::string HeaderText(const BandFileSpec& spec, const std::string& shownPath)
{
    std::string text = "ENVI\ndescription = {" + ListItem(FileNameOf(shownPath)) + "}\n";
    text += "samples = " + std::to_string(spec.width) + "\nlines = " + std::to_string(spec.height) +
            "\nbands = " + std::to_string(spec.bands) + "\nheader offset = 0\n";
    text += "file type = ENVI Standard\ndata type = " + std::to_string(EnviDataType(spec.type)) +
            "\ninterleave = bsq\nbyte order = 0\n";
    if (spec.geo.valid) {
        const std::string wkt = CrsWktOf(spec.geo);
        text += "map info = " + MapInfo(spec.geo, wkt) + "\n";
        if (!wkt.empty()) text += "coordinate system string = {" + wkt + "}\n";
    }
    if (!spec.bandNames.empty()) {
        text += "band names = {";
        for (std::size_t k = 0; k < spec.bandNames.size(); ++k)
            text += (k > 0 ? ", " : "") + ListItem(spec.bandNames[k]);
        text += "}\n";
    }
    if (spec.noData) text += "data ignore value = " + ExactNumberText(*spec.noData) + "\n";
    return text;
}

class EnviBsqWriter : public BandFileWriter {
public:
    EnviBsqWriter(const BandFileSpec& spec, std::string hdrPath, const std::string& shownPath,
                  Host& host)
        : BandFileWriter(spec, shownPath, host), m_hdrPath(std::move(hdrPath))
    {
    }
    ~EnviBsqWriter() override
    {
        if (m_fd >= 0) ::close(m_fd);
    }

    bool Open(const std::string& imgPath)
    {
        m_fd = ::open(imgPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        return m_fd >= 0 || Fail({});
    }

    RunOutcome Finish(const std::function<bool()>&) override
    {
        if (!CheckComplete()) return RunOutcome::Stopped;
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0) {
            Fail({});
            return RunOutcome::Stopped;
        }
        return WriteHeader() ? RunOutcome::Finished : RunOutcome::Stopped;
    }

protected:
    bool WriteStrip(const void* const* bands, int rows) override
    {
        const std::int64_t sampleBytes = SampleBytes(m_spec.type);
        const std::int64_t rowBytes = sampleBytes * m_spec.width;
        for (int k = 0; k < m_spec.bands; ++k) {
            const std::int64_t offset =
                (static_cast<std::int64_t>(k) * m_spec.height + m_rowsWritten) * rowBytes;
            const std::int64_t length = rows * rowBytes;
            if (!WriteAllAt(m_fd, offset, bands[k], length, WriteBehind::CallBytes(&m_behind)) ||
                !m_behind.Wrote(m_fd, offset, length)) {
                return Fail({});
            }
        }
        return true;
    }

private:
    bool WriteHeader()
    {
        const std::string text = HeaderText(m_spec, m_shownPath);
        std::FILE* file = std::fopen(m_hdrPath.c_str(), "wb");
        if (file == nullptr) return Fail({});
        const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
        const bool closed = std::fclose(file) == 0;
        return (written && closed) || Fail({});
    }

    std::string m_hdrPath;
    int m_fd = -1;
    WriteBehind m_behind{WriteBehind::kWindowBytes};
};

}  // namespace

std::unique_ptr<BandFileWriter> OpenEnviBsqWriter(const BandFileSpec& spec,
                                                  const std::string& imgPath,
                                                  const std::string& hdrPath,
                                                  const std::string& shownPath, Host& host)
{
    const Georeference& geo = spec.geo;
    if (geo.valid && (geo.rowSkewX != 0 || geo.columnSkewY != 0 || !(geo.pixelWidth > 0) ||
                      !(geo.pixelHeight < 0))) {
        host.ShowMessage("Cannot write " + shownPath +
                         ": ENVI's map info holds only north-up grids without rotation.");
        return nullptr;
    }
    auto writer = std::make_unique<EnviBsqWriter>(spec, hdrPath, shownPath, host);
    if (!writer->Open(imgPath)) return nullptr;
    return writer;
}

}  // namespace lumesta
