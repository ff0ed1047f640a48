#include "desktop/viewer/tile_store.h"

#include <algorithm>

#include "raster/area_average.h"

namespace lumesta {

TileStore::TileStore(std::size_t budgetBytes, std::function<void()> notify)
    : m_budget(budgetBytes), m_notify(std::move(notify)), m_worker([this] { Work(); })
{
}

TileStore::~TileStore()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_cancel = true;
    }
    m_wake.notify_all();
    m_worker.join();
}

void TileStore::SetLayer(int layer, std::shared_ptr<RasterSource> source)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_busyLayer == layer) m_cancel = true;
    m_jobs.erase(std::remove_if(m_jobs.begin(), m_jobs.end(),
                                [layer](const auto& job) { return job.first == layer; }),
                 m_jobs.end());
    m_idle.erase(std::remove_if(m_idle.begin(), m_idle.end(),
                                [layer](const auto& job) { return job.first == layer; }),
                 m_idle.end());
    for (auto it = m_tiles.begin(); it != m_tiles.end();) {
        if (it->first.layer == layer) {
            m_bytes -= it->second.first->size() * sizeof(float);
            m_recent.erase(it->second.second);
            it = m_tiles.erase(it);
        } else {
            ++it;
        }
    }
    m_wanted.clear();
    if (source) {
        m_layers[layer] = std::move(source);
    } else {
        m_layers.erase(layer);
    }
}

TileData TileStore::Tile(const TileKey& key)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_tiles.find(key);
    if (found != m_tiles.end()) {
        m_recent.splice(m_recent.begin(), m_recent, found->second.second);
        return found->second.first;
    }
    if (std::find(m_wanted.begin(), m_wanted.end(), key) == m_wanted.end()) m_wanted.push_back(key);
    m_wake.notify_one();
    return nullptr;
}

void TileStore::BeginFrame()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_wanted.clear();
}

void TileStore::RunFirst(int layer, std::function<void(const std::atomic<bool>&)> job)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_jobs.emplace_back(layer, std::move(job));
    }
    m_wake.notify_one();
}

void TileStore::RunWhenIdle(int layer, std::function<bool(const std::atomic<bool>&)> step)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_idle.emplace_back(layer, std::move(step));
    }
    m_wake.notify_one();
}

std::size_t TileStore::CachedBytes() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_bytes;
}

bool TileStore::IsBusy() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_working || !m_jobs.empty() || !m_wanted.empty() || !m_idle.empty();
}

// Oldest tiles go first once the budget is exceeded.
void TileStore::Evict()
{
    while (m_bytes > m_budget && !m_recent.empty()) {
        const auto victim = m_tiles.find(m_recent.back());
        m_bytes -= victim->second.first->size() * sizeof(float);
        m_tiles.erase(victim);
        m_recent.pop_back();
    }
}

void TileStore::Work()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (true) {
        m_working = false;
        m_busyLayer = -1;
        m_wake.wait(lock, [this] {
            return m_stop || !m_jobs.empty() || !m_wanted.empty() || !m_idle.empty();
        });
        if (m_stop) return;
        m_working = true;
        m_cancel = false;
        if (!m_jobs.empty()) {
            auto job = std::move(m_jobs.front());
            m_jobs.pop_front();
            m_busyLayer = job.first;
            lock.unlock();
            job.second(m_cancel);
            if (m_notify) m_notify();
            lock.lock();
            continue;
        }
        if (m_wanted.empty()) {
            auto step = std::move(m_idle.front());
            m_idle.pop_front();
            m_busyLayer = step.first;
            lock.unlock();
            const bool more = step.second(m_cancel);
            if (!more && m_notify) m_notify();
            lock.lock();
            // Unless its layer went meanwhile (SetLayer cancelled it), it comes back later.
            if (more && !m_cancel && m_layers.count(step.first) != 0)
                m_idle.push_back(std::move(step));
            continue;
        }
        // The newest request first: it belongs to what the user looks at now.
        const TileKey key = m_wanted.back();
        m_wanted.pop_back();
        const auto layer = m_layers.find(key.layer);
        if (layer == m_layers.end() || m_tiles.count(key) != 0) continue;
        const std::shared_ptr<RasterSource> source = layer->second;
        m_busyLayer = key.layer;
        lock.unlock();
        auto data =
            std::make_shared<std::vector<float>>(static_cast<std::size_t>(kTileSize) * kTileSize);
        const int span = kTileSize * key.step;
        const SampleWindow window{key.column * span, key.row * span, kTileSize, kTileSize,
                                  key.step};
        // Reduced tiles average their blocks, as the overview does: no moiré at any zoom.
        const bool read = ReadAreaAverage(*source, key.band, window, data->data(), &m_cancel);
        lock.lock();
        if (!read || m_layers.count(key.layer) == 0 || m_layers[key.layer] != source) continue;
        m_recent.push_front(key);
        m_tiles[key] = {std::move(data), m_recent.begin()};
        m_bytes += static_cast<std::size_t>(kTileSize) * kTileSize * sizeof(float);
        Evict();
        lock.unlock();
        if (m_notify) m_notify();
        lock.lock();
    }
}

}  // namespace lumesta
