#include "ui/tool_run_guard.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <exception>
#include <string>

namespace lumesta {

ToolRunGuard::ToolRunGuard(QWidget& dialog) : QObject(&dialog), m_dialog(dialog) {}

RunOutcome ToolRunGuard::Run(Host& host, const std::function<RunOutcome()>& run)
{
    static const std::string kUnexpectedFailure = "The run stopped on an unexpected error: ";
    if (m_running) return RunOutcome::Stopped;
    m_running = true;
    qApp->installEventFilter(this);
    RunOutcome outcome = RunOutcome::Stopped;
    try {
        outcome = run();
    } catch (const std::exception& error) {
        host.ShowMessage(kUnexpectedFailure + error.what());
    } catch (...) {
        host.ShowMessage(kUnexpectedFailure + "unknown");
    }
    qApp->removeEventFilter(this);
    m_running = false;
    return outcome;
}

bool ToolRunGuard::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_running || !watched->isWidgetType()) return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::Shortcut:
            return static_cast<QWidget*>(watched)->window() == &m_dialog;
        default:
            return false;
    }
}

}  // namespace lumesta
