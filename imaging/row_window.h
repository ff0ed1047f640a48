#pragma once
// Images read as windows of columns, any row in any order: the measurements go through an
// image a panel of columns at a time, so that what they hold is bounded by the panel, not by
// the image's width. No data arrives as NaN.

#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/row_stream.h"

namespace lumesta {

class RowWindowSource {
public:
    virtual ~RowWindowSource() = default;
    virtual std::int64_t Width() const = 0;
    virtual std::int64_t Height() const = 0;
    // Columns left .. left + count − 1 (inside the image) of row y into out. Used by one thread
    // at a time. False after the reader's message.
    virtual bool ReadRow(std::int64_t y, std::int64_t left, std::int64_t count, double* out) = 0;
};

// The rows of a fixed buffer (width × height, row-major), for tests and small images.
class BufferWindowSource : public RowWindowSource {
public:
    BufferWindowSource(std::int64_t width, std::int64_t height, std::vector<double> samples);
    std::int64_t Width() const override { return m_width; }
    std::int64_t Height() const override { return m_height; }
    bool ReadRow(std::int64_t y, std::int64_t left, std::int64_t count, double* out) override;

private:
    std::int64_t m_width;
    std::int64_t m_height;
    std::vector<double> m_samples;
};

// The window of a source whose upper-left pixel is (left, top), width × height pixels.
class CroppedWindowSource : public RowWindowSource {
public:
    CroppedWindowSource(RowWindowSource& source, std::int64_t left, std::int64_t top,
                        std::int64_t width, std::int64_t height);
    std::int64_t Width() const override { return m_width; }
    std::int64_t Height() const override { return m_height; }
    bool ReadRow(std::int64_t y, std::int64_t left, std::int64_t count, double* out) override;

private:
    RowWindowSource& m_source;
    std::int64_t m_left;
    std::int64_t m_top;
    std::int64_t m_width;
    std::int64_t m_height;
};

// Columns left .. left + width − 1 of a source as a row stream, top to bottom, keeping window
// rows.
class WindowRowStream : public RowStream {
public:
    WindowRowStream(RowWindowSource& source, std::int64_t left, std::int64_t width,
                    std::size_t window);

protected:
    bool Produce(std::int64_t y, double* out) override;

private:
    RowWindowSource& m_source;
    std::int64_t m_left;
};

}  // namespace lumesta
