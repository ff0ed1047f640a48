#include "fusion/registration/registration_windows.h"

#include <algorithm>
#include <cmath>

#include "fusion/registration/valid_samples.h"

namespace lumesta {
namespace {

constexpr double kMapSamples = 1 << 18;  // per band, about
constexpr int kTileSamples = 16;         // per tile side, in the samples read

// The MS indices [first, last] along one axis whose samples read only pan pixels 0 … panSide − 1.
void UsableSpan(int msSide, int panSide, int ratio, double origin, int halo, int& first, int& count)
{
    const double low = std::ceil((halo - origin) / ratio);
    const double high = std::floor((panSide - 2 - halo - origin) / ratio);
    const double from = std::max(0.0, low);
    const double to = std::min(static_cast<double>(msSide - 1), high);
    first = static_cast<int>(from);
    count = to >= from ? static_cast<int>(to - from) + 1 : 0;
}

// Adds the detail of one strip of tiles: sum and ok hold the band sum and validity of
// `rows` sampled rows of `columns` samples.
void AddStripDetail(const std::vector<double>& sum, const std::vector<std::uint8_t>& ok,
                    int columns, int rows, int tileRow, DetailMap& map)
{
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * columns + x;
            const std::size_t tile =
                static_cast<std::size_t>(tileRow) * map.tilesAcross + x / kTileSamples;
            if (!ok[i]) continue;
            map.validShare[tile] += 1.0;
            if (x + 1 < columns && ok[i + 1]) {
                map.detail[tile] += (sum[i + 1] - sum[i]) * (sum[i + 1] - sum[i]);
            }
            if (y + 1 < rows && ok[i + columns]) {
                map.detail[tile] += (sum[i + columns] - sum[i]) * (sum[i + columns] - sum[i]);
            }
        }
    }
}

// The candidate starts of a window of `size` along a region [first, first + count): every tile
// boundary that fits, and the region's far end.
std::vector<int> Starts(int first, int count, int size, int areaFirst, int tile)
{
    std::vector<int> starts;
    const int last = first + count - size;
    int start = areaFirst + (first - areaFirst + tile - 1) / tile * tile;
    for (; start <= last; start += tile) starts.push_back(start);
    if (starts.empty() || starts.back() != last) starts.push_back(last);
    return starts;
}

}  // namespace

MsWindow UsableArea(int msWidth, int msHeight, int panWidth, int panHeight,
                    const PanSampling& sampling)
{
    const int halo = DegradationHalo(sampling.sigma);
    MsWindow area;
    UsableSpan(msWidth, panWidth, sampling.ratio, sampling.originX, halo, area.x0, area.columns);
    UsableSpan(msHeight, panHeight, sampling.ratio, sampling.originY, halo, area.y0, area.rows);
    if (area.columns == 0 || area.rows == 0) area.columns = area.rows = 0;
    return area;
}

bool MapDetail(const std::vector<SourceBand>& ms, const Validity& rule, const MsWindow& area,
               DetailMap& map, const std::function<bool()>& cancelled, std::string& error)
{
    const double pixels = static_cast<double>(area.columns) * area.rows;
    const int step = std::max(1, static_cast<int>(std::sqrt(pixels / kMapSamples)));
    map.area = area;
    map.tile = kTileSamples * step;
    const int columns = (area.columns + step - 1) / step;
    const int rows = (area.rows + step - 1) / step;
    map.tilesAcross = (columns + kTileSamples - 1) / kTileSamples;
    map.tilesDown = (rows + kTileSamples - 1) / kTileSamples;
    const std::size_t tiles = static_cast<std::size_t>(map.tilesAcross) * map.tilesDown;
    map.detail.assign(tiles, 0.0);
    map.validShare.assign(tiles, 0.0);
    std::vector<float> samples;
    std::vector<std::uint8_t> valid;
    std::vector<double> sum;
    std::vector<std::uint8_t> ok;
    for (int tileRow = 0; tileRow < map.tilesDown; ++tileRow) {
        SampleWindow window;
        window.x0 = area.x0;
        window.y0 = area.y0 + tileRow * map.tile;
        window.columns = columns;
        window.rows = std::min(kTileSamples, rows - tileRow * kTileSamples);
        window.step = step;
        const std::size_t count = static_cast<std::size_t>(window.columns) * window.rows;
        sum.assign(count, 0.0);
        ok.assign(count, 1);
        if (cancelled && cancelled()) return false;
        for (const SourceBand& band : ms) {
            if (!ReadValidSamples(band, window, rule, samples, valid, error)) return false;
            for (std::size_t i = 0; i < count; ++i) {
                sum[i] += samples[i];
                ok[i] &= valid[i];
            }
        }
        AddStripDetail(sum, ok, window.columns, window.rows, tileRow, map);
    }
    for (int tileRow = 0; tileRow < map.tilesDown; ++tileRow) {
        const int down = std::min(kTileSamples, rows - tileRow * kTileSamples);
        for (int tileColumn = 0; tileColumn < map.tilesAcross; ++tileColumn) {
            const int across = std::min(kTileSamples, columns - tileColumn * kTileSamples);
            map.validShare[static_cast<std::size_t>(tileRow) * map.tilesAcross + tileColumn] /=
                static_cast<double>(across) * down;
        }
    }
    return true;
}

MsWindow BestWindow(const DetailMap& map, const MsWindow& region, int side)
{
    MsWindow best = region;
    best.columns = std::min(side, region.columns);
    best.rows = std::min(side, region.rows);
    if (best.columns == region.columns && best.rows == region.rows) return best;
    const MsWindow& area = map.area;
    double bestScore = -1.0;
    for (int y0 : Starts(region.y0, region.rows, best.rows, area.y0, map.tile)) {
        for (int x0 : Starts(region.x0, region.columns, best.columns, area.x0, map.tile)) {
            // The tiles whose centres lie in the window; a window with much no data scores less.
            double detail = 0.0;
            double share = 0.0;
            int tiles = 0;
            for (int ty = 0; ty < map.tilesDown; ++ty) {
                const double cy = area.y0 + (ty + 0.5) * map.tile;
                if (cy < y0 || cy >= y0 + best.rows) continue;
                for (int tx = 0; tx < map.tilesAcross; ++tx) {
                    const double cx = area.x0 + (tx + 0.5) * map.tile;
                    if (cx < x0 || cx >= x0 + best.columns) continue;
                    const std::size_t t = static_cast<std::size_t>(ty) * map.tilesAcross + tx;
                    detail += map.detail[t];
                    share += map.validShare[t];
                    ++tiles;
                }
            }
            const double meanShare = tiles > 0 ? share / tiles : 0.0;
            const double score = detail * meanShare * meanShare;
            if (score > bestScore) {
                bestScore = score;
                best.x0 = x0;
                best.y0 = y0;
            }
        }
    }
    return best;
}

}  // namespace lumesta
