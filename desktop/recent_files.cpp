#include "desktop/recent_files.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace lumesta {
namespace {

const char kSection[] = "Recent File List";
constexpr int kMaxShownLength = 60;

QString Key(int index)
{
    return QString(kSection) + "/File" + QString::number(index + 1);
}

bool SameFile(const QString& a, const QString& b)
{
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

}  // namespace

void RecentFileList::Load()
{
    QSettings profile;
    m_paths.clear();
    for (int index = 0; index < kSize; ++index) {
        const QString path = profile.value(Key(index)).toString();
        if (!path.isEmpty()) m_paths << path;
    }
}

void RecentFileList::Save() const
{
    QSettings profile;
    for (int index = 0; index < kSize; ++index) {
        if (index < m_paths.size()) {
            profile.setValue(Key(index), m_paths[index]);
        } else {
            profile.remove(Key(index));
        }
    }
}

void RecentFileList::Add(const QString& path)
{
    Remove(path);
    m_paths.prepend(QFileInfo(path).absoluteFilePath());
    while (m_paths.size() > kSize) m_paths.removeLast();
}

void RecentFileList::Remove(const QString& path)
{
    for (int index = m_paths.size() - 1; index >= 0; --index) {
        if (SameFile(m_paths[index], path)) m_paths.removeAt(index);
    }
}

QString RecentFileList::MenuText(int index) const
{
    QString shown = QDir::toNativeSeparators(m_paths[index]);
    if (shown.size() > kMaxShownLength) {
        const int keep = (kMaxShownLength - 3) / 2;
        shown = shown.left(keep) + "..." + shown.right(keep);
    }
    shown.replace('&', "&&");
    return "&" + QString::number(index + 1) + " " + shown;
}

}  // namespace lumesta
