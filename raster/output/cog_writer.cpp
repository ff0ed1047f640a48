#include "raster/output/cog_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "core/allocate.h"
#include "core/worker_threads.h"
#include "raster/output/cog_file.h"
#include "raster/output/overview_pyramid.h"
#include "raster/output/tile_deflate.h"

namespace lumesta {
namespace {

constexpr int kCogTile = 512;

// On imagery the higher levels of Deflate gain at most a few per cent of the size for two to ten
// times the time (11-bit scenes, generated and real).
constexpr int kDeflateLevel = 1;

// The rows of the image held for the tiles being compressed: two rows of tiles when they fit, so
// that the next row of tiles fills while the last one is compressed, else one; an image too wide
// for one keeps its rows in a temporary file instead.
constexpr std::int64_t kHeldRowBytes = std::int64_t{64} << 20;

// Threads compressing tiles when the writer's caller leaves it to the machine.
constexpr unsigned kMostCompressors = 8;

// Overviews halve the image until its longer side is under a tile: the smallest of them then
// fits in one tile.
int OverviewCount(int width, int height)
{
    const std::int64_t side = std::max(width, height);
    int count = 0;
    while ((side + (std::int64_t{1} << count) - 1) >> count >= kCogTile) ++count;
    return count;
}

template <typename T>
void ToDoubles(const void* row, int count, double* out)
{
    const T* samples = static_cast<const T*>(row);
    for (int i = 0; i < count; ++i) out[i] = samples[i];
}

// Interleaves count samples of each band (bands[k] + first) into out: pixel after pixel.
template <typename T, int kBands>
void InterleaveFixed(const std::uint8_t* const* bands, std::size_t first, int count, T* pixels)
{
    const T* band[kBands];
    for (int k = 0; k < kBands; ++k) band[k] = reinterpret_cast<const T*>(bands[k]) + first;
    for (int x = 0; x < count; ++x)
        for (int k = 0; k < kBands; ++k) pixels[x * kBands + k] = band[k][x];
}

template <typename T>
void Interleave(const std::uint8_t* const* bands, int bandCount, std::size_t first, int count,
                std::uint8_t* out)
{
    T* pixels = reinterpret_cast<T*>(out);
    switch (bandCount) {
        case 3:
            return InterleaveFixed<T, 3>(bands, first, count, pixels);
        case 4:
            return InterleaveFixed<T, 4>(bands, first, count, pixels);
        case 8:
            return InterleaveFixed<T, 8>(bands, first, count, pixels);
        default:
            break;
    }
    for (int k = 0; k < bandCount; ++k) {
        const T* band = reinterpret_cast<const T*>(bands[k]) + first;
        for (int x = 0; x < count; ++x)
            pixels[static_cast<std::size_t>(x) * bandCount + k] = band[x];
    }
}

// Interleave for samples of sampleBytes bytes.
void InterleaveSamples(int sampleBytes, const std::uint8_t* const* bands, int bandCount,
                       std::size_t first, int count, std::uint8_t* out)
{
    switch (sampleBytes) {
        case 1:
            return Interleave<std::uint8_t>(bands, bandCount, first, count, out);
        case 2:
            return Interleave<std::uint16_t>(bands, bandCount, first, count, out);
        default:
            return Interleave<std::uint32_t>(bands, bandCount, first, count, out);
    }
}

// An overview row as interleaved samples. The pyramid gives integer types whole numbers within
// the type's range (means rounded, or the no-data value), which convert exactly.
template <typename T>
void InterleaveValues(const std::vector<std::vector<double>>& bands, int count, std::uint8_t* out)
{
    T* pixels = reinterpret_cast<T*>(out);
    const std::size_t bandCount = bands.size();
    for (std::size_t k = 0; k < bandCount; ++k) {
        const double* band = bands[k].data();
        for (int x = 0; x < count; ++x)
            pixels[static_cast<std::size_t>(x) * bandCount + k] = static_cast<T>(band[x]);
    }
}

// Moves all count bytes at offset through pread or pwrite, going on after short transfers and
// interruptions; false on an error or the end of the file.
template <typename Bytes, typename Transfer>
bool TransferAllAt(Transfer transfer, int fd, Bytes* bytes, std::size_t count, std::int64_t offset)
{
    while (count > 0) {
        const ssize_t done = transfer(fd, bytes, count, offset);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        bytes += done;
        count -= static_cast<std::size_t>(done);
        offset += done;
    }
    return true;
}

bool WriteAllAt(int fd, const std::uint8_t* bytes, std::size_t count, std::int64_t offset)
{
    return TransferAllAt(::pwrite, fd, bytes, count, offset);
}

bool ReadAllAt(int fd, std::uint8_t* bytes, std::size_t count, std::int64_t offset)
{
    return TransferAllAt(::pread, fd, bytes, count, offset);
}

// The rows stream in; each row of 512 × 512 tiles is compressed by worker threads as soon as it
// is whole, the image's from rows held in memory, each overview's (made while the rows stream in)
// from a temporary file of its rows. The compressed tiles go to a temporary store in the order
// they are done; Finish writes the file, tiles in the COG's order, by copying them from there.
class CogWriter : public BandFileWriter {
public:
    CogWriter(const BandFileSpec& spec, std::string path, const std::string& shownPath, Host& host)
        : BandFileWriter(spec, shownPath, host),
          m_path(std::move(path)),
          m_sampleBytes(SampleBytes(spec.type)),
          m_pixelBytes(static_cast<std::size_t>(m_sampleBytes) *
                       static_cast<std::size_t>(spec.bands))
    {
    }
    ~CogWriter() override
    {
        StopWorkers();
        CloseFiles();
    }

