#pragma once
// Post-processing of a fused band file in one walk of a strip of rows at a time: border
// replication, 3 × 3 filters in sequence, clipping, and the figures the run needs (the stretch
// histogram before or after the filters, the smallest and largest sample). The rows are read
// and written back in place with large positioned transfers, so the run holds a few megabytes
// whatever the band's size, and the bytes equal those of the whole-band routines.

#include <array>
#include <cstdint>
#include <optional>
#include <type_traits>
#include <vector>

#include "core/host.h"
#include "imaging/stretch.h"
#include "fusion/filters.h"
#include "fusion/parallel_rows.h"
#include "raster/raw_file.h"

namespace lumesta {

enum class HistogramPoint { None, BeforeFilters, AfterFilters };

// What one walk does; T is std::int16_t (16-bit tool) or std::uint8_t (Landsat ETM+ tool).
template <typename T>
struct BandPassSpec {
    using KernelType = std::conditional_t<sizeof(T) == 2, Kernel16, Kernel8>;
    std::int64_t width = 0;
    std::int64_t height = 0;
    // Rows and columns within this distance of the edge take the nearest inner one (2:
    // ReplicateBorders, 1: ReplicateBorders2), when the band has an inner part at all.
    int borderDepth = 0;
    // The edges the border replication meets, when not the band's own: the rectangle of
    // columns areaLeft .. areaRight − 1 and rows areaTop .. areaBottom − 1 is bordered as a whole
    // band would be, and the rows and columns outside it pass unchanged.
    bool area = false;
    std::int64_t areaLeft = 0, areaTop = 0, areaRight = 0, areaBottom = 0;
    std::vector<KernelType> filters;  // applied in order, each to the previous one's result
    bool clip11Bit = false;           // ClipBand after the filters
    HistogramPoint histogram = HistogramPoint::None;
    bool minMax = false;
    // Samples of this value are no data: the histogram leaves them out.
    std::optional<T> noData;
    // With noData: one flag per sample, row by row (false: no data). The walk writes noData
    // where a flag is false and moves a valid sample equal to it one toward the middle of the
    // range, after the clipping.
    const std::vector<bool>* valid = nullptr;
};

template <typename T>
struct BandPassFigures {
    std::optional<StretchHistogram> histogram;
    T minimum = 0;
    T maximum = 0;
};

template <typename T>
class FilterStage;

// The walk over one band whose fused rows arrive in order from the top (Take), each finished
// row going to the file at its place; Finish writes the last rows. The bordered rows need no
// fused values: they are replaced by the nearest inner row.
template <typename T>
class BandPass {
public:
    BandPass(const RawFile& file, const BandPassSpec<T>& spec, Host& host);
    ~BandPass();
    BandPass(BandPass&&) noexcept;
    BandPass(const BandPass&) = delete;
    BandPass& operator=(const BandPass&) = delete;

    // Makes the buffers; false after the allocation message.
    bool Allocate();
    // Takes the next rowCount rows (width samples each). False when a write failed. Shows
    // nothing and pumps nothing, so that the bands can be walked on several threads.
    bool Take(const T* rows, std::int64_t rowCount);
    // After the last row: completes and writes the rest. False when a write failed.
    bool Finish();
    // Pumps messages once for every row filtered since the last call (as a whole-band filter
    // does), on the caller's thread.
    void PumpForFilteredRows(Host& host);
    // After Take or Finish answered false: the output-file message, on the caller's thread.
    void ShowFailure(Host& host) const;
    const BandPassFigures<T>& Figures() const { return m_figures; }

private:
    bool TakeRow(const T* row);
    bool SourceRow(const T* row);
    bool Emit(std::size_t stage, const T* row);
    bool Complete(const T* row);
    bool Flush();
    void Count(std::int64_t width, const T* row);
    void MarkNoData(T* out) const;

    const RawFile* m_file;
    BandPassSpec<T> m_spec;
    Host* m_host;
    BandPassFigures<T> m_figures;
    bool m_bordered = false;
    std::int64_t m_left = 0, m_top = 0, m_right = 0, m_bottom = 0;  // the bordered rectangle
    std::int64_t m_stripRows = 1;
    std::vector<FilterStage<T>> m_stages;
    std::int64_t m_received = 0;  // source rows taken so far
    std::vector<T> m_row;         // the bordered source row
    std::vector<T> m_lastInner;   // the bordered last inner row, for the rows below it
    std::vector<T> m_out;         // finished rows waiting to be written
    std::int64_t m_outFirst = 0;
    std::int64_t m_outRows = 0;
    bool m_haveMinMax = false;
    bool m_failed = false;
    std::vector<T> m_counted;  // a row with its no data as background, for the histogram
};

// Walks the band already in file (width × height samples from offset 0), reading it a strip
// at a time, and writes the result back; the messages are its own. False after "Error! reading an image  file - length
// problem." or the output-file message.
template <typename T>
bool RunBandPass(const RawFile& file, const BandPassSpec<T>& spec, BandPassFigures<T>& figures,
                 Host& host);

extern template class BandPass<std::int16_t>;
extern template class BandPass<std::uint8_t>;
extern template bool RunBandPass<std::int16_t>(const RawFile&, const BandPassSpec<std::int16_t>&,
                                               BandPassFigures<std::int16_t>&, Host&);
extern template bool RunBandPass<std::uint8_t>(const RawFile&, const BandPassSpec<std::uint8_t>&,
                                               BandPassFigures<std::uint8_t>&, Host&);

// Runs step on every band's walk at once, one band per core; then pumps for the rows the walks
// filtered. False after the first failing walk's message.
template <typename T, std::size_t N, typename Step>
bool WalkAllBands(std::array<BandPass<T>, N>& passes, Host& host, const Step& step)
{
    std::array<bool, N> done{};
    ForEachRowInParallel(
        static_cast<std::int64_t>(N),
        [&](std::int64_t band) { done[band] = step(passes[band], static_cast<int>(band)); },
        [] { return true; });
    for (auto& pass : passes) pass.PumpForFilteredRows(host);
    for (std::size_t band = 0; band < N; ++band) {
        if (!done[band]) {
            passes[band].ShowFailure(host);
            return false;
        }
    }
    return true;
}

}  // namespace lumesta
