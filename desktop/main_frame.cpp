#include "desktop/main_frame.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QScreen>
#include <QStatusBar>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>

#include "desktop/about_dialog.h"
#include "desktop/history_panel.h"
#include "desktop/icons.h"
#include "desktop/lock_keys.h"
#include "desktop/run_results.h"
#include "desktop/tool_dialogs.h"
#include "desktop/user_guide.h"
#include "desktop/viewer/image_drops.h"
#include "desktop/viewer/run_viewer.h"
#include "desktop/viewer/viewer_dock.h"
#include "desktop/viewer/viewer_prompts.h"
#include "ui/file_chooser.h"
#include "ui/pansharpen_dialog.h"
#include "ui/text.h"
#include "ui/tool_run_guard.h"

namespace lumesta {

const char kFrameTitle[] = "Lumesta: An Advanced Image Fusion Tool";

namespace {

const char kIdleText[] = "Ready";
constexpr double kFrameWidthShare = 0.5882352941176471;
constexpr int kLockPollMs = 250;
constexpr int kHistoryHeight = 150;

// A menu command: its text (mnemonic and shown accelerator included), its status-bar prompt
// and toolbar tip, and its keys.
QAction* AddCommand(QMenu* menu, const char* text, const char* prompt, const char* tip,
                    const QList<QKeySequence>& keys = {})
{
    QAction* action = menu->addAction(QString(text));
    action->setStatusTip(prompt);
    if (tip) action->setToolTip(tip);
    action->setShortcuts(keys);
    return action;
}

const char kLogFilter[] = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";

const char kCancelRunToClose[] = "A run is going on. Cancel it and close Lumesta?";

// The one local file of a drop, or an empty text.
QString DroppedFile(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1) return QString();
    const QUrl url = data->urls().first();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

}  // namespace

MainFrame::MainFrame() : m_view(new LogView(this)), m_document(*m_view)
{
    m_host = std::make_unique<DesktopHost>(*m_view, *this);
    setCentralWidget(m_view);
    setAcceptDrops(true);
    connect(m_view->document(), &QTextDocument::modificationChanged, this, [this] { UpdateTitle(); });
    ToolRunGuard::SetRunStateListener([this](bool running) { ShowRunState(running); });
    setWindowIcon(AppIcon());
    m_recent.Load();

    CreateFileMenu();
    CreateEditMenu();
    CreateToolMenus();
    CreateViewMenu();
    CreateHelpMenu();
    CreateToolBar();
    CreateStatusBar();
    CreateViewer();
    CreateHistory();
    PlaceOnScreen();
    m_document.NewDocument();
    UpdateTitle();
}

MainFrame::~MainFrame()
{
    ToolRunGuard::SetRunStateListener(nullptr);
    JobMemory::SetHistoryListener(nullptr);
}

void MainFrame::UpdateTitle()
{
    setWindowTitle(QString(kFrameTitle) + " - " + DocumentTitle() +
                   (m_document.IsModified() ? " *" : ""));
}

// Half the screen's height, 10/17 of its width, a quarter of the height from the top and a
// fifth of the width from the left.
void MainFrame::PlaceOnScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->geometry();
    const int height = area.height() / 2;
    const int width = static_cast<int>(area.width() * kFrameWidthShare);
    resize(width, height);
    move(area.left() + width / 5, area.top() + height / 4);
}

