#pragma once
// Uncompressed 24-bit BMP pictures: 54 bytes of headers, rows padded to a multiple of 4 bytes,
// stored bottom-up, pixels as blue, green, red bytes.
// Messages: "Unable to open file for writing", "Error during writing file header",
// "Error during writing image header", "Error during writing image".

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "core/host.h"
#include "raster/write_behind.h"

namespace lumesta {

// Bytes of one stored row: width × 3 rounded up to a multiple of 4.
std::int64_t BmpRowStride(std::int64_t width);

// The 14-byte file header followed by the 40-byte info header.
std::array<std::uint8_t, 54> BmpHeaders(std::int32_t width, std::int32_t height);

// Writes a grey picture of one band. sixteenBit 0: each byte is the low byte of its cell;
// non-zero: the byte is trunc(value × 0.125) reduced to 8 bits (11-bit data to 0..255).
// Holds a WaitCursorScope and pumps messages once per line.
void WriteBmp24(std::int32_t width, std::int32_t height, const std::int16_t* samples,
                const std::string& path, int sixteenBit, Host& host);

// The strip writer of the runs: writes the headers, pre-sizes the file to its final length,
// then takes the picture in horizontal strips of consecutive lines, each written with one
// positioned write at its place in the file. The written strips leave the page cache as they
// reach the disk.
class BmpStripWriter {
public:
    BmpStripWriter() = default;
    ~BmpStripWriter();
    BmpStripWriter(const BmpStripWriter&) = delete;
    BmpStripWriter& operator=(const BmpStripWriter&) = delete;

    // Creates the file and writes its headers; false (after the message) when that failed.
    bool Create(const std::string& path, std::int32_t width, std::int32_t height, Host& host);
    // Writes lines [firstLine, firstLine + lineCount) given in file order (bottom-up: the
    // buffer's first row is line firstLine + lineCount - 1), each row BmpRowStride bytes with
    // zero padding. False (after "Error during writing image") when the write failed.
    bool WriteStrip(std::int32_t firstLine, std::int32_t lineCount, const std::uint8_t* rows,
                    Host& host);
    // The same without a message, for writers on several threads: each call is one
    // positioned write, so strips that do not overlap may be written at the same time.
    bool WriteStripAt(std::int32_t firstLine, std::int32_t lineCount, const std::uint8_t* rows) const;
    // Closes the file; false when closing failed.
    bool Close();
    // The same, showing "Error during writing image" when closing failed (the last bytes may
    // not have reached the disk).
    bool Close(Host& host);

private:
    std::FILE* m_file = nullptr;
    std::unique_ptr<WriteBehind> m_behind;  // pictures are written once, not read back
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
};

// The eight strips of the run pictures: strips 0 to 6 hold height / 8 + 1 lines, the last one
// the rest; strips are cut at the last line, and one that would start after it is empty.
struct BmpStrip {
    std::int32_t firstLine = 0;
    std::int32_t lineCount = 0;
};
BmpStrip BmpStripOf(std::int32_t height, int stripIndex);

}  // namespace lumesta
