#include "raster/area_average.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace lumesta {

bool ReadAreaAverage(RasterSource& source, int band, const SampleWindow& window, float* out,
                     const std::atomic<bool>* cancel)
{
    if (window.step <= 1) return source.ReadWindow(band, window, out, cancel);
    const RasterDescription& d = source.Description();
    const std::int64_t step = window.step;
    const std::size_t columns = static_cast<std::size_t>(std::max(window.columns, 0));
    std::fill(out, out + columns * static_cast<std::size_t>(std::max(window.rows, 0)), 0.0f);
    // The image columns the window covers.
    const std::int64_t xFirst = std::max<std::int64_t>(window.x0, 0);
    const std::int64_t xEnd = std::min<std::int64_t>(window.x0 + window.columns * step, d.width);
    if (xEnd <= xFirst) return true;
    std::vector<float> row(static_cast<std::size_t>(xEnd - xFirst));
    std::vector<double> sums(columns);
    std::vector<std::int64_t> counts(columns);
    for (int j = 0; j < window.rows; ++j) {
        std::fill(sums.begin(), sums.end(), 0.0);
        std::fill(counts.begin(), counts.end(), 0);
        const std::int64_t yFirst = std::max<std::int64_t>(window.y0 + j * step, 0);
        const std::int64_t yEnd = std::min<std::int64_t>(window.y0 + (j + 1) * step, d.height);
        for (std::int64_t y = yFirst; y < yEnd; ++y) {
            if (cancel && cancel->load()) return false;
            const SampleWindow line{static_cast<int>(xFirst), static_cast<int>(y),
                                    static_cast<int>(xEnd - xFirst), 1, 1};
            if (!source.ReadWindow(band, line, row.data(), cancel)) return false;
            // Column by column of the output, each taking its block's share of the row.
            std::int64_t x = xFirst;
            while (x < xEnd) {
                const std::size_t i = static_cast<std::size_t>((x - window.x0) / step);
                const std::int64_t blockEnd = std::min(xEnd, window.x0 + static_cast<std::int64_t>(i + 1) * step);
                double sum = 0;
                std::int64_t count = 0;
                for (; x < blockEnd; ++x) {
                    const float v = row[static_cast<std::size_t>(x - xFirst)];
                    if (std::isnan(v)) continue;
                    sum += v;
                    ++count;
                }
                sums[i] += sum;
                counts[i] += count;
            }
        }
        float* target = out + static_cast<std::size_t>(j) * columns;
        for (std::size_t i = 0; i < columns; ++i) {
            if (counts[i] > 0) target[i] = static_cast<float>(sums[i] / counts[i]);
        }
    }
    return true;
}

}  // namespace lumesta
