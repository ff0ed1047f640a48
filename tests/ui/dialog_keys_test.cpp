// What every tool dialog offers the keyboard, the mouse and the file manager: Tab in visual
// order from the first input, Alt shortcuts, tooltips naming the command-line option, typed and
// dropped paths, and a BMP chooser that never touches a file.

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QSettings>
#include <QtTest>
#include <memory>

#include "desktop/main_frame.h"
#include "tests/support/fake_host.h"
#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/ui_test_support.h"
#include "ui/combine_dialog.h"
#include "ui/etm_dialog.h"
#include "ui/haar_dialog.h"
#include "ui/image_stats_dialog.h"
#include "ui/pansharpen_dialog.h"
#include "ui/semivariance_dialog.h"
#include "ui/text.h"

namespace lumesta::testing {
namespace {

std::unique_ptr<ToolDialog> MakeDialog(int kind, RunCounters& counters, Host& host)
{
    if (kind == 0) return std::make_unique<PanSharpenDialog>(counters, host, nullptr);
    if (kind == 1) return std::make_unique<EtmDialog>(counters, host, nullptr);
    if (kind == 2) return std::make_unique<CBandCombination16Dlg>(counters, host, nullptr);
    if (kind == 3) return std::make_unique<CBandCombination8Dlg>(counters, host, nullptr);
    if (kind == 4) return std::make_unique<CSemivarianceDlg>(counters, host, nullptr);
    if (kind == 5) return std::make_unique<CImageStatsDlg>(counters, host, nullptr);
    return std::make_unique<CHaarWaveletDlg>(counters, host, nullptr);
}

}  // namespace

class DialogKeysTest : public QObject {
    Q_OBJECT

private slots:
    void EveryDialogTabsInVisualOrderWithShortcutsAndTips_data()
    {
        QTest::addColumn<int>("kind");
        const char* names[] = {
            "pan-sharpening", "Landsat", "combination 16", "combination 8", "semivariance",
            "statistics",     "Haar"};
        for (int kind = 0; kind < 7; ++kind) QTest::newRow(names[kind]) << kind;
    }

    void EveryDialogTabsInVisualOrderWithShortcutsAndTips()
    {
        QFETCH(int, kind);
        FakeHost host;
        RunCounters counters;
        std::unique_ptr<ToolDialog> dialog = MakeDialog(kind, counters, host);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        SaveScreenshot(dialog.get(), QString("dialog_%1").arg(kind));

        // The focus starts on the first input and Tab walks down the window, row by row.
        QWidget* first = dialog->focusWidget();
        QVERIFY(first);
        QVERIFY(qobject_cast<QLineEdit*>(first) || qobject_cast<QComboBox*>(first));
        QWidget* control = first;
        int visited = 0;
        do {
            QWidget* next = control->nextInFocusChain();
            while (next != first && (!next->isVisible() || !(next->focusPolicy() & Qt::TabFocus) ||
                                     next->window() != dialog.get() || next->focusProxy())) {
                next = next->nextInFocusChain();
            }
            if (next == first) break;
            const QPoint from = control->mapTo(dialog.get(), control->rect().center());
            const QPoint to = next->mapTo(dialog.get(), next->rect().center());
            QVERIFY2(to.y() > from.y() - 10, qPrintable(next->objectName() + next->toolTip()));
            if (std::abs(to.y() - from.y()) <= 10) QVERIFY(to.x() > from.x());
            // Every control says what it does and which option of lumesta-cli does the same.
            QVERIFY2(next->toolTip().contains("lumesta-cli"),
                     qPrintable(QString(next->metaObject()->className()) + " " +
                                next->property("text").toString() + " in " +
                                next->parentWidget()->property("title").toString() + " tip " +
                                next->toolTip()));
            control = next;
        } while (++visited < 100);
        QVERIFY(first->toolTip().contains("lumesta-cli"));
        QVERIFY(visited > 5);

        // Every label names a control it leads to with Alt and a letter of its own.
        QSet<QChar> letters;
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            if (label->text().isEmpty()) continue;
            QVERIFY2(label->buddy(), qPrintable(label->text()));
            const int at = label->text().indexOf('&');
            QVERIFY2(at >= 0, qPrintable(label->text()));
            QVERIFY2(!letters.contains(label->text()[at + 1].toLower()), qPrintable(label->text()));
            letters.insert(label->text()[at + 1].toLower());
        }
    }

    // A typed path acts on Enter (without pressing OK) and a dropped one at once, as "..." does.
    void TypedAndDroppedFilesActAsTheChooser()
    {
        TempDir dir;
        WriteEnviScene(dir.Path(), MakeScene(512, 512));
        FakeHost host;
        RunCounters counters;
        PanSharpenDialog dialog(counters, host, nullptr);
        dialog.show();
        dialog.PanField()->setFocus();
        QTest::keyClicks(dialog.PanField(), Q(dir.File("pan.img")));
        QTest::keyClick(dialog.PanField(), Qt::Key_Return);
        QVERIFY(dialog.isVisible() && host.Log().empty());
        QCOMPARE(dialog.Job().panPath, dir.File("pan.img"));
        QCOMPARE(dialog.WidthField()->text(), QString("512"));

        QVERIFY(DropFile(dialog.BandList(0), Q(dir.File("blue.img"))));
        QCOMPARE(dialog.Job().msPath[0], dir.File("blue.img"));
        QVERIFY(DropFile(dialog.BmpField(), Q(dir.File("chosen.bmp"))));
        QCOMPARE(dialog.Job().bmpName, dir.File("chosen.bmp"));
        QVERIFY(host.Messages().empty());
    }

