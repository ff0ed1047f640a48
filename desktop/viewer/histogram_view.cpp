#include "desktop/viewer/histogram_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "imaging/view_stretch.h"

namespace lumesta {
namespace {

constexpr int kBins = 256;
constexpr int kReach = 6;  // pixels either side of a mark that grab it
constexpr int kLeftMargin = 52;
constexpr int kBottomMargin = 20;

// Tick spacing: 1, 2 or 5 times a power of ten giving at most about `count` ticks.
double TickStep(double range, int count)
{
    const double raw = range / std::max(count, 1);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= raw) return factor * power;
    }
    return 10 * power;
}

QColor ChannelColour(int channel, bool grey)
{
    if (grey) return QColor(80, 80, 80);
    const QColor colours[3] = {QColor(220, 30, 30), QColor(20, 150, 20), QColor(30, 60, 230)};
    return colours[channel];
}

}  // namespace

HistogramView::HistogramView(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(240, 100);
    setMouseTracking(true);
    setToolTip("Drag the dashed marks to set each colour's Low and High limits");
}

void HistogramView::SetBands(const std::array<const std::vector<float>*, 3>& bands, bool grey)
{
    m_grey = grey;
    m_low = INFINITY;
    m_high = -INFINITY;
    for (int c = 0; c < 3; ++c) {
        if (!bands[c] || (grey && c > 0)) continue;
        const BandStatistics s =
            ComputeBandStatistics(bands[c]->data(), static_cast<std::int64_t>(bands[c]->size()));
        m_low = std::min(m_low, s.min);
        m_high = std::max(m_high, s.max);
    }
    if (!std::isfinite(m_low)) m_low = 0;
    if (!(m_high > m_low)) m_high = m_low + 1;
    for (int c = 0; c < 3; ++c) {
        m_counts[c].clear();
        if (!bands[c] || (grey && c > 0)) continue;
        m_counts[c] = ComputeHistogram(
            bands[c]->data(), static_cast<std::int64_t>(bands[c]->size()), m_low, m_high, kBins);
        // Zero is background: its spike would flatten the rest.
        const int zeroBin = static_cast<int>((0 - m_low) / (m_high - m_low) * kBins);
        if (zeroBin >= 0 && zeroBin < kBins) m_counts[c][static_cast<std::size_t>(zeroBin)] = 0;
    }
    update();
}

void HistogramView::SetStretch(const std::array<ChannelStretch, 3>& stretch)
{
    m_stretch = stretch;
    update();
}

QRect HistogramView::Plot() const
{
    return rect().adjusted(kLeftMargin, 6, -8, -kBottomMargin);
}

int HistogramView::XOf(double value) const
{
    const QRect plot = Plot();
    const double share = std::clamp((value - m_low) / (m_high - m_low), 0.0, 1.0);
    return plot.left() + int(std::lround(share * plot.width()));
}

double HistogramView::ValueAt(int x) const
{
    const QRect plot = Plot();
    const double share = std::clamp(double(x - plot.left()) / std::max(plot.width(), 1), 0.0, 1.0);
    return m_low + share * (m_high - m_low);
}

int HistogramView::MarkNear(int x) const
{
    int best = -1;
    int distance = kReach + 1;
    for (int c = 0; c < (m_grey ? 1 : 3); ++c) {
        if (m_counts[c].empty()) continue;
        for (const bool high : {false, true}) {
            const int d = std::abs(XOf(high ? m_stretch[c].high : m_stretch[c].low) - x);
            if (d < distance) {
                distance = d;
                best = c * 2 + (high ? 1 : 0);
            }
        }
    }
    return best;
}

void HistogramView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const QRect plot = Plot();
    painter.fillRect(plot, Qt::white);
    std::int64_t peak = 1;
    for (const auto& counts : m_counts) {
        for (const std::int64_t count : counts) peak = std::max(peak, count);
    }
    // Axes: values along the bottom, counts up the left.
    painter.setPen(palette().windowText().color());
    painter.drawRect(plot.adjusted(0, 0, -1, -1));
    const QFontMetrics metrics(painter.font());
    const double step = TickStep(m_high - m_low, std::max(2, plot.width() / 60));
    for (double value = std::ceil(m_low / step) * step; value <= m_high + step * 1e-9;
         value += step) {
        const int x = XOf(value);
        painter.drawLine(x, plot.bottom(), x, plot.bottom() + 4);
        const QString label = QString::number(value, 'g', 6);
        const int width = metrics.horizontalAdvance(label);
        painter.drawText(std::clamp(x - width / 2, 0, this->width() - width),
                         plot.bottom() + 4 + metrics.ascent(), label);
    }
    for (const double share : {0.0, 0.5, 1.0}) {
        const int y = plot.bottom() - int(share * plot.height());
        painter.drawLine(plot.left() - 4, y, plot.left(), y);
        const QString label = QString::number(std::llround(share * peak));
        painter.drawText(QRect(0, y - metrics.height() / 2, plot.left() - 6, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, label);
    }
    painter.setClipRect(plot);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int c = 0; c < 3; ++c) {
        if (m_counts[c].empty()) continue;
        const QColor colour = ChannelColour(c, m_grey);
        QPainterPath curve(QPointF(plot.left(), plot.bottom()));
        for (int bin = 0; bin < kBins; ++bin) {
            const double x = plot.left() + (bin + 0.5) * plot.width() / kBins;
            const double y = plot.bottom() - double(m_counts[c][static_cast<std::size_t>(bin)]) /
                                                 peak * (plot.height() - 2);
            curve.lineTo(x, y);
        }
        curve.lineTo(plot.right(), plot.bottom());
        QColor fill = colour;
        fill.setAlpha(50);
        painter.fillPath(curve, fill);
        painter.setPen(QPen(colour, 1.2));
        painter.drawPath(curve);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (int c = 0; c < 3; ++c) {
        if (m_counts[c].empty()) continue;
        const QColor colour = ChannelColour(c, m_grey);
        for (const bool high : {false, true}) {
            const int x = XOf(high ? m_stretch[c].high : m_stretch[c].low);
            const bool dragged = m_dragged == c * 2 + (high ? 1 : 0);
            painter.setPen(QPen(colour, dragged ? 3 : 2, Qt::DashLine));
            painter.drawLine(x, plot.top(), x, plot.bottom());
            // A grip at the top, to show the mark can be taken.
            painter.setBrush(colour);
            painter.setPen(Qt::NoPen);
            painter.drawRect(x - 3, plot.top(), 7, 7);
        }
    }
}

void HistogramView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    m_dragged = MarkNear(event->position().toPoint().x());
    update();
}

void HistogramView::mouseMoveEvent(QMouseEvent* event)
{
    const int x = event->position().toPoint().x();
    if (m_dragged < 0) {
        setCursor(MarkNear(x) >= 0 ? Qt::SizeHorCursor : Qt::ArrowCursor);
        return;
    }
    const int channel = m_dragged / 2;
    const bool high = m_dragged % 2 == 1;
    // Low stays below High: a sliver of the axis apart.
    const double gap = (m_high - m_low) / 1000;
    double value = ValueAt(x);
    value = high ? std::max(value, m_stretch[channel].low + gap)
                 : std::min(value, m_stretch[channel].high - gap);
    emit LimitDragged(channel, high, value);
}

void HistogramView::mouseReleaseEvent(QMouseEvent*)
{
    m_dragged = -1;
    update();
}

}  // namespace lumesta
