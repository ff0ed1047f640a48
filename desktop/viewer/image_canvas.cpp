#include "desktop/viewer/image_canvas.h"

#include "desktop/viewer/alignment_overlay.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>
#include <vector>

namespace lumesta {
namespace {

// Memory: tiles (96 MiB), rendered tiles (24 MiB), two overviews of at most 32 MiB and their
// pictures of at most 4 MiB each stay within 192 MiB, leaving room for the blocks the GeoTIFF
// readers keep decoded (at most 24 MiB each): 256 MiB in all for a result and its comparison.
constexpr std::size_t kTileBudget = std::size_t{96} << 20;
constexpr int kRenderedBudgetKiB = 24 << 10;
constexpr std::int64_t kOverviewBytes = std::int64_t{32} << 20;
constexpr std::int64_t kOverviewSamples = std::int64_t{1} << 20;
constexpr double kMinZoom = 1.0 / 4096;
constexpr double kMaxZoom = 64;
constexpr int kDividerGrip = 6;
constexpr int kBlinkMs = 700;

QString RenderKey(int index, const TileKey& key)
{
    return QString("%1/%2/%3/%4").arg(index).arg(key.step).arg(key.column).arg(key.row);
}

}  // namespace

ImageCanvas::ImageCanvas(QWidget* parent) : QWidget(parent), m_rendered(kRenderedBudgetKiB)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(160, 120);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_store = std::make_unique<TileStore>(kTileBudget, [this] {
        QMetaObject::invokeMethod(
            this, [this] { OnDataArrived(); }, Qt::QueuedConnection);
    });
    m_blinkTimer.setInterval(kBlinkMs);
    connect(&m_blinkTimer, &QTimer::timeout, this, [this] { ToggleBlink(); });
}

// The worker may still post to this window: stop it before the window goes.
ImageCanvas::~ImageCanvas()
{
    m_store.reset();
}

void ImageCanvas::SetLayer(int index, std::shared_ptr<DisplayLayer> layer)
{
    if (index == kPrimary) m_alignment.reset();
    m_layers[index] = layer;
    m_overviewImage[index] = QImage();
    m_announced[index] = false;
    m_rendered.clear();
    m_store->SetLayer(index, layer ? layer->SharedSource() : nullptr);
    if (layer) {
        const std::int64_t perBand = std::min(
            kOverviewSamples, kOverviewBytes / 4 / std::max(layer->Description().bands, 1));
        m_store->RunFirst(index, [layer, perBand](const std::atomic<bool>& cancel) {
            layer->LoadOverview(cancel, perBand);
        });
        m_store->RunWhenIdle(index, [layer](const std::atomic<bool>& cancel) {
            return layer->RefineOverview(cancel);
        });
    }
    if (index == kPrimary) {
        m_mark.reset();
        Fit();
    }
    update();
}

void ImageCanvas::SetDisplay(int index, const BandChoice& choice,
                             const std::array<ChannelStretch, 3>& stretch)
{
    m_choice[index] = choice;
    m_stretch[index] = stretch;
    m_overviewImage[index] = QImage();
    m_rendered.clear();
    update();
}

void ImageCanvas::SetAlignment(std::optional<AlignmentArrows> alignment)
{
    m_alignment = std::move(alignment);
    update();
}

void ImageCanvas::SetLayerName(int index, const QString& name)
{
    m_names[index] = name;
    update();
}

void ImageCanvas::SetEmptyText(const QString& text)
{
    m_emptyText = text;
    update();
}

void ImageCanvas::SetCompareMode(CompareMode mode)
{
    const bool panesChange =
        (mode == CompareMode::SideBySide) != (m_mode == CompareMode::SideBySide);
    m_mode = mode;
    m_blinkCompare = false;
    if (mode == CompareMode::Blink) {
        m_blinkTimer.start();
    } else {
        m_blinkTimer.stop();
    }
    if (panesChange && m_fitted) Fit();
    update();
    ReportPointer();
}

void ImageCanvas::SetSwipe(double share)
{
    m_swipe = std::clamp(share, 0.0, 1.0);
    update();
}

void ImageCanvas::ToggleBlink()
{
    m_blinkCompare = !m_blinkCompare;
    update();
    ReportPointer();
}

QSize ImageCanvas::ImageSize() const
{
    if (!m_layers[kPrimary]) return {};
    return {m_layers[kPrimary]->Description().width, m_layers[kPrimary]->Description().height};
}

