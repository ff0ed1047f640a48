#include "fusion/injection/ms_scale_rows.h"

#include <algorithm>

#include "core/wide_lanes.h"
#include "fusion/injection/injection_model.h"

namespace lumesta {

StepResult CopyMs(const InjectionModel& model, MsCopy& copy, const std::string& readFailure,
                  Host& host, const std::function<bool()>& pump)
{
    const std::int64_t width = model.msWidth;
    const bool masked = model.scene.Masked();
    if (!copy.bands.Create(model.inputs.tempBeside, model.bands, width, model.msHeight, host) ||
        (masked && !copy.valid.Create(model.inputs.tempBeside, 1, width, model.msHeight, host))) {
        return StepResult::Failed;
    }
    const std::int64_t chunkRows = std::clamp<std::int64_t>(
        kInjectionBufferBytes / (width * (model.bands + 2) * 4), 1, model.msHeight);
    std::vector<float> rows(static_cast<std::size_t>(model.bands * chunkRows * width));
    std::vector<std::uint8_t> valid(masked ? static_cast<std::size_t>(chunkRows * width) : 0);
    std::vector<float> validRows(valid.size());
    std::vector<float*> bands;
    for (int k = 0; k < model.bands; ++k) bands.push_back(rows.data() + k * chunkRows * width);
    for (std::int64_t y0 = 0; y0 < model.msHeight; y0 += chunkRows) {
        const std::int64_t count = std::min(chunkRows, model.msHeight - y0);
        if (!ReadMsRows(model, y0, count, bands.data()) ||
            (masked && !model.scene.ReadMsValid(y0, count, valid.data()))) {
            host.ShowMessage(readFailure);
            return StepResult::Failed;
        }
        for (int k = 0; k < model.bands; ++k) {
            if (!copy.bands.WriteRows(k, y0, count, bands[k], host)) return StepResult::Failed;
        }
        if (masked) {
            std::copy(valid.begin(), valid.begin() + count * width, validRows.begin());
            if (!copy.valid.WriteRows(0, y0, count, validRows.data(), host)) {
                return StepResult::Failed;
            }
        }
        if (!pump()) return StepResult::Cancelled;
    }
    return StepResult::Ok;
}

ImageRows::ImageRows(const DegradedPans& images, int image, std::int64_t width, std::int64_t height,
                     std::size_t window)
    : RowStream(width, height, window),
      m_images(images),
      m_image(image),
      m_row(static_cast<std::size_t>(images.Width()))
{
}

bool ImageRows::Produce(std::int64_t y, double* out)
{
    if (!m_images.GetRows(m_image, y, 1, m_row.data())) return false;
    std::copy(m_row.begin(), m_row.begin() + Width(), out);
    return true;
}

UpsampledRows::UpsampledRows(RowStream& source, int ratio)
    : RowStream(source.Width() * ratio, source.Height() * ratio, 8),
      m_source(source),
      m_down(source.Height(), ratio),
      m_along(source.Width(), ratio),
      m_line(static_cast<std::size_t>(source.Width()))
{
}

bool UpsampledRows::Produce(std::int64_t y, double* out)
{
    const int count = m_down.Count(y);
    m_rows.resize(static_cast<std::size_t>(count));
    // The latest row first, so that the source's window already holds the earlier ones.
    for (int c = count - 1; c >= 0; --c) m_rows[c] = m_source.Row(m_down.First(y) + c);
    WeightedRowSum(m_down.Weights(y), count, m_rows.data(), m_source.Width(), m_line.data());
    m_along.Apply(m_line.data(), out);
    return !m_source.Failed();
}

struct WeightedRowSumKernel {
    template <typename WideLanes>
    static void Run(const double* w, int count, const double* const* rows, std::int64_t width,
                    double* line)
    {
        constexpr int kWideLanes = kLanesOf<WideLanes>;
        std::int64_t x = 0;
        // Four runs of samples at once: their sums do not wait for each other's additions.
        for (; x + 4 * kWideLanes <= width; x += 4 * kWideLanes) {
            WideLanes a = WideLanes{} + w[0] * LoadWide<WideLanes>(rows[0] + x);
            WideLanes b = WideLanes{} + w[0] * LoadWide<WideLanes>(rows[0] + x + kWideLanes);
            WideLanes c2 = WideLanes{} + w[0] * LoadWide<WideLanes>(rows[0] + x + 2 * kWideLanes);
            WideLanes d = WideLanes{} + w[0] * LoadWide<WideLanes>(rows[0] + x + 3 * kWideLanes);
            for (int c = 1; c < count; ++c) {
                a += w[c] * LoadWide<WideLanes>(rows[c] + x);
                b += w[c] * LoadWide<WideLanes>(rows[c] + x + kWideLanes);
                c2 += w[c] * LoadWide<WideLanes>(rows[c] + x + 2 * kWideLanes);
                d += w[c] * LoadWide<WideLanes>(rows[c] + x + 3 * kWideLanes);
            }
            StoreWide(line + x, a);
            StoreWide(line + x + kWideLanes, b);
            StoreWide(line + x + 2 * kWideLanes, c2);
            StoreWide(line + x + 3 * kWideLanes, d);
        }
        for (; x + kWideLanes <= width; x += kWideLanes) {
            WideLanes a = WideLanes{} + w[0] * LoadWide<WideLanes>(rows[0] + x);
            for (int c = 1; c < count; ++c) a += w[c] * LoadWide<WideLanes>(rows[c] + x);
            StoreWide(line + x, a);
        }
        for (; x < width; ++x) {
            double sum = 0 + w[0] * rows[0][x];
            for (int c = 1; c < count; ++c) sum += w[c] * rows[c][x];
            line[x] = sum;
        }
    }
};

void WeightedRowSum(const double* w, int count, const double* const* rows, std::int64_t width,
                    double* line)
{
    RunWide<WeightedRowSumKernel>(w, count, rows, width, line);
}

}  // namespace lumesta
