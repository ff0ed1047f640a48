#pragma once
// The log document: the five run counters, the program folder and the file the log was last
// opened from or saved to. Its text is the log view's.

#include <QString>
#include <string>

#include "core/run_log.h"

namespace lumesta {

class LogView;

class LogDocument {
public:
    explicit LogDocument(LogView& view) : m_view(view) {}

    // The counters are 0 when the document is made and never reset: File New and File Open
    // keep them, so report numbers go on rising for as long as the program runs.
    RunCounters& Counters() { return m_counters; }
    std::int32_t GetTotalRunCount() const { return m_counters.GetTotalRunCount(); }
    // The folder of the program's executable with its trailing separator; empty until the
    // first new document is made.
    const QString& ProgramFolder() const { return m_programFolder; }
    // The file of the log; empty for a log not yet saved.
    const QString& FilePath() const { return m_filePath; }
    bool IsModified() const;

    // File New: empties the log (counters kept) and sets the program folder.
    void NewDocument();
    // Reads the file's bytes as the log's text; false when it cannot be read.
    bool OpenDocument(const QString& path);
    // Writes the log's text, every line ended by "\r\n"; false when it cannot be written.
    bool SaveDocument(const QString& path);

private:
    LogView& m_view;
    RunCounters m_counters;
    QString m_programFolder;
    QString m_filePath;
};

}  // namespace lumesta
