#pragma once
// Runs a tool dialog's job on the user-interface thread. While the run pumps events, the user's
// clicks and keys on the dialog are dropped, so nothing can change the job or start a second run
// under the running one; other windows (the progress window with its Cancel button) get theirs.
// A bug escaping the run ends in a message box instead of taking the program down.

#include <QObject>
#include <functional>

#include "core/host.h"

class QWidget;

namespace lumesta {

class ToolRunGuard : public QObject {
public:
    // Guards dialog, which owns the guard.
    explicit ToolRunGuard(QWidget& dialog);

    bool IsRunning() const { return m_running; }

    // Calls run once and returns its outcome. An exception from it is shown as "The run stopped
    // on an unexpected error: " + its text through host, and gives Stopped. Does nothing and
    // returns Stopped while a run is going on.
    RunOutcome Run(Host& host, const std::function<RunOutcome()>& run);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_dialog;
    bool m_running = false;
};

}  // namespace lumesta
