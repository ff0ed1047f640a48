#include "raster/raw_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/input_file.h"

namespace lumesta {
namespace {

// Reads that bypass the cache must start, end and land on multiples of the device's block;
// 4096 bytes suits every disk in use.
constexpr std::int64_t kDirectAlign = 4096;
constexpr std::int64_t kDirectChunk = std::int64_t{4} << 20;

// One aligned buffer per thread for reads that bypass the cache, kept for the thread's life
// so repeated reads do not touch new memory.
struct DirectBuffer {
    ~DirectBuffer() { std::free(bytes); }
    char* bytes = nullptr;
};

char* ThreadDirectBuffer()
{
    thread_local DirectBuffer buffer;
    if (buffer.bytes == nullptr) {
        buffer.bytes = static_cast<char*>(std::aligned_alloc(kDirectAlign, kDirectChunk));
    }
    return buffer.bytes;
}

}  // namespace

RawFile::RawFile(RawFile&& other) noexcept
    : m_fd(other.m_fd), m_directFd(other.m_directFd), m_path(std::move(other.m_path)),
      m_behind(std::move(other.m_behind))
{
    other.m_fd = -1;
    other.m_directFd = -1;
}

RawFile& RawFile::operator=(RawFile&& other) noexcept
{
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        m_directFd = other.m_directFd;
        m_path = std::move(other.m_path);
        m_behind = std::move(other.m_behind);
        other.m_fd = -1;
        other.m_directFd = -1;
    }
    return *this;
}

bool RawFile::OpenForReading(const std::string& path)
{
    Close();
    m_fd = OpenRegularForReading(path);
    return m_fd >= 0;
}

bool RawFile::CreateForReadWrite(const std::string& path)
{
    Close();
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (m_fd >= 0) m_path = path;
    return m_fd >= 0;
}

void RawFile::StreamWrites(bool keepWhole)
{
    if (m_fd < 0 || m_path.empty()) return;
    m_behind = std::make_unique<WriteBehind>(keepWhole ? WriteBehind::kReadBackCacheBytes
                                                       : WriteBehind::kWindowBytes);
    if (m_directFd < 0) m_directFd = ::open(m_path.c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC);
}

bool RawFile::Close()
{
    if (m_directFd >= 0) ::close(m_directFd);
    m_directFd = -1;
    const bool closed = m_fd < 0 || ::close(m_fd) == 0;
    m_fd = -1;
    m_path.clear();
    m_behind.reset();
    return closed;
}

std::int64_t RawFile::ReadAt(std::int64_t byteOffset, std::int64_t byteCount, void* buffer) const
{
    if (m_directFd >= 0 && m_behind && m_behind->Dropped(byteOffset, byteCount)) {
        const std::int64_t done = ReadDirect(byteOffset, byteCount, buffer);
        if (done >= 0) return done;
    }
    const std::int64_t done = ReadCached(byteOffset, byteCount, buffer);
    // Read once: the pages can go, and the run's next writes reuse them. Pages the disk has not
    // taken yet stay.
    if (m_behind) ::posix_fadvise(m_fd, byteOffset, byteCount, POSIX_FADV_DONTNEED);
    return done;
}

std::int64_t RawFile::ReadCached(std::int64_t byteOffset, std::int64_t byteCount, void* buffer) const
{
    auto* bytes = static_cast<char*>(buffer);
    std::int64_t done = 0;
    while (done < byteCount) {
        const ssize_t got = ::pread(m_fd, bytes + done, static_cast<size_t>(byteCount - done),
                                    static_cast<off_t>(byteOffset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += got;
    }
    return done;
}

// Reads whole aligned blocks around the wanted bytes into the thread's buffer and copies the
// wanted part out. The kernel first writes out any of the range still waiting in the cache,
// so the bytes are those last written. -1 when the system refuses such reads here.
std::int64_t RawFile::ReadDirect(std::int64_t byteOffset, std::int64_t byteCount, void* buffer) const
{
    char* aligned = ThreadDirectBuffer();
    if (aligned == nullptr || byteOffset < 0) return -1;
    auto* bytes = static_cast<char*>(buffer);
    std::int64_t done = 0;
    while (done < byteCount) {
        const std::int64_t at = byteOffset + done;
        const std::int64_t blockStart = at - at % kDirectAlign;
        const std::int64_t skip = at - blockStart;
        const std::int64_t span = skip + (byteCount - done);
        const std::int64_t want =
            std::min(kDirectChunk, (span + kDirectAlign - 1) / kDirectAlign * kDirectAlign);
        const ssize_t got = ::pread(m_directFd, aligned, static_cast<size_t>(want),
                                    static_cast<off_t>(blockStart));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return done == 0 ? -1 : done + ReadCached(at, byteCount - done, bytes + done);
        const std::int64_t usable = std::min<std::int64_t>(got - skip, byteCount - done);
        if (usable <= 0) break;
        std::memcpy(bytes + done, aligned + skip, static_cast<size_t>(usable));
        done += usable;
        if (got < want) break;  // the end of the file
    }
    return done;
}

bool RawFile::WriteAt(std::int64_t byteOffset, std::int64_t byteCount, const void* buffer) const
{
    if (!WriteAllAt(m_fd, byteOffset, buffer, byteCount, WriteBehind::CallBytes(m_behind.get()))) {
        return false;
    }
    return !m_behind || m_behind->Wrote(m_fd, byteOffset, byteCount);
}

}  // namespace lumesta
