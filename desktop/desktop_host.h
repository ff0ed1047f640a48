#pragma once
// The desktop program's host: message boxes, questions, the log view, event pumping, progress
// windows, the desktop's default viewers and the busy cursor.

#include <QElapsedTimer>
#include <functional>
#include <memory>
#include <string>

#include "desktop/prompts.h"
#include "core/host.h"

class QWidget;

namespace lumesta {

class LogView;

class DesktopHost : public Host {
public:
    DesktopHost(LogView& view, QWidget& mainWindow);

    void ShowMessage(const std::string& text) override;
    void WriteErrorStream(const std::string& text) override;
    bool AskYesNo(const std::string& question) override;
    // Appends at the end of the log view, caret at the end, no undo record.
    void AppendLog(const std::string& bytes) override;
    // Lets waiting events be handled (at most every few milliseconds: some runs pump per row).
    void PumpPendingMessages() override;
    // Runs without a progress window cannot be cancelled on the desktop.
    bool IsCancelled() const override { return false; }
    // ProgressOwner::Window opens a CProgressWindow above the open tool dialog (or the main
    // window); a tool dialog's own bar is provided by the dialog, so here it shows nowhere.
    std::unique_ptr<RunProgress> OpenProgress(const std::string& caption,
                                              ProgressOwner owner) override;
    // Pictures go to the built-in viewer when one is set (and takes them); anything else opens
    // with the desktop's default program. When none can be started, says so: "No program to
    // display <path> was found; the file was written." (a result), "No program to display
    // <path> was found." (a document), "No web browser to open <address> was found.".
    void OpenInViewer(ViewerKind kind, const std::string& pathOrAddress) override;
    // The built-in picture viewer: true when it showed the file.
    void SetPictureViewer(std::function<bool(const std::string&)> viewer) { m_pictureViewer = std::move(viewer); }
    void SetBusyCursor(bool on) override;

    // Puts other boxes in place of the real ones (the tests answer through these).
    void SetPrompts(std::unique_ptr<Prompts> prompts) { m_prompts = std::move(prompts); }
    Prompts& GetPrompts() { return *m_prompts; }
    // The window the boxes belong to: a progress window while one shows (it stays on top, and a
    // box beneath it would hide its buttons), else WindowParent().
    QWidget* BoxParent() const;
    // The open modal dialog, else the open tool dialog, else the main window.
    QWidget* WindowParent() const;
    // The open tool dialog (not modal, so that the main window stays usable during a run).
    void SetToolWindow(QWidget* window) { m_toolWindow = window; }

private:
    LogView& m_view;
    QWidget& m_mainWindow;
    QWidget* m_toolWindow = nullptr;
    std::unique_ptr<Prompts> m_prompts;
    QElapsedTimer m_sincePump;
    std::function<bool(const std::string&)> m_pictureViewer;
};

}  // namespace lumesta
