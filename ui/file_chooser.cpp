#include "ui/file_chooser.h"

#include <QFileDialog>

namespace lumesta {
namespace {

QString RunChooser(QFileDialog& chooser)
{
    chooser.setOption(QFileDialog::HideNameFilterDetails);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return QString();
    return chooser.selectedFiles().first();
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

QString ChooseFileToOpen(QWidget* parent, const QString& filterText)
{
    QFileDialog chooser(parent, "Open File");
    chooser.setAcceptMode(QFileDialog::AcceptOpen);
    chooser.setFileMode(QFileDialog::ExistingFile);
    chooser.setNameFilters(ChooserFilters(filterText));
    return RunChooser(chooser);
}

QString ChooseFileToSave(QWidget* parent, const QString& filterText, const QString& defaultSuffix,
                         const QString& initialName)
{
    QFileDialog chooser(parent, "Save As");
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setFileMode(QFileDialog::AnyFile);
    chooser.setNameFilters(ChooserFilters(filterText));
    chooser.setDefaultSuffix(defaultSuffix);
    chooser.selectFile(initialName);
    return RunChooser(chooser);
}

}  // namespace lumesta
