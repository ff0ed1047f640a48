#include "fusion/injection/back_projection.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <stdexcept>

#include "core/allocate.h"
#include "core/wide_lanes.h"
#include "fusion/injection/injection_fusion.h"
#include "fusion/injection/injection_kernels.h"
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

// out[i] = Σ_c w[c] · in[i + c] for i < count, summed in order of c, a vector of outputs side by
// side; four runs of them at once, so that their additions do not wait for each other.
struct ApplyRepeatedKernel {
    template <typename WideLanes>
    static void Run(const double* w, int taps, const double* in, std::int64_t count, double* out)
    {
        constexpr int kWideLanes = kLanesOf<WideLanes>;
        std::int64_t i = 0;
        for (; i + 4 * kWideLanes <= count; i += 4 * kWideLanes) {
            const double* x = in + i;
            WideLanes a = WideLanes{} + w[0] * LoadWide<WideLanes>(x);
            WideLanes b = WideLanes{} + w[0] * LoadWide<WideLanes>(x + kWideLanes);
            WideLanes c = WideLanes{} + w[0] * LoadWide<WideLanes>(x + 2 * kWideLanes);
            WideLanes d = WideLanes{} + w[0] * LoadWide<WideLanes>(x + 3 * kWideLanes);
            for (int t = 1; t < taps; ++t) {
                a += w[t] * LoadWide<WideLanes>(x + t);
                b += w[t] * LoadWide<WideLanes>(x + t + kWideLanes);
                c += w[t] * LoadWide<WideLanes>(x + t + 2 * kWideLanes);
                d += w[t] * LoadWide<WideLanes>(x + t + 3 * kWideLanes);
            }
            StoreWide(out + i, a);
            StoreWide(out + i + kWideLanes, b);
            StoreWide(out + i + 2 * kWideLanes, c);
            StoreWide(out + i + 3 * kWideLanes, d);
        }
        for (; i + kWideLanes <= count; i += kWideLanes) {
            WideLanes sum = WideLanes{} + w[0] * LoadWide<WideLanes>(in + i);
            for (int c = 1; c < taps; ++c) sum += w[c] * LoadWide<WideLanes>(in + i + c);
            StoreWide(out + i, sum);
        }
        for (; i < count; ++i) {
            double sum = 0 + w[0] * in[i];
            for (int c = 1; c < taps; ++c) sum += w[c] * in[i + c];
            out[i] = sum;
        }
    }
};

void ApplyRepeated(const double* w, int taps, const double* in, std::int64_t count, double* out)
{
    RunWide<ApplyRepeatedKernel>(w, taps, in, count, out);
}

// Rows of float images at MS scale handed from one stage of the one-pass fusion to the next
// in memory, one ring per band: band k's row i sits in slot i mod the ring's rows. Rows are put
// in order; a row stays until the reader no longer needs it (Get of a ring read once in order,
// or Release) and the ring comes round to its slot.
class MsRowRing {
public:
    MsRowRing(int bands, std::int64_t width, std::int64_t rows, bool readOnce)
        : m_width(width),
          m_rows(rows),
          m_readOnce(readOnce),
          m_samples(static_cast<std::size_t>(bands * rows * width)),
          m_put(static_cast<std::size_t>(bands), 0),
          m_needed(static_cast<std::size_t>(bands), 0)
    {
    }

    // The slot of band k's next row i. A ring too short for its rows is a programming error.
    float* Put(int k, std::int64_t i)
    {
        std::int64_t& put = m_put[static_cast<std::size_t>(k)];
        if (i != put || i - m_rows >= m_needed[static_cast<std::size_t>(k)]) {
            throw std::logic_error("MS row ring: a row needed would be overwritten");
        }
        put = i + 1;
        return Slot(k, i);
    }

    // Band k's row i, put and still held.
    const float* Get(int k, std::int64_t i)
    {
        const auto b = static_cast<std::size_t>(k);
        if (i >= m_put[b] || i < m_needed[b]) throw std::logic_error("MS row ring: row not held");
        if (m_readOnce) m_needed[b] = i + 1;
        return Slot(k, i);
    }