void MainFrame::CreateFileMenu()
{
    m_fileMenu = menuBar()->addMenu("&File");
    QMenu* menu = m_fileMenu;
    m_newAction = AddCommand(menu, "&New\tCtrl+N", "Create a new document", "New",
                             {QKeySequence("Ctrl+N")});
    m_openAction = AddCommand(menu, "&Open...\tCtrl+O", "Open an existing document", "Open",
                              {QKeySequence("Ctrl+O")});
    QAction* openImage = AddCommand(menu, "Open &Image...",
                                    "Show an image in the viewer beside the log", "Open Image");
    connect(openImage, &QAction::triggered, this, [this] { OnOpenImage(); });
    m_saveAction = AddCommand(menu, "&Save\tCtrl+S", "Save the active document", "Save",
                              {QKeySequence("Ctrl+S")});
    QAction* saveAs = AddCommand(menu, "Save &As...", "Save the active document with a new name",
                                 "Save As");
    menu->addSeparator();
    m_printAction = AddCommand(menu, "&Print...\tCtrl+P", "Print the active document", "Print",
                               {QKeySequence("Ctrl+P")});
    QAction* preview = AddCommand(menu, "Print Pre&view", "Display full pages", "Print Preview");
    QAction* setup = AddCommand(menu, "P&rint Setup...", "Change the printer and printing options",
                                "Print Setup");
    menu->addSeparator();
    m_recentAnchor = menu->addSeparator();
    QAction* exit = AddCommand(menu, "E&xit", "Quit the application; prompts to save documents",
                               "Exit");

    connect(m_newAction, &QAction::triggered, this, [this] { OnFileNew(); });
    connect(m_openAction, &QAction::triggered, this, [this] { OnFileOpen(); });
    connect(m_saveAction, &QAction::triggered, this, [this] { OnFileSave(); });
    connect(saveAs, &QAction::triggered, this, [this] { OnFileSaveAs(); });
    connect(m_printAction, &QAction::triggered, this, [this] { OnFilePrint(); });
    connect(preview, &QAction::triggered, this, [this] { OnFilePrintPreview(); });
    connect(setup, &QAction::triggered, this, [this] { OnFilePrintSetup(); });
    connect(exit, &QAction::triggered, this, &QWidget::close);
    RebuildRecentFiles();
}

// The recent files stand between the print commands and Exit; with none, a disabled
// "Recent File" holds their place.
void MainFrame::RebuildRecentFiles()
{
    for (QAction* action : m_recentActions) {
        m_fileMenu->removeAction(action);
        delete action;
    }
    m_recentActions.clear();
    if (m_recent.Paths().isEmpty()) {
        auto* placeholder = new QAction("Recent File", m_fileMenu);
        placeholder->setEnabled(false);
        m_fileMenu->insertAction(m_recentAnchor, placeholder);
        m_recentActions << placeholder;
        return;
    }
    for (int index = 0; index < m_recent.Paths().size(); ++index) {
        auto* action = new QAction(m_recent.MenuText(index), m_fileMenu);
        action->setStatusTip("Open this document");
        const QString path = m_recent.Paths()[index];
        connect(action, &QAction::triggered, this, [this, path] {
            if (SaveModified()) OpenFile(path);
        });
        m_fileMenu->insertAction(m_recentAnchor, action);
        m_recentActions << action;
    }
}

void MainFrame::CreateEditMenu()
{
    QMenu* menu = menuBar()->addMenu("&Edit");
    QAction* undo = AddCommand(menu, "&Undo\tCtrl+Z", "Undo the last action", "Undo",
                               {QKeySequence("Ctrl+Z"), QKeySequence("Alt+Backspace")});
    menu->addSeparator();
    m_cutAction = AddCommand(menu, "Cu&t\tCtrl+X", "Cut the selection and put it on the Clipboard",
                             "Cut", {QKeySequence("Ctrl+X"), QKeySequence("Shift+Del")});
    m_copyAction = AddCommand(menu, "&Copy\tCtrl+C",
                              "Copy the selection and put it on the Clipboard", "Copy",
                              {QKeySequence("Ctrl+C"), QKeySequence("Ctrl+Ins")});
    m_pasteAction = AddCommand(menu, "&Paste\tCtrl+V", "Insert Clipboard contents", "Paste",
                               {QKeySequence("Ctrl+V"), QKeySequence("Shift+Ins")});

    connect(undo, &QAction::triggered, m_view, &QPlainTextEdit::undo);
    connect(m_cutAction, &QAction::triggered, m_view, &QPlainTextEdit::cut);
    connect(m_copyAction, &QAction::triggered, m_view, &QPlainTextEdit::copy);
    connect(m_pasteAction, &QAction::triggered, m_view, &QPlainTextEdit::paste);
    undo->setEnabled(false);
    m_cutAction->setEnabled(false);
    m_copyAction->setEnabled(false);
    connect(m_view, &QPlainTextEdit::undoAvailable, undo, &QAction::setEnabled);
    connect(m_view, &QPlainTextEdit::copyAvailable, m_cutAction, &QAction::setEnabled);
    connect(m_view, &QPlainTextEdit::copyAvailable, m_copyAction, &QAction::setEnabled);
    const auto updatePaste = [this] { m_pasteAction->setEnabled(m_view->canPaste()); };
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, updatePaste);
    updatePaste();

    // F6 and Shift+F6 move between panes; the log has one, so they have nothing to do.
    auto* nextPane = new QAction(this);
    nextPane->setShortcut(QKeySequence("F6"));
    auto* previousPane = new QAction(this);
    previousPane->setShortcut(QKeySequence("Shift+F6"));
    addAction(nextPane);
    addAction(previousPane);
}