    bool Open();
    RunOutcome Finish(const std::function<bool()>& keepGoing) override;

protected:
    bool WriteStrip(const void* const* bands, int rows) override;

private:
    struct Level {
        int width = 0;
        int height = 0;
        int fd = -1;  // the level's rows, interleaved, when not held in memory
        std::vector<StoredTile> tiles;
        int TilesAcross() const { return (width + kCogTile - 1) / kCogTile; }
        std::size_t RowBytes(std::size_t pixelBytes) const
        {
            return pixelBytes * static_cast<std::size_t>(width);
        }
    };
    struct Job {
        std::size_t level = 0;
        int tileRow = 0;
        int tileColumn = 0;
    };

    RunOutcome Stop()
    {
        Fail({});
        return RunOutcome::Stopped;
    }
    int OpenTemp();
    bool StartWorkers();
    void StopWorkers();
    void CloseFiles();
    bool WaitForSlot(int row);
    void Queue(std::size_t level, int tileRow);
    void Work();
    bool Gather(const Job& job, std::uint8_t* tile);
    void Store(const Job& job, const std::vector<std::uint8_t>& wrapped, bool ok);
    bool SpoolImageRows(const void* const* bands, int rows);
    bool FeedPyramid(const void* const* bands, int rows);
    bool WriteOverviewRow(int level, int row, const std::vector<std::vector<double>>& bands);
    bool WaitForTiles(const std::function<bool()>& keepGoing, bool& cancelled);
    RunOutcome WriteFile(const std::function<bool()>& keepGoing);

    std::string m_path;
    int m_sampleBytes;
    std::size_t m_pixelBytes;
    RunFiles m_temps;  // the overviews' rows and the store; removed after the workers stop
    std::vector<Level> m_levels;
    std::vector<TiffField> m_mainFields;
    std::vector<TiffField> m_overviewFields;
    int m_store = -1;

    // The image's rows held for its tiles: row y of band k in m_held[k], slot y % m_heldRows.
    // Images too wide for a row of tiles in kHeldRowBytes keep their rows in a file instead.
    int m_heldRows = 0;
    std::vector<std::vector<std::uint8_t>> m_held;
    std::vector<std::uint8_t> m_imageRow;  // one row of the image, interleaved, for its file