    // The rows before i of every band are not needed any more.
    void Release(std::int64_t i)
    {
        for (auto& needed : m_needed) needed = std::max(needed, i);
    }

private:
    float* Slot(int k, std::int64_t i)
    {
        return m_samples.data() + (k * m_rows + i % m_rows) * m_width;
    }

    std::int64_t m_width;
    std::int64_t m_rows;
    bool m_readOnce;
    std::vector<float> m_samples;
    std::vector<std::int64_t> m_put;     // per band: the rows put, from the top
    std::vector<std::int64_t> m_needed;  // per band: the lowest row the reader may still read
};

// One band's rows of a ring as a stream of doubles (each row read once, in order).
class RingRows : public RowStream {
public:
    RingRows(MsRowRing& ring, int k, std::int64_t width, std::int64_t height, std::size_t window)
        : RowStream(width, height, window), m_ring(ring), m_k(k)
    {
    }

protected:
    bool Produce(std::int64_t y, double* out) override
    {
        const float* row = m_ring.Get(m_k, y);
        std::copy(row, row + Width(), out);
        return true;
    }

private:
    MsRowRing& m_ring;
    int m_k;
};

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

// The sum e_0 + e_1 + … of one band's corrections, row by row from the top, written over e_0
// (each row is written after it was read). The rows of e_0 may arrive while it goes on.
class BandBackProjection {
public:
    // e_0 from the model's corrections and the sums back into them, or both through rings
    // (errors, read once; totals).
    BandBackProjection(const InjectionModel& model, int k, int steps, const BandedOperator& down,
                       const BandedOperator& along, MsRowRing* errors, MsRowRing* totals)
        : m_model(model),
          m_k(k),
          m_steps(steps),
          m_totals(totals),
          m_total(static_cast<std::size_t>(model.msWidth)),
          m_row(m_total.size())
    {
        // Step j's rows are read from row i (the sum's) to i + (steps − 1 − j) · reach (the
        // later steps'), and step j + 1 reads 2 · reach + 1 of them at once.
        const std::int64_t reach = down.Reach();
        const auto window = [&](int j) {
            return static_cast<std::size_t>(
                std::max((steps - 1 - j) * reach + 1, j < steps - 1 ? 2 * reach + 1 : 1) + 1);
        };
        if (errors != nullptr) {
            m_errors.push_back(
                std::make_unique<RingRows>(*errors, k, model.msWidth, model.msHeight, window(0)));
        } else {
            m_errors.push_back(std::make_unique<ImageRows>(model.corrections, k, model.msWidth,
                                                           model.msHeight, window(0)));
        }
        for (int j = 1; j < steps; ++j) {
            m_errors.push_back(
                std::make_unique<StepStream>(*m_errors.back(), down, along, window(j)));
        }
    }

    // Writes the sums of rows up to end − 1; false when the file did not give or take a row.
    bool Advance(std::int64_t end)
    {
        const std::int64_t width = m_model.msWidth;
        for (; m_next < end; ++m_next) {
            const std::int64_t i = m_next;
            // The last step first: it asks the earlier ones for every row it needs.
            for (int j = m_steps - 1; j >= 0; --j) m_errors[j]->Row(i);
            const double* first = m_errors[0]->Row(i);
            std::copy(first, first + width, m_total.begin());
            for (int j = 1; j < m_steps; ++j) {
                const double* e = m_errors[j]->Row(i);
                for (std::int64_t x = 0; x < width; ++x) m_total[x] += e[x];
            }
            if (m_errors.back()->Failed()) return false;
            if (m_totals != nullptr) {
                std::copy(m_total.begin(), m_total.end(), m_totals->Put(m_k, i));
                continue;
            }
            std::copy(m_total.begin(), m_total.end(), m_row.begin());
            if (!m_model.corrections.PutRows(m_k, i, 1, m_row.data())) return false;
        }
        return true;
    }

private:
    const InjectionModel& m_model;
    int m_k;
    int m_steps;
    MsRowRing* m_totals;
    std::vector<std::unique_ptr<RowStream>> m_errors;
    std::vector<double> m_total;
    std::vector<float> m_row;
    std::int64_t m_next = 0;
};