void MainFrame::CreateToolMenus()
{
    for (const ToolMenu& toolMenu : ToolMenus()) {
        QMenu* menu = menuBar()->addMenu(toolMenu.title);
        for (const ToolMenuItem& item : toolMenu.items) {
            if (item.dialog == ToolDialogKind::Separator) {
                menu->addSeparator();
                continue;
            }
            QAction* action = AddCommand(menu, item.text, item.prompt, nullptr);
            action->setEnabled(IsToolAvailable(item.dialog));
            const ToolDialogKind dialog = item.dialog;
            const char* sensor = item.sensor;
            connect(action, &QAction::triggered, this,
                    [this, dialog, sensor] { OnToolCommand(dialog, sensor); });
        }
    }
}

void MainFrame::CreateViewMenu()
{
    QMenu* menu = menuBar()->addMenu("&View");
    m_viewMenu = menu;
    QAction* toolBar = AddCommand(menu, "&Toolbar", "Show or hide the toolbar", "Toggle ToolBar");
    QAction* statusLine =
        AddCommand(menu, "&Status Bar", "Show or hide the status bar", "Toggle StatusBar");
    toolBar->setCheckable(true);
    toolBar->setChecked(true);
    statusLine->setCheckable(true);
    statusLine->setChecked(true);
    // The viewer closed with its title bar button comes back from here.
    QAction* viewer = AddCommand(menu, "&Image Viewer", "Show or hide the image viewer",
                                 "Toggle Image Viewer");
    viewer->setCheckable(true);
    viewer->setChecked(false);
    connect(toolBar, &QAction::toggled, this, [this](bool on) { m_toolBar->setVisible(on); });
    connect(statusLine, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });
    connect(viewer, &QAction::triggered, this, [this, viewer] {
        const bool show = m_viewer->isHidden();
        m_viewer->setVisible(show);
        viewer->setChecked(show);
        if (show) m_viewer->raise();
    });
    // The toolbar can also be closed while floating: keep the check marks true to them.
    connect(menu, &QMenu::aboutToShow, this, [this, toolBar, statusLine, viewer] {
        toolBar->setChecked(m_toolBar->isVisible());
        statusLine->setChecked(statusBar()->isVisible());
        viewer->setChecked(m_viewer->isVisible());
    });
}

void MainFrame::CreateHelpMenu()
{
    QMenu* menu = menuBar()->addMenu("&Help");
    m_aboutAction = AddCommand(menu, "&About Lumesta...",
                               "Display program information, version number and copyright",
                               "About");
    menu->addSeparator();
    QAction* guide =
        AddCommand(menu, "&User Guide", "Display Lumesta User Guide in PDF Format", nullptr);
    menu->addSeparator();
    QMenu* sources = menu->addMenu("Image &Sources");
    for (const ImageSource& source : ImageSources()) {
        if (!source.text) {
            sources->addSeparator();
            continue;
        }
        QAction* action = AddCommand(sources, source.text,
                                     qPrintable(QString("Go to ") + source.address), nullptr);
        const char* address = source.address;
        connect(action, &QAction::triggered, this, [this, address] { OnImageSource(address); });
    }
    connect(m_aboutAction, &QAction::triggered, this, [this] { OnAbout(); });
    connect(guide, &QAction::triggered, this, [this] { OnUserGuide(); });
}

void MainFrame::CreateToolBar()
{
    m_toolBar = new QToolBar("Standard", this);
    m_toolBar->setObjectName("StandardToolBar");
    m_toolBar->setMovable(true);
    m_toolBar->setFloatable(true);
    m_toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_toolBar->setIconSize(QSize(16, 16));
    m_newAction->setIcon(ToolbarIcon(ToolbarPicture::New));
    m_openAction->setIcon(ToolbarIcon(ToolbarPicture::Open));
    m_saveAction->setIcon(ToolbarIcon(ToolbarPicture::Save));
    m_cutAction->setIcon(ToolbarIcon(ToolbarPicture::Cut));
    m_copyAction->setIcon(ToolbarIcon(ToolbarPicture::Copy));
    m_pasteAction->setIcon(ToolbarIcon(ToolbarPicture::Paste));
    m_printAction->setIcon(ToolbarIcon(ToolbarPicture::Print));
    m_aboutAction->setIcon(ToolbarIcon(ToolbarPicture::About));
    m_toolBar->addActions({m_newAction, m_openAction, m_saveAction});
    m_toolBar->addSeparator();
    m_toolBar->addActions({m_cutAction, m_copyAction, m_pasteAction});
    m_toolBar->addSeparator();
    m_toolBar->addAction(m_printAction);
    m_toolBar->addSeparator();
    m_toolBar->addAction(m_aboutAction);
    addToolBar(Qt::TopToolBarArea, m_toolBar);
}

