#pragma once
// Runs a tool dialog's job on a worker thread while the user-interface thread keeps handling
// events: windows repaint, the log scrolls, the progress window's Cancel works. Meanwhile the
// user's clicks and keys on the dialog are dropped, so nothing can change the job or start a
// second run; Escape, anywhere, cancels the run. A bug escaping the run ends in a message box
// instead of taking the program down.

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>

#include "core/host.h"

class QWidget;

namespace lumesta {

class ToolRunGuard : public QObject {
public:
    // Guards dialog, which owns the guard.
    explicit ToolRunGuard(QWidget& dialog);
    ~ToolRunGuard() override;

    bool IsRunning() const { return m_running; }

    // Calls run once on a worker thread with a host that forwards to gui (see WorkerHost), and
    // returns its outcome once it ended; events are handled meanwhile. An exception from run
    // is shown as "The run stopped on an unexpected error: " + its text through gui, and gives
    // Stopped. Does nothing and returns Stopped while a run is going on.
    // After a question, refresh is called while the run waits (see WorkerHost).
    RunOutcome Run(Host& gui, const std::function<RunOutcome(Host&)>& run,
                   const std::function<void()>& refresh = {});

    // Asks the run to stop at its next cancel check; nothing without a run.
    void Cancel() { m_cancelled.store(true); }

    // The run going on in the program, or null (one at a time: one tool dialog is open).
    static ToolRunGuard* Active();
    // Called with true when a run starts and false when it ended (the main window locks the
    // log's editing meanwhile).
    static void SetRunStateListener(std::function<void(bool running)> listener);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_dialog;
    bool m_running = false;
    std::atomic<bool> m_cancelled{false};
};

}  // namespace lumesta
