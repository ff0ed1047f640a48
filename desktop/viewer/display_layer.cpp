#include "desktop/viewer/display_layer.h"

#include <algorithm>
#include <cmath>

#include "imaging/stretch.h"
#include "raster/area_average.h"
#include "raster/header_fields.h"

namespace lumesta {

DisplayLayer::DisplayLayer(std::shared_ptr<RasterSource> source) : m_source(std::move(source)) {}

void DisplayLayer::LoadOverview(const std::atomic<bool>& cancel, std::int64_t samplesPerBand)
{
    const RasterDescription& d = Description();
    const double scale =
        std::sqrt(static_cast<double>(d.width) * d.height / static_cast<double>(samplesPerBand));
    m_step = std::max(1, static_cast<int>(std::ceil(scale)));
    m_columns = (d.width + m_step - 1) / m_step;
    m_rows = (d.height + m_step - 1) / m_step;
    std::vector<std::vector<float>> overview(static_cast<std::size_t>(d.bands));
    std::vector<BandStatistics> statistics(static_cast<std::size_t>(d.bands));
    // Rows in slices, so that progress moves and a cancel is seen soon.
    const int slice = std::max(1, m_rows / 20);
    for (int band = 0; band < d.bands; ++band) {
        auto& samples = overview[static_cast<std::size_t>(band)];
        samples.assign(static_cast<std::size_t>(m_columns) * m_rows, 0.0f);
        for (int row = 0; row < m_rows; row += slice) {
            const int rows = std::min(slice, m_rows - row);
            const SampleWindow window{0, row * m_step, m_columns, rows, m_step};
            if (!m_source->ReadWindow(band, window,
                                      samples.data() + static_cast<std::size_t>(row) * m_columns,
                                      &cancel)) {
                return;
            }
            m_progress = static_cast<int>((static_cast<std::int64_t>(band) * m_rows + row + rows) *
                                          100 / (static_cast<std::int64_t>(d.bands) * m_rows));
        }
        statistics[static_cast<std::size_t>(band)] =
            ComputeBandStatistics(samples.data(), static_cast<std::int64_t>(samples.size()));
    }
    m_overview = std::move(overview);
    m_statistics = std::move(statistics);
    m_averagedReady = m_step == 1;
    m_adopted = m_step == 1;
    m_ready.store(true, std::memory_order_release);
}

bool DisplayLayer::RefineOverview(const std::atomic<bool>& cancel)
{
    if (!OverviewReady() || m_averagedReady.load()) return false;
    const RasterDescription& d = Description();
    if (m_averaged.empty()) m_averaged.resize(static_cast<std::size_t>(d.bands));
    auto& samples = m_averaged[static_cast<std::size_t>(m_refineBand)];
    if (samples.empty()) samples.assign(static_cast<std::size_t>(m_columns) * m_rows, 0.0f);
    // A slice of about a million source pixels: the worker returns to tiles soon.
    const int slice = std::max(
        1, static_cast<int>((std::int64_t{1} << 20) / (std::int64_t{m_step} * m_step * m_columns)));
    const int rows = std::min(slice, m_rows - m_refineRow);
    const SampleWindow window{0, m_refineRow * m_step, m_columns, rows, m_step};
    if (!ReadAreaAverage(*m_source, m_refineBand, window,
                         samples.data() + static_cast<std::size_t>(m_refineRow) * m_columns,
                         &cancel)) {
        return !cancel.load();  // a cancelled slice is read again when the worker comes back
    }
    m_refineRow += rows;
    if (m_refineRow < m_rows) return true;
    m_averagedStatistics.push_back(
        ComputeBandStatistics(samples.data(), static_cast<std::int64_t>(samples.size())));
    m_refineRow = 0;
    if (++m_refineBand < d.bands) return true;
    m_averagedReady.store(true, std::memory_order_release);
    return false;
}

bool DisplayLayer::AdoptAveragedOverview()
{
    if (m_adopted || !m_averagedReady.load(std::memory_order_acquire)) return false;
    m_overview = std::move(m_averaged);
    m_statistics = std::move(m_averagedStatistics);
    m_adopted = true;
    return true;
}

ViewLimits DisplayLayer::LimitsOf(int band, const ChannelStretch& channel) const
{
    if (!OverviewReady() || band < 0 || band >= static_cast<int>(m_overview.size())) return {};
    const auto& samples = m_overview[static_cast<std::size_t>(band)];
    return ComputeViewLimits(samples.data(), static_cast<std::int64_t>(samples.size()),
                             channel.leftPercent, channel.rightPercent);
}

BandChoice DisplayLayer::DefaultChoice() const
{
    const RasterDescription& d = Description();
    BandChoice choice;
    const char* const names[3] = {"red", "green", "blue"};
    int found = 0;
    for (int channel = 0; channel < 3; ++channel) {
        for (int band = 0; band < d.bands; ++band) {
            if (band < static_cast<int>(d.bandNames.size()) &&
                LowerText(d.bandNames[band]) == names[channel]) {
                choice.rgb[channel] = band;
                ++found;
                break;
            }
        }
    }
    if (found == 3) return choice;
    if (d.bands >= 3) {
        choice.rgb = {2, 1, 0};
    } else {
        choice.grey = true;
    }
    return choice;
}

QImage RenderSamples(const std::array<const float*, 3>& channels, int columns, int rows,
                     const std::array<ChannelStretch, 3>& stretch)
{
    QImage image(columns, rows, QImage::Format_RGB32);
    std::array<std::array<std::uint8_t, 256>, 3> curves;
    for (int c = 0; c < 3; ++c) curves[c] = NonlinearStretchTable(stretch[c].strength);
    for (int y = 0; y < rows; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const std::size_t at = static_cast<std::size_t>(y) * columns;
        for (int x = 0; x < columns; ++x) {
            int bytes[3] = {0, 0, 0};
            for (int c = 0; c < 3; ++c) {
                if (!channels[c]) continue;
                const float v = channels[c][at + x];
                if (std::isnan(v)) continue;
                bytes[c] = curves[c][LinearStretchByte(v, stretch[c].low, stretch[c].high)];
            }
            line[x] = qRgb(bytes[0], bytes[1], bytes[2]);
        }
    }
    return image;
}

}  // namespace lumesta
