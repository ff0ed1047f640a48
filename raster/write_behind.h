#pragma once
// Keeps a large output from filling the page cache. Each written range is handed to the disk
// at once; once a window of later writes has followed it, the range is waited for and dropped
// from the cache. A run writing gigabytes then holds at most a window of each file in memory,
// the kernel never stalls it at its dirty-page limits, and the pages it frees are the ones its
// next writes reuse.
//
// A run that reads some of its outputs back soon (fused bands on their way to the picture) may
// keep them in the cache whole, with a window as wide as the whole files, while together they
// stay within kReadBackCacheBytes: a few hundred megabytes of cache are cheap, and the read back
// then costs no disk time. Larger outputs are streamed like the others and read back from the
// disk: on machines that hand free memory back to their host, holding gigabytes in the cache
// costs more than reading them again.

#include <cstdint>
#include <deque>
#include <mutex>
#include <utility>

namespace lumesta {

class WriteBehind {
public:
    // Bytes a streamed file may hold written but not yet dropped.
    static constexpr std::int64_t kWindowBytes = std::int64_t{16} << 20;
    // The most a run's outputs kept whole for reading back may hold together: the three
    // picture bands of a 16-bit 8192 x 8192 run (384 MiB), or its four bands for a GeoTIFF.
    static constexpr std::int64_t kReadBackCacheBytes = std::int64_t{512} << 20;

    explicit WriteBehind(std::int64_t windowBytes) : m_window(windowBytes) {}

    // Records bytes [offset, offset + length) of the file just written; safe to call from
    // several threads. False when the disk reported a failure for an earlier range (the bytes
    // did not reach the file); file systems without the calls are left to the kernel.
    bool Wrote(int fd, std::int64_t offset, std::int64_t length);

    // True when some of bytes [offset, offset + length) may have left the cache: reading them
    // back means reading from the disk.
    bool Dropped(std::int64_t offset, std::int64_t length) const;

    // The most bytes one write call should hand the kernel for a file streamed through behind,
    // or for one whose bytes stay in the cache (no behind, or a window as wide as the
    // allowance); see the definition.
    static std::int64_t CallBytes(const WriteBehind* behind);

private:
    mutable std::mutex m_mutex;
    std::deque<std::pair<std::int64_t, std::int64_t>> m_ranges;  // offset, length; oldest first
    std::int64_t m_bytes = 0;
    std::int64_t m_window;
    bool m_unsupported = false;
    // The span of the file whose written bytes have left the cache (empty when first >= end).
    std::int64_t m_droppedFirst = 0;
    std::int64_t m_droppedEnd = 0;
};

// Writes count bytes at offset, retrying interrupted calls, at most callBytes per call
// (WriteBehind::CallBytes); false when not all could be written.
bool WriteAllAt(int fd, std::int64_t offset, const void* bytes, std::int64_t count,
                std::int64_t callBytes);

}  // namespace lumesta
