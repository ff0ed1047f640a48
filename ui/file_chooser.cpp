#include "ui/file_chooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

namespace lumesta {
namespace {

QString RunChooser(QFileDialog& chooser)
{
    chooser.setOption(QFileDialog::HideNameFilterDetails);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return QString();
    return chooser.selectedFiles().first();
}

const char kFolderKeyPrefix[] = "Folders/";

QString FolderKey(const QString& tool)
{
    QString key = tool;
    key.replace('/', '_');
    return kFolderKeyPrefix + key;
}

// At the folder of current (with its name) when it exists, else at tool's last folder.
void StartAt(QFileDialog& chooser, const QString& current, const QString& tool)
{
    const QFileInfo info(current);
    if (!current.isEmpty() && info.dir().exists() && current.contains('/')) {
        chooser.setDirectory(info.absolutePath());
        chooser.selectFile(info.fileName());
        return;
    }
    if (!tool.isEmpty()) {
        const QString folder = QSettings().value(FolderKey(tool)).toString();
        if (!folder.isEmpty() && QDir(folder).exists()) chooser.setDirectory(folder);
    }
    if (!current.isEmpty()) chooser.selectFile(current);
}

QString Remembered(const QString& path, const QString& tool)
{
    if (!path.isEmpty() && !tool.isEmpty()) {
        QSettings().setValue(FolderKey(tool), QFileInfo(path).absolutePath());
    }
    return path;
}

}  // namespace

QStringList ChooserFilters(const QString& filterText)
{
    const QStringList parts = filterText.split('|', Qt::SkipEmptyParts);
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        // A name without a dot is a file too (the generic matrices often have none).
        if (patterns == "*.*") patterns = "*";
        filters << parts[i] + " (" + patterns + ")";
    }
    return filters;
}

QString ChooseFileToOpen(QWidget* parent, const QString& filterText, const QString& current,
                         const QString& tool)
{
    QFileDialog chooser(parent, "Open File");
    chooser.setAcceptMode(QFileDialog::AcceptOpen);
    chooser.setFileMode(QFileDialog::ExistingFile);
    chooser.setNameFilters(ChooserFilters(filterText));
    StartAt(chooser, current, tool);
    return Remembered(RunChooser(chooser), tool);
}

QString ChooseFileToSave(QWidget* parent, const QString& filterText, const QString& defaultSuffix,
                         const QString& initialName, const QString& tool)
{
    QFileDialog chooser(parent, "Save As");
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setFileMode(QFileDialog::AnyFile);
    // The chooser only names the file; the run asks before an existing one is replaced.
    chooser.setOption(QFileDialog::DontConfirmOverwrite);
    chooser.setNameFilters(ChooserFilters(filterText));
    chooser.setDefaultSuffix(defaultSuffix);
    StartAt(chooser, initialName, tool);
    return Remembered(RunChooser(chooser), tool);
}

}  // namespace lumesta
