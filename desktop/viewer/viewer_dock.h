#pragma once
// The image viewer: a dock beside the log that shows any image the program reads or writes.
// Opened from File > Open Image..., by dropping files on it, from the command line, and after
// a pan-sharpening or band-combination run, when it shows the result with the input MS bands
// and the pan to compare against. It keeps the list of images opened (every run's result,
// inputs and pan since the program started); any one of them is shown, any other compared with
// it by swipe, blink or side by side. The status bar readout gives the image under the pointer,
// the pixel, every band's value there and its map and geographic position.

#include <QDockWidget>
#include <QLabel>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "desktop/viewer/display_layer.h"
#include "desktop/viewer/stretch_panel.h"
#include "desktop/viewer/viewer_prompts.h"
#include "ui/alignment_arrows.h"
#include "workflows/run_images.h"

class QCheckBox;
class QComboBox;
class QLabel;

namespace lumesta {

class ImageCanvas;
class InfoPanel;
class LatLonConverter;

class ViewerDock : public QDockWidget {
    Q_OBJECT
public:
    explicit ViewerDock(QWidget* parent = nullptr);
    ~ViewerDock() override;

    // Opens an image (asking the size of a headerless matrix); false after showing why not.
    bool OpenPath(const QString& path);
    bool OpenPath(const QString& path, const MatrixSize& size);
    // Opens several: the first is shown, the others of the same size are offered to compare.
    void OpenPaths(const QStringList& paths);
    // Shows a finished run's result with its inputs to compare against.
    void ShowRun(const RunImages& images);
    // Shows the pan the alignment check measured with its arrows over it.
    bool ShowAlignment(const AlignmentArrows& alignment);
    // Centres the view on a place (and marks it); false after saying why when it lies outside
    // the image or the image has no such coordinates.
    bool GoTo(const CoordinateRequest& place);

    // Replace the questions of headerless matrices and of Go To (tests answer through them).
    void SetMatrixAsker(std::function<std::optional<MatrixSize>(const QString&)> ask);
    void SetCoordinateAsker(std::function<std::optional<CoordinateRequest>()> ask);

    ImageCanvas& Canvas() const { return *m_canvas; }
    StretchPanel& StretchControl() const { return *m_stretch; }
    InfoPanel& Info() const { return *m_info; }
    QLabel* Readout() const { return m_readout; }
    QString Problem() const;
    QComboBox* BandBox(int channel) const { return m_bandBoxes[channel]; }
    QComboBox* ImageBox() const { return m_imageBox; }
    QComboBox* CompareBox() const { return m_compareMode; }
    QComboBox* AgainstBox() const { return m_against; }
    QCheckBox* SameStretchBox() const { return m_sameStretch; }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    using Opener = std::function<std::unique_ptr<RasterSource>(std::string& error)>;
    // One image of the list: opened again whenever it is shown, so that images not shown hold
    // neither memory nor files.
    struct Entry {
        QString name;
        std::string key;  // the files it reads, so that an image is listed once
        Opener open;
        bool sameUnits = false;
    };

    QWidget* BuildControls();
    int AddImage(const QString& name, const std::string& key, Opener open, bool sameUnits);
    void ShowImage(int index, std::unique_ptr<RasterSource> opened = nullptr);
    void SetCompared(int index);
    void FillImageBoxes();
    void SetProblem(const QString& text);
    void ShowReason(const QString& reason);
    void FillBandBoxes();
    void ApplyDisplay();
    void RecomputeLimits(int channel);
    void ApplyPreset(StretchPreset preset);
    void OnOverviewReady(int index);
    void OnPointer(int column, int row, int layer);
    std::array<ChannelStretch, 3> CompareStretch() const;
    BandChoice CurrentChoice() const;
    std::shared_ptr<DisplayLayer> Primary() const;

    ImageCanvas* m_canvas = nullptr;
    StretchPanel* m_stretch = nullptr;
    InfoPanel* m_info = nullptr;
    QLabel* m_problem = nullptr;
    QPointer<QLabel> m_readout;
    std::array<QComboBox*, 3> m_bandBoxes{};
    QCheckBox* m_grey = nullptr;
    QComboBox* m_imageBox = nullptr;
    QComboBox* m_compareMode = nullptr;
    QComboBox* m_against = nullptr;
    QCheckBox* m_sameStretch = nullptr;
    std::vector<Entry> m_images;
    int m_shown = -1;     // the entry shown, -1 none
    int m_compared = -1;  // the entry compared with it, -1 none
    int m_runs = 0;
    std::array<std::unique_ptr<LatLonConverter>, 2> m_latLon;
    std::function<std::optional<MatrixSize>(const QString&)> m_askSize;
    std::function<std::optional<CoordinateRequest>()> m_askCoordinate;
    MatrixSize m_lastSize;
    bool m_filling = false;
};

}  // namespace lumesta
