#include "desktop/viewer/alignment_overlay.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "ui/text.h"

namespace lumesta {
namespace {

// Below this confidence a block's arrow is drawn as uncertain.
constexpr double kSureConfidence = 0.3;

void DrawArrow(QPainter& painter, QPointF from, QPointF to)
{
    painter.drawLine(from, to);
    const QPointF along = to - from;
    const double length = std::hypot(along.x(), along.y());
    if (length < 1) return;
    const QPointF unit = along / length;
    const QPointF across(-unit.y(), unit.x());
    const double head = std::min(10.0, length * 0.4) + painter.pen().widthF() - 2;
    QPainterPath tip;
    tip.moveTo(to);
    tip.lineTo(to - unit * head + across * head * 0.5);
    tip.lineTo(to - unit * head - across * head * 0.5);
    tip.closeSubpath();
    painter.fillPath(tip, painter.pen().color());
}

}  // namespace

double ArrowGain(const AlignmentArrows& alignment)
{
    double longest = std::hypot(alignment.dx, alignment.dy);
    double block = 0;
    for (const AlignmentArrow& arrow : alignment.arrows) {
        longest = std::max(longest, std::hypot(arrow.dx, arrow.dy));
        const double side = std::min(arrow.width, arrow.height);
        block = block == 0 ? side : std::min(block, side);
    }
    if (block <= 0 || longest <= 0) return 1;
    const double wanted = 0.4 * block / std::max(longest, 0.25);
    double gain = 1;
    for (double decade = 1; decade <= 1e5; decade *= 10) {
        for (const double step : {1.0, 2.0, 5.0}) {
            if (decade * step <= wanted) gain = decade * step;
        }
    }
    return gain;
}

void DrawAlignment(QPainter& painter, const AlignmentArrows& alignment,
                   const std::function<QPointF(QPointF)>& toScreen, const QRect& area)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double gain = ArrowGain(alignment);
    for (const AlignmentArrow& arrow : alignment.arrows) {
        const QPointF topLeft = toScreen(QPointF(arrow.left, arrow.top));
        const QPointF bottomRight =
            toScreen(QPointF(arrow.left + arrow.width, arrow.top + arrow.height));
        painter.setPen(QPen(QColor(255, 255, 255, 110), 1, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(topLeft, bottomRight));
        const QPointF centre(arrow.left + arrow.width / 2, arrow.top + arrow.height / 2);
        const QPointF from = toScreen(centre);
        if (arrow.confidence <= 0) {
            // Not estimated: a grey ring where the arrow would start.
            painter.setPen(QPen(QColor(170, 170, 170), 2));
            painter.drawEllipse(from, 5, 5);
            continue;
        }
        const QColor colour = arrow.confidence >= kSureConfidence ? QColor(255, 220, 0)
                                                                 : QColor(255, 120, 40);
        const QPointF to = toScreen(centre + QPointF(arrow.dx * gain, arrow.dy * gain));
        // A dark rim first, so that the arrow reads on bright ground as on dark.
        for (const auto& [pen, width] : {std::pair<QColor, double>{QColor(0, 0, 0, 200), 4.5},
                                         std::pair<QColor, double>{colour, 2}}) {
            painter.setPen(QPen(pen, width, Qt::SolidLine, Qt::RoundCap));
            painter.setBrush(pen);
            painter.drawEllipse(from, width, width);
            DrawArrow(painter, from, to);
        }
    }
    const QString text = "MS offset " + ToQt(AlignmentText(alignment)) +
                         QString("   (arrows \u00d7%1)").arg(gain);
    const QFontMetrics metrics(painter.font());
    QRect plate = metrics.boundingRect(text).adjusted(-6, -3, 6, 3);
    plate.moveTopLeft(area.topLeft() + QPoint(6, 6 + metrics.height() + 10));
    painter.fillRect(plate, QColor(0, 0, 0, 170));
    painter.setPen(Qt::white);
    painter.drawText(plate, Qt::AlignCenter, text);
    painter.restore();
}

}  // namespace lumesta