    // The chooser only names the picture: an existing file keeps its bytes until the run's
    // overwrite question, and an input (or its header) is refused at once.
    void BmpChoiceNeverTouchesAFile()
    {
        TempDir dir;
        WriteEnviScene(dir.Path(), MakeScene(512, 512));
        WriteFileBytes(dir.File("old.bmp"), std::string("BM\x01\x02\x03", 5));
        const std::string pan = ReadFileBytes(dir.File("pan.img"));
        FakeHost host;
        RunCounters counters;
        PanSharpenDialog dialog(counters, host, nullptr);
        dialog.OnPanChosen(Q(dir.File("pan.img")));
        dialog.OnBandChosen(0, Q(dir.File("blue.img")));
        const std::string derived = dialog.Job().bmpName;

        dialog.OnBmpChosen(Q(dir.File("old.bmp")));
        QCOMPARE(ReadFileBytes(dir.File("old.bmp")), std::string("BM\x01\x02\x03", 5));
        QCOMPARE(dialog.Job().bmpName, dir.File("old.bmp"));

        dialog.OnBmpChosen(Q(dir.File("pan.img")));
        dialog.OnBmpChosen(Q(dir.File("blue.hdr")));
        QCOMPARE(ReadFileBytes(dir.File("pan.img")), pan);
        QCOMPARE(dialog.Job().bmpName, dir.File("old.bmp"));
        QCOMPARE(host.Messages(),
                 (std::vector<std::string>{
                     dir.File("pan.img") +
                         " is an input of this run.\nChange the name of the 24-bit BMP.",
                     dir.File("blue.hdr") +
                         " is an input of this run.\nChange the name of the 24-bit BMP."}));
        QVERIFY(!derived.empty());
    }

    // A batch file dropped on the main window opens the pan-sharpening dialog with it.
    void BatchFileDroppedOnTheWindowOpensItsDialog()
    {
        TempDir dir;
        WriteFileBytes(dir.File("jobs.bif"), "1\r\n");
        MainFrame frame;
        ForgetRememberedJobs();
        frame.Host().SetPrompts(std::make_unique<ScriptedPrompts>());
        bool batch = false;
        WhenModalOpens([&batch](QWidget* window) {
            auto* dialog = dynamic_cast<PanSharpenDialog*>(window);
            batch = dialog && dialog->Job().batchMode;
        });
        QVERIFY(DropFile(&frame, Q(dir.File("jobs.bif"))));
        QTRY_VERIFY(batch);
        QTRY_VERIFY(!frame.ToolWindow());
    }

    // A chooser opens at its current file, else where this tool last chose one (kept in the
    // settings), and remembers the folder of a choice.
    void ChoosersOpenAtTheCurrentFileOrTheToolsLastFolder()
    {
        TempDir dir;
        TempDir other;
        WriteEnviScene(dir.Path(), MakeScene(512, 512));
        FakeHost host;
        RunCounters counters;
        PanSharpenDialog dialog(counters, host, nullptr);
        QSettings().setValue("Folders/" + dialog.windowTitle(), Q(other.Path()));
        QString opened;
        WhenModalOpens([&opened](QWidget* modal) {
            if (auto* chooser = dynamic_cast<QFileDialog*>(modal)) {
                opened = chooser->directory().absolutePath();
            }
        });
        dialog.OnBrowseBand(0);
        QCOMPARE(opened, QDir(Q(other.Path())).absolutePath());

        dialog.OnPanChosen(Q(dir.File("pan.img")));
        QString selected;
        WhenModalOpens([&opened, &selected](QWidget* modal) {
            auto* chooser = dynamic_cast<QFileDialog*>(modal);
            if (!chooser) return;
            opened = chooser->directory().absolutePath();
            selected = chooser->selectedFiles().value(0);
            QMetaObject::invokeMethod(chooser, "accept", Qt::DirectConnection);
        });
        dialog.OnBrowseBmp();
        QCOMPARE(opened, QDir(Q(dir.Path())).absolutePath());
        QCOMPARE(QFileInfo(selected).fileName(), QString("pan_Fused.bmp"));
        QCOMPARE(dialog.Job().bmpName, ToEngine(selected));
        QCOMPARE(QSettings().value("Folders/" + dialog.windowTitle()).toString(),
                 QDir(Q(dir.Path())).absolutePath());
    }
};

}  // namespace lumesta::testing

int RunDialogKeysTests(int argc, char** argv)
{
    lumesta::testing::DialogKeysTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "dialog_keys_test.moc"