    std::unique_ptr<OverviewPyramid> m_pyramid;
    std::vector<std::vector<double>> m_rowValues;  // one row of every band, for the pyramid
    std::vector<std::uint8_t> m_overviewRow;       // one overview row, interleaved samples

    std::mutex m_mutex;  // guards everything below
    std::condition_variable m_jobsQueued;
    std::condition_variable m_jobsDone;
    std::deque<Job> m_jobs;
    int m_unfinished = 0;           // jobs queued or under way
    std::vector<int> m_copiesLeft;  // per row of the image's tiles: tiles not yet gathered
    int m_releasedTileRows = 0;     // rows of tiles whose held rows may be reused
    std::int64_t m_storeEnd = 0;
    bool m_failed = false;
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
};

int CogWriter::OpenTemp()
{
    const std::string name = m_temps.CreateTemp(m_path);
    if (name.empty()) return -1;
    return ::open(name.c_str(), O_RDWR | O_CLOEXEC);
}

bool CogWriter::Open()
{
    if (!GdalDescriptionFields(m_spec, m_mainFields, m_overviewFields)) return Fail({});
    const int count = OverviewCount(m_spec.width, m_spec.height);
    for (int l = 0; l <= count; ++l) {
        Level level;
        level.width = OverviewPyramid::LevelSide(m_spec.width, l);
        level.height = OverviewPyramid::LevelSide(m_spec.height, l);
        const int down = (level.height + kCogTile - 1) / kCogTile;
        level.tiles.resize(static_cast<std::size_t>(level.TilesAcross()) *
                           static_cast<std::size_t>(down));
        if (l > 0 && (level.fd = OpenTemp()) < 0) return Fail({});
        m_levels.push_back(std::move(level));
    }
    if ((m_store = OpenTemp()) < 0) return Fail({});

    const std::size_t rowBytes = m_levels[0].RowBytes(m_pixelBytes);
    std::int64_t affordable = kHeldRowBytes / static_cast<std::int64_t>(rowBytes);
    if (affordable < kCogTile) {
        if ((m_levels[0].fd = OpenTemp()) < 0) return Fail({});
        if (!TryAllocate(m_imageRow, static_cast<std::int64_t>(rowBytes), m_host)) return false;
        affordable = 0;
    }
    m_heldRows = affordable == 0
                     ? 0
                     : static_cast<int>(std::min<std::int64_t>(
                           std::min<std::int64_t>(affordable, 2 * kCogTile), m_spec.height));
    const std::size_t bandRow =
        static_cast<std::size_t>(m_spec.width) * static_cast<std::size_t>(m_sampleBytes);
    m_held.resize(static_cast<std::size_t>(m_spec.bands));
    for (auto& band : m_held) {
        if (!TryAllocate(band, static_cast<std::int64_t>(bandRow) * m_heldRows, m_host))
            return false;
    }
    m_copiesLeft.assign(
        m_levels[0].tiles.size() / static_cast<std::size_t>(m_levels[0].TilesAcross()),
        m_levels[0].TilesAcross());

    if (count > 0) {
        m_rowValues.assign(static_cast<std::size_t>(m_spec.bands),
                           std::vector<double>(static_cast<std::size_t>(m_spec.width)));
        m_overviewRow.resize(m_levels[1].RowBytes(m_pixelBytes));
        m_pyramid = std::make_unique<OverviewPyramid>(
            m_spec.width, m_spec.height, m_spec.bands, count, m_spec.type != SampleType::Float32,
            m_spec.noData,
            [this](int level, int row, const std::vector<std::vector<double>>& bands) {
                return WriteOverviewRow(level, row, bands);
            });
    }
    return StartWorkers();
}

bool CogWriter::StartWorkers()
{
    const unsigned threads = m_spec.threads > 0 ? static_cast<unsigned>(m_spec.threads)
                                                : WorkerThreads(kMostCompressors);
    try {
        for (unsigned i = 0; i < std::max(threads, 1u); ++i)
            m_workers.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
        // Fewer threads than asked compress the same tiles; none cannot.
    }
    return !m_workers.empty() || Fail({});
}

void CogWriter::StopWorkers()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_jobsQueued.notify_all();
    for (std::thread& worker : m_workers) worker.join();
    m_workers.clear();
}

void CogWriter::CloseFiles()
{
    for (Level& level : m_levels) {
        if (level.fd >= 0) ::close(level.fd);
        level.fd = -1;
    }
    if (m_store >= 0) ::close(m_store);
    m_store = -1;
}

bool CogWriter::WriteStrip(const void* const* bands, int rows)
{
    const std::size_t bandRow =
        static_cast<std::size_t>(m_spec.width) * static_cast<std::size_t>(m_sampleBytes);
    if (m_levels[0].fd >= 0)
        return SpoolImageRows(bands, rows) && (!m_pyramid || FeedPyramid(bands, rows));
    for (int j = 0; j < rows; ++j) {
        const int y = m_rowsWritten + j;
        if (!WaitForSlot(y)) return Fail({});
        const std::size_t slot = static_cast<std::size_t>(y % m_heldRows);
        for (int k = 0; k < m_spec.bands; ++k) {
            std::memcpy(
                m_held[static_cast<std::size_t>(k)].data() + slot * bandRow,
                static_cast<const std::uint8_t*>(bands[k]) + static_cast<std::size_t>(j) * bandRow,
                bandRow);
        }
        if ((y + 1) % kCogTile == 0 || y + 1 == m_spec.height) Queue(0, y / kCogTile);
    }
    return !m_pyramid || FeedPyramid(bands, rows);
}

// Stores the rows of an image too wide to hold in its file, and queues each row of tiles once
// whole.
bool CogWriter::SpoolImageRows(const void* const* bands, int rows)
{
    const std::size_t bandRow =
        static_cast<std::size_t>(m_spec.width) * static_cast<std::size_t>(m_sampleBytes);
    const std::size_t rowBytes = m_imageRow.size();
    std::vector<const std::uint8_t*> rowOf(static_cast<std::size_t>(m_spec.bands));
    for (int j = 0; j < rows; ++j) {
        const int y = m_rowsWritten + j;
        for (std::size_t k = 0; k < rowOf.size(); ++k)
            rowOf[k] =
                static_cast<const std::uint8_t*>(bands[k]) + static_cast<std::size_t>(j) * bandRow;
        InterleaveSamples(m_sampleBytes, rowOf.data(), m_spec.bands, 0, m_spec.width,
                          m_imageRow.data());
        if (!WriteAllAt(m_levels[0].fd, m_imageRow.data(), rowBytes,
                        static_cast<std::int64_t>(rowBytes) * y))
            return Fail({});
        if ((y + 1) % kCogTile == 0 || y + 1 == m_spec.height) Queue(0, y / kCogTile);
    }
    return true;
}

// Waits until row's slot among the held rows is free; false when a worker failed.
bool CogWriter::WaitForSlot(int row)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_jobsDone.wait(lock, [&] {
        return m_failed ||
               row < std::min(m_releasedTileRows * kCogTile, m_spec.height) + m_heldRows;
    });
    return !m_failed;
}

