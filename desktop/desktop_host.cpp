#include "desktop/desktop_host.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>
#include <iostream>

#include "desktop/log_view.h"
#include "ui/progress_window.h"
#include "ui/text.h"
#include "ui/tool_dialog_host.h"

namespace lumesta {
namespace {

constexpr qint64 kPumpIntervalMs = 10;

// Viewer paths may come quoted, as a command line would need them.
QString Unquoted(const std::string& text)
{
    QString result = ToQt(text);
    if (result.size() >= 2 && result.startsWith('"') && result.endsWith('"')) {
        result = result.mid(1, result.size() - 2);
    }
    return result;
}

}  // namespace

DesktopHost::DesktopHost(LogView& view, QWidget& mainWindow)
    : m_view(view), m_mainWindow(mainWindow), m_prompts(std::make_unique<MessageBoxPrompts>())
{
}

QWidget* DesktopHost::BoxParent() const
{
    if (QWidget* progress = CProgressWindow::Showing()) return progress;
    return WindowParent();
}

QWidget* DesktopHost::WindowParent() const
{
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (m_toolWindow && m_toolWindow->isVisible()) return m_toolWindow;
    return &m_mainWindow;
}

void DesktopHost::ShowMessage(const std::string& text)
{
    m_prompts->Inform(BoxParent(), ToQt(text));
}

void DesktopHost::WriteErrorStream(const std::string& text)
{
    std::cerr << text << std::flush;
}

bool DesktopHost::AskYesNo(const std::string& question)
{
    return m_prompts->AskYesNo(BoxParent(), ToQt(question));
}

void DesktopHost::AppendLog(const std::string& bytes)
{
    m_view.AppendAtEnd(bytes);
}

void DesktopHost::PumpPendingMessages()
{
    if (m_sincePump.isValid() && m_sincePump.elapsed() < kPumpIntervalMs) return;
    m_sincePump.start();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

std::unique_ptr<RunProgress> DesktopHost::OpenProgress(const std::string& caption,
                                                       ProgressOwner owner)
{
    if (owner == ProgressOwner::ToolDialog) return std::make_unique<DialogBarProgress>(nullptr, *this);
    // Owned by the open modal dialog so that its Cancel button stays usable.
    return std::make_unique<CProgressWindow>(WindowParent(), ToQt(caption), false);
}

void DesktopHost::OpenInViewer(ViewerKind kind, const std::string& pathOrAddress)
{
    static const std::string kNoViewer = "No program to display ";
    static const std::string kNoViewerResult = " was found; the file was written.";
    static const std::string kNoViewerDocument = " was found.";
    static const std::string kNoBrowser = "No web browser to open ";
    const QString target = Unquoted(pathOrAddress);
    if (kind == ViewerKind::Picture && m_pictureViewer && m_pictureViewer(ToEngine(target))) return;
    const bool web = kind == ViewerKind::Web;
    if (QDesktopServices::openUrl(web ? QUrl(target) : QUrl::fromLocalFile(target))) return;
    const std::string shown = ToEngine(target);
    if (web) {
        ShowMessage(kNoBrowser + shown + kNoViewerDocument);
    } else {
        ShowMessage(kNoViewer + shown +
                    (kind == ViewerKind::Pdf ? kNoViewerDocument : kNoViewerResult));
    }
}

void DesktopHost::SetBusyCursor(bool on)
{
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

}  // namespace lumesta
