#include "fusion/registration/valid_samples.h"

namespace lumesta {

void ReadValidSamples(RasterSource& source, int band, const SampleWindow& window,
                      std::optional<double> noData, std::vector<float>& samples,
                      std::vector<std::uint8_t>& valid)
{
    const std::size_t count = static_cast<std::size_t>(window.columns) * window.rows;
    samples.assign(count, 0.0f);
    valid.assign(count, 0);
    source.ReadWindow(band, window, samples.data(), nullptr);
    const RasterDescription& image = source.Description();
    const int rowsHeld = image.availableRows > 0 ? image.availableRows : image.height;
    for (int j = 0; j < window.rows; ++j) {
        const std::int64_t y = window.y0 + static_cast<std::int64_t>(j) * window.step;
        if (y < 0 || y >= rowsHeld) continue;
        for (int i = 0; i < window.columns; ++i) {
            const std::int64_t x = window.x0 + static_cast<std::int64_t>(i) * window.step;
            const std::size_t at = static_cast<std::size_t>(j) * window.columns + i;
            valid[at] = x >= 0 && x < image.width && (!noData || samples[at] != *noData);
        }
    }
}

}  // namespace lumesta
