// The main window's File commands: the log document's title, new, open, save and print.

#include <QFileDialog>
#include <QFileInfo>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>

#include "desktop/main_frame.h"
#include "ui/file_chooser.h"

namespace lumesta {
namespace {

const char kLogFilter[] = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";

}  // namespace

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

}  // namespace lumesta
