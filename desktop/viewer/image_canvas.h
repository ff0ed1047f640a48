#pragma once
// The viewer's picture: an image (and optionally a second one to compare with, on the same
// grid) drawn from its overview and from tiles read at the current zoom. Wheel zooms around
// the cursor, dragging pans, a vertical divider swipes between the two images, a toggle blinks
// between them, or they stand side by side (the compared one left); both always share zoom and
// position. Each shown image is named in a corner; the zoom percentage and a scale bar sit at
// the bottom left.

#include <QCache>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <utility>

#include "desktop/viewer/display_layer.h"
#include "desktop/viewer/tile_store.h"
#include "ui/alignment_arrows.h"

namespace lumesta {

enum class CompareMode { None, Swipe, Blink, SideBySide };

class ImageCanvas : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPrimary = 0;
    static constexpr int kCompare = 1;

    explicit ImageCanvas(QWidget* parent = nullptr);
    ~ImageCanvas() override;

    // Shows layer as kPrimary or kCompare (null removes it) and starts reading its overview.
    void SetLayer(int index, std::shared_ptr<DisplayLayer> layer);
    std::shared_ptr<DisplayLayer> Layer(int index) const { return m_layers[index]; }
    void SetDisplay(int index, const BandChoice& choice,
                    const std::array<ChannelStretch, 3>& stretch);
    const std::array<ChannelStretch, 3>& Stretch(int index) const { return m_stretch[index]; }
    const BandChoice& Choice(int index) const { return m_choice[index]; }
    // The name shown in the image's corner while two images are shown.
    void SetLayerName(int index, const QString& name);
    // The alignment check's arrows over the primary image (the pan it measured); a new primary
    // image takes them away.
    void SetAlignment(std::optional<AlignmentArrows> alignment);
    const std::optional<AlignmentArrows>& Alignment() const { return m_alignment; }
    // The text shown while there is no image (a reason when opening failed).
    void SetEmptyText(const QString& text);

    void SetCompareMode(CompareMode mode);
    CompareMode Mode() const { return m_mode; }
    // The divider's place as a share of the width (0 to 1); left of it the compared image.
    void SetSwipe(double share);
    double Swipe() const { return m_swipe; }
    bool BlinkShowsCompare() const { return m_blinkCompare; }
    void ToggleBlink();

    // The layer visible at a point of the canvas (kPrimary or kCompare), or -1 on no image.
    int LayerAt(QPointF screen) const;

    void ZoomAround(QPointF screen, double factor);
    // Puts image point at the middle of the view and marks it with a cross.
    void CentreOn(QPointF image);
    std::optional<QPointF> Mark() const { return m_mark; }
    void Fit();
    void OneToOne();
    double Zoom() const { return m_zoom; }
    QPointF Centre() const { return m_centre; }
    // Screen points map through the pane they lie in (side by side: the left pane shows the
    // compared image); image points map into the primary image's pane.
    QPointF ScreenToImage(QPointF screen) const;
    QPointF ImageToScreen(QPointF image) const;
    // The length of the scale bar in image pixels and its label ("500 m", "100 px").
    std::pair<double, QString> ScaleBar() const;
    // The tile step the current zoom reads at (1 at 1:1 and closer).
    int CurrentStep() const;
    TileStore& Store() { return *m_store; }

signals:
    // The image pixel under the pointer (column, row) and the layer shown there, or
    // (-1, -1, -1) when it leaves the image. Sent again when blinking changes the layer.
    void PointerMoved(int column, int row, int layer);
    // A layer's overview has been read (stretch limits and statistics can be taken from it).
    void OverviewReady(int index);
    // A layer's averaged overview has replaced the first one (statistics changed).
    void OverviewRefined(int index);
    // Escape while the image is still being read: the user gives up on it.
    void CancelRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void OnDataArrived();
    bool SideBySide() const;
    QRect PaneRect(int pane) const;  // pane 0 the primary's, 1 the compared image's
    int PaneAt(QPointF screen) const;
    QPointF PaneToImage(QPointF screen, int pane) const;
    QPointF ImageToPane(QPointF image, int pane) const;
    void ReportPointer();
    void DrawLayer(QPainter& painter, int index, int pane, const QRect& clip);
    void DrawTiles(QPainter& painter, int index, int pane, int step);
    void DrawCaption(QPainter& painter, const QRect& pane, int index, bool right);
    void DrawScale(QPainter& painter);
    QImage RenderTile(int index, const TileKey& key);
    const QImage& OverviewImage(int index);
    QSize ImageSize() const;

    std::array<std::shared_ptr<DisplayLayer>, 2> m_layers;
    std::array<BandChoice, 2> m_choice;
    std::array<std::array<ChannelStretch, 3>, 2> m_stretch;
    std::array<QImage, 2> m_overviewImage;
    std::array<QString, 2> m_names;
    std::optional<QPointF> m_mark;
    std::optional<AlignmentArrows> m_alignment;
    std::optional<QPointF> m_pointer;
    std::array<bool, 2> m_announced{false, false};
    QCache<QString, QImage> m_rendered;
    std::unique_ptr<TileStore> m_store;
    QString m_emptyText;
    CompareMode m_mode = CompareMode::None;
    double m_swipe = 0.5;
    bool m_blinkCompare = false;
    QTimer m_blinkTimer;
    double m_zoom = 1;
    QPointF m_centre;
    bool m_fitted = true;
    bool m_panning = false;
    bool m_draggingDivider = false;
    QPoint m_lastPointer;
};

}  // namespace lumesta
