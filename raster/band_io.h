#pragma once
// Reading headerless raw band files: whole files, or a run of samples from a position.
// Every call opens the file, does one seek and one read, and closes it again. Buffers belong
// to the caller. Offsets and counts are 64-bit, so bands of several gigabytes work.
//
// Failure values: a reader that cannot open its file shows its message and returns -1 (the
// caller stops its run with its own closing line). A short read shows
// "Error! reading an image  file - length problem." and still returns the bytes requested; the
// part of the buffer that was not read keeps what it held.

#include <cstdint>
#include <string>

#include "core/host.h"

namespace lumesta {

// The shared pattern: reads byteCount bytes from byteOffset of path into buffer. Shows
// openFailureMessage and returns -1 when the file cannot be opened; otherwise returns
// byteCount (after the length message on a short read). A null buffer (failed allocation)
// shows "Error: reading image file - Cannot allocate memory" and returns -1; a count of 0 or
// less reads nothing and returns 0.
std::int64_t ReadBytesAt(const std::string& path, std::int64_t byteOffset, std::int64_t byteCount,
                         void* buffer, const std::string& openFailureMessage, Host& host);

// 16-bit samples from sample index firstSample ("Error: Integer/Binary - ReadDataBlockPart").
std::int64_t ReadDataBlockPart(const std::string& path, std::int64_t firstSample,
                               std::int64_t sampleCount, std::int16_t* buffer, Host& host);
// 16-bit samples from a byte offset.
std::int64_t ReadDataBlockPartAt(const std::string& path, std::int64_t byteOffset,
                                 std::int64_t sampleCount, std::int16_t* buffer, Host& host);
// Bytes (8-bit data) from a byte offset.
std::int64_t ReadDataBlockPart(const std::string& path, std::int64_t byteOffset,
                               std::int64_t byteCount, std::uint8_t* buffer, Host& host);

// The two whole-file readers differ only in the message shown when the file cannot be opened:
// one names the dialog that calls it ("... ReadDataBlock in DIALOG 85"), the other is plain
// ("... ReadDataBlock()").
enum class OpenFailureMessage { NamesDialog, Plain };

// Reads the whole file into buffer (sized by the caller from GetDataBlockLength or the image
// size). A null buffer (failed allocation) shows "Error: reading image file - Cannot allocate
// memory" and returns -1. Returns the file length.
std::int64_t ReadDataBlock(const std::string& path, void* buffer, Host& host,
                           OpenFailureMessage message = OpenFailureMessage::Plain);

// The file's length in bytes; a file that cannot be opened shows "Error: ReadDataBlock Length"
// and gives 0.
std::int64_t GetDataBlockLength(const std::string& path, Host& host);

}  // namespace lumesta
