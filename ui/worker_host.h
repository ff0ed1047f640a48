#pragma once
// The host a run sees while it executes on a worker thread. Messages, questions, log appends,
// viewers and the busy cursor are carried to the user-interface thread and waited for; progress
// is posted there without waiting. The user-interface thread keeps its own event loop running,
// so a pump is only passed on now and then (at most every 25 ms), for the host to report a
// cancel of its own. Every cancel check reads one flag that the progress window's Cancel, the
// Escape key, closing the main window and such a reported cancel set.

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "core/host.h"

class QObject;
class QWidget;

namespace lumesta {

class WorkerHost : public Host {
public:
    // gui is the host that acts on the user-interface thread, where context lives; window owns
    // the progress windows; caption titles the window that mirrors a tool dialog's own bar.
    WorkerHost(Host& gui, QObject& context, QWidget* window, QString caption,
               std::atomic<bool>& cancelled);

    // Called on the user-interface thread during the first call carried there after each
    // question, while the run waits for it: the job is not changing then, so the dialog can
    // show what the answer changed in it (a display switched off).
    void SetAfterQuestion(std::function<void()> refresh) { m_afterQuestion = std::move(refresh); }

    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& question) override;
    // Also shows the last line of bytes that has a letter as the step being run, in the window
    // beside a tool dialog's bar (those runs set no status text of their own).
    void AppendLog(const std::string& bytes) override;
    void PumpPendingMessages() override;
    bool IsCancelled() const override { return m_cancelled.load(); }
    // Opens gui's progress display on the user-interface thread. A tool dialog's bar gets a
    // progress window beside it, so that every run shows a Cancel button.
    std::unique_ptr<RunProgress> OpenProgress(const std::string& caption,
                                              ProgressOwner owner) override;
    void OpenInViewer(ViewerKind kind, const std::string& pathOrAddress) override;
    void SetBusyCursor(bool on) override;

    // A pump of display (null for the host's own): passed on when due, after which a cancel
    // reported by the display or the host sets the flag.
    void Pump(RunProgress* display, bool cancelOnEscape);

private:
    // Calls act on the user-interface thread and returns when it is done.
    void OnGui(const std::function<void()>& act);

    Host& m_gui;
    QObject& m_context;
    QPointer<QWidget> m_window;
    QString m_caption;
    std::atomic<bool>& m_cancelled;
    QElapsedTimer m_sincePump;
    // The window beside a tool dialog's bar: its status line shows the report's latest step.
    QPointer<QWidget> m_barWindow;
    std::function<void()> m_afterQuestion;
    bool m_questionAnswered = false;
};

}  // namespace lumesta