void CogWriter::Queue(std::size_t level, int tileRow)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        for (int c = 0; c < m_levels[level].TilesAcross(); ++c)
            m_jobs.push_back({level, tileRow, c});
        m_unfinished += m_levels[level].TilesAcross();
    }
    m_jobsQueued.notify_all();
}

void CogWriter::Work()
{
    try {
        TileDeflater deflater(m_spec.type, m_spec.bands, kCogTile, kDeflateLevel);
        std::vector<std::uint8_t> tile;  // compressed, with its leader and trailer
        for (;;) {
            Job job;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_jobsQueued.wait(lock, [&] { return m_stopping || !m_jobs.empty(); });
                if (m_stopping) return;
                job = m_jobs.front();
                m_jobs.pop_front();
            }
            bool ok = Gather(job, deflater.Tile());
            if (job.level == 0) {
                const std::lock_guard<std::mutex> lock(m_mutex);
                --m_copiesLeft[static_cast<std::size_t>(job.tileRow)];
                while (m_releasedTileRows < static_cast<int>(m_copiesLeft.size()) &&
                       m_copiesLeft[static_cast<std::size_t>(m_releasedTileRows)] == 0) {
                    ++m_releasedTileRows;
                }
            }
            if (job.level == 0) m_jobsDone.notify_all();
            ok = ok && deflater.Compress(tile, kTileMargin);
            if (ok) WrapTile(tile);
            Store(job, tile, ok);
        }
    } catch (const std::bad_alloc&) {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_failed = true;
        }
        m_jobsDone.notify_all();
    }
}