bool ImageCanvas::SideBySide() const
{
    return m_mode == CompareMode::SideBySide && m_layers[kCompare];
}

QRect ImageCanvas::PaneRect(int pane) const
{
    if (!SideBySide()) return rect();
    const int half = width() / 2;
    return pane == kCompare ? QRect(0, 0, half, height())
                            : QRect(half, 0, width() - half, height());
}

int ImageCanvas::PaneAt(QPointF screen) const
{
    return SideBySide() && screen.x() < width() / 2 ? kCompare : kPrimary;
}

QPointF ImageCanvas::PaneToImage(QPointF screen, int pane) const
{
    return (screen - QRectF(PaneRect(pane)).center()) / m_zoom + m_centre;
}

QPointF ImageCanvas::ImageToPane(QPointF image, int pane) const
{
    return (image - m_centre) * m_zoom + QRectF(PaneRect(pane)).center();
}

QPointF ImageCanvas::ScreenToImage(QPointF screen) const
{
    return PaneToImage(screen, PaneAt(screen));
}

QPointF ImageCanvas::ImageToScreen(QPointF image) const
{
    return ImageToPane(image, kPrimary);
}

int ImageCanvas::LayerAt(QPointF screen) const
{
    if (!m_layers[kPrimary]) return -1;
    if (!m_layers[kCompare]) return kPrimary;
    switch (m_mode) {
        case CompareMode::Swipe:
            return screen.x() < std::lround(m_swipe * width()) ? kCompare : kPrimary;
        case CompareMode::Blink:
            return m_blinkCompare ? kCompare : kPrimary;
        case CompareMode::SideBySide:
            return PaneAt(screen);
        case CompareMode::None:
            break;
    }
    return kPrimary;
}

void ImageCanvas::ZoomAround(QPointF screen, double factor)
{
    const int pane = PaneAt(screen);
    const QPointF fixed = PaneToImage(screen, pane);
    m_zoom = std::clamp(m_zoom * factor, kMinZoom, kMaxZoom);
    // The image point under the cursor stays under it.
    m_centre = fixed - (screen - QRectF(PaneRect(pane)).center()) / m_zoom;
    m_fitted = false;
    update();
}

void ImageCanvas::CentreOn(QPointF image)
{
    m_centre = image;
    m_mark = image;
    m_fitted = false;
    update();
}

void ImageCanvas::Fit()
{
    const QSize size = ImageSize();
    if (size.isEmpty()) return;
    const QRect pane = PaneRect(kPrimary);
    m_zoom = std::clamp(
        std::min(pane.width() / double(size.width()), pane.height() / double(size.height())),
        kMinZoom, kMaxZoom);
    m_centre = QPointF(size.width() / 2.0, size.height() / 2.0);
    m_fitted = true;
    update();
}

void ImageCanvas::OneToOne()
{
    m_zoom = 1;
    m_fitted = false;
    update();
}

int ImageCanvas::CurrentStep() const
{
    int step = 1;
    while (step * 2 <= 1.0 / m_zoom && step < (1 << 20)) step *= 2;
    return step;
}

void ImageCanvas::OnDataArrived()
{
    for (int index = 0; index < 2; ++index) {
        if (!m_layers[index]) continue;
        if (m_layers[index]->OverviewReady() && !m_announced[index]) {
            m_announced[index] = true;
            emit OverviewReady(index);
        }
        if (m_announced[index] && m_layers[index]->AdoptAveragedOverview()) {
            m_overviewImage[index] = QImage();
            emit OverviewRefined(index);
        }
    }
    update();
}

std::pair<double, QString> ImageCanvas::ScaleBar() const
{
    if (!m_layers[kPrimary]) return {0, QString()};
    const Georeference& geo = m_layers[kPrimary]->Description().geo;
    // Ground per image pixel, and its unit: degrees for geographic systems, else metres.
    const bool geographic =
        geo.epsg == 4326 || geo.epsg == 4269 || geo.epsg == 4267 || geo.crsName == "latlong";
    const double ground = geo.valid ? std::hypot(geo.pixelWidth, geo.columnSkewY) : 1.0;
    // The longest round length (1, 2 or 5 times a power of ten) within 120 screen pixels.
    const double most = 120 / m_zoom * ground;
    double length = std::pow(10.0, std::floor(std::log10(most)));
    for (const double factor : {5.0, 2.0}) {
        if (length * factor <= most) {
            length *= factor;
            break;
        }
    }
    QString label;
    if (!geo.valid) {
        label = QString("%1 px").arg(length);
    } else if (geographic) {
        label = QString::number(length, 'g', 6) + QChar(0x00B0);
    } else if (length >= 1000) {
        label = QString("%1 km").arg(length / 1000);
    } else {
        label = QString("%1 m").arg(length);
    }
    return {length / ground, label};
}

