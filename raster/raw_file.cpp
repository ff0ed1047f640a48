#include "raster/raw_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

#include "core/input_file.h"

namespace lumesta {

RawFile& RawFile::operator=(RawFile&& other) noexcept
{
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        other.m_fd = -1;
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
    return m_fd >= 0;
}

void* RawFile::Map(std::int64_t byteCount) const
{
    if (m_fd < 0 || byteCount <= 0) return nullptr;
    void* address = ::mmap(nullptr, static_cast<size_t>(byteCount), PROT_READ | PROT_WRITE,
                           MAP_SHARED, m_fd, 0);
    return address == MAP_FAILED ? nullptr : address;
}

void RawFile::Unmap(void* address, std::int64_t byteCount)
{
    if (address) ::munmap(address, static_cast<size_t>(byteCount));
}

bool RawFile::Close()
{
    const bool closed = m_fd < 0 || ::close(m_fd) == 0;
    m_fd = -1;
    return closed;
}

std::int64_t RawFile::ReadAt(std::int64_t byteOffset, std::int64_t byteCount, void* buffer) const
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

bool RawFile::WriteAt(std::int64_t byteOffset, std::int64_t byteCount, const void* buffer) const
{
    const auto* bytes = static_cast<const char*>(buffer);
    std::int64_t done = 0;
    while (done < byteCount) {
        const ssize_t put = ::pwrite(m_fd, bytes + done, static_cast<size_t>(byteCount - done),
                                     static_cast<off_t>(byteOffset + done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += put;
    }
    return true;
}

}  // namespace lumesta