// Copies the job's tile into tile, pixels outside the level as zeros.
bool CogWriter::Gather(const Job& job, std::uint8_t* tile)
{
    const Level& level = m_levels[job.level];
    const int x0 = job.tileColumn * kCogTile;
    const int y0 = job.tileRow * kCogTile;
    const int columns = std::min(kCogTile, level.width - x0);
    const int rows = std::min(kCogTile, level.height - y0);
    const std::size_t tileRow = m_pixelBytes * kCogTile;
    if (columns < kCogTile || rows < kCogTile) std::memset(tile, 0, tileRow * kCogTile);
    std::vector<const std::uint8_t*> bandRows(m_held.size());
    for (int j = 0; j < rows; ++j) {
        std::uint8_t* out = tile + static_cast<std::size_t>(j) * tileRow;
        const int y = y0 + j;
        if (level.fd >= 0) {
            const std::int64_t at = (static_cast<std::int64_t>(y) * level.width + x0) *
                                    static_cast<std::int64_t>(m_pixelBytes);
            if (!ReadAllAt(level.fd, out, m_pixelBytes * static_cast<std::size_t>(columns), at))
                return false;
            continue;
        }
        const std::size_t slot =
            static_cast<std::size_t>(y % m_heldRows) * static_cast<std::size_t>(level.width);
        for (std::size_t k = 0; k < m_held.size(); ++k) bandRows[k] = m_held[k].data();
        const std::size_t first = slot + static_cast<std::size_t>(x0);
        InterleaveSamples(m_sampleBytes, bandRows.data(), m_spec.bands, first, columns, out);
    }
    return true;
}

void CogWriter::Store(const Job& job, const std::vector<std::uint8_t>& wrapped, bool ok)
{
    std::int64_t at = 0;
    if (ok) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        at = m_storeEnd;
        m_storeEnd += static_cast<std::int64_t>(wrapped.size());
    }
    ok = ok && WriteAllAt(m_store, wrapped.data(), wrapped.size(), at);
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        Level& level = m_levels[job.level];
        const std::size_t index =
            static_cast<std::size_t>(job.tileRow) * static_cast<std::size_t>(level.TilesAcross()) +
            static_cast<std::size_t>(job.tileColumn);
        level.tiles[index] = {at, static_cast<std::int64_t>(wrapped.size())};
        if (!ok) m_failed = true;
        --m_unfinished;
    }
    m_jobsDone.notify_all();
}

bool CogWriter::FeedPyramid(const void* const* bands, int rows)
{
    const std::size_t bandRow =
        static_cast<std::size_t>(m_spec.width) * static_cast<std::size_t>(m_sampleBytes);
    std::vector<const double*> pointers;
    for (const auto& band : m_rowValues) pointers.push_back(band.data());
    for (int y = 0; y < rows; ++y) {
        for (int k = 0; k < m_spec.bands; ++k) {
            const void* row =
                static_cast<const std::uint8_t*>(bands[k]) + static_cast<std::size_t>(y) * bandRow;
            double* values = m_rowValues[static_cast<std::size_t>(k)].data();
            switch (m_spec.type) {
                case SampleType::UInt8:
                    ToDoubles<std::uint8_t>(row, m_spec.width, values);
                    break;
                case SampleType::UInt16:
                    ToDoubles<std::uint16_t>(row, m_spec.width, values);
                    break;
                case SampleType::Int16:
                    ToDoubles<std::int16_t>(row, m_spec.width, values);
                    break;
                default:
                    ToDoubles<float>(row, m_spec.width, values);
                    break;
            }
        }
        if (!m_pyramid->AddRow(pointers.data())) return false;
    }
    return true;
}

