#pragma once
// The main window: the log view, the menus of every command, the toolbar and the status bar.
// Tool commands open their dialog with the log document's counters; the window stays usable.

#include <QMainWindow>
#include <QPrinter>
#include <memory>

#include "desktop/command_table.h"
#include "desktop/desktop_host.h"
#include "desktop/log_document.h"
#include "desktop/log_view.h"
#include "desktop/recent_files.h"

class QDialog;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QMenu;

namespace lumesta {

class HistoryPanel;
class ToolDialog;
class ViewerDock;
struct JobCommand;

class MainFrame : public QMainWindow {
public:
    MainFrame();
    ~MainFrame() override;

    LogDocument& Document() { return m_document; }
    LogView& View() { return *m_view; }
    DesktopHost& Host() { return *m_host; }
    RecentFileList& RecentFiles() { return m_recent; }
    ViewerDock& Viewer() { return *m_viewer; }

    void OnFileNew();
    void OnFileOpen();
    // File > Open Image...: shows an image in the viewer beside the log.
    void OnOpenImage();
    bool OnFileSave();
    bool OnFileSaveAs();
    void OnFilePrint();
    void OnFilePrintPreview();
    void OnFilePrintSetup();
    void OnAbout();
    // Opens "User_Guide.pdf" (installed in share/lumesta, or beside the program in a build
    // folder) in the desktop's PDF reader, or explains where it looked.
    void OnUserGuide();
    void OnImageSource(const char* address);
    // Opens the tool's dialog; only the dialogs that exist are reachable. While it is open the
    // menus and the toolbar are disabled; while its run goes the log cannot be edited, but the
    // window repaints, scrolls and can be closed (which asks to cancel the run first).
    // The dialog opens with its last run's job (files that are gone left out); sensor, when
    // given, replaces the job's in the 16-bit pan-sharpening dialog.
    void OnToolCommand(ToolDialogKind dialog, const char* sensor = nullptr);
    // Opens the dialog of the tool that takes path (a dropped file) with path chosen in it: a
    // batch input file or a raster goes to the 16-bit pan-sharpening dialog as its pan input.
    void OpenToolWith(const QString& path);
    // History's "Run again": the run's dialog, filled in with its job.
    void RunAgain(const JobCommand& command);
    // History's "Show result": what the run wrote, in the viewer (its picture results beside
    // their inputs) or the desktop's text viewer; a message when none of it is there.
    void ShowResult(const JobCommand& command);
    HistoryPanel& History() { return *m_history; }
    // The open tool dialog, or null.
    QDialog* ToolWindow() const { return m_toolWindow; }
    // "Lumesta: An Advanced Image Fusion Tool - " + the log's file name ("Untitled" before its
    // first save) + " *" while it has unsaved changes.
    void UpdateTitle();

    // Replaces the log with a file's text (counters kept); false after the failure message.
    bool OpenFile(const QString& path);
    // Writes the log to path; false after the failure message.
    bool SaveFile(const QString& path);
    // Before the log is replaced or the program ends: offers to save unsaved text. False when
    // the user cancels (or the save fails).
    bool SaveModified();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateFileMenu();
    void CreateEditMenu();
    void CreateToolMenus();
    void CreateViewMenu();
    void CreateHelpMenu();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateViewer();
    void RebuildRecentFiles();
    void UpdateLockIndicators();
    void PlaceOnScreen();
    QString DocumentTitle() const;
    // The tool's dialog, its results shown in this window's viewer.
    std::unique_ptr<ToolDialog> MakeDialog(ToolDialogKind dialog, const char* sensor);
    void CreateHistory();
    // Shows tool until it closes, with the menus and the toolbar disabled meanwhile.
    void RunToolDialog(QDialog& tool);
    // Locks the log's editing and the commands while a run goes.
    void ShowRunState(bool running);
    // Closing during a run: asks to cancel it; false when the window must stay.
    bool CancelRunForClose();

    LogView* m_view = nullptr;
    ViewerDock* m_viewer = nullptr;
    HistoryPanel* m_history = nullptr;
    bool m_viewerPlaced = false;
    LogDocument m_document;
    std::unique_ptr<DesktopHost> m_host;
    RecentFileList m_recent;
    QPrinter m_printer;
    bool m_toolOpen = false;
    QDialog* m_toolWindow = nullptr;
    bool m_closeAfterTool = false;

    QMenu* m_fileMenu = nullptr;
    QMenu* m_viewMenu = nullptr;
    QAction* m_recentAnchor = nullptr;
    QList<QAction*> m_recentActions;
    QToolBar* m_toolBar = nullptr;
    QAction* m_newAction = nullptr;
    QAction* m_openAction = nullptr;
    QAction* m_saveAction = nullptr;
    QAction* m_cutAction = nullptr;
    QAction* m_copyAction = nullptr;
    QAction* m_pasteAction = nullptr;
    QAction* m_printAction = nullptr;
    QAction* m_aboutAction = nullptr;
    QLabel* m_capsIndicator = nullptr;
    QLabel* m_numIndicator = nullptr;
    QLabel* m_scrollIndicator = nullptr;
};

}  // namespace lumesta
