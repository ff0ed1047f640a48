#pragma once
// The histogram of the displayed bands (one curve per colour, grey alone for a grey view) with
// its value and count axes and each colour's Low and High limits as marks that can be dragged:
// the stretch follows while dragging.

#include <QWidget>
#include <array>
#include <cstdint>
#include <vector>

#include "desktop/viewer/display_layer.h"

namespace lumesta {

class HistogramView : public QWidget {
    Q_OBJECT
public:
    explicit HistogramView(QWidget* parent = nullptr);
    // The displayed bands' overview samples (null for an unused channel).
    void SetBands(const std::array<const std::vector<float>*, 3>& bands, bool grey);
    // The limits drawn as marks.
    void SetStretch(const std::array<ChannelStretch, 3>& stretch);
    // The value range of the horizontal axis: the bands' extremes.
    double Low() const { return m_low; }
    double High() const { return m_high; }
    // Where value lies across the widget (for tests and the marks).
    int XOf(double value) const;

signals:
    // A mark was dragged: channel's low (high false) or high limit is now value.
    void LimitDragged(int channel, bool high, double value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QRect Plot() const;
    double ValueAt(int x) const;
    // The mark within reach of x: channel × 2 + (high ? 1 : 0), or -1.
    int MarkNear(int x) const;

    std::array<std::vector<std::int64_t>, 3> m_counts;
    std::array<ChannelStretch, 3> m_stretch;
    double m_low = 0;
    double m_high = 1;
    bool m_grey = false;
    int m_dragged = -1;
};

}  // namespace lumesta
