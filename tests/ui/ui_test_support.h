#pragma once
// Helpers of the dialog tests: scripted message boxes, and acting on a modal dialog once it is
// open (its exec() does not return until the test closes it).

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QSettings>
#include <QStringList>
#include <QTimer>
#include <QtTest>
#include <deque>
#include <functional>
#include <map>
#include <string>

#include "desktop/prompts.h"
#include "tests/support/fake_host.h"
#include "tests/support/report_text.h"
#include "tests/support/temp_dir.h"
#include "ui/pansharpen_dialog.h"
#include "ui/progress_window.h"
#include "ui/tool_dialog.h"

namespace lumesta::testing {

// Records every box and answers questions from a queue (Yes when it is empty; "No" for the
// save-changes question unless queued otherwise).
class ScriptedPrompts : public Prompts {
public:
    void Inform(QWidget* parent, const QString& text) override
    {
        informed << text;
        aboveProgress << (dynamic_cast<CProgressWindow*>(parent) != nullptr);
    }
    bool AskYesNo(QWidget* parent, const QString& question) override
    {
        asked << question;
        aboveProgress << (dynamic_cast<CProgressWindow*>(parent) != nullptr);
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
    QList<bool> aboveProgress;  // of each box above, in order: owned by a progress window
    std::deque<QMessageBox::StandardButton> answers;
};

inline QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

// Replaces a field's text by typing.
inline void TypeInto(QLineEdit* field, const QString& text)
{
    field->selectAll();
    QTest::keyClicks(field, text);
}

// Picks an entry of a drop-down list as the user does.
inline void Choose(QComboBox* list, int entry)
{
    list->setCurrentIndex(entry);
    emit list->activated(entry);
}

// Drops one local file on widget as the file manager would; whether the drag was accepted.
inline bool DropFile(QWidget* widget, const QString& path)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    const QPoint at = widget->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &drop);
    return enter.isAccepted();
}

// The main window's tool dialogs open with their fresh jobs, not those of earlier tests' runs.
inline void ForgetRememberedJobs()
{
    QSettings().remove("Remembered");
}

// Keeps a picture of widget in the build folder's "screenshots", to look at.
inline bool SaveScreenshot(QWidget* widget, const QString& name)
{
    const QString folder = QCoreApplication::applicationDirPath() + "/screenshots";
    QDir().mkpath(folder);
    return widget->grab().save(folder + "/" + name + ".png");
}

// Chooses pan.img and blue, green, red, nir.img of folder in the dialog, as "..." does.
inline void ChooseEnviScene(PanSharpenDialog& dialog, const std::string& folder)
{
    dialog.OnPanChosen(Q(folder + "/pan.img"));
    const char* const stems[4] = {"blue", "green", "red", "nir"};
    for (int band = 0; band < 4; ++band)
        dialog.OnBandChosen(band, Q(folder + "/" + stems[band] + ".img"));
}

// The menu of the main window's menu bar with the given title ("&View"), or null.
inline QMenu* MenuNamed(const QMainWindow& frame, const QString& title)
{
    for (QAction* action : frame.menuBar()->actions()) {
        if (action->text() == title) return action->menu();
    }
    return nullptr;
}

// The item of menu with the given text, or null.
inline QAction* ItemNamed(const QMenu* menu, const QString& text)
{
    for (QAction* action : menu ? menu->actions() : QList<QAction*>()) {
        if (action->text() == text) return action;
    }
    return nullptr;
}

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

// The files of dir not in before, with their bytes (time stamps masked); they are removed.
inline std::map<QString, std::string> TakeNewFiles(const TempDir& dir, const QStringList& before)
{
    std::map<QString, std::string> files;
    for (const QString& name : QDir(Q(dir.Path())).entryList(QDir::Files)) {
        if (before.contains(name)) continue;
        files[name] = MaskTimes(ReadFileBytes(dir.File(name.toStdString())));
        QFile::remove(Q(dir.File(name.toStdString())));
    }
    return files;
}

// Presses OK, which must finish the run without a message, then runs lumesta-cli with
// arguments: the report blocks (times masked) and every file each wrote in dir must be the
// same. written gets the names of those files.
inline void ExpectSameAsCommandLine(QDialog& dialog, const FakeHost& host, const TempDir& dir,
                                    QStringList arguments, QStringList* written = nullptr)
{
    const QStringList before = QDir(Q(dir.Path())).entryList(QDir::Files);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(host.Messages(), std::vector<std::string>());
    const std::map<QString, std::string> fromDialog = TakeNewFiles(dir, before);
    QVERIFY(!fromDialog.empty());
    if (written) {
        written->clear();
        for (const auto& file : fromDialog) *written << file.first;
    }

    const QString cli = qEnvironmentVariable("LUMESTA_CLI");
    if (cli.isEmpty()) QSKIP("LUMESTA_CLI does not name lumesta-cli");
    const std::string logPath = dir.File("cli_log.txt");
    QProcess process;
    process.start(cli, arguments << "--quiet" << "--log" << Q(logPath));
    QVERIFY(process.waitForFinished(120000));
    QCOMPARE(process.exitCode(), 0);
    const std::string cliLog = ReadFileBytes(logPath);
    QFile::remove(Q(logPath));
    QCOMPARE(Q(MaskTimes(host.Log())).split("\r\n"), Q(MaskTimes(cliLog)).split("\r\n"));
    const std::map<QString, std::string> fromCli = TakeNewFiles(dir, before);
    for (const auto& [name, bytes] : fromDialog) {
        QVERIFY2(fromCli.count(name) && fromCli.at(name) == bytes, qPrintable(name));
    }
    QCOMPARE(fromCli.size(), fromDialog.size());
}

}  // namespace lumesta::testing
