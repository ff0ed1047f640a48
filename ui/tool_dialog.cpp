#include "ui/tool_dialog.h"

#include <QLayout>

#include "ui/dialog_keys.h"
#include "ui/file_chooser.h"
#include "ui/tool_run_guard.h"

namespace lumesta {

ToolDialog::ToolDialog(RunCounters& counters, Host& host, QWidget* parent)
    : QDialog(parent), m_counters(counters), m_host(host), m_guard(new ToolRunGuard(*this))
{
}

bool ToolDialog::IsRunning() const
{
    return m_guard->IsRunning();
}

void ToolDialog::reject()
{
    if (IsRunning()) return;
    QDialog::reject();
}

void ToolDialog::OnReset()
{
    if (IsRunning()) return;
    JobMemory::ForgetJob(Command().DialogKey());
    ResetJob();
}

RunOutcome ToolDialog::RunGuarded(const std::function<RunOutcome()>& run, Host* gui)
{
    static const char* const kOutcomes[] = {"Finished", "Stopped", "Cancelled"};
    if (IsRunning() || ToolRunGuard::Active()) return RunOutcome::Stopped;
    RunRecord record{Command(), windowTitle(), QDateTime::currentDateTime(), {}, {}};
    JobMemory::RememberJob(record.command);
    const RunOutcome outcome = RunOnGuard(run, gui);
    record.ended = QDateTime::currentDateTime();
    record.outcome = kOutcomes[static_cast<int>(outcome)];
    JobMemory::AddToHistory(record);
    return outcome;
}

RunOutcome ToolDialog::RunInspection(const std::function<RunOutcome()>& run, Host* gui)
{
    if (IsRunning() || ToolRunGuard::Active()) return RunOutcome::Stopped;
    return RunOnGuard(run, gui);
}

RunOutcome ToolDialog::RunOnGuard(const std::function<RunOutcome()>& run, Host* gui)
{
    return m_guard->Run(
        gui ? *gui : m_host,
        [this, &run](Host& worker) {
            m_runHost.store(&worker);
            struct Restore {
                std::atomic<Host*>& host;
                ~Restore() { host.store(nullptr); }
            } restore{m_runHost};
            return run();
        },
        [this] { ShowJobState(); });
}

void ToolDialog::BrowseToOpen(const char* filterText,
                              const std::function<void(const QString&)>& take,
                              const QString& current)
{
    if (IsRunning()) return;
    const QString path = ChooseFileToOpen(this, filterText, current, windowTitle());
    if (!path.isEmpty()) take(path);
}

void ToolDialog::BrowseToSave(const char* filterText, const QString& defaultSuffix,
                              const QString& initialName,
                              const std::function<void(const QString&)>& take)
{
    if (IsRunning()) return;
    const QString path =
        ChooseFileToSave(this, filterText, defaultSuffix, initialName, windowTitle());
    if (!path.isEmpty()) take(path);
}

void ToolDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_keysArranged) return;
    m_keysArranged = true;
    if (layout()) layout()->activate();
    OrderTabsByPosition(*this);
    AssignMnemonics(*this);
}

}  // namespace lumesta
