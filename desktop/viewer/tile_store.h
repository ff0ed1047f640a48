#pragma once
// The viewer's reading machinery: one worker thread that reads overviews and tiles of the open
// images, and a bounded cache of the tiles read. The window thread never reads image data: it
// asks for tiles, draws what is cached, and is told (notify) when more has arrived.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

#include "raster/raster_source.h"

namespace lumesta {

// Tiles are kTileSize × kTileSize samples of one band, read with a power-of-two step: each the
// mean of its step × step block of pixels.
constexpr int kTileSize = 256;

struct TileKey {
    int layer = 0;
    int band = 0;
    int step = 1;
    int column = 0;  // tile column: image x from column × kTileSize × step
    int row = 0;
    bool operator==(const TileKey& other) const
    {
        return std::tie(layer, band, step, column, row) ==
               std::tie(other.layer, other.band, other.step, other.column, other.row);
    }
    bool operator<(const TileKey& other) const
    {
        return std::tie(layer, band, step, column, row) <
               std::tie(other.layer, other.band, other.step, other.column, other.row);
    }
};

using TileData = std::shared_ptr<const std::vector<float>>;

class TileStore {
public:
    // budgetBytes bounds the cached tiles; notify is called on the worker thread after each
    // finished job (the owner posts it to its own thread).
    TileStore(std::size_t budgetBytes, std::function<void()> notify);
    ~TileStore();
    TileStore(const TileStore&) = delete;
    TileStore& operator=(const TileStore&) = delete;

    // Makes source the reader of layer (replacing what the layer read before; its cached tiles
    // and waiting jobs go, and its read under way is cancelled).
    void SetLayer(int layer, std::shared_ptr<RasterSource> source);

    // The tile when cached; otherwise nothing, and the tile is asked for. Requests not renewed
    // before the next BeginFrame are dropped, so the worker reads only what is on screen.
    TileData Tile(const TileKey& key);
    void BeginFrame();

    // Runs job for layer on the worker before any tile (overviews); it gets the cancel flag.
    void RunFirst(int layer, std::function<void(const std::atomic<bool>& cancel)> job);

    // Runs step for layer on the worker whenever it has no job and no tile to read, again and
    // again while it returns true (refinements that may wait for what is on screen).
    void RunWhenIdle(int layer, std::function<bool(const std::atomic<bool>& cancel)> step);

    std::size_t CachedBytes() const;
    // True while the worker has anything to do.
    bool IsBusy() const;

private:
    void Work();
    void Evict();

    const std::size_t m_budget;
    std::function<void()> m_notify;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::map<int, std::shared_ptr<RasterSource>> m_layers;
    std::deque<std::pair<int, std::function<void(const std::atomic<bool>&)>>> m_jobs;
    std::deque<std::pair<int, std::function<bool(const std::atomic<bool>&)>>> m_idle;
    int m_busyLayer = -1;           // the layer whose job or tile is being read
    std::vector<TileKey> m_wanted;  // newest last
    std::map<TileKey, std::pair<TileData, std::list<TileKey>::iterator>> m_tiles;
    std::list<TileKey> m_recent;  // most recently used first
    std::size_t m_bytes = 0;
    std::atomic<bool> m_cancel{false};
    bool m_working = false;
    bool m_stop = false;
    std::thread m_worker;
};

}  // namespace lumesta
