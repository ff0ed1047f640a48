#include "ui/tool_run_guard.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QThread>
#include <QWidget>
#include <exception>
#include <string>

#include "ui/worker_host.h"

namespace lumesta {
namespace {

ToolRunGuard* g_active = nullptr;
std::function<void(bool)>& RunStateListener()
{
    static std::function<void(bool)> listener;
    return listener;
}

void NotifyRunState(bool running)
{
    if (RunStateListener()) RunStateListener()(running);
}

}  // namespace

ToolRunGuard::ToolRunGuard(QWidget& dialog) : QObject(&dialog), m_dialog(dialog) {}

ToolRunGuard::~ToolRunGuard()
{
    if (g_active == this) g_active = nullptr;
}

ToolRunGuard* ToolRunGuard::Active()
{
    return g_active;
}

void ToolRunGuard::SetRunStateListener(std::function<void(bool running)> listener)
{
    RunStateListener() = std::move(listener);
}

RunOutcome ToolRunGuard::Run(Host& gui, const std::function<RunOutcome(Host&)>& run,
                             const std::function<void()>& refresh)
{
    static const std::string kUnexpectedFailure = "The run stopped on an unexpected error: ";
    if (m_running || g_active) return RunOutcome::Stopped;
    m_running = true;
    g_active = this;
    m_cancelled.store(false);
    qApp->installEventFilter(this);
    NotifyRunState(true);

    WorkerHost worker(gui, *this, &m_dialog, m_dialog.windowTitle(), m_cancelled);
    worker.SetAfterQuestion(refresh);
    RunOutcome outcome = RunOutcome::Stopped;
    QEventLoop loop;
    QThread* thread = QThread::create([&] {
        try {
            outcome = run(worker);
        } catch (const std::exception& error) {
            worker.ShowMessage(kUnexpectedFailure + error.what());
        } catch (...) {
            worker.ShowMessage(kUnexpectedFailure + "unknown");
        }
        // Posted after everything the run posted, so the loop ends once all of it is shown.
        QMetaObject::invokeMethod(
            this, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    thread->start();
    loop.exec();
    thread->wait();
    delete thread;

    qApp->removeEventFilter(this);
    g_active = nullptr;
    m_running = false;
    NotifyRunState(false);
    return outcome;
}

bool ToolRunGuard::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_running || !watched->isWidgetType()) return false;
    switch (event->type()) {
        case QEvent::KeyPress:
            // Escape cancels, except in a box the run is waiting on.
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
                (!QApplication::activeModalWidget() ||
                 QApplication::activeModalWidget() == &m_dialog)) {
                Cancel();
                return true;
            }
            [[fallthrough]];
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::Shortcut:
            return static_cast<QWidget*>(watched)->window() == &m_dialog;
        default:
            return false;
    }
}

}  // namespace lumesta
