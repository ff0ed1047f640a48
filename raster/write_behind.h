#pragma once
// Keeps a large output from filling the page cache. Each written range is handed to the disk
// at once; once a window of later writes has followed it, the range is waited for and dropped
// from the cache. A run that writes gigabytes then holds a few tens of megabytes of them in
// memory, the kernel never stalls it at its dirty-page limits, and the pages it frees are the
// ones its next writes reuse. Only for files that are written once and not read back soon.

#include <cstdint>
#include <deque>
#include <mutex>
#include <utility>

namespace lumesta {

class WriteBehind {
public:
    // Bytes a file may hold written but not yet dropped.
    static constexpr std::int64_t kWindowBytes = std::int64_t{16} << 20;

    explicit WriteBehind(std::int64_t windowBytes = kWindowBytes) : m_window(windowBytes) {}

    // Records bytes [offset, offset + length) of the file just written; safe to call from
    // several threads. False when the disk reported a failure for an earlier range (the bytes
    // did not reach the file); file systems without the calls are left to the kernel.
    bool Wrote(int fd, std::int64_t offset, std::int64_t length);

private:
    std::mutex m_mutex;
    std::deque<std::pair<std::int64_t, std::int64_t>> m_ranges;  // offset, length; oldest first
    std::int64_t m_bytes = 0;
    std::int64_t m_window;
    bool m_unsupported = false;
};

}  // namespace lumesta
