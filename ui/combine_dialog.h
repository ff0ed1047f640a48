#pragma once
// The two band combination dialogs, "Band Combination (For 16-bit data)" and "Band Combination
// (For 8-bit data)": one window over a BandCombinationJob of the tool's depth. Each handler hands
// the user's choice to the engine (composite/combine_browse.h) and shows the job again.
//
// OK runs the job with the log document's counters. A run that stopped (a message, a declined
// overwrite question) or was cancelled keeps the dialog open with its fields; a finished run
// closes it with OK. With a batch file chosen in the Blue browse, OK runs every job of the file and
// closes the dialog only when the whole file was processed; after a stop it stays open and armed.

#include <array>

#include "composite/combine_job.h"
#include "ui/tool_dialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace lumesta {

class BandCombinationDialog : public ToolDialog {
public:
    const BandCombinationJob& Job() const { return m_job; }
    JobCommand Command() const override;
    void Restore(const JobCommand& command) override;

    // "..." of Blue, Green or Red (kCompositeBlue ...). Green and Red are refused with "Please
    // enter the blue band first." before any chooser opens while no Blue band is chosen.
    void OnBrowseBand(int band);
    // What the "..." buttons do after their chooser (the tests call these directly).
    void OnBandChosen(int band, const QString& path);
    void OnBmpChosen(const QString& path);
    // "..." of the 24-bit BMP: a save chooser; the chosen path becomes the BMP name.
    void OnBrowseBmp();
    // ">>": the stretch dialog opens at its own defaults; only its OK changes the job.
    void OnStretch();

    // OK as described above; it does not act while a run is going on.
    void accept() override;

    QComboBox* BandList(int band) const { return m_bandList[band]; }
    QPushButton* BandBrowse(int band) const { return m_bandBrowse[band]; }
    QLineEdit* WidthField() const { return m_width; }
    QLineEdit* HeightField() const { return m_height; }
    QLineEdit* BmpField() const { return m_bmp; }
    QPushButton* BmpBrowse() const { return m_bmpBrowse; }
    QCheckBox* DisplayBmpBox() const { return m_displayBmp; }
    QCheckBox* GeoTiffBox() const { return m_geoTiff; }

protected:
    BandCombinationDialog(CombineDepth depth, RunCounters& counters, Host& host, QWidget* parent);

private:
    QWidget* MakeInputGroup();
    QWidget* MakeOutputGroup();
    // Copies the typed fields (Width, Height) into the job, as any edit of them does.
    void TakeSizeFields();
    void ShowJob();
    void SetTips();
    void ShowJobState() override { ShowJob(); }
    void ResetJob() override;
    RunOutcome RunBatch();

    BandCombinationJob m_job;

    std::array<QComboBox*, 3> m_bandList{};
    std::array<QPushButton*, 3> m_bandBrowse{};
    QLineEdit* m_width = nullptr;
    QLineEdit* m_height = nullptr;
    QLineEdit* m_bmp = nullptr;
    QPushButton* m_bmpBrowse = nullptr;
    QCheckBox* m_displayBmp = nullptr;
    QCheckBox* m_geoTiff = nullptr;
    QPushButton* m_stretch = nullptr;
};

// Band Combination → QuickBird, IKONOS, Orbview-3.
class CBandCombination16Dlg : public BandCombinationDialog {
public:
    CBandCombination16Dlg(RunCounters& counters, Host& host, QWidget* parent);
};

// Band Combination → Landsat ETM+, ASTER, MODIS, SPOT.
class CBandCombination8Dlg : public BandCombinationDialog {
public:
    CBandCombination8Dlg(RunCounters& counters, Host& host, QWidget* parent);
};

}  // namespace lumesta
