#pragma once
// "Fusion Quality": a view of one QualityJob. The user picks the protocol, the files (or the last
// pan-sharpening run in one click), the sensor and the ratio; Measure runs the job, whose report
// block goes to the log, and shows the results in a table to read (rounded, methods ranked, the
// best of each column marked) that can be copied or saved as CSV with every digit.
// The dialog stays open for further measurements.

#include <QStringList>
#include <functional>
#include <vector>

#include "ui/tool_dialog.h"
#include "workflows/quality_runs.h"
#include "workflows/run_images.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QTableWidgetItem;

namespace lumesta {

class QualityChart;

class FusionQualityDialog : public ToolDialog {
public:
    FusionQualityDialog(RunCounters& counters, Host& host, QWidget* parent);

    // Measure: copies the fields into the job, runs it and shows its results.
    void OnMeasure();
    // Fills the files the chosen protocol takes from the last pan-sharpening run of this program;
    // the protocol and the sensor stay as chosen.
    void OnLastRun();
    // "Open the best result": the kept result of the method that ranks first beside the MS bands
    // it was measured against, through the result viewer; only after a Wald run that kept them.
    void OnOpenBest();
    // Where "Open the best result" shows the images (the main window's viewer).
    void SetResultViewer(std::function<void(const RunImages&)> viewer)
    {
        m_resultViewer = std::move(viewer);
    }
    // The results table as CSV text onto the clipboard, or into a file the user chooses.
    void OnCopy();
    void OnSave();
    // The file choosers' results (the tests call these directly): several paths for the
    // band fields, one for the pan.
    void OnFilesChosen(QLineEdit* field, const QStringList& paths);

    const QualityJob& Job() const { return m_job; }
    JobCommand Command() const override;
    void Restore(const JobCommand& command) override;
    QComboBox* ProtocolList() const { return m_protocol; }
    QLineEdit* FusedField() const { return m_fused; }
    QLineEdit* ReferenceField() const { return m_reference; }
    QLineEdit* MsField() const { return m_ms; }
    QLineEdit* PanField() const { return m_pan; }
    QComboBox* SensorList() const { return m_sensor; }
    QPushButton* LastRunButton() const { return m_lastRun; }
    QCheckBox* MapBox() const { return m_showMap; }
    QTableWidget* Table() const { return m_table; }
    QualityChart* Chart() const { return m_chart; }
    QTabWidget* Views() const { return m_views; }
    QLineEdit* KeepField() const { return m_keep; }
    QPushButton* OpenBestButton() const { return m_openBest; }

protected:
    void ResetJob() override;

private:
    QWidget* MakeInputGroup();
    QWidget* MakeResultGroup();
    QLineEdit* AddPathRow(QGridLayout& grid, int row, const QString& label, bool several);
    void TakeFields();
    void ShowJob();
    void ShowResults();
    void TakeDefaultKeepFolder();
    void MarkBest(QTableWidgetItem& cell);
    void FitTableWidth();

    static std::string MapPathFor(const QualityJob& job, bool wanted);

    QualityJob m_job;
    std::vector<QualityRow> m_rows;
    QComboBox* m_protocol = nullptr;
    QLineEdit* m_fused = nullptr;
    QLineEdit* m_reference = nullptr;
    QLineEdit* m_ms = nullptr;
    QLineEdit* m_pan = nullptr;
    QComboBox* m_sensor = nullptr;
    QComboBox* m_ratio = nullptr;
    QPushButton* m_lastRun = nullptr;
    QCheckBox* m_showMap = nullptr;
    QProgressBar* m_progress = nullptr;
    QTableWidget* m_table = nullptr;
    QualityChart* m_chart = nullptr;
    QTabWidget* m_views = nullptr;
    QLineEdit* m_keep = nullptr;
    QPushButton* m_keepBrowse = nullptr;
    QPushButton* m_openBest = nullptr;
    RunImages m_best;  // the best kept result of the last run, with what to compare it with
    std::function<void(const RunImages&)> m_resultViewer;
    std::vector<std::pair<QLineEdit*, QPushButton*>> m_browse;  // each path field's "..."
};

}  // namespace lumesta
