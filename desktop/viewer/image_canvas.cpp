#include "desktop/viewer/image_canvas.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>

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
    }
    if (index == kPrimary) Fit();
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

void ImageCanvas::SetEmptyText(const QString& text)
{
    m_emptyText = text;
    update();
}

void ImageCanvas::SetCompareMode(CompareMode mode)
{
    m_mode = mode;
    m_blinkCompare = false;
    if (mode == CompareMode::Blink) {
        m_blinkTimer.start();
    } else {
        m_blinkTimer.stop();
    }
    update();
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
}

QSize ImageCanvas::ImageSize() const
{
    if (!m_layers[kPrimary]) return {};
    return {m_layers[kPrimary]->Description().width, m_layers[kPrimary]->Description().height};
}

QPointF ImageCanvas::ScreenToImage(QPointF screen) const
{
    return (screen - QPointF(width() / 2.0, height() / 2.0)) / m_zoom + m_centre;
}

QPointF ImageCanvas::ImageToScreen(QPointF image) const
{
    return (image - m_centre) * m_zoom + QPointF(width() / 2.0, height() / 2.0);
}

void ImageCanvas::ZoomAround(QPointF screen, double factor)
{
    const QPointF fixed = ScreenToImage(screen);
    m_zoom = std::clamp(m_zoom * factor, kMinZoom, kMaxZoom);
    // The image point under the cursor stays under it.
    m_centre = fixed - (screen - QPointF(width() / 2.0, height() / 2.0)) / m_zoom;
    m_fitted = false;
    update();
}

void ImageCanvas::Fit()
{
    const QSize size = ImageSize();
    if (size.isEmpty()) return;
    m_zoom = std::clamp(std::min(width() / double(size.width()), height() / double(size.height())),
                        kMinZoom, kMaxZoom);
    m_centre = QPointF(size.width() / 2.0, size.height() / 2.0);
    m_fitted = true;
    update();
}

void ImageCanvas::OneToOne()
{
    const QPointF centre = ScreenToImage(QPointF(width() / 2.0, height() / 2.0));
    m_zoom = 1;
    m_centre = centre;
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
        if (m_layers[index] && m_layers[index]->OverviewReady() && !m_announced[index]) {
            m_announced[index] = true;
            emit OverviewReady(index);
        }
    }
    update();
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

void ImageCanvas::DrawTiles(QPainter& painter, int index, int step)
{
    const QSize size = ImageSize();
    const QPointF topLeft = ScreenToImage(QPointF(0, 0));
    const QPointF bottomRight = ScreenToImage(QPointF(width(), height()));
    const double span = double(kTileSize) * step;
    const int firstColumn = std::max(0, int(std::floor(topLeft.x() / span)));
    const int firstRow = std::max(0, int(std::floor(topLeft.y() / span)));
    const int lastColumn =
        std::min(int(std::ceil(size.width() / span)) - 1, int(std::floor(bottomRight.x() / span)));
    const int lastRow =
        std::min(int(std::ceil(size.height() / span)) - 1, int(std::floor(bottomRight.y() / span)));
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int column = firstColumn; column <= lastColumn; ++column) {
            const TileKey key{index, 0, step, column, row};
            const QImage tile = RenderTile(index, key);
            if (tile.isNull()) continue;
            const QRectF target(ImageToScreen(QPointF(column * span, row * span)),
                                ImageToScreen(QPointF((column + 1) * span, (row + 1) * span)));
            painter.drawImage(target, tile);
        }
    }
}

void ImageCanvas::DrawLayer(QPainter& painter, int index)
{
    const std::shared_ptr<DisplayLayer> layer = m_layers[index];
    if (!layer) return;
    if (!layer->OverviewReady()) {
        painter.setPen(Qt::white);
        painter.drawText(rect(), Qt::AlignCenter,
                         QString("Reading the image ... %1 %").arg(layer->Progress()));
        return;
    }
    const int step = layer->OverviewStep();
    const QRectF covered(
        ImageToScreen(QPointF(0, 0)),
        ImageToScreen(QPointF(layer->OverviewColumns() * step, layer->OverviewRows() * step)));
    painter.drawImage(covered, OverviewImage(index));
    if (CurrentStep() < step) DrawTiles(painter, index, CurrentStep());
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
        painter.save();
        painter.setClipRect(QRect(divider, 0, width() - divider, height()));
        DrawLayer(painter, kPrimary);
        painter.setClipRect(QRect(0, 0, divider, height()));
        DrawLayer(painter, kCompare);
        painter.restore();
        painter.setPen(QPen(Qt::yellow, 2));
        painter.drawLine(divider, 0, divider, height());
        painter.setBrush(Qt::yellow);
        painter.drawEllipse(QPoint(divider, height() / 2), kDividerGrip, kDividerGrip);
    } else {
        DrawLayer(painter,
                  compare && m_mode == CompareMode::Blink && m_blinkCompare ? kCompare : kPrimary);
    }
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
    const int divider = int(std::lround(m_swipe * width()));
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
    const QPointF image = ScreenToImage(event->position());
    const QSize size = ImageSize();
    const bool inside =
        image.x() >= 0 && image.y() >= 0 && image.x() < size.width() && image.y() < size.height();
    emit PointerMoved(inside ? int(image.x()) : -1, inside ? int(image.y()) : -1);
}

void ImageCanvas::mouseReleaseEvent(QMouseEvent*)
{
    m_panning = false;
    m_draggingDivider = false;
    unsetCursor();
}

void ImageCanvas::leaveEvent(QEvent*)
{
    emit PointerMoved(-1, -1);
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
            if (m_layers[kPrimary] && !m_layers[kPrimary]->OverviewReady()) emit CancelRequested();
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
