#pragma once
// The view of the run log: an editable text in a fixed-pitch font whose long lines wrap at the
// window edge. Runs append at the end; File Save writes what it shows with "\r\n" line ends.

#include <QPlainTextEdit>
#include <string>

namespace lumesta {

class LogView : public QPlainTextEdit {
public:
    explicit LogView(QWidget* parent);

    // Inserts bytes (UTF-8, "\r\n" line ends) at the end of the text without an undo record,
    // leaves the caret at the end and scrolls it into view, wherever the user's selection was.
    void AppendAtEnd(const std::string& bytes);
    // The whole text as saved: every line ended by "\r\n" again, UTF-8.
    std::string TextForSaving() const;
    // Replaces the text with a file's bytes; "\r\n", "\n" and "\r" all end lines. Clears the
    // undo history and the modified flag.
    void LoadText(const std::string& bytes);
    // Empties the text for File New, with the same clearing.
    void ClearText();

private:
    void ApplyLogFont();
};

}  // namespace lumesta
