#include "desktop/viewer/image_drops.h"

#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

#include "desktop/viewer/viewer_dock.h"

namespace lumesta {
namespace {

class DropForwarder : public QObject {
public:
    DropForwarder(QObject* parent, ViewerDock& viewer) : QObject(parent), m_viewer(viewer) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (ImagePaths(drag->mimeData()).isEmpty()) return QObject::eventFilter(watched, event);
            drag->acceptProposedAction();
            return true;
        }
        if (event->type() == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(event);
            const QStringList paths = ImagePaths(drop->mimeData());
            if (paths.isEmpty()) return QObject::eventFilter(watched, event);
            drop->acceptProposedAction();
            m_viewer.OpenPaths(paths);
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    ViewerDock& m_viewer;
};

}  // namespace

QStringList ImagePaths(const QMimeData* data)
{
    QStringList paths;
    if (!data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        const QString path = url.toLocalFile();
        if (url.isLocalFile() && !path.endsWith(".txt", Qt::CaseInsensitive)) paths << path;
    }
    return paths;
}

void ForwardImageDrops(QWidget* target, ViewerDock& viewer)
{
    target->setAcceptDrops(true);
    target->installEventFilter(new DropForwarder(target, viewer));
}

}  // namespace lumesta
