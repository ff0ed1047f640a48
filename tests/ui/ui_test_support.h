#pragma once
// Helpers of the dialog tests: scripted message boxes, and acting on a modal dialog once it is
// open (its exec() does not return until the test closes it).

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>

#include "desktop/prompts.h"
#include "ui/tool_dialog.h"

namespace lumesta::testing {

// Records every box and answers questions from a queue (Yes when it is empty; "No" for the
// save-changes question unless queued otherwise).
class ScriptedPrompts : public Prompts {
public:
    void Inform(QWidget*, const QString& text) override { informed << text; }
    bool AskYesNo(QWidget*, const QString& question) override
    {
        asked << question;
        if (answers.empty()) return true;
        const bool answer = answers.front() == QMessageBox::Yes;
        answers.pop_front();
        return answer;
    }
    QMessageBox::StandardButton AskYesNoCancel(QWidget*, const QString& question) override
    {
        asked << question;
        if (answers.empty()) return QMessageBox::No;
        const QMessageBox::StandardButton answer = answers.front();
        answers.pop_front();
        return answer;
    }

    QStringList informed;
    QStringList asked;
    std::deque<QMessageBox::StandardButton> answers;
};

// The texts of a drop-down list's entries, in order.
inline QStringList ComboEntries(const QComboBox* list)
{
    QStringList entries;
    for (int i = 0; i < list->count(); ++i) entries << list->itemText(i);
    return entries;
}

// The window the user acts in: the active modal dialog, else a tool dialog the main window
// opened (those are not modal, so that the log stays usable during a run).
inline QWidget* ActiveDialog()
{
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && dynamic_cast<ToolDialog*>(widget)) return widget;
    }
    return nullptr;
}

// Calls act with the next dialog to open (for up to five seconds). A dialog still open after
// act returns is rejected, so a test never hangs on it; opened reports whether one came.
inline void WhenModalOpens(std::function<void(QWidget*)> act, bool* opened = nullptr)
{
    if (opened) *opened = false;
    auto* poll = new QTimer;
    auto* waited = new QElapsedTimer;
    waited->start();
    QWidget* before = ActiveDialog();
    QObject::connect(poll, &QTimer::timeout, [=] {
        QWidget* modal = ActiveDialog();
        if (modal && modal != before) {
            poll->stop();
            if (opened) *opened = true;
            act(modal);
            if (modal->isVisible() && ActiveDialog() == modal) {
                QMetaObject::invokeMethod(modal, "reject", Qt::QueuedConnection);
            }
        } else if (waited->elapsed() < 5000) {
            return;
        }
        poll->stop();
        poll->deleteLater();
        delete waited;
    });
    poll->start(10);
}

}  // namespace lumesta::testing
