#pragma once
// The file choosers of the tool dialogs. Filters are written as the tools name them,
// "Description|patterns|Description|patterns||", and shown with those descriptions.

#include <QString>
#include <QStringList>

class QWidget;

namespace lumesta {

// The chooser's filter list for a "Description|patterns|...||" text; "*.*" matches every name.
QStringList ChooserFilters(const QString& filterText);

// An open-file chooser titled "Open File"; the chosen path, or an empty text when cancelled.
// It opens at current (its folder, with its name selected) when that folder exists, else in
// the folder last chosen under tool (kept in the settings across sessions); a choice is kept
// as tool's folder.
QString ChooseFileToOpen(QWidget* parent, const QString& filterText,
                         const QString& current = QString(), const QString& tool = QString());

// A save-file chooser starting with initialName, placed as ChooseFileToOpen places current; a
// name typed without extension gets defaultSuffix. The chosen path, or an empty text when
// cancelled. Nothing is created.
QString ChooseFileToSave(QWidget* parent, const QString& filterText, const QString& defaultSuffix,
                         const QString& initialName, const QString& tool = QString());

}  // namespace lumesta