const QImage& ImageCanvas::OverviewImage(int index)
{
    QImage& image = m_overviewImage[index];
    const DisplayLayer& layer = *m_layers[index];
    if (image.isNull() && layer.OverviewReady()) {
        const BandChoice& choice = m_choice[index];
        std::array<const float*, 3> channels{};
        for (int c = 0; c < 3; ++c) {
            const int band = choice.grey ? choice.rgb[0] : choice.rgb[c];
            if (band >= 0 && band < layer.Description().bands)
                channels[c] = layer.OverviewBand(band).data();
        }
        std::array<ChannelStretch, 3> stretch = m_stretch[index];
        if (choice.grey) stretch = {stretch[0], stretch[0], stretch[0]};
        image = RenderSamples(channels, layer.OverviewColumns(), layer.OverviewRows(), stretch);
    }
    return image;
}

QImage ImageCanvas::RenderTile(int index, const TileKey& key)
{
    const QString name = RenderKey(index, key);
    if (const QImage* done = m_rendered.object(name)) return *done;
    const BandChoice& choice = m_choice[index];
    std::array<TileData, 3> tiles;
    std::array<const float*, 3> channels{};
    bool complete = true;
    for (int c = 0; c < 3; ++c) {
        TileKey bandKey = key;
        bandKey.band = choice.grey ? choice.rgb[0] : choice.rgb[c];
        if (bandKey.band < 0 || bandKey.band >= m_layers[index]->Description().bands) continue;
        tiles[c] = m_store->Tile(bandKey);
        complete = complete && tiles[c];
        channels[c] = tiles[c] ? tiles[c]->data() : nullptr;
    }
    if (!complete) return {};
    std::array<ChannelStretch, 3> stretch = m_stretch[index];
    if (choice.grey) stretch = {stretch[0], stretch[0], stretch[0]};
    QImage image = RenderSamples(channels, kTileSize, kTileSize, stretch);
    m_rendered.insert(name, new QImage(image), static_cast<int>(image.sizeInBytes() / 1024));
    return image;
}

// Tile edges are rounded to whole screen pixels once, from the image position they share with
// the neighbouring tile, so that neighbours always meet without a gap or an overlap.
void ImageCanvas::DrawTiles(QPainter& painter, int index, int pane, int step)
{
    const QSize size = ImageSize();
    const QRect area = PaneRect(pane);
    const QPointF topLeft = PaneToImage(area.topLeft(), pane);
    const QPointF bottomRight = PaneToImage(QPointF(area.right() + 1, area.bottom() + 1), pane);
    const double span = double(kTileSize) * step;
    const int firstColumn = std::max(0, int(std::floor(topLeft.x() / span)));
    const int firstRow = std::max(0, int(std::floor(topLeft.y() / span)));
    const int lastColumn =
        std::min(int(std::ceil(size.width() / span)) - 1, int(std::floor(bottomRight.x() / span)));
    const int lastRow =
        std::min(int(std::ceil(size.height() / span)) - 1, int(std::floor(bottomRight.y() / span)));
    const auto edge = [&](int column, int row) {
        const QPointF at = ImageToPane(QPointF(column * span, row * span), pane);
        return QPoint(int(std::lround(at.x())), int(std::lround(at.y())));
    };
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int column = firstColumn; column <= lastColumn; ++column) {
            const TileKey key{index, 0, step, column, row};
            const QImage tile = RenderTile(index, key);
            if (tile.isNull()) continue;
            painter.drawImage(QRect(edge(column, row), edge(column + 1, row + 1) - QPoint(1, 1)),
                              tile);
        }
    }
}

