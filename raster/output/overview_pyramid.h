#pragma once
// Overviews computed while an image streams past: each level halves the one below (its pixel
// (x, y) is the mean of pixels 2x, 2x + 1 of rows 2y, 2y + 1 there, as far as they lie inside),
// a row at a time, so that a result's overviews cost a few rows of memory instead of another
// pass over the whole image. Pixels equal to the no-data value (and NaN) take no part in a mean;
// a pixel with no valid pixel beneath it is no data itself. Integer types take the nearest
// integer of the mean (ties to even).

#include <functional>
#include <optional>
#include <vector>

namespace lumesta {

class OverviewPyramid {
public:
    // Receives row `row` of level `level` (1 the first halving) of every band: bands[k] holds
    // that level's width of samples. False stops the stream.
    using RowSink =
        std::function<bool(int level, int row, const std::vector<std::vector<double>>& bands)>;

    // width × height pixels of bands bands at level 0; levels levels above it.
    OverviewPyramid(int width, int height, int bands, int levels, bool integer,
                    std::optional<double> noData, RowSink sink);

    // The next row of level 0: bands[k] points at width samples of band k. False when the sink
    // stopped the stream.
    bool AddRow(const double* const* bands);

    // The width and height of a level (0 the image itself): each halves the one below, rounded up.
    static int LevelSide(int side, int level);

private:
    struct Level {
        int width = 0;  // of this level
        int height = 0;
        int nextRow = 0;                           // rows of this level received from below
        std::vector<std::vector<double>> pending;  // the even row waiting for its odd partner
        std::vector<std::vector<double>> out;      // the row being made for the level above
    };
    bool Feed(std::size_t level, const double* const* bands);
    bool Emit(std::size_t level, const double* const* even, const double* const* odd);

    std::vector<Level> m_levels;  // m_levels[i] receives the rows of level i
    int m_bands;
    bool m_integer;
    std::optional<double> m_noData;
    RowSink m_sink;
};

}  // namespace lumesta
