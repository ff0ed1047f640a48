#pragma once
// Images that are too large to hold are handled as streams of rows of doubles, produced top to
// bottom on demand and kept in a short sliding window. Filters and resamplers are streams over
// other streams, so a whole pipeline (read, filter, decimate, upsample) runs in a few rows of
// memory per stage. A stream is used by one thread at a time; distinct streams are independent.

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace lumesta {

class RowStream {
public:
    // window: how many of the most recent rows stay available behind the newest one.
    RowStream(std::int64_t width, std::int64_t height, std::size_t window = 48);
    virtual ~RowStream() = default;
    RowStream(const RowStream&) = delete;
    RowStream& operator=(const RowStream&) = delete;

    std::int64_t Width() const { return m_width; }
    std::int64_t Height() const { return m_height; }

    // Row y (0 <= y < Height()), producing every row up to it first. Rows older than the
    // window are gone: asking for one is a programming error (std::logic_error). The pointer
    // stays valid until the window moves past row y.
    const double* Row(std::int64_t y);

    // True once a row could not be produced (a read failure; its producer showed the message).
    // Such rows hold zeros.
    bool Failed() const { return m_failed; }

protected:
    // Fills out (Width() samples) with row y; called for y = 0, 1, 2, ... in order. False after
    // a failure the producer reported.
    virtual bool Produce(std::int64_t y, double* out) = 0;

private:
    std::int64_t m_width;
    std::int64_t m_height;
    std::size_t m_window;
    std::deque<std::vector<double>> m_rows;
    std::int64_t m_first = 0;  // the row m_rows.front() holds
    std::int64_t m_next = 0;   // the next row to produce
    bool m_failed = false;
};

// Index i mapped into 0 .. n - 1 by mirroring with the edge sample repeated (-1 -> 0,
// -2 -> 1, n -> n - 1), repeatedly for indices far outside.
std::int64_t MirrorIndex(std::int64_t i, std::int64_t n);

// Index i clamped into 0 .. n - 1 (edge replication).
inline std::int64_t ClampIndex(std::int64_t i, std::int64_t n)
{
    return i < 0 ? 0 : (i >= n ? n - 1 : i);
}

// The rows of a fixed buffer (width × height, row-major), for tests and small images.
class BufferStream : public RowStream {
public:
    BufferStream(std::int64_t width, std::int64_t height, std::vector<double> samples);

protected:
    bool Produce(std::int64_t y, double* out) override;

private:
    std::vector<double> m_samples;
};

// The window rows first .. first + height - 1, columns left .. left + width - 1 of a source.
class CropStream : public RowStream {
public:
    CropStream(RowStream& source, std::int64_t left, std::int64_t top, std::int64_t width,
               std::int64_t height, std::size_t window = 48);

protected:
    bool Produce(std::int64_t y, double* out) override;

private:
    RowStream& m_source;
    std::int64_t m_left;
    std::int64_t m_top;
};

// Reads every row of a stream into one row-major buffer (tests and small images).
std::vector<double> ReadAllRows(RowStream& stream);

}  // namespace lumesta