void ImageCanvas::DrawLayer(QPainter& painter, int index, int pane, const QRect& clip)
{
    const std::shared_ptr<DisplayLayer> layer = m_layers[index];
    if (!layer) return;
    painter.save();
    painter.setClipRect(clip);
    if (!layer->OverviewReady()) {
        painter.setPen(Qt::white);
        painter.drawText(clip, Qt::AlignCenter,
                         QString("Reading the image ... %1 %").arg(layer->Progress()));
        painter.restore();
        return;
    }
    // Only the image itself: the last overview cell and edge tiles reach beyond it.
    const QSize size = ImageSize();
    const QPointF imageEnd = ImageToPane(QPointF(size.width(), size.height()), pane);
    const QPointF imageStart = ImageToPane(QPointF(0, 0), pane);
    painter.setClipRect(
        QRect(QPoint(int(std::lround(imageStart.x())), int(std::lround(imageStart.y()))),
              QPoint(int(std::lround(imageEnd.x())) - 1, int(std::lround(imageEnd.y())) - 1)),
        Qt::IntersectClip);
    const int step = layer->OverviewStep();
    const QRectF covered(
        ImageToPane(QPointF(0, 0), pane),
        ImageToPane(QPointF(layer->OverviewColumns() * step, layer->OverviewRows() * step), pane));
    painter.drawImage(covered, OverviewImage(index));
    if (CurrentStep() < step) DrawTiles(painter, index, pane, CurrentStep());
    painter.restore();
}

// The image's name on a dark plate in the upper corner of its side.
void ImageCanvas::DrawCaption(QPainter& painter, const QRect& pane, int index, bool right)
{
    if (m_names[index].isEmpty()) return;
    const QFontMetrics metrics(painter.font());
    const QRect text = metrics.boundingRect(m_names[index]).adjusted(-6, -3, 6, 3);
    QRect plate(QPoint(0, 0), text.size());
    plate.moveTop(pane.top() + 6);
    if (right) {
        plate.moveRight(pane.right() - 6);
    } else {
        plate.moveLeft(pane.left() + 6);
    }
    painter.fillRect(plate, QColor(0, 0, 0, 170));
    painter.setPen(Qt::white);
    painter.drawText(plate, Qt::AlignCenter, m_names[index]);
}

// Bottom left: the zoom percentage and a bar of a round ground length.
void ImageCanvas::DrawScale(QPainter& painter)
{
    const auto [pixels, label] = ScaleBar();
    const int bar = int(std::lround(pixels * m_zoom));
    const QString zoom = QString("%1 %").arg(m_zoom * 100, 0, 'g', m_zoom < 0.1 ? 2 : 3);
    const QString text = zoom + "   " + label;
    const QFontMetrics metrics(painter.font());
    const QRect plate(6, height() - 12 - 2 * metrics.height(),
                      std::max(bar, metrics.horizontalAdvance(text)) + 12,
                      2 * metrics.height() + 6);
    painter.fillRect(plate, QColor(0, 0, 0, 170));
    painter.setPen(Qt::white);
    painter.drawText(plate.adjusted(6, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                     zoom + "   " + label);
    const int y = plate.bottom() - 6;
    painter.fillRect(QRect(plate.left() + 6, y - 3, bar, 4), Qt::white);
}

void ImageCanvas::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(64, 64, 64));
    if (!m_layers[kPrimary]) {
        painter.setPen(Qt::white);
        painter.drawText(rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap,
                         m_emptyText);
        return;
    }
    m_store->BeginFrame();
    const bool compare = m_layers[kCompare] != nullptr;
    if (compare && m_mode == CompareMode::Swipe) {
        const int divider = int(std::lround(m_swipe * width()));
        DrawLayer(painter, kPrimary, kPrimary, QRect(divider, 0, width() - divider, height()));
        DrawLayer(painter, kCompare, kPrimary, QRect(0, 0, divider, height()));
        painter.setPen(QPen(Qt::yellow, 2));
        painter.drawLine(divider, 0, divider, height());
        painter.setBrush(Qt::yellow);
        painter.drawEllipse(QPoint(divider, height() / 2), kDividerGrip, kDividerGrip);
        DrawCaption(painter, rect(), kCompare, false);
        DrawCaption(painter, rect(), kPrimary, true);
    } else if (SideBySide()) {
        for (const int pane : {kCompare, kPrimary}) {
            DrawLayer(painter, pane, pane, PaneRect(pane));
            DrawCaption(painter, PaneRect(pane), pane, false);
        }
        painter.setPen(QPen(Qt::yellow, 2));
        painter.drawLine(width() / 2, 0, width() / 2, height());
    } else {
        const int shown =
            compare && m_mode == CompareMode::Blink && m_blinkCompare ? kCompare : kPrimary;
        DrawLayer(painter, shown, kPrimary, rect());
        if (compare && m_mode == CompareMode::Blink) DrawCaption(painter, rect(), shown, false);
    }
    if (m_alignment) {
        DrawAlignment(
            painter, *m_alignment,
            [this](QPointF image) { return ImageToPane(image, kPrimary); },
            SideBySide() ? PaneRect(kPrimary) : rect());
    }
    if (m_mark) {
        painter.setPen(QPen(Qt::cyan, 2));
        for (const int pane :
             SideBySide() ? std::vector<int>{kCompare, kPrimary} : std::vector<int>{kPrimary}) {
            const QPoint at = ImageToPane(*m_mark, pane).toPoint();
            painter.drawLine(at - QPoint(12, 0), at + QPoint(12, 0));
            painter.drawLine(at - QPoint(0, 12), at + QPoint(0, 12));
        }
    }
    DrawScale(painter);
}

