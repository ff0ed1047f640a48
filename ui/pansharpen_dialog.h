#pragma once
// "Pan-Sharpening Module (For 16-bit data)": a view of one PanSharpenJob. Its handlers hand each
// choice to the engine's browse functions and then show the job again; OK runs the job with the
// log document's counters.

#include <QDialog>
#include <array>

#include "app/host.h"
#include "app/run_log.h"
#include "fusion/pansharpen_job.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace lumesta {

class PanSharpenDialog : public QDialog {
public:
    PanSharpenDialog(RunCounters& counters, Host& host, QWidget* parent);

    const PanSharpenJob& Job() const { return m_job; }
    bool IsRunning() const { return m_running; }

    // What the "..." buttons do after their chooser (the tests call these directly).
    void OnPanChosen(const QString& path);
    void OnBandChosen(int band, const QString& path);
    void OnBmpChosen(const QString& path);
    // The "..." buttons: the Green, Red and NIR ones are refused before any chooser opens while
    // no Blue band is chosen.
    void OnBrowsePan();
    void OnBrowseBand(int band);
    void OnBrowseBmp();
    // "More >>" and ">>": each opens its parameter dialog; only OK changes the job.
    void OnMore();
    void OnStretch();

    // OK: runs the job. A run that stopped before its report began (a validation message)
    // keeps the dialog open with its fields; any other outcome closes it with OK.
    void accept() override;
    // Cancel and the window's close button do nothing while a run is going on.
    void reject() override;

    QLineEdit* PanField() const { return m_pan; }
    QLineEdit* WidthField() const { return m_width; }
    QLineEdit* HeightField() const { return m_height; }
    QComboBox* BandList(int band) const { return m_bandList[band]; }
    QPushButton* BandBrowse(int band) const { return m_bandBrowse[band]; }
    QPushButton* PanBrowse() const { return m_panBrowse; }
    QComboBox* MethodList() const { return m_method; }
    QComboBox* ResamplingList() const { return m_resampling; }
    QLineEdit* SuffixField() const { return m_suffix; }
    QLineEdit* BmpField() const { return m_bmp; }
    QCheckBox* DisplayBmpBox() const { return m_displayBmp; }
    QCheckBox* ColourMatchBox() const { return m_colourMatch; }
    QPushButton* MoreButton() const { return m_more; }
    QPushButton* StretchButton() const { return m_stretch; }
    QProgressBar* ProgressBar() const { return m_progress; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* MakePanGroup();
    QWidget* MakeBandGroup();
    QWidget* MakeParameterGroup();
    QWidget* MakeOutputGroup();
    void ShowJob();
    bool ReadSizeFields();
    RunOutcome Run();

    RunCounters& m_counters;
    Host& m_host;
    PanSharpenJob m_job;
    bool m_running = false;
    bool m_placed = false;

    QLineEdit* m_pan = nullptr;
    QPushButton* m_panBrowse = nullptr;
    QLineEdit* m_width = nullptr;
    QLineEdit* m_height = nullptr;
    std::array<QComboBox*, 4> m_bandList{};
    std::array<QPushButton*, 4> m_bandBrowse{};
    QComboBox* m_method = nullptr;
    QComboBox* m_resampling = nullptr;
    QPushButton* m_more = nullptr;
    QLineEdit* m_suffix = nullptr;
    QLineEdit* m_bmp = nullptr;
    QPushButton* m_bmpBrowse = nullptr;
    QCheckBox* m_displayBmp = nullptr;
    QCheckBox* m_colourMatch = nullptr;
    QPushButton* m_stretch = nullptr;
    QProgressBar* m_progress = nullptr;
};

}  // namespace lumesta
