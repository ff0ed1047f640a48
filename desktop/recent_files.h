#pragma once
// The File menu's list of the last four logs opened or saved, kept in the profile (section
// "Recent File List", keys "File1" to "File4", newest first).

#include <QString>
#include <QStringList>

namespace lumesta {

class RecentFileList {
public:
    static constexpr int kSize = 4;

    // Reads the list from the profile.
    void Load();
    void Save() const;
    // Puts path first (moving it up when it is listed already) and drops the oldest beyond four.
    void Add(const QString& path);
    void Remove(const QString& path);
    const QStringList& Paths() const { return m_paths; }
    // The menu text of entry index: "&1 " followed by the path, shortened in the middle when long.
    QString MenuText(int index) const;

private:
    QStringList m_paths;
};

}  // namespace lumesta
