#include "fusion/injection/back_projection.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

#include "core/wide_lanes.h"
#include "fusion/injection/injection_fusion.h"
#include "fusion/injection/injection_model.h"
#include "fusion/injection/upsample_weights.h"
#include "fusion/parallel_rows.h"
#include "imaging/mtf_filter.h"

namespace lumesta {
namespace {

const char kWriteFailure[] =
    "Error when writing output file.\nYou may wish to copy files from CD-ROM to hard disk.";

// The rows of filtered fused rows the measuring pass keeps beyond a strip: a Gaussian's reach on
// both sides.
constexpr std::int64_t kRingExtraRows = kMtfTaps;

// Columns of the measuring pass's down-the-columns filter per piece of work.
constexpr std::int64_t kColumnBlock = 512;

// Relative size below which a weight of deg∘up is left out (see BandedOperator).
constexpr double kNegligible = 1e-17;

// out[i] = Σ_c w[c] · in[i + c] for i < count, summed in order of c, eight outputs side by side.
__attribute__((target_clones("avx512f", "avx2", "default"))) void ApplyRepeated(
    const double* w, int taps, const double* in, std::int64_t count, double* out)
{
    std::int64_t i = 0;
    for (; i + kWideLanes <= count; i += kWideLanes) {
        WideLanes sum = WideLanes{} + w[0] * LoadWide(in + i);
        for (int c = 1; c < taps; ++c) sum += w[c] * LoadWide(in + i + c);
        StoreWide(out + i, sum);
    }
    for (; i < count; ++i) {
        double sum = 0 + w[0] * in[i];
        for (int c = 1; c < taps; ++c) sum += w[c] * in[i + c];
        out[i] = sum;
    }
}

// One back-projection step as a stream: e_{j+1} = e_j − deg(up(e_j)), down the columns with
// the rows' operator, then along the row with the columns'.
class StepStream : public RowStream {
public:
    StepStream(RowStream& source, const BandedOperator& down, const BandedOperator& along,
               std::size_t window)
        : RowStream(source.Width(), source.Height(), window),
          m_source(source),
          m_down(down),
          m_along(along),
          m_line(static_cast<std::size_t>(source.Width())),
          m_applied(m_line.size())
    {
    }

protected:
    bool Produce(std::int64_t i, double* out) override
    {
        const int count = m_down.Count(i);
        m_rows.resize(static_cast<std::size_t>(count));
        // The latest row first, so that the source's window already holds the earlier ones.
        for (int c = count - 1; c >= 0; --c) m_rows[c] = m_source.Row(m_down.First(i) + c);
        WeightedRowSum(m_down.Weights(i), count, m_rows.data(), Width(), m_line.data());
        m_along.Apply(m_line.data(), m_applied.data());
        const double* own = m_source.Row(i);
        for (std::int64_t x = 0; x < Width(); ++x) out[x] = own[x] - m_applied[x];
        return !m_source.Failed();
    }

private:
    RowStream& m_source;
    const BandedOperator& m_down;
    const BandedOperator& m_along;
    std::vector<const double*> m_rows;
    std::vector<double> m_line;
    std::vector<double> m_applied;
};

// The sum e_0 + e_1 + … of one band's corrections, row by row, written over e_0 (each row is
// written after it was read).
bool BackProjectBand(const InjectionModel& model, int k, int steps, const BandedOperator& down,
                     const BandedOperator& along)
{
    const std::int64_t width = model.msWidth;
    const auto window = static_cast<std::size_t>((steps + 1) * down.Reach() + 4);
    std::vector<std::unique_ptr<RowStream>> errors;
    errors.push_back(
        std::make_unique<ImageRows>(model.corrections, k, width, model.msHeight, window));
    for (int j = 1; j < steps; ++j) {
        errors.push_back(std::make_unique<StepStream>(*errors.back(), down, along, window));
    }
    std::vector<double> total(static_cast<std::size_t>(width));
    std::vector<float> row(total.size());
    for (std::int64_t i = 0; i < model.msHeight; ++i) {
        // The last step first: it asks the earlier ones for every row it needs.
        for (int j = steps - 1; j >= 0; --j) errors[j]->Row(i);
        const double* first = errors[0]->Row(i);
        std::copy(first, first + width, total.begin());
        for (int j = 1; j < steps; ++j) {
            const double* e = errors[j]->Row(i);
            for (std::int64_t x = 0; x < width; ++x) total[x] += e[x];
        }
        if (errors.back()->Failed()) return false;
        std::copy(total.begin(), total.end(), row.begin());
        if (!model.corrections.PutRows(k, i, 1, row.data())) return false;
    }
    return true;
}

}  // namespace

BandedOperator::BandedOperator(std::int64_t n, int ratio, double gain)
{
    const AxisWeights up(n, ratio);
    const MtfTaps taps = MtfGaussian(gain, ratio);
    const std::int64_t fine = up.Fine();
    std::vector<std::vector<double>> rows(static_cast<std::size_t>(n));
    m_first.assign(static_cast<std::size_t>(n), 0);
    m_count.assign(static_cast<std::size_t>(n), 0);
    for (std::int64_t i = 0; i < n; ++i) {
        const std::int64_t centre = ratio * i + ratio / 2;
        std::int64_t lo = n, hi = 0;
        for (int t = 0; t < kMtfTaps; ++t) {
            const std::int64_t f = ClampIndex(centre - kMtfHalo + t, fine);
            lo = std::min(lo, up.First(f));
            hi = std::max(hi, up.First(f) + up.Count(f));
        }
        std::vector<double>& row = rows[i];
        row.assign(static_cast<std::size_t>(hi - lo), 0.0);
        for (int t = 0; t < kMtfTaps; ++t) {
            const std::int64_t f = ClampIndex(centre - kMtfHalo + t, fine);
            const double* w = up.Weights(f);
            for (int c = 0; c < up.Count(f); ++c) row[up.First(f) - lo + c] += taps[t] * w[c];
        }
        // Weights below kNegligible of the row's largest cannot move a sum by a unit in its
        // last place: the Gaussian's far tails times the interpolator's. Leaving them out of
        // the ends shortens every row by a few samples.
        const double largest =
            std::fabs(*std::max_element(row.begin(), row.end(), [](double a, double b) {
                return std::fabs(a) < std::fabs(b);
            }));
        const auto small = [&](double w) { return std::fabs(w) < kNegligible * largest; };
        while (row.size() > 1 && small(row.back())) row.pop_back();
        while (row.size() > 1 && small(row.front())) {
            row.erase(row.begin());
            ++lo;
        }
        hi = lo + static_cast<std::int64_t>(row.size());
        m_first[i] = lo;
        m_count[i] = static_cast<int>(hi - lo);
        m_stride = std::max(m_stride, row.size());
        m_reach = std::max({m_reach, i - lo, hi - 1 - i});
    }
    m_weights.assign(static_cast<std::size_t>(n) * m_stride, 0.0);
    for (std::int64_t i = 0; i < n; ++i) {
        std::copy(rows[i].begin(), rows[i].end(), m_weights.begin() + i * m_stride);
    }
    // The rows around the middle that repeat the middle row's weights one sample further on.
    const std::int64_t middle = n / 2;
    const auto repeats = [&](std::int64_t i) {
        return Count(i) == Count(middle) && First(i) - i == First(middle) - middle &&
               std::equal(Weights(i), Weights(i) + Count(i), Weights(middle));
    };
    m_repeatBegin = middle;
    m_repeatEnd = n > 0 ? middle + 1 : 0;
    while (m_repeatBegin > 0 && repeats(m_repeatBegin - 1)) --m_repeatBegin;
    while (m_repeatEnd < n && repeats(m_repeatEnd)) ++m_repeatEnd;
    m_repeatShift = n > 0 ? First(middle) - middle : 0;
}

void BandedOperator::Apply(const double* in, double* out) const
{
    const auto general = [&](std::int64_t i) {
        const double* w = Weights(i);
        const double* x = in + First(i);
        double sum = 0 + w[0] * x[0];
        for (int c = 1; c < Count(i); ++c) sum += w[c] * x[c];
        out[i] = sum;
    };
    for (std::int64_t i = 0; i < m_repeatBegin; ++i) general(i);
    if (m_repeatEnd > m_repeatBegin) {
        ApplyRepeated(Weights(m_repeatBegin), Count(m_repeatBegin),
                      in + m_repeatBegin + m_repeatShift, m_repeatEnd - m_repeatBegin,
                      out + m_repeatBegin);
    }
    for (std::int64_t i = m_repeatEnd; i < Size(); ++i) general(i);
}

StepResult MeasureFusionError(const InjectionModel& model, const MsCopy& ms,
                              const std::string& readFailure, Host& host,
                              const std::function<bool()>& pump)
{
    const int n = model.bands;
    const int r = model.ratio;
    const std::int64_t msWidth = model.msWidth;
    std::vector<MtfTaps> taps;
    for (int k = 0; k < n; ++k) taps.push_back(MtfGaussian(model.inputs.msGains[k], r));
    // The ring of filtered rows takes its own share of the buffer bytes.
    const std::int64_t rowBytes = n * msWidth * static_cast<std::int64_t>(sizeof(double));
    const std::int64_t stripRows =
        model.measureStripRows > 0
            ? model.measureStripRows
            : std::max<std::int64_t>(8,
                                     std::min(InjectionStripRows(model),
                                              kInjectionBufferBytes / rowBytes - kRingExtraRows));
    const std::int64_t ringRows = stripRows + kRingExtraRows;
    std::vector<double> ring(static_cast<std::size_t>(ringRows * n * msWidth));
    const auto ringRow = [&](std::int64_t y, int k) {
        return ring.data() + (k * ringRows + y % ringRows) * msWidth;
    };
    std::int64_t next = 0;  // the first MS row not finished yet
    std::vector<float> errors;
    const auto visit = [&](std::int64_t y, int k, const double* fused) {
        FilterAlongLine(taps[k], fused, model.width, r, r / 2, msWidth, ringRow(y, k));
    };
    const auto finish = [&](std::int64_t, std::int64_t row1) {
        std::int64_t end = next;
        while (end < model.msHeight &&
               std::min(r * end + r / 2 + kMtfHalo, model.height - 1) < row1) {
            ++end;
        }
        const std::int64_t rows = end - next;
        // The MS rows first, then e_0 = M − deg(F) in their place, by blocks of columns on
        // every core (a block's rows stay in the core's cache from one MS row to the next).
        errors.resize(static_cast<std::size_t>(rows * n * msWidth));
        for (int k = 0; k < n && rows > 0; ++k) {
            if (!ms.bands.ReadRows(k, next, rows, errors.data() + k * rows * msWidth, host)) {
                return StepResult::Failed;
            }
        }
        const std::int64_t blocks = (msWidth + kColumnBlock - 1) / kColumnBlock;
        const bool going = ForEachRowInParallel(
            n * blocks,
            [&](std::int64_t job) {
                const int k = static_cast<int>(job / blocks);
                const std::int64_t x0 = job % blocks * kColumnBlock;
                const std::int64_t columns = std::min(kColumnBlock, msWidth - x0);
                std::array<const double*, kMtfTaps> window{};
                double degraded[kColumnBlock];
                for (std::int64_t i = next; i < end; ++i) {
                    for (int t = 0; t < kMtfTaps; ++t) {
                        const std::int64_t y =
                            ClampIndex(r * i + r / 2 - kMtfHalo + t, model.height);
                        window[t] = ringRow(y, k) + x0;
                    }
                    FilterDownColumns(taps[k], window.data(), columns, degraded);
                    float* error = errors.data() + (k * rows + i - next) * msWidth + x0;
                    for (std::int64_t x = 0; x < columns; ++x) error[x] -= degraded[x];
                }
            },
            pump);
        if (!going) return StepResult::Cancelled;
        for (int k = 0; k < n && rows > 0; ++k) {
            if (!model.corrections.WriteRows(k, next, rows, errors.data() + k * rows * msWidth,
                                             host)) {
                return StepResult::Failed;
            }
        }
        next = end;
        return StepResult::Ok;
    };
    return VisitFusedRows(model, stripRows, visit, finish, readFailure, host, pump);
}

StepResult BackProject(InjectionModel& model, int steps, Host& host,
                       const std::function<bool()>& pump)
{
    // One pair of operators per distinct Gaussian of the bands.
    std::map<double, std::array<BandedOperator, 2>> operators;
    for (int k = 0; k < model.bands; ++k) {
        const double gain = model.inputs.msGains[k];
        if (operators.count(gain) == 0) {
            operators[gain] = {BandedOperator(model.msHeight, model.ratio, gain),
                               BandedOperator(model.msWidth, model.ratio, gain)};
        }
    }
    std::vector<char> done(static_cast<std::size_t>(model.bands), 0);
    const bool going = ForEachRowInParallel(
        model.bands,
        [&](std::int64_t k) {
            const auto& pair = operators.at(model.inputs.msGains[k]);
            done[k] = BackProjectBand(model, static_cast<int>(k), steps, pair[0], pair[1]);
        },
        pump);
    if (!going) return StepResult::Cancelled;
    if (std::any_of(done.begin(), done.end(), [](char d) { return d == 0; })) {
        host.ShowMessage(kWriteFailure);
        return StepResult::Failed;
    }
    return StepResult::Ok;
}

}  // namespace lumesta
