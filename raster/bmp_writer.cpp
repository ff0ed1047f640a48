#include "raster/bmp_writer.h"

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <vector>

#include "core/memory_available.h"
#include "core/truncate.h"
#include "core/wait_cursor.h"

namespace lumesta {
namespace {

constexpr std::int64_t kHeadersSize = 54;

const char kCannotOpen[] = "Unable to open file for writing";
const char kFileHeaderFailed[] = "Error during writing file header";
const char kImageHeaderFailed[] = "Error during writing image header";
const char kImageFailed[] = "Error during writing image";

void PutLe16(std::uint8_t* at, std::uint32_t value)
{
    at[0] = static_cast<std::uint8_t>(value & 0xFF);
    at[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

void PutLe32(std::uint8_t* at, std::uint32_t value)
{
    PutLe16(at, value & 0xFFFF);
    PutLe16(at + 2, value >> 16);
}

// Bytes of all rows; 0 for a negative size.
std::int64_t BmpImageSize(std::int32_t width, std::int32_t height)
{
    return height <= 0 ? 0 : BmpRowStride(width) * height;
}

// One grey pixel byte of a sample: its low byte, or for 11-bit data value / 8 truncated and
// reduced to 8 bits.
std::uint8_t GreyByte(std::int16_t sample, int sixteenBit)
{
    if (sixteenBit == 0) return static_cast<std::uint8_t>(static_cast<std::uint16_t>(sample));
    return TruncToByte(sample * 0.125);
}

void ConvertLine(const std::int16_t* samples, std::int32_t width, int sixteenBit, std::uint8_t* row)
{
    for (std::int32_t x = 0; x < width; ++x) {
        const std::uint8_t grey = GreyByte(samples[x], sixteenBit);
        row[3 * x] = grey;
        row[3 * x + 1] = grey;
        row[3 * x + 2] = grey;
    }
}

// A write that reports its own failure and then closes the file, so that every later write
// of the same picture fails and reports as well.
void WriteOrReport(std::FILE*& file, const void* bytes, std::size_t size, const char* failure,
                   Host& host)
{
    if (file != nullptr && (size == 0 || std::fwrite(bytes, 1, size, file) == size)) return;
    host.ShowMessage(failure);
    if (file != nullptr) std::fclose(file);
    file = nullptr;
}

// Without memory for the whole picture, the rows go to the file one by one (same bytes).
void WriteBmpRowByRow(std::FILE*& file, std::int32_t width, std::int32_t height,
                      const std::int16_t* samples, int sixteenBit, Host& host)
{
    std::vector<std::uint8_t> row(static_cast<std::size_t>(BmpRowStride(width)), 0);
    for (std::int32_t r = 0; r < height && file != nullptr; ++r) {
        host.PumpPendingMessages();
        const std::int32_t line = height - 1 - r;
        ConvertLine(samples + static_cast<std::int64_t>(line) * width, width, sixteenBit,
                    row.data());
        WriteOrReport(file, row.data(), row.size(), kImageFailed, host);
    }
}

}  // namespace

std::int64_t BmpRowStride(std::int64_t width)
{
    if (width <= 0) return 0;
    return (width * 3 + 3) / 4 * 4;
}

// The two 32-bit size fields keep the low 32 bits of their values: pictures beyond 4 GiB
// (40000 × 40000 pixels is about 4.8 GB) are written in full but their size fields wrap.
std::array<std::uint8_t, 54> BmpHeaders(std::int32_t width, std::int32_t height)
{
    const auto imageSize = static_cast<std::uint64_t>(BmpImageSize(width, height));
    std::array<std::uint8_t, 54> headers{};
    headers[0] = 'B';
    headers[1] = 'M';
    PutLe32(&headers[2], static_cast<std::uint32_t>(kHeadersSize + imageSize));
    PutLe32(&headers[10], kHeadersSize);
    PutLe32(&headers[14], 40);
    PutLe32(&headers[18], static_cast<std::uint32_t>(width));
    PutLe32(&headers[22], static_cast<std::uint32_t>(height));
    PutLe16(&headers[26], 1);
    PutLe16(&headers[28], 24);
    PutLe32(&headers[34], static_cast<std::uint32_t>(imageSize));
    return headers;  // compression, resolutions and colour counts stay 0
}

void WriteBmp24(std::int32_t width, std::int32_t height, const std::int16_t* samples,
                const std::string& path, int sixteenBit, Host& host)
{
    const WaitCursorScope busy(host);
    const std::array<std::uint8_t, 54> headers = BmpHeaders(width, height);
    const std::int64_t stride = BmpRowStride(width);
    const std::int64_t imageSize = BmpImageSize(width, height);
    std::vector<std::uint8_t> rows;
    // A picture the memory cannot hold goes row by row, before the system would end the
    // program for filling a buffer it granted.
    bool haveBuffer = MemoryAllows(static_cast<std::uint64_t>(imageSize));
    try {
        if (haveBuffer) rows.assign(static_cast<std::size_t>(imageSize), 0);
    } catch (const std::bad_alloc&) {
        haveBuffer = false;
    }
    if (haveBuffer) {
        for (std::int32_t line = 0; line < height; ++line) {
            host.PumpPendingMessages();
            ConvertLine(samples + static_cast<std::int64_t>(line) * width, width, sixteenBit,
                        rows.data() + (height - 1 - line) * stride);
        }
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) host.ShowMessage(kCannotOpen);
    WriteOrReport(file, headers.data(), 14, kFileHeaderFailed, host);
    WriteOrReport(file, headers.data() + 14, 40, kImageHeaderFailed, host);
    if (haveBuffer) {
        WriteOrReport(file, rows.data(), rows.size(), kImageFailed, host);
    } else if (file != nullptr) {
        WriteBmpRowByRow(file, width, height, samples, sixteenBit, host);
    }
    if (file != nullptr && std::fclose(file) != 0) host.ShowMessage(kImageFailed);
}

BmpStripWriter::~BmpStripWriter()
{
    Close();
}

bool BmpStripWriter::Create(const std::string& path, std::int32_t width, std::int32_t height,
                            Host& host)
{
    Close();
    m_width = width;
    m_height = height;
    m_behind = std::make_unique<WriteBehind>(WriteBehind::kWindowBytes);
    m_file = std::fopen(path.c_str(), "wb");
    if (m_file == nullptr) {
        host.ShowMessage(kCannotOpen);
        return false;
    }
    const std::array<std::uint8_t, 54> headers = BmpHeaders(width, height);
    WriteOrReport(m_file, headers.data(), 14, kFileHeaderFailed, host);
    WriteOrReport(m_file, headers.data() + 14, 40, kImageHeaderFailed, host);
    if (m_file == nullptr) return false;
    // Pre-sized to its final length, so every strip can be written at its place.
    const auto finalLength = static_cast<off_t>(kHeadersSize + BmpImageSize(width, height));
    if (std::fflush(m_file) != 0 || ::ftruncate(::fileno(m_file), finalLength) != 0) {
        host.ShowMessage(kImageFailed);
        Close();
        return false;
    }
    return true;
}

bool BmpStripWriter::WriteStrip(std::int32_t firstLine, std::int32_t lineCount,
                                const std::uint8_t* rows, Host& host)
{
    const bool inside = firstLine >= 0 && lineCount >= 0 &&
                        static_cast<std::int64_t>(firstLine) + lineCount <= m_height;
    if (m_file != nullptr && inside && lineCount == 0) return true;
    const std::int64_t stride = BmpRowStride(m_width);
    // File row r holds image line height - 1 - r: the strip's lowest line comes first.
    const std::int64_t offset =
        kHeadersSize + (static_cast<std::int64_t>(m_height) - firstLine - lineCount) * stride;
    const std::int64_t size = stride * lineCount;
    const std::int64_t callBytes = WriteBehind::CallBytes(m_behind.get());
    if (m_file != nullptr && inside && rows != nullptr && std::fflush(m_file) == 0 &&
        WriteAllAt(::fileno(m_file), offset, rows, size, callBytes) &&
        m_behind->Wrote(::fileno(m_file), offset, size)) {
        return true;
    }
    host.ShowMessage(kImageFailed);
    return false;
}

bool BmpStripWriter::WriteStripAt(std::int32_t firstLine, std::int32_t lineCount,
                                  const std::uint8_t* rows) const
{
    const bool inside = firstLine >= 0 && lineCount >= 0 &&
                        static_cast<std::int64_t>(firstLine) + lineCount <= m_height;
    if (m_file == nullptr || !inside || rows == nullptr) return false;
    const std::int64_t stride = BmpRowStride(m_width);
    const std::int64_t offset =
        kHeadersSize + (static_cast<std::int64_t>(m_height) - firstLine - lineCount) * stride;
    const std::int64_t size = stride * lineCount;
    const std::int64_t callBytes = WriteBehind::CallBytes(m_behind.get());
    return WriteAllAt(::fileno(m_file), offset, rows, size, callBytes) &&
           m_behind->Wrote(::fileno(m_file), offset, size);
}

bool BmpStripWriter::Close()
{
    if (m_file == nullptr) return true;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    return closed;
}

bool BmpStripWriter::Close(Host& host)
{
    if (Close()) return true;
    host.ShowMessage(kImageFailed);
    return false;
}

BmpStrip BmpStripOf(std::int32_t height, int stripIndex)
{
    BmpStrip strip;
    if (height <= 0 || stripIndex < 0 || stripIndex > 7) return strip;
    const std::int64_t perStrip = height / 8 + 1;
    const std::int64_t first = std::min<std::int64_t>(stripIndex * perStrip, height);
    const std::int64_t count =
        stripIndex < 7 ? std::min<std::int64_t>(perStrip, height - first) : height - first;
    strip.firstLine = static_cast<std::int32_t>(first);
    strip.lineCount = static_cast<std::int32_t>(count);
    return strip;
}

}  // namespace lumesta