// Every band's back-projection (BandBackProjection), one pair of operators per distinct
// Gaussian of the bands; e_0 and the sums in the model's corrections, or in rings.
class BackProjection {
public:
    BackProjection(const InjectionModel& model, int steps, MsRowRing* errors = nullptr,
                   MsRowRing* totals = nullptr)
        : m_model(model), m_steps(steps)
    {
        for (int k = 0; k < model.bands; ++k) {
            const double gain = model.inputs.msGains[k];
            if (m_operators.count(gain) == 0) {
                m_operators[gain] = {BandedOperator(model.msHeight, model.ratio, gain),
                                     BandedOperator(model.msWidth, model.ratio, gain)};
            }
            const auto& pair = m_operators.at(gain);
            m_bands.push_back(std::make_unique<BandBackProjection>(model, k, steps, pair[0],
                                                                   pair[1], errors, totals));
            m_reach = std::max(m_reach, pair[0].Reach());
        }
    }

    // The sums of MS rows finished: those of rows before Done().
    std::int64_t Done() const { return m_done; }
    // The farthest the rows' operators reach.
    std::int64_t Reach() const { return m_reach; }

    // Sums every row whose steps need only the rows of e_0 before ready (written to the
    // corrections), one band per core.
    StepResult Advance(std::int64_t ready, Host& host, const std::function<bool()>& pump)
    {
        const std::int64_t end = EndFor(ready);
        if (end <= m_done) return StepResult::Ok;
        std::vector<char> done(m_bands.size(), 0);
        const bool going = ForEachRowInParallel(
            static_cast<std::int64_t>(m_bands.size()),
            [&](std::int64_t k) { done[k] = AdvanceBand(static_cast<int>(k), end); }, pump);
        if (!going) return StepResult::Cancelled;
        if (std::any_of(done.begin(), done.end(), [](char d) { return d == 0; })) {
            host.ShowMessage(kWriteFailure);
            return StepResult::Failed;
        }
        m_done = end;
        return StepResult::Ok;
    }

    // The rows whose sums the rows of e_0 before ready allow: row i of step j needs rows up to
    // i + reach of step j − 1.
    std::int64_t EndFor(std::int64_t ready) const
    {
        const std::int64_t end = ready >= m_model.msHeight
                                     ? m_model.msHeight
                                     : std::max<std::int64_t>(0, ready - (m_steps - 1) * m_reach);
        return std::max(end, m_done);
    }
    // Band k's sums of rows up to end − 1 (any core, one call per band at a time); false when
    // the file did not give or take a row.
    bool AdvanceBand(int k, std::int64_t end) { return m_bands[k]->Advance(end); }
    // Every band's sums are made up to end.
    void SetDone(std::int64_t end) { m_done = end; }

private:
    const InjectionModel& m_model;
    int m_steps;
    std::map<double, std::array<BandedOperator, 2>> m_operators;
    std::vector<std::unique_ptr<BandBackProjection>> m_bands;
    std::int64_t m_reach = 0;
    std::int64_t m_done = 0;
};

// e_0 = M − deg(F) from the fused rows, handed over strip by strip from the top: each fused row
// is filtered along the row at the MS columns as it comes; the MS rows are finished down the
// columns from a ring of those rows and written to the model's corrections.
class ErrorMeasure {
public:
    ErrorMeasure(const InjectionModel& model, const MsCopy& ms, std::int64_t stripRows)
        : m_model(model),
          m_ms(ms),
          m_ringRows(stripRows + kRingExtraRows),
          m_ring(static_cast<std::size_t>(m_ringRows * model.bands * model.msWidth))
    {
        for (int k = 0; k < model.bands; ++k) {
            m_taps.push_back(MtfGaussian(model.inputs.msGains[k], model.ratio));
        }
    }

    // The rows of e_0 written: those before Next().
    std::int64_t Next() const { return m_next; }

    // Band k's fused row y of the current strip (any core).
    void Visit(std::int64_t y, int k, const double* fused)
    {
        const int r = m_model.ratio;
        FilterAlongLine(m_taps[k], fused, m_model.width, r, r / 2, m_model.msWidth, RingRow(y, k));
    }

