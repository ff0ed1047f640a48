#include "imaging/band_window.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <string>

#include "raster/gdal/gdal_source.h"

namespace lumesta {

BandWindowSource::BandWindowSource(const BandSource& source, std::optional<double> noData)
    : m_source(source), m_noData(noData)
{
}

bool BandWindowSource::Open(Host& host)
{
    m_row.resize(static_cast<std::size_t>(m_source.layout.width));
    if (!m_reader.Open(m_source.layout, m_source.band, host)) return false;
    if (m_source.ownMask && m_reader.HasOwnMask())
        m_mask.resize(static_cast<std::size_t>(m_source.layout.width));
    return true;
}

bool BandWindowSource::ReadRow(std::int64_t y, std::int64_t left, std::int64_t count, double* out)
{
    y += m_source.top;  // the file's row
    left += m_source.left;
    if (y != m_rowHeld) {
        m_rowHeld = -1;
        if (!m_reader.ReadRow(y, m_row.data())) return false;
        if (!m_mask.empty()) {
            if (!m_reader.ReadMaskRow(y, m_mask.data())) return false;
            for (std::size_t x = 0; x < m_row.size(); ++x) {
                if (m_mask[x] == 0) m_row[x] = std::numeric_limits<double>::quiet_NaN();
            }
        }
        m_rowHeld = y;
    }
    std::copy(m_row.begin() + left, m_row.begin() + left + count, out);
    if (m_noData) {
        const double noData = *m_noData;
        for (std::int64_t x = 0; x < count; ++x) {
            if (out[x] == noData) out[x] = std::numeric_limits<double>::quiet_NaN();
        }
    }
    return true;
}

bool OpenBandWindows(const std::vector<BandSource>& bands,
                     const std::vector<std::optional<double>>& noData, Host& host,
                     std::vector<std::unique_ptr<BandWindowSource>>& sources)
{
    sources.clear();
    for (std::size_t k = 0; k < bands.size(); ++k) {
        const BandSource& band = bands[k];
        sources.push_back(
            std::make_unique<BandWindowSource>(band, k < noData.size() ? noData[k] : std::nullopt));
        if (!sources.back()->Open(host)) return false;
    }
    return true;
}

bool HasOwnMask(const BandSource& band)
{
    if (!band.ownMask || band.layout.reader != ReaderKind::Gdal) return false;
    std::string error;
    const std::unique_ptr<RasterSource> source = OpenGdalSource(band.layout.path, error);
    return source && source->Description().maskBand;
}

std::vector<RowWindowSource*> WindowPointers(
    const std::vector<std::unique_ptr<BandWindowSource>>& sources)
{
    std::vector<RowWindowSource*> pointers;
    for (const auto& source : sources) pointers.push_back(source.get());
    return pointers;
}

}  // namespace lumesta
