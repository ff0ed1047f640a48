#include "ui/tool_dialog_host.h"

#include <QProgressBar>

namespace lumesta {

void DialogBarProgress::SetRange(int low, int high, int /*step*/)
{
    if (m_bar) m_bar->setRange(low, high);
}

void DialogBarProgress::SetPosition(int position)
{
    if (m_bar) m_bar->setValue(position);
}

// A tool dialog has no status line: the text is for progress windows only.
void DialogBarProgress::SetStatusText(const std::string& /*text*/) {}

void DialogBarProgress::PumpMessages(bool /*cancelOnEscape*/)
{
    m_host.PumpPendingMessages();
}

std::unique_ptr<RunProgress> ToolDialogHost::OpenProgress(const std::string& caption,
                                                          ProgressOwner owner)
{
    if (owner == ProgressOwner::ToolDialog) return std::make_unique<DialogBarProgress>(&m_bar, m_outer);
    return m_outer.OpenProgress(caption, owner);
}

}  // namespace lumesta