// Stores one overview row in its level's file, and queues the level's row of tiles once whole.
bool CogWriter::WriteOverviewRow(int levelIndex, int row,
                                 const std::vector<std::vector<double>>& bands)
{
    const Level& level = m_levels[static_cast<std::size_t>(levelIndex)];
    switch (m_spec.type) {
        case SampleType::UInt8:
            InterleaveValues<std::uint8_t>(bands, level.width, m_overviewRow.data());
            break;
        case SampleType::UInt16:
            InterleaveValues<std::uint16_t>(bands, level.width, m_overviewRow.data());
            break;
        case SampleType::Int16:
            InterleaveValues<std::int16_t>(bands, level.width, m_overviewRow.data());
            break;
        default:
            InterleaveValues<float>(bands, level.width, m_overviewRow.data());
            break;
    }
    const std::size_t rowBytes = level.RowBytes(m_pixelBytes);
    if (!WriteAllAt(level.fd, m_overviewRow.data(), rowBytes,
                    static_cast<std::int64_t>(rowBytes) * row))
        return Fail({});
    if ((row + 1) % kCogTile == 0 || row + 1 == level.height)
        Queue(static_cast<std::size_t>(levelIndex), row / kCogTile);
    return true;
}

// Waits for every queued tile, asking keepGoing between waits; false after a failure or when
// cancelled.
bool CogWriter::WaitForTiles(const std::function<bool()>& keepGoing, bool& cancelled)
{
    cancelled = false;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (m_jobsDone.wait_for(lock, std::chrono::milliseconds(100),
                                    [&] { return m_failed || m_unfinished == 0; })) {
                return !m_failed;
            }
        }
        if (keepGoing && !keepGoing()) {
            cancelled = true;
            return false;
        }
    }
}

RunOutcome CogWriter::Finish(const std::function<bool()>& keepGoing)
{
    if (!CheckComplete()) return RunOutcome::Stopped;
    m_pyramid.reset();
    bool cancelled = false;
    const bool tilesDone = WaitForTiles(keepGoing, cancelled);
    StopWorkers();
    if (cancelled) return RunOutcome::Cancelled;
    if (!tilesDone) return Stop();
    const RunOutcome outcome = WriteFile(keepGoing);
    CloseFiles();
    m_temps.RemoveNow();
    return outcome;
}

RunOutcome CogWriter::WriteFile(const std::function<bool()>& keepGoing)
{
    CogDescription description;
    description.type = m_spec.type;
    description.bands = m_spec.bands;
    description.tileSide = kCogTile;
    description.mainFields = std::move(m_mainFields);
    description.overviewFields = std::move(m_overviewFields);
    for (Level& level : m_levels)
        description.levels.push_back({level.width, level.height, std::move(level.tiles)});
    description.bigTiff = NeedsBigTiff(description);

    const int out = ::open(m_path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (out < 0) return Stop();
    bool cancelled = false;
    const bool written = WriteCogFile(out, m_store, description, keepGoing, cancelled);
    const bool closed = ::close(out) == 0;
    if (cancelled) return RunOutcome::Cancelled;
    return written && closed ? RunOutcome::Finished : Stop();
}

}  // namespace

std::unique_ptr<BandFileWriter> OpenCogWriter(const BandFileSpec& spec, const std::string& path,
                                              const std::string& shownPath, Host& host)
{
    auto writer = std::make_unique<CogWriter>(spec, path, shownPath, host);
    if (!writer->Open()) return nullptr;
    return writer;
}

}  // namespace lumesta
