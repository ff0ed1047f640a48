#pragma once
// The image viewer: a dock beside the log that shows any image the program reads or writes.
// Opened from File > Open Image..., by dropping files on it, from the command line, and after
// a pan-sharpening or band-combination run, when it shows the result with the input MS bands
// and the pan to swipe or blink against. The status bar readout gives the pixel under the
// pointer, every band's value there and its map position.

#include <QDockWidget>
#include <QLabel>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "desktop/viewer/display_layer.h"
#include "workflows/run_images.h"

class QCheckBox;
class QComboBox;
class QLabel;

namespace lumesta {

class ImageCanvas;
class InfoPanel;
class StretchPanel;

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

    // Replaces the size question for headerless matrices (tests answer through it).
    void SetMatrixAsker(std::function<std::optional<MatrixSize>(const QString&)> ask);

    ImageCanvas& Canvas() const { return *m_canvas; }
    StretchPanel& StretchControl() const { return *m_stretch; }
    InfoPanel& Info() const { return *m_info; }
    QLabel* Readout() const { return m_readout; }
    QString Problem() const;
    QComboBox* BandBox(int channel) const { return m_bandBoxes[channel]; }
    QComboBox* CompareBox() const { return m_compareMode; }
    QComboBox* AgainstBox() const { return m_against; }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    struct Candidate {
        QString name;
        std::shared_ptr<DisplayLayer> layer;
        bool sameUnits = false;
    };

    QWidget* BuildControls();
    void Show(std::unique_ptr<RasterSource> source, const QString& title);
    void SetProblem(const QString& text);
    void ShowReason(const QString& reason);
    void FillBandBoxes();
    void ApplyDisplay();
    void RecomputeLimits(int channel);
    void OnOverviewReady(int index);
    void OnPointer(int column, int row);
    void ChooseCompare();
    std::array<ChannelStretch, 3> CompareStretch() const;
    BandChoice CurrentChoice() const;

    ImageCanvas* m_canvas = nullptr;
    StretchPanel* m_stretch = nullptr;
    InfoPanel* m_info = nullptr;
    QLabel* m_problem = nullptr;
    QPointer<QLabel> m_readout;
    std::array<QComboBox*, 3> m_bandBoxes{};
    QCheckBox* m_grey = nullptr;
    QComboBox* m_compareMode = nullptr;
    QComboBox* m_against = nullptr;
    std::vector<Candidate> m_candidates;
    std::function<std::optional<MatrixSize>(const QString&)> m_askSize;
    MatrixSize m_lastSize;
    bool m_filling = false;
};

}  // namespace lumesta
