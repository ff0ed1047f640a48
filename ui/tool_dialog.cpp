#include "ui/tool_dialog.h"

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

RunOutcome ToolDialog::RunGuarded(const std::function<RunOutcome()>& run)
{
    return m_guard->Run(m_host, run);
}

bool ToolDialog::RunWroteReport(Tool tool, const std::function<RunOutcome()>& run)
{
    const std::int32_t reportsBefore = m_counters.Get(tool);
    RunGuarded(run);
    return m_counters.Get(tool) != reportsBefore;
}

void ToolDialog::BrowseToOpen(const char* filterText,
                              const std::function<void(const QString&)>& take)
{
    if (IsRunning()) return;
    const QString path = ChooseFileToOpen(this, filterText);
    if (!path.isEmpty()) take(path);
}

void ToolDialog::BrowseToSave(const char* filterText, const QString& defaultSuffix,
                              const QString& initialName,
                              const std::function<void(const QString&)>& take)
{
    if (IsRunning()) return;
    const QString path = ChooseFileToSave(this, filterText, defaultSuffix, initialName);
    if (!path.isEmpty()) take(path);
}

}  // namespace lumesta