    // The MS rows whose filter reaches only fused rows before row1 (all visited) end there.
    std::int64_t EndFor(std::int64_t row1) const
    {
        const InjectionModel& model = m_model;
        const int r = model.ratio;
        std::int64_t end = m_next;
        while (end < model.msHeight &&
               std::min(r * end + r / 2 + kMtfHalo, model.height - 1) < row1) {
            ++end;
        }
        return end;
    }

    // e_0 = M − deg(F) of band k's MS rows Next() .. end − 1 in columns x0 .. x0 + columns − 1:
    // errors holds the band's MS rows from Next() (rows of the MS's width) and takes e_0 in
    // their place.
    void MeasureColumns(int k, std::int64_t x0, std::int64_t columns, std::int64_t end,
                        float* errors)
    {
        const InjectionModel& model = m_model;
        const int r = model.ratio;
        std::array<const double*, kMtfTaps> window{};
        double degraded[kColumnBlock];
        for (std::int64_t i = m_next; i < end; ++i) {
            for (int t = 0; t < kMtfTaps; ++t) {
                const std::int64_t y = ClampIndex(r * i + r / 2 - kMtfHalo + t, model.height);
                window[t] = RingRow(y, k) + x0;
            }
            FilterDownColumns(m_taps[k], window.data(), columns, degraded);
            float* error = errors + (i - m_next) * model.msWidth + x0;
            for (std::int64_t x = 0; x < columns; ++x) error[x] -= degraded[x];
        }
    }

    // The same for every column of band k (any core, one call per band at a time).
    void MeasureBand(int k, std::int64_t end, float* errors)
    {
        for (std::int64_t x0 = 0; x0 < m_model.msWidth; x0 += kColumnBlock) {
            MeasureColumns(k, x0, std::min(kColumnBlock, m_model.msWidth - x0), end, errors);
        }
    }

    // The rows of e_0 up to end are made.
    void SetNext(std::int64_t end) { m_next = end; }

    // Finishes the MS rows whose filter reaches only fused rows before row1 (all visited) into
    // the model's corrections.
    StepResult Finish(std::int64_t row1, Host& host, const std::function<bool()>& pump)
    {
        const InjectionModel& model = m_model;
        const int n = model.bands;
        const std::int64_t msWidth = model.msWidth;
        const std::int64_t end = EndFor(row1);
        const std::int64_t next = m_next;
        const std::int64_t rows = end - next;
        // The MS rows first, then e_0 = M − deg(F) in their place, by blocks of columns on
        // every core (a block's rows stay in the core's cache from one MS row to the next).
        m_errors.resize(static_cast<std::size_t>(rows * n * msWidth));
        for (int k = 0; k < n && rows > 0; ++k) {
            if (!m_ms.bands.ReadRows(k, next, rows, m_errors.data() + k * rows * msWidth, host)) {
                return StepResult::Failed;
            }
        }
        const std::int64_t blocks = (msWidth + kColumnBlock - 1) / kColumnBlock;
        const bool going = ForEachRowInParallel(
            n * blocks,
            [&](std::int64_t job) {
                const int k = static_cast<int>(job / blocks);
                const std::int64_t x0 = job % blocks * kColumnBlock;
                MeasureColumns(k, x0, std::min(kColumnBlock, msWidth - x0), end,
                               m_errors.data() + k * rows * msWidth);
            },
            pump);
        if (!going) return StepResult::Cancelled;
        for (int k = 0; k < n && rows > 0; ++k) {
            if (!model.corrections.WriteRows(k, next, rows, m_errors.data() + k * rows * msWidth,
                                             host)) {
                return StepResult::Failed;
            }
        }
        m_next = end;
        return StepResult::Ok;
    }

private:
    double* RingRow(std::int64_t y, int k)
    {
        return m_ring.data() + (k * m_ringRows + y % m_ringRows) * m_model.msWidth;
    }

