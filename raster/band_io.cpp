#include "raster/band_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <limits>

#include "core/input_file.h"

namespace lumesta {
namespace {

const char kPartOpenFailure[] = "Error: Integer/Binary - ReadDataBlockPart";
const char kCannotAllocate[] = "Error: reading image file - Cannot allocate memory";

// A read-only descriptor that closes itself; folders, pipes and devices count as files that
// cannot be opened.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::string& path) : m_fd(OpenRegularForReading(path))
    {
        struct stat status {};
        if (m_fd >= 0 && ::fstat(m_fd, &status) != 0) Close();
        if (m_fd >= 0) m_length = status.st_size;
    }
    ~ReadOnlyFile() { Close(); }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    std::int64_t Length() const { return m_length; }

    // Reads count bytes from offset, continuing where the system hands over less at a time
    // (one logical read); returns the bytes that arrived.
    std::int64_t ReadAt(std::int64_t offset, std::int64_t count, void* buffer) const
    {
        if (offset < 0 || count <= 0) return 0;
        auto* bytes = static_cast<unsigned char*>(buffer);
        std::int64_t done = 0;
        while (done < count) {
            const std::int64_t chunk = count - done;
            const ssize_t got = ::pread(m_fd, bytes + done, static_cast<std::size_t>(chunk),
                                        static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            done += got;
            if (offset + done < offset) break;  // never wraps past the largest offset
        }
        return done;
    }

private:
    void Close()
    {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

    int m_fd;
    std::int64_t m_length = 0;
};

// count × factor, clamped to the 64-bit range (absurd requests then read short and say so).
std::int64_t ScaledCount(std::int64_t count, std::int64_t factor)
{
    std::int64_t result = 0;
    if (__builtin_mul_overflow(count, factor, &result)) {
        return count < 0 ? std::numeric_limits<std::int64_t>::min()
                         : std::numeric_limits<std::int64_t>::max();
    }
    return result;
}

bool ReadsPastTheEnd(std::int64_t offset, std::int64_t count)
{
    std::int64_t end = 0;
    return offset < 0 || __builtin_add_overflow(offset, count, &end);
}

// The one read of an opened file: shows the length message when fewer bytes arrive and still
// reports the count requested. A null buffer is a failed allocation.
std::int64_t TransferBytes(const ReadOnlyFile& file, std::int64_t byteOffset,
                           std::int64_t byteCount, void* buffer, Host& host)
{
    static const char kLengthProblem[] = "Error! reading an image  file - length problem.";
    if (byteCount <= 0) return 0;
    if (buffer == nullptr) {
        host.ShowMessage(kCannotAllocate);
        return -1;
    }
    std::int64_t got = 0;
    if (!ReadsPastTheEnd(byteOffset, byteCount)) got = file.ReadAt(byteOffset, byteCount, buffer);
    if (got < byteCount) host.ShowMessage(kLengthProblem);
    return byteCount;
}

}  // namespace

std::int64_t ReadBytesAt(const std::string& path, std::int64_t byteOffset, std::int64_t byteCount,
                         void* buffer, const std::string& openFailureMessage, Host& host)
{
    const ReadOnlyFile file(path);
    if (!file.IsOpen()) {
        host.ShowMessage(openFailureMessage);
        return -1;
    }
    return TransferBytes(file, byteOffset, byteCount, buffer, host);
}

std::int64_t ReadDataBlockPart(const std::string& path, std::int64_t firstSample,
                               std::int64_t sampleCount, std::int16_t* buffer, Host& host)
{
    return ReadBytesAt(path, ScaledCount(firstSample, 2), ScaledCount(sampleCount, 2), buffer,
                       kPartOpenFailure, host);
}

std::int64_t ReadDataBlockPartAt(const std::string& path, std::int64_t byteOffset,
                                 std::int64_t sampleCount, std::int16_t* buffer, Host& host)
{
    return ReadBytesAt(path, byteOffset, ScaledCount(sampleCount, 2), buffer, kPartOpenFailure,
                       host);
}

std::int64_t ReadDataBlockPart(const std::string& path, std::int64_t byteOffset,
                               std::int64_t byteCount, std::uint8_t* buffer, Host& host)
{
    return ReadBytesAt(path, byteOffset, byteCount, buffer, kPartOpenFailure, host);
}

std::int64_t ReadDataBlock(const std::string& path, void* buffer, Host& host,
                           OpenFailureMessage message)
{
    static const char kNamesDialog[] = "Error: Integer/Binary - ReadDataBlock in DIALOG 85";
    static const char kPlain[] = "Error: Integer/Binary - ReadDataBlock()";
    if (buffer == nullptr) {
        host.ShowMessage(kCannotAllocate);
        return -1;
    }
    const ReadOnlyFile file(path);
    if (!file.IsOpen()) {
        host.ShowMessage(message == OpenFailureMessage::NamesDialog ? kNamesDialog : kPlain);
        return -1;
    }
    TransferBytes(file, 0, file.Length(), buffer, host);
    return file.Length();
}

std::int64_t GetDataBlockLength(const std::string& path, Host& host)
{
    static const char kCannotOpen[] = "Error: ReadDataBlock Length";
    const ReadOnlyFile file(path);
    if (!file.IsOpen()) {
        host.ShowMessage(kCannotOpen);
        return 0;
    }
    return file.Length();
}

}  // namespace lumesta
