#pragma once
// The progress window of the long runs: a caption, one status line, a bar and a "Cancel" button
// in a small top-most window that does not take the focus, wide enough for its caption. Its
// place on the screen is kept in the profile (section "Settings", keys "X" and "Y") so the next
// run's window opens there. Told the run's steps, it shows the whole run: the step going on, the
// run's overall progress on the bar and the time left.

#include <QElapsedTimer>
#include <QWidget>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "core/host.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace lumesta {

class CProgressWindow : public QWidget, public RunProgress {
public:
    // Creates and shows the window above parent (the main window when parent is null), with
    // a segmented bar unless smooth is set, placed where the last one was left.
    CProgressWindow(QWidget* parent, const QString& caption, bool smooth);
    // Saves the position and closes the window.
    ~CProgressWindow() override;
    CProgressWindow(const CProgressWindow&) = delete;
    CProgressWindow& operator=(const CProgressWindow&) = delete;

    void SetRange(int low, int high, int step) override;
    void SetPosition(int position) override;
    // Shows text as the status line (while the window exists and shows no steps).
    void SetStatusText(const std::string& text) override;

    // The run's steps, the one going on and the clock started with the run: from now on the
    // status line names the step ("Step 2 of 6: Fusing the bands"), the bar shows the whole
    // run's progress (the steps done by their weights, the one going on by the position it
    // sets) and a second line the time left, refreshed every second.
    void ShowSteps(const std::vector<RunStep>& steps, std::size_t current,
                   const QElapsedTimer& runClock);
    void BeginStep(std::size_t index);
    // "About 2 min left" and the like for a run that has done overall (0..1) in elapsedMs;
    // "Estimating the time left ..." before the figures say enough.
    static QString TimeLeftText(double overall, qint64 elapsedMs);
    // Lets waiting input be handled; with cancelOnEscape the Escape key cancels, wherever the
    // focus is. Does nothing once cancelled.
    void PumpMessages(bool cancelOnEscape) override;
    // Safe to call from a run's worker thread.
    bool IsCancelled() const override { return m_cancelled.load(); }

    // The Cancel button (and Escape): marks the run cancelled, calls the cancel action, hides
    // the window at once and brings the main window to the front. The flag never returns to
    // false.
    void OnCancel();
    // What OnCancel does besides its own flag (a worker run sets its cancel flag).
    void SetOnCancel(std::function<void()> action) { m_onCancel = std::move(action); }
    // Saves the position to the profile and hides the window for good; later calls do nothing.
    void DestroyWindow();

    // Sizes the status text for textLines lines across width pixels, places the button below
    // it on the right and the bar to its left, and fits the window around them.
    void LayoutControls(int textLines, int width);
    // Moves the window to the stored position when it lies on the screen, else centres it on
    // its parent (or on the screen when it has none).
    void RestoreWindowPosition();
    void SaveWindowPosition();

    // The progress window on the screen (the latest, when several are), or null. Message boxes
    // belong to it while it shows: it stays on top of every other window.
    static CProgressWindow* Showing();

    QLabel* StatusLabel() const { return m_status; }
    QProgressBar* Bar() const { return m_bar; }
    QPushButton* CancelButton() const { return m_cancel; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowOverall();

    std::atomic<bool> m_cancelled{false};
    std::function<void()> m_onCancel;
    int m_textLines = 1;
    QLabel* m_status = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_cancel = nullptr;
    bool m_destroyed = false;
    bool m_escapeCancels = false;
    bool m_pumpedOnce = false;
    int m_pumpedPosition = 0;
    QElapsedTimer m_sincePump;
    std::vector<RunStep> m_steps;  // empty: no steps shown
    std::size_t m_step = 0;
    double m_stepDone = 0;  // of the step going on, from its positions
    int m_low = 0;
    int m_high = 100;
    QElapsedTimer m_runClock;
};

}  // namespace lumesta