    const InjectionModel& m_model;
    const MsCopy& m_ms;
    std::int64_t m_ringRows;
    std::vector<double> m_ring;
    std::vector<MtfTaps> m_taps;
    std::vector<float> m_errors;
    std::int64_t m_next = 0;
};

// The strips of the measuring pass: as many pan rows as the buffer bytes hold beside the ring
// of filtered rows.
std::int64_t MeasureStripRows(const InjectionModel& model)
{
    if (model.measureStripRows > 0) return model.measureStripRows;
    const std::int64_t rowBytes =
        model.bands * model.msWidth * static_cast<std::int64_t>(sizeof(double));
    return std::max<std::int64_t>(
        8, std::min(InjectionStripRows(model), kInjectionBufferBytes / rowBytes - kRingExtraRows));
}

// The strips of pan rows the one-pass fusion fuses and hands on unless the model or the caller
// say otherwise, and the bytes its kept fused rows may take.
constexpr std::int64_t kOnePassStripRows = 32;
constexpr std::int64_t kOnePassHandRows = 16;
constexpr std::int64_t kOnePassKeptBytes = std::int64_t{64} << 20;

// The one-pass fusion of a model whose back-projection is pending: fuses strips of rows ahead,
// keeps their values before rounding in a ring, measures e_0 from them and back-projects as
// far as the rows of e_0 allow; a strip of rows is handed on once the corrections it needs are
// summed, each value its fused value plus its correction upsampled, as the fusion pass adds
// corrections it has from the start.
class OnePassFusion {
public:
    OnePassFusion(const InjectionModel& model, std::int64_t handRows)
        : m_model(model),
          m_fuseRows(model.measureStripRows > 0 ? model.measureStripRows : kOnePassStripRows),
          m_reach(OperatorReach(model)),
          m_ringRows(KeptRows(model, handRows, m_reach)),
          m_readFrom(ReadFrom(model)),
          m_visits(model),
          m_measure(model, *model.pendingMs, m_fuseRows),
          // e_0 waits in its ring for the steps' reach beyond the rows summed, and for the rows
          // one strip of fusing finishes.
          m_errorRing(model.bands, model.msWidth,
                      (model.pendingSteps - 1) * m_reach + MsRowsPerStrip(model, m_fuseRows), true),
          // The sums are made up to the MS row of the newest fused row at most, and read from
          // those of the oldest kept row on.
          m_totalRing(model.bands, model.msWidth, m_ringRows / model.ratio + ReadsBack(model) + 4,
                      false),
          m_projection(model, model.pendingSteps, &m_errorRing, &m_totalRing)
    {
    }

    // The MS rows the upsampling of rows y on reads start at [y] (near the ends of a short image
    // the mirrored rows are not in order).
    static std::vector<std::int64_t> ReadFrom(const InjectionModel& model)
    {
        std::vector<std::int64_t> from(static_cast<std::size_t>(model.height + 1), model.msHeight);
        for (std::int64_t y = model.height - 1; y >= 0; --y) {
            from[y] = std::min(from[y + 1], model.rows.First(y));
        }
        return from;
    }

    // How far before its own MS row the upsampling of a row or of a later one reads, at most.
    std::int64_t ReadsBack(const InjectionModel& model) const
    {
        std::int64_t back = 0;
        for (std::int64_t y = 0; y < model.height; ++y) {
            back = std::max(back, y / model.ratio - m_readFrom[y]);
        }
        return back;
    }

    // The farthest the rows' operators of deg∘up reach.
    static std::int64_t OperatorReach(const InjectionModel& model)
    {
        std::int64_t reach = 0;
        for (int k = 0; k < model.bands; ++k) {
            reach = std::max(
                reach,
                BandedOperator(model.msHeight, model.ratio, model.inputs.msGains[k]).Reach());
        }
        return reach;
    }

    // More than the MS rows a strip of rows reads, upsampled or degraded.
    static std::int64_t MsRowsPerStrip(const InjectionModel& model, std::int64_t rows)
    {
        return rows / model.ratio + 2 * kMtfTaps / model.ratio + 16;
    }

