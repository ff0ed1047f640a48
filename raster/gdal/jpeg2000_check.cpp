#include "raster/gdal/jpeg2000_check.h"

#include <cstdint>
#include <fstream>
#include <vector>

namespace lumesta {
namespace {

constexpr std::uint16_t kSoc = 0xFF4F;
constexpr std::uint16_t kSot = 0xFF90;
constexpr std::uint16_t kSod = 0xFF93;
constexpr std::uint16_t kEoc = 0xFFD9;
// Boxes and markers looked at, at most: a file needing more is no image anyone delivers.
constexpr int kMaxSteps = 1 << 20;

// Reads big-endian numbers at given offsets of an open file; false past its end.
class Reader {
public:
    explicit Reader(const std::string& path) : m_file(path, std::ios::binary)
    {
        if (m_file) {
            m_file.seekg(0, std::ios::end);
            m_size = static_cast<std::uint64_t>(m_file.tellg());
        }
    }
    bool IsOpen() const { return static_cast<bool>(m_file); }
    std::uint64_t Size() const { return m_size; }

    bool Read(std::uint64_t at, int bytes, std::uint64_t& value)
    {
        if (at > m_size || m_size - at < static_cast<std::uint64_t>(bytes)) return false;
        unsigned char buffer[8] = {};
        m_file.seekg(static_cast<std::streamoff>(at));
        if (!m_file.read(reinterpret_cast<char*>(buffer), bytes)) return false;
        value = 0;
        for (int i = 0; i < bytes; ++i) value = (value << 8) | buffer[i];
        return true;
    }

private:
    std::ifstream m_file;
    std::uint64_t m_size = 0;
};

// The codestream box of a JP2 file: [begin, end). False when a box leaves the file or none is
// a codestream.
bool FindCodestream(Reader& in, std::uint64_t& begin, std::uint64_t& end)
{
    std::uint64_t at = 0;
    for (int step = 0; step < kMaxSteps && at < in.Size(); ++step) {
        std::uint64_t length = 0;
        std::uint64_t type = 0;
        if (!in.Read(at, 4, length) || !in.Read(at + 4, 4, type)) return false;
        std::uint64_t header = 8;
        if (length == 1) {
            if (!in.Read(at + 8, 8, length)) return false;
            header = 16;
        } else if (length == 0) {
            length = in.Size() - at;
        }
        if (length < header || length > in.Size() - at) return false;
        if (type == 0x6A703263) {  // "jp2c"
            begin = at + header;
            end = at + length;
            return true;
        }
        at += length;
    }
    return false;
}

// Marker segments from at up to (not including) the marker stop, within [at, end): on return
// at is the stop marker's position. False when a segment leaves the range.
bool WalkSegments(Reader& in, std::uint64_t& at, std::uint64_t end, std::uint16_t stop, int& steps)
{
    for (; steps < kMaxSteps; ++steps) {
        std::uint64_t marker = 0;
        std::uint64_t length = 0;
        if (at + 2 > end || !in.Read(at, 2, marker)) return false;
        if (marker == stop) return true;
        // Markers 0xFF30 to 0xFF3F have no segment; anything below is no marker at all.
        if (marker < 0xFF30) return false;
        if (marker <= 0xFF3F) {
            at += 2;
            continue;
        }
        if (at + 4 > end || !in.Read(at + 2, 2, length) || length < 2 || at + 2 + length > end)
            return false;
        at += 2 + length;
    }
    return false;
}

bool CodestreamHolds(Reader& in, std::uint64_t begin, std::uint64_t end)
{
    std::uint64_t marker = 0;
    if (!in.Read(begin, 2, marker) || marker != kSoc) return false;
    std::uint64_t at = begin + 2;
    int steps = 0;
    if (!WalkSegments(in, at, end, kSot, steps)) return false;
    // Tile-parts: each SOT's length (Psot) keeps it within the codestream; 0 runs to its end.
    while (at + 2 <= end && steps < kMaxSteps) {
        if (!in.Read(at, 2, marker)) return false;
        if (marker == kEoc) return true;
        std::uint64_t partLength = 0;
        if (marker != kSot || !in.Read(at + 6, 4, partLength)) return false;
        const std::uint64_t partEnd = partLength == 0 ? end : at + partLength;
        if (partLength != 0 && (partLength < 14 || partEnd > end)) return false;
        if (!WalkSegments(in, at, partEnd, kSod, steps)) return false;
        if (partLength == 0) return true;
        at = partEnd;
    }
    return at == end;
}

}  // namespace

bool CheckJpeg2000Structure(const std::string& path, std::string& error)
{
    Reader in(path);
    if (!in.IsOpen()) return true;  // GDAL says why it cannot be read
    std::uint64_t begin = 0;
    std::uint64_t end = in.Size();
    std::uint64_t signature = 0;
    bool sound = in.Read(0, 4, signature);
    // A JP2 file starts with its 12-byte signature box; a bare codestream with SOC.
    if (sound && signature == 0x0000000C) sound = FindCodestream(in, begin, end);
    sound = sound && CodestreamHolds(in, begin, end);
    if (!sound)
        error = path + " is no sound JPEG 2000 file: its boxes or marker segments do not fit it.";
    return sound;
}

}  // namespace lumesta
