#pragma once
// The window shared by the pan-sharpening dialogs (16-bit and Landsat ETM+): the pan row with its
// size fields, one row per MS band, the method and resampling lists, the output fields, the
// progress bar and OK/Cancel. It also owns what does not depend on the job: the file choosers and
// the dialog's place on screen. The job binding is PanSharpenJobDialog (fusion_job_dialog.h).

#include <string>
#include <vector>

#include "ui/tool_dialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace lumesta {

class PanSharpenDialogBase : public ToolDialog {
public:
    // What the "..." buttons do after their chooser (the tests call these directly).
    virtual void OnPanChosen(const QString& path) = 0;
    virtual void OnBandChosen(int band, const QString& path) = 0;
    virtual void OnBmpChosen(const QString& path) = 0;
    // The "..." buttons: those below Blue are refused before any chooser opens while no Blue
    // band is chosen.
    void OnBrowsePan();
    void OnBrowseBand(int band);
    void OnBrowseBmp();
    // "More >>" and ">>": each opens its parameter dialog; only OK changes the job.
    virtual void OnMore() = 0;
    virtual void OnStretch() = 0;

    // OK: runs the job. A run that stopped (a message, a declined overwrite question) or was
    // cancelled keeps the dialog open with its fields; a finished run closes it with OK.
    void accept() override;

    int BandCount() const { return static_cast<int>(m_bandList.size()); }
    QLineEdit* PanField() const { return m_pan; }
    QLineEdit* WidthField() const { return m_width; }
    QLineEdit* HeightField() const { return m_height; }
    QComboBox* BandList(int band) const { return m_bandList[band]; }
    QPushButton* BandBrowse(int band) const { return m_bandBrowse[band]; }
    QComboBox* MethodList() const { return m_method; }
    QComboBox* ResamplingList() const { return m_resampling; }
    QLineEdit* SuffixField() const { return m_suffix; }
    QLineEdit* BmpField() const { return m_bmp; }
    QCheckBox* DisplayBmpBox() const { return m_displayBmp; }
    QCheckBox* ColourMatchBox() const { return m_colourMatch; }
    QCheckBox* QualityLineBox() const { return m_qualityLine; }
    QProgressBar* ProgressBar() const { return m_progress; }

protected:
    // bandLabels names the MS rows from Blue down ("Blue Band", ...).
    PanSharpenDialogBase(const QString& title, const std::vector<QString>& bandLabels,
                         RunCounters& counters, Host& host, QWidget* parent);

    // The job's side of the dialog.
    virtual bool BlueChosen() const = 0;
    // The path the band's "..." chooser opens at (empty while none is chosen).
    virtual QString CurrentBandPath(int band) const = 0;
    virtual void TakeSize(int width, int height) = 0;
    virtual RunOutcome RunJob(Host& host) = 0;
    virtual bool InBatchMode() const = 0;
    virtual bool RunBatchJobs(Host& host) = 0;
    // Disables the controls that only serve single-file input while a batch file is chosen.
    void ShowBatchMode(bool batch);
    virtual void ShowJob() = 0;
    void ShowJobState() override { ShowJob(); }

    // Pieces of ShowJob: each field shows its job value (an unchanged text keeps its cursor).
    void ShowPan(const std::string& name, int width, int height, bool inputsEnabled);
    void ShowBand(int band, const std::vector<std::string>& entries, int index, bool listEnabled,
                  bool browseEnabled);
    void ShowOutputs(int method, const char* resampling, const std::string& suffix,
                     const std::string& bmpName, bool displayBmp, bool colourMatch,
                     bool qualityLine);

    void showEvent(QShowEvent* event) override;

private:
    QWidget* MakePanGroup();
    QWidget* MakeBandGroup(const std::vector<QString>& bandLabels);
    QWidget* MakeParameterGroup();
    QWidget* MakeOutputGroup();
    bool ReadSizeFields();
    // Typed, pasted and dropped files act as the "..." choices.
    void BindFileFields();
    void SetTips();

    bool m_placed = false;

    QLineEdit* m_pan = nullptr;
    QPushButton* m_panBrowse = nullptr;
    QLineEdit* m_width = nullptr;
    QLineEdit* m_height = nullptr;
    std::vector<QComboBox*> m_bandList;
    std::vector<QPushButton*> m_bandBrowse;
    QComboBox* m_method = nullptr;
    QComboBox* m_resampling = nullptr;
    QPushButton* m_more = nullptr;
    QLineEdit* m_suffix = nullptr;
    QLineEdit* m_bmp = nullptr;
    QPushButton* m_bmpBrowse = nullptr;
    QCheckBox* m_displayBmp = nullptr;
    QCheckBox* m_colourMatch = nullptr;
    QCheckBox* m_qualityLine = nullptr;
    QPushButton* m_stretch = nullptr;
    QProgressBar* m_progress = nullptr;
};

}  // namespace lumesta
