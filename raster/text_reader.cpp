#include "raster/text_reader.h"

#include <unistd.h>

#include <climits>
#include <cstring>

#include "core/input_file.h"

namespace lumesta {
namespace {

bool IsScanfSpace(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(int c)
{
    return c >= '0' && c <= '9';
}

}  // namespace

FilePtr OpenFileForReading(const std::string& path)
{
    // Folders, pipes and devices count as files that cannot be opened.
    const int fd = OpenRegularForReading(path);
    if (fd < 0) return nullptr;
    FilePtr file(::fdopen(fd, "rb"));
    if (!file) ::close(fd);
    return file;
}

bool TextFileReader::Fill(std::size_t needed)
{
    if (m_end - m_pos >= needed) return true;
    if (m_file == nullptr) return false;
    std::memmove(m_buffer.data(), m_buffer.data() + m_pos, m_end - m_pos);
    m_end -= m_pos;
    m_pos = 0;
    while (m_end < needed) {
        const std::size_t got =
            std::fread(m_buffer.data() + m_end, 1, m_buffer.size() - m_end, m_file);
        if (got == 0) return false;
        m_end += got;
    }
    return true;
}

int TextFileReader::Get()
{
    if (!Fill(1)) {
        m_hitEnd = true;
        return EOF;
    }
    return static_cast<unsigned char>(m_buffer[m_pos++]);
}

int TextFileReader::Peek(std::size_t ahead)
{
    if (!Fill(ahead + 1)) {
        m_hitEnd = true;
        return EOF;
    }
    return static_cast<unsigned char>(m_buffer[m_pos + ahead]);
}

bool TextFileReader::SkipPast(char separator)
{
    for (int c = Get(); c != EOF; c = Get()) {
        if (c == static_cast<unsigned char>(separator)) return true;
    }
    return false;
}

bool TextFileReader::ReadWord(std::string& word, std::size_t maxKept)
{
    while (IsScanfSpace(Peek())) Get();
    if (Peek() == EOF) return false;
    word.clear();
    for (int c = Peek(); c != EOF && !IsScanfSpace(c); c = Peek()) {
        if (word.size() < maxKept) word.push_back(static_cast<char>(c));
        Get();
    }
    return true;
}

TextFileReader::NumberRead TextFileReader::ReadInt(int& value)
{
    long long wide = 0;
    const NumberRead result = ReadInt64(wide);
    if (result != NumberRead::Read) return result;
    if (wide > INT_MAX) wide = INT_MAX;
    if (wide < INT_MIN) wide = INT_MIN;
    value = static_cast<int>(wide);
    return result;
}

TextFileReader::NumberRead TextFileReader::ReadInt64(long long& value)
{
    while (IsScanfSpace(Peek())) Get();
    if (Peek() == EOF) return NumberRead::End;
    bool negative = false;
    if (Peek() == '+' || Peek() == '-') negative = Get() == '-';
    if (!IsDigit(Peek())) return NumberRead::NotANumber;
    // Accumulate as a negative number so that LLONG_MIN is reachable; clamp on overflow.
    long long accumulated = 0;
    bool overflow = false;
    while (IsDigit(Peek())) {
        const int digit = Get() - '0';
        if (accumulated < (LLONG_MIN + digit) / 10) overflow = true;
        if (!overflow) accumulated = accumulated * 10 - digit;
    }
    if (overflow) {
        value = negative ? LLONG_MIN : LLONG_MAX;
    } else if (negative) {
        value = accumulated;
    } else {
        value = accumulated == LLONG_MIN ? LLONG_MAX : -accumulated;
    }
    return NumberRead::Read;
}

bool TextFileReader::ReadLineChunk(std::string& chunk, std::size_t maxBytes)
{
    chunk.clear();
    while (chunk.size() < maxBytes) {
        const int c = Get();
        if (c == EOF) break;
        chunk.push_back(static_cast<char>(c));
        if (c == '\n') break;
    }
    return !chunk.empty();
}

bool TextFileReader::ReadTextLine(std::string& line, std::size_t maxLength)
{
    line.clear();
    if (Peek() == EOF) return false;
    for (;;) {
        const int c = Peek();
        if (c == EOF) return true;
        if (c == '\n') {
            Get();
            return true;
        }
        if (c == '\r' && (Peek(1) == '\n' || Peek(1) == EOF)) {
            Get();
            if (Peek() == '\n') Get();
            return true;
        }
        if (line.size() == maxLength) return true;  // split: the rest is the next line
        line.push_back(static_cast<char>(Get()));
    }
}

}  // namespace lumesta
