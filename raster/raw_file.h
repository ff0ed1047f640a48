#pragma once
// A raw band file kept open for a run's many positioned reads and writes (strips and rows).
// 64-bit offsets throughout; the descriptor is closed when the object goes.

#include <cstdint>
#include <string>

namespace lumesta {

class RawFile {
public:
    RawFile() = default;
    ~RawFile() { Close(); }
    RawFile(RawFile&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    RawFile& operator=(RawFile&& other) noexcept;
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;

    bool OpenForReading(const std::string& path);
    // Creates (or truncates) the file for reading and writing.
    bool CreateForReadWrite(const std::string& path);
    bool IsOpen() const { return m_fd >= 0; }
    // Closes the file; false when the system reported a failure (a write that did not reach
    // the disk). Closing a file that is not open answers true.
    bool Close();

    // Reads up to byteCount bytes at byteOffset; returns the bytes actually read.
    std::int64_t ReadAt(std::int64_t byteOffset, std::int64_t byteCount, void* buffer) const;
    // Writes byteCount bytes at byteOffset; false when not all could be written.
    bool WriteAt(std::int64_t byteOffset, std::int64_t byteCount, const void* buffer) const;

    // Maps the first byteCount bytes for reading and writing in place (changes reach the file
    // through the page cache); null when the system refuses. Release with Unmap.
    void* Map(std::int64_t byteCount) const;
    static void Unmap(void* address, std::int64_t byteCount);

private:
    int m_fd = -1;
};

}  // namespace lumesta