void ImageCanvas::wheelEvent(QWheelEvent* event)
{
    const double notches = event->angleDelta().y() / 120.0;
    if (notches != 0) ZoomAround(event->position(), std::pow(1.25, notches));
    event->accept();
}

void ImageCanvas::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    const long divider = std::lround(m_swipe * width());
    m_draggingDivider = m_mode == CompareMode::Swipe && m_layers[kCompare] &&
                        std::abs(event->position().x() - divider) <= kDividerGrip;
    m_panning = !m_draggingDivider;
    m_lastPointer = event->position().toPoint();
    if (m_panning) setCursor(Qt::ClosedHandCursor);
}

void ImageCanvas::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint position = event->position().toPoint();
    if (m_draggingDivider) {
        SetSwipe(width() > 0 ? position.x() / double(width()) : 0.5);
    } else if (m_panning) {
        m_centre -= QPointF(position - m_lastPointer) / m_zoom;
        m_fitted = false;
        update();
    }
    m_lastPointer = position;
    m_pointer = event->position();
    ReportPointer();
}

void ImageCanvas::ReportPointer()
{
    if (!m_pointer) return;
    const QPointF image = ScreenToImage(*m_pointer);
    const QSize size = ImageSize();
    const bool inside =
        image.x() >= 0 && image.y() >= 0 && image.x() < size.width() && image.y() < size.height();
    if (!inside) {
        emit PointerMoved(-1, -1, -1);
        return;
    }
    emit PointerMoved(int(image.x()), int(image.y()), LayerAt(*m_pointer));
}

void ImageCanvas::mouseReleaseEvent(QMouseEvent*)
{
    m_panning = false;
    m_draggingDivider = false;
    unsetCursor();
}

void ImageCanvas::leaveEvent(QEvent*)
{
    m_pointer.reset();
    emit PointerMoved(-1, -1, -1);
}

void ImageCanvas::keyPressEvent(QKeyEvent* event)
{
    const QPointF middle(width() / 2.0, height() / 2.0);
    const double pan = std::max(width(), height()) / 8.0 / m_zoom;
    switch (event->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            ZoomAround(middle, 1.25);
            break;
        case Qt::Key_Minus:
            ZoomAround(middle, 0.8);
            break;
        case Qt::Key_F:
        case Qt::Key_0:
            Fit();
            break;
        case Qt::Key_1:
            OneToOne();
            break;
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down: {
            const bool horizontal = event->key() == Qt::Key_Left || event->key() == Qt::Key_Right;
            const double sign =
                (event->key() == Qt::Key_Left || event->key() == Qt::Key_Up) ? -1 : 1;
            m_centre += horizontal ? QPointF(sign * pan, 0) : QPointF(0, sign * pan);
            m_fitted = false;
            update();
            break;
        }
        case Qt::Key_B:
            if (m_layers[kCompare]) ToggleBlink();
            break;
        case Qt::Key_Escape:
            if (m_layers[kPrimary] && !m_layers[kPrimary]->OverviewReady()) {
                emit CancelRequested();
            } else if (m_mark) {
                m_mark.reset();
                update();
            }
            break;
        default:
            QWidget::keyPressEvent(event);
    }
}

void ImageCanvas::resizeEvent(QResizeEvent*)
{
    if (m_fitted) Fit();
}

}  // namespace lumesta
