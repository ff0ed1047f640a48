#include "imaging/band_stream.h"

#include "raster/world_file.h"

namespace lumesta {

BandStream::BandStream(const RasterLayout& layout, int band)
    : RowStream(layout.width, layout.height, 48), m_layout(layout), m_band(band)
{
}

bool BandStream::Open(Host& host)
{
    return m_reader.Open(m_layout, m_band, host);
}

}  // namespace lumesta

namespace lumesta {

std::int64_t BandWidth(const BandSource& band)
{
    return band.width > 0 ? band.width : band.layout.width;
}

std::int64_t BandHeight(const BandSource& band)
{
    return band.width > 0 ? band.height : band.layout.height;
}

Georeference BandGeoreference(const BandSource& band)
{
    Georeference geo = ReadInputGeoreference(band.layout.path);
    if (!geo.valid || (band.left == 0 && band.top == 0)) return geo;
    const MapPoint corner =
        geo.PixelToMap(static_cast<double>(band.left), static_cast<double>(band.top));
    geo.originX = corner.x;
    geo.originY = corner.y;
    return geo;
}

bool ResolveBands(const std::vector<std::string>& paths, const GenericSize& generic, Host& host,
                  std::vector<BandSource>& bands)
{
    bands.clear();
    for (const std::string& path : paths) {
        RasterLayout layout;
        if (!DescribeRaster(path, generic, layout, host)) return false;
        if (paths.size() > 1 && layout.bands != 1) {
            host.ShowMessage(path + " holds " + std::to_string(layout.bands) +
                             " bands: give one multi-band file or single-band files.");
            return false;
        }
        for (int band = 0; band < layout.bands; ++band) bands.push_back(BandSource{layout, band});
    }
    return true;
}

bool OpenBandStreams(const std::vector<BandSource>& bands, Host& host,
                     std::vector<std::unique_ptr<BandStream>>& streams)
{
    streams.clear();
    for (const BandSource& source : bands) {
        streams.push_back(std::make_unique<BandStream>(source.layout, source.band));
        if (!streams.back()->Open(host)) return false;
    }
    return true;
}

std::vector<RowStream*> StreamPointers(const std::vector<std::unique_ptr<BandStream>>& streams)
{
    std::vector<RowStream*> pointers;
    for (const auto& stream : streams) pointers.push_back(stream.get());
    return pointers;
}

}  // namespace lumesta