    // The fused rows kept for strips of handRows rows handed on, reach the farthest the rows'
    // operators of deg∘up reach: for each row, those from it to the last its correction needs
    // (the corrections' steps reach beyond the MS rows its upsampling reads), plus a strip of
    // fusing ahead.
    static std::int64_t KeptRows(const InjectionModel& model, std::int64_t handRows,
                                 std::int64_t reach)
    {
        const int r = model.ratio;
        std::int64_t reads = 0, ahead = 0;
        for (std::int64_t y = 0; y < model.height; ++y) {
            reads = std::max(reads, model.rows.First(y) + model.rows.Count(y) - 1);
            const std::int64_t last =
                std::min(model.msHeight - 1, reads + (model.pendingSteps - 1) * reach);
            ahead = std::max(ahead, std::min(model.height - 1, r * last + r / 2 + kMtfHalo) - y);
        }
        const std::int64_t fuseRows =
            model.measureStripRows > 0 ? model.measureStripRows : kOnePassStripRows;
        return std::min(model.height, handRows + ahead + fuseRows + 1);
    }

    bool Allocate(Host& host)
    {
        return TryAllocate(m_kept, m_ringRows * m_model.bands * m_model.width, host);
    }

    // The values of window rows row0 .. row1 − 1 (strips in order from the top): band k's row
    // i at values + (k · (row1 − row0) + i) · width.
    StepResult Values(std::int64_t row0, std::int64_t row1, double* values,
                      const std::string& readFailure, Host& host, const std::function<bool()>& pump)
    {
        const InjectionModel& model = m_model;
        std::int64_t msFirst = model.msHeight, msEnd = 0;
        for (std::int64_t y = row0; y < row1; ++y) {
            msFirst = std::min(msFirst, model.rows.First(y));
            msEnd = std::max(msEnd, model.rows.First(y) + model.rows.Count(y));
        }
        // Sums that neither these rows nor later ones read are not read again.
        m_totalRing.Release(m_readFrom[row0]);
        while (m_fused < row1 || m_projection.Done() < msEnd) {
            const std::int64_t end = std::min(model.height, m_fused + m_fuseRows);
            if (end - row0 > m_ringRows) throw std::logic_error("one-pass fusion: ring too short");
            StepResult result = m_visits.Visit(
                m_fused, end, [&](std::int64_t y, int k) { return Kept(y, k); },
                [&](std::int64_t y, int k, const double* fused) { m_measure.Visit(y, k, fused); },
                readFailure, host, pump);
            if (result == StepResult::Ok) result = MeasureAndProject(end, host, pump);
            if (result != StepResult::Ok) return result;
            m_fused = end;
        }
        const std::int64_t image = (msEnd - msFirst) * model.msWidth;
        m_corrections.resize(static_cast<std::size_t>(model.bands * image));
        for (int k = 0; k < model.bands; ++k) {
            for (std::int64_t i = msFirst; i < msEnd; ++i) {
                const float* row = m_totalRing.Get(k, i);
                std::copy(row, row + model.msWidth,
                          m_corrections.data() + k * image + (i - msFirst) * model.msWidth);
            }
        }
        const std::int64_t rows = row1 - row0;
        const bool going = ForEachRowInParallel(
            rows,
            [&](std::int64_t i) {
                const std::int64_t y = row0 + i;
                thread_local std::vector<double> line;
                line.resize(static_cast<std::size_t>(model.msWidth));
                for (int k = 0; k < model.bands; ++k) {
                    SumRows(model.rows.Weights(y), model.rows.Count(y),
                            m_corrections.data() + k * image +
                                (model.rows.First(y) - msFirst) * model.msWidth,
                            model.msWidth, model.msWidth, line.data());
                    // correction + fused: the same sum as fused + correction.
                    double* out = values + (k * rows + i) * model.width;
                    model.columns.Apply(line.data(), out);
                    AddToRow(Kept(y, k), model.width, out);
                }
            },
            pump);
        return going ? StepResult::Ok : StepResult::Cancelled;
    }

private:
    double* Kept(std::int64_t y, int k)
    {
        return m_kept.data() + (k * m_ringRows + y % m_ringRows) * m_model.width;
    }

