// Averaged decimated reads: every block's mean over the pixels inside the image, whatever the
// window's place (so a fine pattern shows its mean, not one of its phases).

#include "raster/area_average.h"

#include <gtest/gtest.h>

#include <cmath>

namespace lumesta {
namespace {

// A band held in memory, NaN (no data) at (4, 5).
class PatternSource : public RasterSource {
public:
    PatternSource(int width, int height, int (*value)(int, int)) : m_value(value)
    {
        m_description.width = width;
        m_description.height = height;
        m_description.bands = 1;
    }
    bool ReadWindow(int, const SampleWindow& w, float* out, const std::atomic<bool>*) override
    {
        for (int j = 0; j < w.rows; ++j) {
            for (int i = 0; i < w.columns; ++i)
                out[j * w.columns + i] = Pixel(w.x0 + i * w.step, w.y0 + j * w.step);
        }
        return true;
    }
    std::optional<double> ReadValue(int, int x, int y) override { return Pixel(x, y); }
    float Pixel(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= m_description.width || y >= m_description.height) return 0;
        if (x == 4 && y == 5) return NAN;
        return static_cast<float>(m_value(x, y));
    }

private:
    int (*m_value)(int, int);
};

TEST(AreaAverageTest, EachSampleIsTheMeanOfItsBlockInsideTheImage)
{
    PatternSource source(23, 17, [](int x, int y) { return (x * 37 + y * 11) % 97; });
    const SampleWindow windows[] = {
        {0, 0, 8, 6, 3}, {-4, -3, 6, 5, 4}, {20, 14, 3, 3, 2}, {30, 0, 2, 2, 5}};
    for (const SampleWindow& w : windows) {
        std::vector<float> got(static_cast<std::size_t>(w.columns) * w.rows, -1);
        ASSERT_TRUE(ReadAreaAverage(source, 0, w, got.data(), nullptr));
        for (int j = 0; j < w.rows; ++j) {
            for (int i = 0; i < w.columns; ++i) {
                double sum = 0;
                int count = 0;
                for (int v = 0; v < w.step; ++v) {
                    for (int u = 0; u < w.step; ++u) {
                        const int x = w.x0 + i * w.step + u;
                        const int y = w.y0 + j * w.step + v;
                        if (x < 0 || y < 0 || x >= 23 || y >= 17 || (x == 4 && y == 5)) continue;
                        sum += source.Pixel(x, y);
                        ++count;
                    }
                }
                const float expected = count ? static_cast<float>(sum / count) : 0.0f;
                ASSERT_FLOAT_EQ(got[static_cast<std::size_t>(j * w.columns + i)], expected)
                    << "window at " << w.x0 << "," << w.y0 << " step " << w.step << ": " << i
                    << "," << j;
            }
        }
    }
    std::atomic<bool> cancel{true};
    std::vector<float> out(4);
    EXPECT_FALSE(ReadAreaAverage(source, 0, {0, 0, 2, 2, 2}, out.data(), &cancel));
}

}  // namespace
}  // namespace lumesta
