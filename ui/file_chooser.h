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
QString ChooseFileToOpen(QWidget* parent, const QString& filterText);

// A save-file chooser starting with initialName; a name typed without extension gets
// defaultSuffix. The chosen path, or an empty text when cancelled.
QString ChooseFileToSave(QWidget* parent, const QString& filterText, const QString& defaultSuffix,
                         const QString& initialName);

}  // namespace lumesta
