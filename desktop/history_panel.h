#pragma once
// The History: every tool run of this session and the earlier ones, latest first: when it
// started and how long it took, the tool, how it ended, and its inputs and choices (the job's
// lumesta-cli options). "Run again" reopens the run's dialog filled in, "Show result" shows what
// it wrote, "Copy command" puts the job's lumesta-cli command on the clipboard.

#include <QDockWidget>
#include <QList>
#include <functional>

#include "ui/job_memory.h"

class QPushButton;
class QTableWidget;

namespace lumesta {

class HistoryPanel : public QDockWidget {
public:
    explicit HistoryPanel(QWidget* parent);

    // What "Run again" (and a double click) and "Show result" do with the chosen run's job.
    void SetActions(std::function<void(const JobCommand&)> runAgain,
                    std::function<void(const JobCommand&)> showResult);
    // Shows the kept History.
    void Reload();
    // A run that just ended goes on top.
    void Add(const RunRecord& record);
    // Enables "Run again" (not while a tool dialog is open).
    void SetRunAgainEnabled(bool enabled);

    void OnRunAgain();
    void OnShowResult();
    void OnCopyCommand();

    QTableWidget* Table() const { return m_table; }
    QPushButton* RunAgainButton() const { return m_runAgain; }
    QPushButton* ShowResultButton() const { return m_showResult; }
    QPushButton* CopyButton() const { return m_copy; }

private:
    void ShowRecords();
    void ShowChoice();
    const RunRecord* Chosen() const;

    QList<RunRecord> m_records;  // latest first
    QTableWidget* m_table = nullptr;
    QPushButton* m_runAgain = nullptr;
    QPushButton* m_showResult = nullptr;
    QPushButton* m_copy = nullptr;
    bool m_runAgainAllowed = true;
    std::function<void(const JobCommand&)> m_onRunAgain;
    std::function<void(const JobCommand&)> m_onShowResult;
};

}  // namespace lumesta
