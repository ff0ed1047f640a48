#include "desktop/log_view.h"

#include <QFontDatabase>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace lumesta {
namespace {

const char kLogFontFamily[] = "Courier New";
constexpr int kLogFontPixels = 16;
constexpr int kTabColumns = 8;

}  // namespace

LogView::LogView(QWidget* parent) : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ApplyLogFont();
}

// "Courier New" where the system has it, otherwise the system's fixed-pitch font.
void LogView::ApplyLogFont()
{
    QFont font = QFontDatabase::families().contains(kLogFontFamily)
                     ? QFont(kLogFontFamily)
                     : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(kLogFontPixels);
    font.setWeight(QFont::Normal);
    setFont(font);
    setTabStopDistance(QFontMetricsF(font).horizontalAdvance(' ') * kTabColumns);
}

void LogView::AppendAtEnd(const std::string& bytes)
{
    QTextDocument* text = document();
    // A run's report is not the user's edit: it gets no undo record, and what the user could
    // undo before it would no longer fit the text, so that history goes too.
    text->setUndoRedoEnabled(false);
    QTextCursor cursor(text);
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())));
    text->setUndoRedoEnabled(true);
    setTextCursor(cursor);
    ensureCursorVisible();
}

std::string LogView::TextForSaving() const
{
    std::string bytes;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block != document()->begin()) bytes += "\r\n";
        QString line = block.text();
        line.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
        bytes += line.toStdString();
    }
    return bytes;
}

void LogView::LoadText(const std::string& bytes)
{
    QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    setPlainText(text);
    document()->setModified(false);
}

void LogView::ClearText()
{
    clear();
    document()->clearUndoRedoStacks();
    document()->setModified(false);
}

}  // namespace lumesta