void MainFrame::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    const auto makeIndicator = [bar](const char* text) {
        auto* indicator = new QLabel(bar);
        indicator->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        indicator->setAlignment(Qt::AlignCenter);
        indicator->setMinimumWidth(indicator->fontMetrics().horizontalAdvance(text) + 12);
        indicator->setProperty("indicatorText", QString(text));
        bar->addPermanentWidget(indicator);
        return indicator;
    };
    m_capsIndicator = makeIndicator("CAP");
    m_numIndicator = makeIndicator("NUM");
    m_scrollIndicator = makeIndicator("SCRL");
    // Between prompts the message pane shows the idle text.
    connect(bar, &QStatusBar::messageChanged, this, [bar](const QString& message) {
        if (message.isEmpty()) bar->showMessage(kIdleText);
    });
    bar->showMessage(kIdleText);
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this] { UpdateLockIndicators(); });
    poll->start(kLockPollMs);
    UpdateLockIndicators();
}

// The viewer docks beside the log (which stays the main document), hidden until an image is
// shown; run pictures come to it instead of an outside program.
void MainFrame::CreateViewer()
{
    m_viewer = new ViewerDock(this);
    addDockWidget(Qt::RightDockWidgetArea, m_viewer);
    m_viewer->hide();
    // The first time the viewer appears it takes three fifths of the width; the log keeps the
    // rest (the dock's own size hint would leave the log a sliver).
    connect(m_viewer, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (!visible || m_viewerPlaced || m_viewer->isFloating()) return;
        m_viewerPlaced = true;
        resizeDocks({m_viewer}, {width() * 3 / 5}, Qt::Horizontal);
    });
    // Permanent, or the idle text of the message pane would hide it.
    statusBar()->insertPermanentWidget(0, m_viewer->Readout());
    ForwardImageDrops(m_view->viewport(),
                      [this](const QStringList& paths) { m_viewer->OpenPaths(paths); });
    m_host->SetPictureViewer([this](const std::string& path) { return m_viewer->OpenPath(ToQt(path)); });
}

// The History docks below the log (the viewer keeps the window's whole height), a few rows
// high, with the View menu's "History" to show or hide it.
void MainFrame::CreateHistory()
{
    m_history = new HistoryPanel(this);
    setCorner(Qt::BottomRightCorner, Qt::RightDockWidgetArea);
    addDockWidget(Qt::BottomDockWidgetArea, m_history);
    resizeDocks({m_history}, {kHistoryHeight}, Qt::Vertical);
    QAction* toggle = m_history->toggleViewAction();
    toggle->setText("&History");
    toggle->setStatusTip("Show or hide the History of runs");
    m_viewMenu->addAction(toggle);
    m_history->SetActions([this](const JobCommand& command) { RunAgain(command); },
                          [this](const JobCommand& command) { ShowResult(command); });
    JobMemory::SetHistoryListener([this](const RunRecord& record) { m_history->Add(record); });
}

void MainFrame::OnOpenImage()
{
    const QString path = ChooseImageToView(this);
    if (!path.isEmpty()) m_viewer->OpenPath(path);
}

// An indicator shows its text while its lock key is on and stays blank otherwise.
void MainFrame::UpdateLockIndicators()
{
    const LockKeys keys = QueryLockKeys();
    const std::pair<QLabel*, bool> indicators[] = {
        {m_capsIndicator, keys.caps}, {m_numIndicator, keys.num}, {m_scrollIndicator, keys.scroll}};
    for (const auto& [label, on] : indicators) {
        label->setText(on ? label->property("indicatorText").toString() : QString());
    }
}

void MainFrame::OnAbout()
{
    AboutDialog about(this);
    about.exec();
}

