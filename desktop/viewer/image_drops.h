#pragma once
// Image files dropped on the program: on the viewer, or on the log (where they would otherwise
// become text), they open in the viewer. Logs (.txt) are left to the log.

#include <QStringList>

class QMimeData;
class QWidget;

namespace lumesta {

class ViewerDock;

// The dropped local files that are not logs.
QStringList ImagePaths(const QMimeData* data);

// Lets image files dropped on target open in viewer; other drops are left to target.
void ForwardImageDrops(QWidget* target, ViewerDock& viewer);

}  // namespace lumesta
