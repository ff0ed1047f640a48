#pragma once
// Where a run of the regression methods (1 and 2) with no-data values has data. The run fuses
// the valid rectangle (the MS pixels that hold valid pan pixels, their bounding box) as if it
// were the whole scene: the regression samples its rows as it samples a scene's, and the fused
// rows and columns its cells do not reach take the nearest fused ones, as at the image's
// border; so a fill reaching the border gives the valid area the fusion of that area alone.
// Inside the rectangle, MS pixels that cannot be used (a band, or any pan sample of their
// block, is no data) read as the nearest usable one of their row, and a row without any reads
// the nearest row that has them.

#include <cstdint>
#include <vector>

namespace lumesta {

class ValidArea {
public:
    // The pan is width × height, the MS msWidth × msHeight at the ratio; at first every pan
    // pixel is valid and every MS pixel usable.
    ValidArea(int ratio, std::int64_t width, std::int64_t height, std::int64_t msWidth,
              std::int64_t msHeight);

    // Pan pixel (x, y) is no data in every band.
    void MarkPanPixel(std::int64_t x, std::int64_t y) { m_valid[Index(x, y)] = false; }
    // The pan sample at (x, y) is no data: the pixel, and the MS pixel whose block holds it.
    void MarkPanSample(std::int64_t x, std::int64_t y);
    // An MS band is no data at MS pixel (j, i): it cannot be used.
    void MarkMsPixel(std::int64_t j, std::int64_t i) { m_usable[MsIndex(j, i)] = 0; }
    // After the marks: finds the rectangle and the rows' sources. False when no pan pixel is
    // valid (nothing to fuse).
    bool Finish();

    // One flag per pan pixel, row by row (false: no data).
    const std::vector<bool>& Valid() const { return m_valid; }
    bool Usable(std::int64_t j, std::int64_t i) const { return m_usable[MsIndex(j, i)] != 0; }
    // The rectangle in MS pixels: columns Left() .. Right() − 1, rows Top() .. Bottom() − 1.
    std::int64_t Left() const { return m_left; }
    std::int64_t Top() const { return m_top; }
    std::int64_t Right() const { return m_right; }
    std::int64_t Bottom() const { return m_bottom; }
    // The rectangle on the pan's grid; one that reaches the MS's last column or row reaches the
    // pan's edge.
    std::int64_t PanLeft() const { return m_ratio * m_left; }
    std::int64_t PanTop() const { return m_ratio * m_top; }
    std::int64_t PanRight() const { return m_right == m_msWidth ? m_width : m_ratio * m_right; }
    std::int64_t PanBottom() const { return m_bottom == m_msHeight ? m_height : m_ratio * m_bottom; }

    // The MS row whose samples row i reads: i itself when it has a usable pixel in the
    // rectangle (or lies outside it, or no row has one), else the nearest row that has (the
    // upper one on a tie).
    std::int64_t SourceRow(std::int64_t i) const;
    // For every column of the rectangle, the column of MS row i (a source row) it reads: itself
    // when usable, else the nearest usable one (the left one on a tie). Empty when the row has
    // no usable pixel there.
    std::vector<std::int64_t> SourceColumns(std::int64_t i) const;

private:
    std::size_t Index(std::int64_t x, std::int64_t y) const
    {
        return static_cast<std::size_t>(y * m_width + x);
    }
    std::size_t MsIndex(std::int64_t j, std::int64_t i) const
    {
        return static_cast<std::size_t>(i * m_msWidth + j);
    }

    int m_ratio;
    std::int64_t m_width, m_height, m_msWidth, m_msHeight;
    std::vector<bool> m_valid;
    std::vector<std::uint8_t> m_usable;
    std::int64_t m_left = 0, m_top = 0, m_right = 0, m_bottom = 0;
    std::vector<std::int64_t> m_sourceRow;  // per row of the rectangle
};

}  // namespace lumesta
