#pragma once
// What every tool dialog that runs a job shares: the program's host and run counters, the guard
// that keeps the user's input away from a run that is pumping, Cancel and close doing nothing
// meanwhile, and the "..." choosers that open only while no run is going on.

#include <QDialog>
#include <functional>

#include "core/host.h"
#include "core/run_log.h"

namespace lumesta {

class ToolRunGuard;

class ToolDialog : public QDialog {
public:
    bool IsRunning() const;

    // Cancel and the window's close button do nothing while a run is going on.
    void reject() override;

protected:
    ToolDialog(RunCounters& counters, Host& host, QWidget* parent);

    Host& ProgramHost() const { return m_host; }
    RunCounters& Counters() const { return m_counters; }

    // Calls run under the guard (see ToolRunGuard::Run) and returns its outcome.
    RunOutcome RunGuarded(const std::function<RunOutcome()>& run);
    // Calls run under the guard; true when it wrote a report block of tool. No block means the
    // run stopped on a validation message, for the user to correct the fields and try again.
    bool RunWroteReport(Tool tool, const std::function<RunOutcome()>& run);

    // The "Open File" chooser with filterText; take gets the chosen path. Does nothing while a
    // run is going on or when the chooser is cancelled.
    void BrowseToOpen(const char* filterText, const std::function<void(const QString&)>& take);
    // The "Save As" chooser with filterText, defaultSuffix and initialName; as BrowseToOpen.
    void BrowseToSave(const char* filterText, const QString& defaultSuffix,
                      const QString& initialName, const std::function<void(const QString&)>& take);

private:
    RunCounters& m_counters;
    Host& m_host;
    ToolRunGuard* m_guard = nullptr;
};

}  // namespace lumesta
