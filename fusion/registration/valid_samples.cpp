#include "fusion/registration/valid_samples.h"

namespace lumesta {

bool ReadValidSamples(const SourceBand& band, const SampleWindow& window, const Validity& rule,
                      std::vector<float>& samples, std::vector<std::uint8_t>& valid,
                      std::string& error)
{
    RasterSource& source = *band.source;
    const std::size_t count = static_cast<std::size_t>(window.columns) * window.rows;
    samples.assign(count, 0.0f);
    valid.assign(count, 0);
    if (!source.ReadWindow(band.band, window, samples.data(), nullptr) ||
        (!rule.noData && rule.ownMask &&
         !source.ReadMaskWindow(band.band, window, valid.data()))) {
        error = source.ReadError().empty() ? "An image could not be read." : source.ReadError();
        return false;
    }
    if (!rule.noData && rule.ownMask) return true;
    const RasterDescription& image = source.Description();
    const int rowsHeld = image.availableRows > 0 ? image.availableRows : image.height;
    for (int j = 0; j < window.rows; ++j) {
        const std::int64_t y = window.y0 + static_cast<std::int64_t>(j) * window.step;
        if (y < 0 || y >= rowsHeld) continue;
        for (int i = 0; i < window.columns; ++i) {
            const std::int64_t x = window.x0 + static_cast<std::int64_t>(i) * window.step;
            const std::size_t at = static_cast<std::size_t>(j) * window.columns + i;
            valid[at] = x >= 0 && x < image.width && (!rule.noData || samples[at] != *rule.noData);
        }
    }
    return true;
}

}  // namespace lumesta
