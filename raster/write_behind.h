#pragma once
// Keeps a large output from filling the page cache. Each written range is handed to the disk
// at once; once a window of later writes has followed it, the range is waited for and dropped
// from the cache. A run writing gigabytes then holds at most a window of each file in memory,
// the kernel never stalls it at its dirty-page limits, and the pages it frees are the ones its
// next writes reuse. The window is wide enough that a file of an ordinary scene stays in the
// cache whole, for the run to read back, and the run never waits for the disk.

#include <cstdint>
#include <deque>
#include <mutex>
#include <utility>

namespace lumesta {

class WriteBehind {
public:
    // Bytes a file may hold written but not yet dropped.
    static constexpr std::int64_t kWindowBytes = std::int64_t{256} << 20;

    explicit WriteBehind(std::int64_t windowBytes = kWindowBytes) : m_window(windowBytes) {}

    // Records bytes [offset, offset + length) of the file just written; safe to call from
    // several threads. False when the disk reported a failure for an earlier range (the bytes
    // did not reach the file); file systems without the calls are left to the kernel.
    bool Wrote(int fd, std::int64_t offset, std::int64_t length);

    // True once some written range has left the cache: reading the file back then means
    // reading from the disk.
    bool Dropped() const;

private:
    mutable std::mutex m_mutex;
    std::deque<std::pair<std::int64_t, std::int64_t>> m_ranges;  // offset, length; oldest first
    std::int64_t m_bytes = 0;
    std::int64_t m_window;
    bool m_unsupported = false;
    bool m_dropped = false;
};

// Writes count bytes at offset, retrying interrupted calls; false when not all could be
// written. Each call hands the kernel at most 1 MiB (see the definition).
bool WriteAllAt(int fd, std::int64_t offset, const void* bytes, std::int64_t count);

}  // namespace lumesta
