#pragma once
// What every tool dialog that runs a job shares: the program's host and run counters, the guard
// that runs the job on a worker thread and keeps the user's input away from it, Cancel and close
// doing nothing meanwhile, the "..." choosers that open only while no run is going on, and the
// job kept as a lumesta-cli command: remembered when a run starts, listed in the History when it
// ends, taken back when the dialog reopens, forgotten by Reset.

#include <QDialog>
#include <atomic>
#include <functional>

#include "core/host.h"
#include "core/run_log.h"
#include "ui/job_memory.h"

namespace lumesta {

class ToolRunGuard;

class ToolDialog : public QDialog {
public:
    bool IsRunning() const;

    // Cancel and the window's close button do nothing while a run is going on.
    void reject() override;

    // The dialog's job as lumesta-cli's command.
    virtual JobCommand Command() const = 0;
    // Takes the job of a remembered command as far as it still applies (files that are gone
    // left out, nothing shown for what cannot be set) and shows it.
    virtual void Restore(const JobCommand& command) = 0;
    // "Reset": the tool's fresh job, shown; the remembered one is forgotten. Nothing while a
    // run is going on.
    void OnReset();

protected:
    ToolDialog(RunCounters& counters, Host& host, QWidget* parent);

    // The program's host; while a run goes, the worker thread's host that forwards to it.
    Host& ProgramHost() const
    {
        Host* running = m_runHost.load();
        return running ? *running : m_host;
    }
    RunCounters& Counters() const { return m_counters; }

    // Calls run on the guard's worker thread (see ToolRunGuard::Run) and returns its outcome.
    // Meanwhile ProgramHost() forwards to gui (the program's host when null), and after each
    // question the fields show the job again (the "very large" question turns a display off).
    // The job is remembered as the dialog's last before the run, which joins the History after.
    RunOutcome RunGuarded(const std::function<RunOutcome()>& run, Host* gui = nullptr);
    // The same for a look at the inputs that is not a run of the tool (Check alignment): on the
    // worker thread, Escape stops it, and neither the remembered job nor the History change.
    RunOutcome RunInspection(const std::function<RunOutcome()>& run, Host* gui = nullptr);

    // The "Open File" chooser with filterText, opened at the folder and name of current (else
    // in the folder this tool last chose from, kept across sessions); take gets the chosen
    // path. Does nothing while a run is going on or when the chooser is cancelled.
    void BrowseToOpen(const char* filterText, const std::function<void(const QString&)>& take,
                      const QString& current = QString());
    // The "Save As" chooser with filterText, defaultSuffix and initialName (the current value);
    // as BrowseToOpen. It only names the file: nothing is created.
    void BrowseToSave(const char* filterText, const QString& defaultSuffix,
                      const QString& initialName, const std::function<void(const QString&)>& take);

    // On the first show: Tab in visual order from the first input, which gets the focus, and
    // Alt shortcuts on every label and button.
    void showEvent(QShowEvent* event) override;
    // Shows every field's job value; called while a run waits, so the job is not changing.
    virtual void ShowJobState() {}
    // The tool's fresh job, shown.
    virtual void ResetJob() = 0;

private:
    RunOutcome RunOnGuard(const std::function<RunOutcome()>& run, Host* gui);

    RunCounters& m_counters;
    Host& m_host;
    std::atomic<Host*> m_runHost{nullptr};
    ToolRunGuard* m_guard = nullptr;
    bool m_keysArranged = false;
};

}  // namespace lumesta
