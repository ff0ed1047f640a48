#include "desktop/viewer/image_drops.h"

#include <QDropEvent>
#include <QMimeData>
#include <QWidget>
#include <utility>

namespace lumesta {
namespace {

class DropForwarder : public QObject {
public:
    DropForwarder(QObject* parent, std::function<void(const QStringList&)> open)
        : QObject(parent), m_open(std::move(open))
    {
    }

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
            m_open(paths);
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(const QStringList&)> m_open;
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

void ForwardImageDrops(QWidget* target, std::function<void(const QStringList&)> open)
{
    target->setAcceptDrops(true);
    target->installEventFilter(new DropForwarder(target, std::move(open)));
}

}  // namespace lumesta
