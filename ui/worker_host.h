#pragma once
// The host a run sees while it executes on a worker thread. Messages, questions, progress
// windows and viewers are carried to the user-interface thread and waited for; log appends, the
// busy cursor, progress and the run's steps are posted there without waiting, in order (after a
// question, the next call waits, see SetAfterQuestion). A run shows one progress window at a
// time: the progress it opens while one shows goes to that window, which is told the run's
// steps and shows the whole run. The user-interface thread keeps its own event loop
// running, so a pump is only posted now and then (at most every 25 ms; the first one waits),
// for the host to report a cancel of its own. Every cancel check reads one flag that the progress
// window's Cancel, the Escape key, closing the main window and such a reported cancel set. Some
// runs pump per pixel: between two passed-on pumps a pump only reads two flags (a timer on the
// user-interface thread marks the next one due), never the clock.

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/host.h"

class QObject;
class QTimer;
class QWidget;

namespace lumesta {

class CProgressWindow;

class WorkerHost : public Host {
public:
    // gui is the host that acts on the user-interface thread, where context lives; window owns
    // the progress windows; caption titles the window that mirrors a tool dialog's own bar.
    // Made and destroyed on the user-interface thread.
    WorkerHost(Host& gui, QObject& context, QWidget* window, QString caption,
               std::atomic<bool>& cancelled);
    ~WorkerHost() override;
    WorkerHost(const WorkerHost&) = delete;
    WorkerHost& operator=(const WorkerHost&) = delete;

    // Called on the user-interface thread during the first call carried there after each
    // question, while the run waits for it: the job is not changing then, so the dialog can
    // show what the answer changed in it (a display switched off).
    void SetAfterQuestion(std::function<void()> refresh) { m_afterQuestion = std::move(refresh); }

    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& question) override;
    // Written from the run's thread: a stream needs no window.
    void WriteErrorStream(const std::string& text) override { m_gui.WriteErrorStream(text); }
    void AppendLog(const std::string& bytes) override;
    void PumpPendingMessages() override;
    bool IsCancelled() const override { return m_cancelled.load(); }
    // Opens gui's progress display on the user-interface thread. A tool dialog's bar gets a
    // progress window beside it, so that every run shows a Cancel button; while the run's
    // window shows, a progress window asked for is that one.
    std::unique_ptr<RunProgress> OpenProgress(const std::string& caption,
                                              ProgressOwner owner) override;
    void OpenInViewer(ViewerKind kind, const std::string& pathOrAddress) override;
    void SetBusyCursor(bool on) override;
    // Kept for the run's progress windows, this one and those it opens later.
    void SetRunSteps(const std::vector<RunStep>& steps) override;
    void BeginRunStep(std::size_t index) override;

    // A pump of display (null for the host's own): passed on when due, after which a cancel
    // reported by the display or the host sets the flag.
    void Pump(RunProgress* display, bool cancelOnEscape)
    {
        if (!m_pumpDue.load(std::memory_order_relaxed) || m_cancelled.load()) return;
        PassOnPump(display, cancelOnEscape);
    }

private:
    void PassOnPump(RunProgress* display, bool cancelOnEscape);
    // The run's window from now on: it takes Cancel and the steps.
    void AdoptRunWindow(CProgressWindow* window);
    // Calls act on the user-interface thread and returns when it is done.
    void OnGui(const std::function<void()>& act);
    // Calls act there after everything carried there before, without waiting; while a
    // question's refresh is due, as OnGui (the refresh needs the run to wait).
    void Post(std::function<void()> act);

    Host& m_gui;
    QObject& m_context;
    QPointer<QWidget> m_window;
    QString m_caption;
    std::atomic<bool>& m_cancelled;
    // Set by m_pumpTimer every 25 ms (and at the start), cleared by each pump passed on.
    std::atomic<bool> m_pumpDue{true};
    std::atomic<bool> m_pumpedOnce{false};
    std::unique_ptr<QTimer> m_pumpTimer;
    // The run's progress window, and what it is told: the steps (on the user-interface thread).
    QPointer<CProgressWindow> m_runWindow;
    std::vector<RunStep> m_steps;
    std::size_t m_step = 0;
    QElapsedTimer m_runClock;
    std::function<void()> m_afterQuestion;
    bool m_questionAnswered = false;
};

}  // namespace lumesta