    // Once the fused rows before row1 are visited: e_0 of the MS rows they finish and the sums
    // they allow, one band per core (each band's rows are measured, then summed, in its own
    // rings).
    StepResult MeasureAndProject(std::int64_t row1, Host& host, const std::function<bool()>& pump)
    {
        const InjectionModel& model = m_model;
        const std::int64_t next = m_measure.Next();
        const std::int64_t end = m_measure.EndFor(row1);
        const std::int64_t summed = m_projection.EndFor(end);
        if (end == next && summed == m_projection.Done()) return StepResult::Ok;
        const std::int64_t image = (end - next) * model.msWidth;
        m_msRows.resize(static_cast<std::size_t>(model.bands * image));
        std::vector<char> done(static_cast<std::size_t>(model.bands), 0);
        const bool going = ForEachRowInParallel(
            model.bands,
            [&](std::int64_t job) {
                const int k = static_cast<int>(job);
                float* errors = m_msRows.data() + k * image;
                if (end > next) {
                    if (!model.pendingMs->bands.GetRows(k, next, end - next, errors)) return;
                    m_measure.MeasureBand(k, end, errors);
                    for (std::int64_t i = next; i < end; ++i) {
                        const float* row = errors + (i - next) * model.msWidth;
                        std::copy(row, row + model.msWidth, m_errorRing.Put(k, i));
                    }
                }
                done[job] = m_projection.AdvanceBand(k, summed);
            },
            pump);
        if (!going) return StepResult::Cancelled;
        if (std::any_of(done.begin(), done.end(), [](char d) { return d == 0; })) {
            host.ShowMessage(kWriteFailure);
            return StepResult::Failed;
        }
        m_measure.SetNext(end);
        m_projection.SetDone(summed);
        return StepResult::Ok;
    }

    const InjectionModel& m_model;
    std::int64_t m_fuseRows;
    std::int64_t m_reach;
    std::int64_t m_ringRows;
    std::vector<std::int64_t> m_readFrom;
    FusedStripVisits m_visits;
    ErrorMeasure m_measure;
    MsRowRing m_errorRing;
    MsRowRing m_totalRing;
    BackProjection m_projection;
    std::vector<float> m_msRows;
    std::vector<double> m_kept;
    std::vector<float> m_corrections;
    std::int64_t m_fused = 0;  // the window rows fused so far
};

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
    const std::int64_t stripRows = MeasureStripRows(model);
    ErrorMeasure measure(model, ms, stripRows);
    return VisitFusedRows(
        model, stripRows,
        [&](std::int64_t y, int k, const double* fused) { measure.Visit(y, k, fused); },
        [&](std::int64_t, std::int64_t row1) { return measure.Finish(row1, host, pump); },
        readFailure, host, pump);
}

StepResult BackProject(InjectionModel& model, int steps, Host& host,
                       const std::function<bool()>& pump)
{
    BackProjection projection(model, steps);
    return projection.Advance(model.msHeight, host, pump);
}

bool FitsOnePass(const InjectionModel& model)
{
    if (model.separateCorrectionPass || model.pendingSteps <= 0) return false;
    const std::int64_t rows =
        OnePassFusion::KeptRows(model, kOnePassHandRows, OnePassFusion::OperatorReach(model));
    return rows * model.bands * model.width * static_cast<std::int64_t>(sizeof(double)) <=
           kOnePassKeptBytes;
}

StepResult FuseBackProjected(const InjectionModel& model, const FusedRowsSink& sink,
                             const std::array<int, 3>& colourAmounts, std::int64_t stripRows,
                             const std::string& readFailure, RunProgress& progress, Host& host,
                             const std::function<bool()>& pump)
{
    if (stripRows <= 0) stripRows = kOnePassHandRows;
    OnePassFusion pass(model, stripRows);
    if (!pass.Allocate(host)) return StepResult::Failed;
    return FuseInjectedImageWith(
        model,
        [&](std::int64_t row0, std::int64_t row1, double* values) {
            return pass.Values(row0, row1, values, readFailure, host, pump);
        },
        sink, colourAmounts, stripRows, readFailure, progress, host, pump);
}

}  // namespace lumesta
