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

// Calls act with the next modal dialog to open (for up to five seconds). A dialog still open
// after act returns is rejected, so a test never hangs on it; opened reports whether one came.
inline void WhenModalOpens(std::function<void(QWidget*)> act, bool* opened = nullptr)
{
    if (opened) *opened = false;
    auto* poll = new QTimer;
    auto* waited = new QElapsedTimer;
    waited->start();
    QWidget* before = QApplication::activeModalWidget();
    QObject::connect(poll, &QTimer::timeout, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != before) {
            poll->stop();
            if (opened) *opened = true;
            act(modal);
            if (modal->isVisible() && QApplication::activeModalWidget() == modal) {
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
