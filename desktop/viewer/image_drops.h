#pragma once
// Image files dropped on the program: on the viewer, or on the log (where they would otherwise
// become text), they open in the viewer. Logs (.txt) are left to the log.

#include <QStringList>
#include <functional>

class QMimeData;
class QWidget;

namespace lumesta {

// The dropped local files that are not logs.
QStringList ImagePaths(const QMimeData* data);

// Hands image files dropped on target to open (the viewer's); other drops are left to target.
void ForwardImageDrops(QWidget* target, std::function<void(const QStringList&)> open);

}  // namespace lumesta