void MainFrame::OnUserGuide()
{
    const QStringList places = UserGuidePlaces(m_document.ProgramFolder());
    const QString path = FindUserGuide(places);
    if (path.isEmpty()) {
        m_host->ShowMessage(ToEngine(NoUserGuideText(places)));
        return;
    }
    m_host->OpenInViewer(ViewerKind::Pdf, ToEngine(path));
}

void MainFrame::OnImageSource(const char* address)
{
    m_host->OpenInViewer(ViewerKind::Web, address);
}

// The File commands: the log document's title, new, open, save and print.

QString MainFrame::DocumentTitle() const
{
    return m_document.FilePath().isEmpty() ? QString("Untitled")
                                           : QFileInfo(m_document.FilePath()).fileName();
}

bool MainFrame::SaveModified()
{
    if (!m_document.IsModified()) return true;
    switch (m_host->GetPrompts().AskYesNoCancel(this, "Save changes to " + DocumentTitle() + "?")) {
        case QMessageBox::Yes:
            return OnFileSave();
        case QMessageBox::No:
            return true;
        default:
            return false;
    }
}

void MainFrame::OnFileNew()
{
    if (m_toolOpen || !SaveModified()) return;
    m_document.NewDocument();
    UpdateTitle();
}

void MainFrame::OnFileOpen()
{
    if (m_toolOpen || !SaveModified()) return;
    QFileDialog chooser(this, "Open");
    chooser.setAcceptMode(QFileDialog::AcceptOpen);
    chooser.setFileMode(QFileDialog::ExistingFile);
    chooser.setOption(QFileDialog::HideNameFilterDetails);
    chooser.setNameFilters(ChooserFilters(kLogFilter));
    if (chooser.exec() == QDialog::Accepted && !chooser.selectedFiles().isEmpty()) {
        OpenFile(chooser.selectedFiles().first());
    }
}

bool MainFrame::OpenFile(const QString& path)
{
    static const char kCannotOpen[] = "Failed to open document.";
    if (!m_document.OpenDocument(path)) {
        m_recent.Remove(path);
        m_recent.Save();
        RebuildRecentFiles();
        m_host->ShowMessage(kCannotOpen);
        return false;
    }
    m_recent.Add(path);
    m_recent.Save();
    RebuildRecentFiles();
    UpdateTitle();
    return true;
}

bool MainFrame::OnFileSave()
{
    if (m_document.FilePath().isEmpty()) return OnFileSaveAs();
    return SaveFile(m_document.FilePath());
}

bool MainFrame::OnFileSaveAs()
{
    const QString initial =
        m_document.FilePath().isEmpty() ? QString("Untitled.txt") : m_document.FilePath();
    const QString path = ChooseFileToSave(this, kLogFilter, "txt", initial);
    return !path.isEmpty() && SaveFile(path);
}

bool MainFrame::SaveFile(const QString& path)
{
    static const char kCannotSave[] = "Failed to save document.";
    if (!m_document.SaveDocument(path)) {
        m_host->ShowMessage(kCannotSave);
        return false;
    }
    m_recent.Add(path);
    m_recent.Save();
    RebuildRecentFiles();
    UpdateTitle();
    return true;
}

void MainFrame::OnFilePrint()
{
    QPrintDialog dialog(&m_printer, this);
    if (dialog.exec() == QDialog::Accepted) m_view->print(&m_printer);
}

void MainFrame::OnFilePrintPreview()
{
    QPrintPreviewDialog preview(&m_printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* printer) { m_view->print(printer); });
    preview.exec();
}

void MainFrame::OnFilePrintSetup()
{
    QPageSetupDialog setup(&m_printer, this);
    setup.exec();
}


// The tool dialogs: opening them, the run state, closing during a run and files dropped on the
// window.

std::unique_ptr<ToolDialog> MainFrame::MakeDialog(ToolDialogKind dialog, const char* sensor)
{
    auto tool = MakeToolDialog(dialog, m_document.Counters(), *m_host, this, sensor,
                               [this](const RunImages& images) { m_viewer->ShowRun(images); });
    if (auto* pan = dynamic_cast<PanSharpenDialog*>(tool.get())) {
        pan->SetAlignmentViewer(
            [this](const AlignmentArrows& alignment) { m_viewer->ShowAlignment(alignment); });
    }
    return tool;
}

