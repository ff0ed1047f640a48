#include "desktop/icons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace lumesta {
namespace {

QPixmap DrawAppIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);

    QPainterPath frame;
    frame.addRoundedRect(QRectF(2, 2, 60, 60), 10, 10);
    painter.setClipPath(frame);
    QLinearGradient pan(0, 0, 0, 64);
    pan.setColorAt(0, QColor(235, 235, 235));
    pan.setColorAt(1, QColor(90, 90, 90));
    painter.fillRect(QRectF(0, 0, 64, 64), pan);
    // The colour half: blue, green and red bands across the lower right.
    const QColor bands[3] = {QColor(40, 90, 200), QColor(50, 160, 70), QColor(210, 60, 50)};
    for (int band = 0; band < 3; ++band) {
        QPainterPath stripe;
        const double from = 64.0 + band * 22.0;
        stripe.moveTo(from - 64, 64);
        stripe.lineTo(64, from - 64);
        stripe.lineTo(64, from - 42);
        stripe.lineTo(from - 42, 64);
        stripe.closeSubpath();
        painter.fillPath(stripe, bands[band]);
    }
    painter.setPen(QPen(Qt::white, 3));
    painter.drawLine(QPointF(0, 64), QPointF(64, 0));
    painter.setClipping(false);
    painter.setPen(QPen(QColor(40, 40, 40), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(frame);
    return pixmap;
}

void DrawPage(QPainter& p, const QRectF& r)
{
    QPainterPath page;
    page.moveTo(r.left(), r.top());
    page.lineTo(r.right() - 3, r.top());
    page.lineTo(r.right(), r.top() + 3);
    page.lineTo(r.right(), r.bottom());
    page.lineTo(r.left(), r.bottom());
    page.closeSubpath();
    p.setBrush(Qt::white);
    p.drawPath(page);
}

void DrawPicture(QPainter& p, ToolbarPicture picture)
{
    p.setPen(QPen(Qt::black, 1));
    switch (picture) {
        case ToolbarPicture::New:
            DrawPage(p, QRectF(3.5, 1.5, 9, 13));
            break;
        case ToolbarPicture::Open:
            p.setBrush(QColor(240, 200, 80));
            p.drawRect(QRectF(1.5, 4.5, 12, 9));
            p.drawRect(QRectF(1.5, 3.5, 5, 1));
            p.setBrush(QColor(250, 225, 120));
            p.drawPolygon(QPolygonF({QPointF(3.5, 7.5), QPointF(15.5, 7.5), QPointF(13.5, 13.5),
                                     QPointF(1.5, 13.5)}));
            break;
        case ToolbarPicture::Save:
            p.setBrush(QColor(60, 80, 160));
            p.drawRect(QRectF(1.5, 1.5, 13, 13));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4.5, 1.5, 7, 5));
            p.setBrush(QColor(200, 200, 200));
            p.drawRect(QRectF(4.5, 9.5, 7, 5));
            break;
        case ToolbarPicture::Cut:
            p.drawLine(QPointF(4, 2), QPointF(10, 11));
            p.drawLine(QPointF(12, 2), QPointF(6, 11));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QRectF(2.5, 10.5, 4, 4));
            p.drawEllipse(QRectF(9.5, 10.5, 4, 4));
            break;
        case ToolbarPicture::Copy:
            DrawPage(p, QRectF(1.5, 1.5, 8, 10));
            DrawPage(p, QRectF(6.5, 4.5, 8, 10));
            break;
        case ToolbarPicture::Paste:
            p.setBrush(QColor(170, 120, 60));
            p.drawRect(QRectF(1.5, 2.5, 10, 12));
            p.setBrush(QColor(200, 200, 200));
            p.drawRect(QRectF(4.5, 1.5, 4, 2));
            DrawPage(p, QRectF(7.5, 6.5, 7, 8));
            break;
        case ToolbarPicture::Print:
            DrawPage(p, QRectF(4.5, 1.5, 7, 6));
            p.setBrush(QColor(190, 190, 190));
            p.drawRect(QRectF(1.5, 7.5, 13, 5));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4.5, 11.5, 7, 3));
            break;
        case ToolbarPicture::About: {
            p.setBrush(QColor(255, 255, 200));
            p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
            QFont font = p.font();
            font.setPixelSize(11);
            font.setBold(true);
            p.setFont(font);
            p.drawText(QRectF(1.5, 1.5, 13, 13), Qt::AlignCenter, "?");
            break;
        }
    }
}

}  // namespace

QPixmap AppIconPixmap(int size)
{
    return DrawAppIcon(size);
}

QIcon AppIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128}) icon.addPixmap(DrawAppIcon(size));
    return icon;
}

QIcon ToolbarIcon(ToolbarPicture picture)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, false);
    DrawPicture(painter, picture);
    painter.end();
    return QIcon(pixmap);
}

}  // namespace lumesta
