#pragma once
// Byte-for-byte reading of the small text files the raster formats use (ENVI and Idrisi32
// headers, header templates, group files). No line-end translation happens: the callers decide
// what a CR means. Memory stays bounded whatever the file holds, so a huge file given as a
// header costs time but never more than one buffer.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace lumesta {

struct FileCloser {
    void operator()(std::FILE* file) const
    {
        if (file != nullptr) std::fclose(file);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens an existing file for binary reading; null when it is missing, unreadable or a folder.
FilePtr OpenFileForReading(const std::string& path);

class TextFileReader {
public:
    explicit TextFileReader(std::FILE* file) : m_file(file), m_buffer(kBufferSize) {}

    // The next byte (0..255), or EOF.
    int Get();
    // The byte ahead positions on without consuming it (ahead < 16), or EOF.
    int Peek(std::size_t ahead = 0);
    // True once a read or a look-ahead found the end of the file (like feof).
    bool HitEnd() const { return m_hitEnd; }

    // Skips up to and including the next occurrence of separator; false at the end of file.
    bool SkipPast(char separator);

    // A whitespace-delimited word, as "%s" reads it: leading white space (space, tab, CR, LF,
    // VT, FF) is skipped, the word ends before the next white space. Characters beyond
    // maxKept are consumed but not kept. False when the end came before any word character.
    bool ReadWord(std::string& word, std::size_t maxKept);

    enum class NumberRead { Read, NotANumber, End };
    // A decimal integer with optional sign, as "%d" reads it; values beyond the int range are
    // clamped to it. NotANumber leaves value unchanged and the offending byte unread.
    NumberRead ReadInt(int& value);
    // The same for a 64-bit value (clamped to its range).
    NumberRead ReadInt64(long long& value);

    // A chunk of one line as fgets reads it in binary mode: at most maxBytes bytes, ending
    // after the first LF. False when the end came before any byte.
    bool ReadLineChunk(std::string& chunk, std::size_t maxBytes);

    // One text line for copying: the bytes up to LF or the end, without the line end (a CR
    // right before the LF or the end of file is dropped too). A line longer than maxLength is
    // split: its first maxLength characters are returned and the rest forms the next line.
    // False when the end came before any byte.
    bool ReadTextLine(std::string& line, std::size_t maxLength);

private:
    static constexpr std::size_t kBufferSize = 1 << 16;
    bool Fill(std::size_t needed);

    std::FILE* m_file;
    std::vector<char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    bool m_hitEnd = false;
};

}  // namespace lumesta