void MainFrame::OnToolCommand(ToolDialogKind dialog, const char* sensor)
{
    if (m_toolOpen) return;
    const std::unique_ptr<ToolDialog> tool = MakeDialog(dialog, sensor);
    if (!tool) return;
    if (const auto last = JobMemory::LastJob(tool->Command().DialogKey())) tool->Restore(*last);
    if (auto* pan = dynamic_cast<PanSharpenDialog*>(tool.get()); pan && sensor)
        pan->ChooseSensor(sensor);
    RunToolDialog(*tool);
}

void MainFrame::RunAgain(const JobCommand& command)
{
    if (m_toolOpen) return;
    const std::unique_ptr<ToolDialog> tool =
        MakeDialog(DialogOfTool(ToEngine(command.DialogKey())), nullptr);
    if (!tool) return;
    tool->Restore(command);
    RunToolDialog(*tool);
}

void MainFrame::ShowResult(const JobCommand& command)
{
    static const char kNoResult[] = "The results of this run are not there any more.";
    const std::unique_ptr<ToolDialog> tool =
        MakeDialog(DialogOfTool(ToEngine(command.DialogKey())), nullptr);
    if (!tool) return;
    tool->Restore(command);
    if (!ShowRunResult(*tool, *m_viewer, *m_host)) m_host->ShowMessage(kNoResult);
}

void MainFrame::OpenToolWith(const QString& path)
{
    if (m_toolOpen || path.isEmpty()) return;
    PanSharpenDialog tool(m_document.Counters(), *m_host, this);
    tool.OnPanChosen(path);
    RunToolDialog(tool);
}

// The dialog is not modal: the log must stay scrollable and the window closable during a run.
// The menus and the toolbar stand in for the modality while it is open.
void MainFrame::RunToolDialog(QDialog& tool)
{
    m_toolOpen = true;
    m_toolWindow = &tool;
    m_host->SetToolWindow(&tool);
    menuBar()->setEnabled(false);
    m_toolBar->setEnabled(false);
    m_history->SetRunAgainEnabled(false);

    QEventLoop loop;
    connect(&tool, &QDialog::finished, &loop, &QEventLoop::quit);
    tool.show();
    loop.exec();

    menuBar()->setEnabled(true);
    m_toolBar->setEnabled(true);
    m_history->SetRunAgainEnabled(true);
    if (tool.result() == QDialog::Accepted && !m_closeAfterTool) ShowRunInViewer(*m_viewer, tool);
    m_host->SetToolWindow(nullptr);
    m_toolWindow = nullptr;
    m_toolOpen = false;
    if (m_closeAfterTool) {
        m_closeAfterTool = false;
        QTimer::singleShot(0, this, [this] { close(); });
    }
}

void MainFrame::ShowRunState(bool running)
{
    m_view->setReadOnly(running);
    // A run cancelled for closing the window may still have stopped on a message: its dialog
    // closes all the same.
    if (!running && m_closeAfterTool && m_toolWindow) {
        QDialog* tool = m_toolWindow;
        QTimer::singleShot(0, tool, [tool] {
            if (tool->isVisible()) tool->reject();
        });
    }
}

bool MainFrame::CancelRunForClose()
{
    ToolRunGuard* run = ToolRunGuard::Active();
    if (!run) return true;
    if (m_host->AskYesNo(kCancelRunToClose)) {
        // The dialog closes once the run has cleaned up; then the window closes (see
        // RunToolDialog).
        run->Cancel();
        m_closeAfterTool = true;
    }
    return false;
}

void MainFrame::closeEvent(QCloseEvent* event)
{
    if (!CancelRunForClose()) {
        event->ignore();
        return;
    }
    if (m_toolOpen) {
        // An idle tool dialog closes with the window.
        m_closeAfterTool = true;
        m_toolWindow->reject();
        event->ignore();
        return;
    }
    if (!SaveModified()) {
        event->ignore();
        return;
    }
    m_recent.Save();
    event->accept();
}

void MainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (!m_toolOpen && !DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainFrame::dropEvent(QDropEvent* event)
{
    const QString path = DroppedFile(event->mimeData());
    if (m_toolOpen || path.isEmpty()) return;
    event->acceptProposedAction();
    // The tool dialog runs its own event loop: open it once the drop is over.
    QTimer::singleShot(0, this, [this, path] { OpenToolWith(path); });
}

}  // namespace lumesta
