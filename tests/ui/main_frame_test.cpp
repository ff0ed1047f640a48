#include "desktop/main_frame.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QtTest>

#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/ui_test_support.h"
#include "ui/pansharpen_dialog.h"

namespace lumesta::testing {
namespace {

// A menu as its item texts, "-" for a separator and "> title" for a submenu.
QStringList Items(const QMenu* menu)
{
    QStringList items;
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator()) {
            items << "-";
        } else if (action->menu()) {
            items << "> " + action->text();
        } else {
            items << action->text();
        }
    }
    return items;
}

}  // namespace

class MainFrameTest : public QObject {
    Q_OBJECT

public slots:
    void RecordUrl(const QUrl& url) { m_openedUrls << url.toString(); }

private slots:
    void initTestCase()
    {
        QDesktopServices::setUrlHandler("http", this, "RecordUrl");
        QDesktopServices::setUrlHandler("file", this, "RecordUrl");
    }
    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler("http");
        QDesktopServices::unsetUrlHandler("file");
    }
    void init()
    {
        QSettings().remove("Recent File List");
        m_frame = std::make_unique<MainFrame>();
        auto prompts = std::make_unique<ScriptedPrompts>();
        m_prompts = prompts.get();
        m_frame->Host().SetPrompts(std::move(prompts));
        m_openedUrls.clear();
    }
    void cleanup()
    {
        m_frame->View().document()->setModified(false);
        m_frame.reset();
    }

    // The title names the log and marks unsaved changes; a save clears the mark.
    void TitleShowsTheLogNameAndItsUnsavedMark()
    {
        const QString title = "Lumesta: An Advanced Image Fusion Tool - ";
        m_frame->OnFileNew();
        QCOMPARE(m_frame->windowTitle(), title + "Untitled");
        m_frame->Host().AppendLog("a line\r\n");
        m_frame->View().document()->setModified(true);
        QCOMPARE(m_frame->windowTitle(), title + "Untitled *");
        TempDir dir;
        QVERIFY(m_frame->SaveFile(QString::fromStdString(dir.File("run.txt"))));
        QCOMPARE(m_frame->windowTitle(), title + "run.txt");
    }

    void RunTextGoesToTheEndWithoutUndoAndSavesByteForByte()
    {
        LogView& view = m_frame->View();
        view.show();
        QTest::keyClicks(&view, "my note");
        view.moveCursor(QTextCursor::Start);
        const std::string block =
            "\r\n_____________ Pan-Sharpening Run (7) _____________________\r\n\r\n"
            "PAN:\t/data/sc\xc3\xa8ne/pan.img\r\nWidth:\t\t\t512 pixels\r\n";
        m_frame->Host().AppendLog(block);
        QVERIFY(view.textCursor().atEnd());
        view.undo();
        TempDir dir;
        QVERIFY(m_frame->SaveFile(Q(dir.File("log.txt"))));
        QCOMPARE(ReadFileBytes(dir.File("log.txt")), "my note" + block);
        QVERIFY(!m_frame->Document().IsModified());
    }

    void OpenedLogKeepsItsBytesAndGetsRecentEntries()
    {
        TempDir dir;
        const std::string crlf = "Log File: \r\n\r\nA\tB\r\n\r\nNotes:\r\n";
        WriteFileBytes(dir.File("crlf.txt"), crlf);
        WriteFileBytes(dir.File("lf.txt"), "a\nb\n");
        QVERIFY(m_frame->OpenFile(Q(dir.File("lf.txt"))));
        QVERIFY(m_frame->SaveFile(Q(dir.File("lf_saved.txt"))));
        QCOMPARE(ReadFileBytes(dir.File("lf_saved.txt")), std::string("a\r\nb\r\n"));
        QVERIFY(m_frame->OpenFile(Q(dir.File("crlf.txt"))));
        QVERIFY(m_frame->SaveFile(Q(dir.File("crlf_saved.txt"))));
        QCOMPARE(ReadFileBytes(dir.File("crlf_saved.txt")), crlf);
        for (const char* name : {"a.txt", "b.txt"}) {
            WriteFileBytes(dir.File(name), name);
            QVERIFY(m_frame->OpenFile(Q(dir.File(name))));
        }
        QStringList expected = {Q(dir.File("b.txt")), Q(dir.File("a.txt")), Q(dir.File("crlf_saved.txt")),
                                Q(dir.File("crlf.txt"))};
        QCOMPARE(m_frame->RecentFiles().Paths(), expected);
        QCOMPARE(QSettings().value("Recent File List/File1").toString(), expected[0]);
        const QStringList file = Items(MenuNamed(*m_frame, "&File"));
        QCOMPARE(file.mid(10, 4).value(0), "&1 " + QDir::toNativeSeparators(expected[0]));
        QCOMPARE(file.mid(14), QStringList({"-", "E&xit"}));

        QVERIFY(!m_frame->OpenFile(Q(dir.File("missing.txt"))));
        QCOMPARE(m_prompts->informed, QStringList({"Failed to open document."}));
    }

    void RunNumbersGoOnAfterFileNew()
    {
        TempDir dir;
        WriteEnviScene(dir.Path(), MakeScene(512, 512));
        QMenu* pan = MenuNamed(*m_frame, "&Pan-Sharpening");
        RunThroughMenu(ItemNamed(pan, "&QuickBird"), dir);
        const std::string first = m_frame->View().TextForSaving();
        QVERIFY(first.rfind("Log File: \r\n\r\n_____________ Pan-Sharpening Run (1) ", 0) == 0);
        QVERIFY(first.find("Notes:\r\n") != std::string::npos);

        m_frame->OnFileNew();
        QCOMPARE(m_prompts->asked, QStringList({"Save changes to Untitled?"}));
        QCOMPARE(m_frame->View().TextForSaving(), std::string());
        RunThroughMenu(ItemNamed(pan, "I&KONOS"), dir);
        const std::string second = m_frame->View().TextForSaving();
        QVERIFY(second.rfind("\r\n_____________ Pan-Sharpening Run (2) ", 0) == 0);
        QCOMPARE(m_frame->Document().Counters().Get(Tool::PanSharpening), 2);
    }

    void UserGuideOpensInstalledOrBesideTheProgramOrExplains()
    {
        const QString folder = m_frame->Document().ProgramFolder();
        const QString beside = QDir::cleanPath(folder + "User_Guide.pdf");
        const QString installed = QDir::cleanPath(folder + "../share/lumesta/User_Guide.pdf");
        QFile::remove(beside);
        QFile::remove(installed);
        m_frame->OnUserGuide();
        QCOMPARE(m_prompts->informed,
                 QStringList({"Sorry, cannot open the Lumesta User Guide with the desktop's PDF "
                              "viewer. \nThe User Guide file (User_Guide.pdf) should be put in the "
                              "same folder with the lumesta program.\n"
                              "Looked for it at:\n  " +
                              installed + "\n  " + beside}));
        QVERIFY(m_openedUrls.isEmpty());

        // A build folder: the guide beside the program.
        WriteFileBytes(beside.toStdString(), "%PDF-1.4\n");
        m_frame->OnUserGuide();
        QCOMPARE(m_openedUrls, QStringList({QUrl::fromLocalFile(beside).toString()}));

        // Installed: share/lumesta beside the bin folder is taken first.
        QVERIFY(QDir().mkpath(QFileInfo(installed).path()));
        WriteFileBytes(installed.toStdString(), "%PDF-1.4\n");
        m_frame->OnUserGuide();
        QFile::remove(beside);
        QDir(QFileInfo(installed).path() + "/..").removeRecursively();
        QCOMPARE(m_openedUrls.last(), QUrl::fromLocalFile(installed).toString());
    }

    void UnsavedLogAsksBeforeTheProgramEnds()
    {
        m_frame->show();
        m_frame->Host().AppendLog("Log File: \r\n\r\n");
        m_prompts->answers = {QMessageBox::Cancel};
        QVERIFY(!m_frame->close());
        QVERIFY(m_frame->isVisible());
        m_prompts->answers = {QMessageBox::No};
        QVERIFY(m_frame->close());
        QCOMPARE(m_prompts->asked, QStringList({"Save changes to Untitled?", "Save changes to Untitled?"}));
    }

private:
    // Picks the menu item, fills its dialog with the ENVI scene of dir and presses OK.
    void RunThroughMenu(QAction* item, const TempDir& dir)
    {
        bool opened = false;
        WhenModalOpens(
            [&dir](QWidget* modal) {
                auto* dialog = dynamic_cast<PanSharpenDialog*>(modal);
                QVERIFY(dialog);
                ChooseEnviScene(*dialog, dir.Path());
                QTest::mouseClick(dialog->DisplayBmpBox(), Qt::LeftButton);
                dialog->accept();
            },
            &opened);
        item->trigger();
        QVERIFY(opened);
    }

    std::unique_ptr<MainFrame> m_frame;
    ScriptedPrompts* m_prompts = nullptr;
    QStringList m_openedUrls;
};

}  // namespace lumesta::testing

int RunMainFrameTests(int argc, char** argv)
{
    lumesta::testing::MainFrameTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "main_frame_test.moc"
