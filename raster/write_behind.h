#pragma once
// Keeps a large output from filling the page cache. Each written range is handed to the disk
// at once; once a window of later writes has followed it, the range is waited for and dropped
// from the cache. A run writing gigabytes then holds at most a window of each file in memory,
// the kernel never stalls it at its dirty-page limits, and the pages it frees are the ones its
// next writes reuse.
//
// Two widths of window: a narrow one for files nobody reads back during the run, and a wide
// one (a sixteenth of the machine's memory, at most 1 GiB) for files the run reads back, such
// as fused bands on their way to the picture, and for the picture itself: an ordinary scene's
// files then stay in the cache whole, the read back finds them there, and the run does not
// wait for the disk to take them.

#include <cstdint>
#include <deque>
#include <mutex>
#include <utility>

namespace lumesta {

class WriteBehind {
public:
    // Bytes a file nobody reads back may hold written but not yet dropped.
    static constexpr std::int64_t kNarrowWindowBytes = std::int64_t{16} << 20;
    // The same for a file read back during the run, or a picture.
    static std::int64_t WideWindowBytes();

    explicit WriteBehind(std::int64_t windowBytes) : m_window(windowBytes) {}

    // Records bytes [offset, offset + length) of the file just written; safe to call from
    // several threads. False when the disk reported a failure for an earlier range (the bytes
    // did not reach the file); file systems without the calls are left to the kernel.
    bool Wrote(int fd, std::int64_t offset, std::int64_t length);

    // True when some of bytes [offset, offset + length) may have left the cache: reading them
    // back means reading from the disk.
    bool Dropped(std::int64_t offset, std::int64_t length) const;

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

// Writes count bytes at offset, retrying interrupted calls; false when not all could be
// written. Each call hands the kernel at most 1 MiB (see the definition).
bool WriteAllAt(int fd, std::int64_t offset, const void* bytes, std::int64_t count);

}  // namespace lumesta
