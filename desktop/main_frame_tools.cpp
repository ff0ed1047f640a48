// The main window's side of the tool dialogs: opening them, the run state, closing during a run
// and files dropped on the window.

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QMenuBar>
#include <QMimeData>
#include <QTimer>
#include <QToolBar>

#include "desktop/history_panel.h"
#include "desktop/main_frame.h"
#include "desktop/run_results.h"
#include "desktop/viewer/run_viewer.h"
#include "desktop/viewer/viewer_dock.h"
#include "ui/combine_dialog.h"
#include "ui/etm_dialog.h"
#include "ui/haar_dialog.h"
#include "ui/image_stats_dialog.h"
#include "ui/pansharpen_dialog.h"
#include "ui/quality_dialog.h"
#include "ui/semivariance_dialog.h"
#include "ui/text.h"
#include "ui/tool_run_guard.h"

namespace lumesta {
namespace {

const char kCancelRunToClose[] = "A run is going on. Cancel it and close Lumesta?";

// The one local file of a drop, or an empty text.
QString DroppedFile(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1) return QString();
    const QUrl url = data->urls().first();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

}  // namespace

std::unique_ptr<ToolDialog> MainFrame::MakeToolDialog(ToolDialogKind dialog, const char* sensor)
{
    RunCounters& counters = m_document.Counters();
    switch (dialog) {
        case ToolDialogKind::BandCombination16:
            return std::make_unique<CBandCombination16Dlg>(counters, *m_host, this);
        case ToolDialogKind::BandCombination8:
            return std::make_unique<CBandCombination8Dlg>(counters, *m_host, this);
        case ToolDialogKind::PanSharpen16:
            return std::make_unique<PanSharpenDialog>(counters, *m_host, this,
                                                      sensor ? sensor : "generic");
        case ToolDialogKind::PanSharpenEtm:
            return std::make_unique<EtmDialog>(counters, *m_host, this);
        case ToolDialogKind::Semivariance:
            return std::make_unique<CSemivarianceDlg>(counters, *m_host, this);
        case ToolDialogKind::ImageStatistics:
            return std::make_unique<CImageStatsDlg>(counters, *m_host, this);
        case ToolDialogKind::HaarWavelet:
            return std::make_unique<CHaarWaveletDlg>(counters, *m_host, this);
        case ToolDialogKind::FusionQuality: {
            auto quality = std::make_unique<FusionQualityDialog>(counters, *m_host, this);
            quality->SetResultViewer(
                [this](const RunImages& images) { m_viewer->ShowRun(images); });
            return quality;
        }
        default:
            return nullptr;
    }
}

void MainFrame::OnToolCommand(ToolDialogKind dialog, const char* sensor)
{
    if (m_toolOpen) return;
    const std::unique_ptr<ToolDialog> tool = MakeToolDialog(dialog, sensor);
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
        MakeToolDialog(DialogOfTool(ToEngine(command.DialogKey())), nullptr);
    if (!tool) return;
    tool->Restore(command);
    RunToolDialog(*tool);
}

void MainFrame::ShowResult(const JobCommand& command)
{
    static const char kNoResult[] = "The results of this run are not there any more.";
    const std::unique_ptr<ToolDialog> tool =
        MakeToolDialog(DialogOfTool(ToEngine(command.DialogKey())), nullptr);
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
