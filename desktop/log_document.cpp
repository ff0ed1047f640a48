#include "desktop/log_document.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include "desktop/log_view.h"

namespace lumesta {

bool LogDocument::IsModified() const
{
    return m_view.document()->isModified();
}

void LogDocument::NewDocument()
{
    m_view.ClearText();
    m_filePath.clear();
    m_programFolder = QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + "/");
}

bool LogDocument::OpenDocument(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return false;
    m_view.LoadText(bytes.toStdString());
    m_filePath = path;
    return true;
}

bool LogDocument::SaveDocument(const QString& path)
{
    // Written beside the old file first, so a failed save leaves the old log intact.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const std::string bytes = m_view.TextForSaving();
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size()) ||
        !file.commit()) {
        return false;
    }
    m_view.document()->setModified(false);
    m_filePath = path;
    return true;
}

}  // namespace lumesta
