#pragma once
// A raw band file kept open for a run's many positioned reads and writes (strips and rows).
// 64-bit offsets throughout; the descriptor is closed when the object goes.

#include <cstdint>
#include <memory>
#include <string>

#include "raster/write_behind.h"

namespace lumesta {

class RawFile {
public:
    RawFile() = default;
    ~RawFile() { Close(); }
    RawFile(RawFile&& other) noexcept;
    RawFile& operator=(RawFile&& other) noexcept;
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;

    bool OpenForReading(const std::string& path);
    // Creates (or truncates) the file for reading and writing.
    bool CreateForReadWrite(const std::string& path);
    // For a large output written once and read back at most once: from now on its written
    // bytes go to the disk as they are written and leave the page cache a window later (see
    // WriteBehind); keepWhole makes the window as wide as WriteBehind::kReadBackCacheBytes, for
    // a file the run reads back soon. Reads come from the cache where the bytes are still
    // there and then let them go, since each part is read once; where they have left,
    // straight from the disk into the caller's memory instead of filling the cache again.
    // Where the file system refuses either, the file keeps the ordinary path.
    void StreamWrites(bool keepWhole);
    bool IsOpen() const { return m_fd >= 0; }
    // Closes the file; false when the system reported a failure (a write that did not reach
    // the disk). Closing a file that is not open answers true.
    bool Close();

    // Reads up to byteCount bytes at byteOffset; returns the bytes actually read.
    std::int64_t ReadAt(std::int64_t byteOffset, std::int64_t byteCount, void* buffer) const;
    // Writes byteCount bytes at byteOffset; false when not all could be written.
    bool WriteAt(std::int64_t byteOffset, std::int64_t byteCount, const void* buffer) const;

private:
    std::int64_t ReadCached(std::int64_t byteOffset, std::int64_t byteCount, void* buffer) const;
    std::int64_t ReadDirect(std::int64_t byteOffset, std::int64_t byteCount, void* buffer) const;

    int m_fd = -1;
    int m_directFd = -1;  // the same file opened for reads that bypass the cache, or -1
    std::string m_path;   // of a file this object created
    std::unique_ptr<WriteBehind> m_behind;
};

}  // namespace lumesta
