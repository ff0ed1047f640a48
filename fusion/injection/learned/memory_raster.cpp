#include "fusion/injection/learned/memory_raster.h"

#include <algorithm>

namespace lumesta {
namespace {

class MemorySource : public RasterSource {
public:
    MemorySource(std::vector<float> values, int width, int height, int bands)
        : m_values(std::move(values))
    {
        m_description.format = "memory";
        m_description.width = width;
        m_description.height = height;
        m_description.bands = bands;
        m_description.type = SampleType::Float32;
        m_description.availableRows = height;
    }

    bool ReadWindow(int band, const SampleWindow& window, float* out,
                    const std::atomic<bool>* cancel) override
    {
        const RasterDescription& d = m_description;
        for (int j = 0; j < window.rows; ++j) {
            if (cancel != nullptr && *cancel) return false;
            const std::int64_t y = window.y0 + std::int64_t{j} * window.step;
            float* row = out + std::int64_t{j} * window.columns;
            for (int i = 0; i < window.columns; ++i) {
                const std::int64_t x = window.x0 + std::int64_t{i} * window.step;
                const bool inside = band >= 0 && band < d.bands && y >= 0 && y < d.height &&
                                    x >= 0 && x < d.width;
                row[i] = inside ? m_values[Index(band, x, y)] : 0.0f;
            }
        }
        return true;
    }

    std::optional<double> ReadValue(int band, int x, int y) override
    {
        const RasterDescription& d = m_description;
        if (band < 0 || band >= d.bands || x < 0 || x >= d.width || y < 0 || y >= d.height) {
            return std::nullopt;
        }
        return double{m_values[Index(band, x, y)]};
    }

private:
    std::size_t Index(int band, std::int64_t x, std::int64_t y) const
    {
        const RasterDescription& d = m_description;
        return static_cast<std::size_t>((std::int64_t{band} * d.height + y) * d.width + x);
    }

    std::vector<float> m_values;
};

}  // namespace

std::shared_ptr<RasterSource> MemoryRaster(std::vector<float> values, int width, int height,
                                           int bands)
{
    return std::make_shared<MemorySource>(std::move(values), width, height, bands);
}

}  // namespace lumesta
