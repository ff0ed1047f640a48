// Runs on the worker thread through the real DesktopHost: cancelling each tool with its
// progress window's Cancel, closing the main window during a run, and the log view locked
// meanwhile.

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>
#include <algorithm>
#include <functional>
#include <memory>

#include "desktop/main_frame.h"
#include "tests/engine/assess/assess_bands.h"
#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/ui_test_support.h"
#include "ui/combine_dialog.h"
#include "ui/etm_dialog.h"
#include "ui/haar_dialog.h"
#include "ui/image_stats_dialog.h"
#include "ui/pansharpen_dialog.h"
#include "ui/progress_window.h"
#include "ui/semivariance_dialog.h"
#include "ui/tool_run_guard.h"

namespace lumesta::testing {
namespace {

enum ToolCase { kPan16, kEtm, kCombine16, kCombine8, kSemivariance, kStats, kHaar };

// The visible progress window of the run, or null.
CProgressWindow* VisibleProgressWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* window = dynamic_cast<CProgressWindow*>(widget);
        if (window && window->isVisible()) return window;
    }
    return nullptr;
}

// Calls act once a progress window shows (polling every few milliseconds for up to a minute).
void WhenProgressShows(std::function<void(CProgressWindow*)> act)
{
    auto* poll = new QTimer;
    auto* waited = new QElapsedTimer;
    waited->start();
    QObject::connect(poll, &QTimer::timeout, [=] {
        CProgressWindow* window = VisibleProgressWindow();
        if (!window && waited->elapsed() < 60000) return;
        poll->stop();
        if (window) act(window);
        poll->deleteLater();
        delete waited;
    });
    poll->start(2);
}

// Inputs of each tool in dir, chosen in dialog as the "..." buttons would.
std::unique_ptr<ToolDialog> MakeChosenDialog(ToolCase tool, const TempDir& dir, MainFrame& frame)
{
    RunCounters& counters = frame.Document().Counters();
    DesktopHost& host = frame.Host();
    const auto file = [&dir](const char* name) { return Q(dir.File(name)); };
    switch (tool) {
        case kPan16: {
            WriteEnviScene(dir.Path(), MakeScene(2048, 2048));
            auto dialog = std::make_unique<PanSharpenDialog>(counters, host, &frame);
            ChooseEnviScene(*dialog, dir.Path());
            return dialog;
        }
        case kEtm: {
            WriteEnviScene8(dir.Path(), MakeScene8(2048, 2048));
            auto dialog = std::make_unique<EtmDialog>(counters, host, &frame);
            dialog->OnPanChosen(file("pan.img"));
            const char* bands[] = {"blue.img", "green.img", "red.img"};
            for (int band = 0; band < 3; ++band) dialog->OnBandChosen(band, file(bands[band]));
            return dialog;
        }
        case kCombine16:
        case kCombine8: {
            // Bands large enough for the picture's writing to be under way when Cancel comes.
            const int side = 3072;
            const bool sixteen = tool == kCombine16;
            std::string samples(std::size_t(side) * side * (sixteen ? 2 : 1), '\0');
            for (std::size_t i = 0; i < samples.size(); i += sixteen ? 2 : 1) {
                samples[i] = static_cast<char>((i / 7 + i / (7 * side)) % 200 + 20);
            }
            for (const char* band : {"blue.img", "green.img", "red.img"}) {
                WriteEnviHeader(dir.File(band), side, side, 1, {}, sixteen ? 2 : 1);
                WriteFileBytes(dir.File(band), samples);
            }
            std::unique_ptr<BandCombinationDialog> dialog;
            if (sixteen) dialog = std::make_unique<CBandCombination16Dlg>(counters, host, &frame);
            if (!sixteen) dialog = std::make_unique<CBandCombination8Dlg>(counters, host, &frame);
            const char* bands[] = {"blue.img", "green.img", "red.img"};
            for (int band = 0; band < 3; ++band) dialog->OnBandChosen(band, file(bands[band]));
            return dialog;
        }
        default: {
            // The assessment tools are quick: a larger scene keeps the run going until Cancel
            // arrives on a busy machine.
            WriteEnviScene(dir.Path(), MakeScene(4096, 4096));
            std::unique_ptr<AssessDialog> dialog;
            if (tool == kSemivariance) dialog = std::make_unique<CSemivarianceDlg>(counters, host, &frame);
            if (tool == kStats) dialog = std::make_unique<CImageStatsDlg>(counters, host, &frame);
            if (tool == kHaar) dialog = std::make_unique<CHaarWaveletDlg>(counters, host, &frame);
            dialog->OnInputChosen(file("pan.img"));
            return dialog;
        }
    }
}

}  // namespace

class RunCancelTest : public QObject {
    Q_OBJECT

private slots:
    void EveryToolStopsCleanlyOnItsProgressWindowsCancel_data()
    {
        QTest::addColumn<int>("tool");
        QTest::addColumn<bool>("escape");  // Escape in the dialog instead of Cancel
        QTest::newRow("pan-sharpening 16-bit") << int(kPan16) << false;
        QTest::newRow("pan-sharpening 16-bit, Escape") << int(kPan16) << true;
        QTest::newRow("pan-sharpening Landsat ETM+") << int(kEtm) << false;
        QTest::newRow("band combination 16-bit") << int(kCombine16) << false;
        QTest::newRow("band combination 8-bit") << int(kCombine8) << false;
        QTest::newRow("semivariance") << int(kSemivariance) << false;
        QTest::newRow("statistics") << int(kStats) << false;
        QTest::newRow("Haar") << int(kHaar) << false;
    }

    void EveryToolStopsCleanlyOnItsProgressWindowsCancel()
    {
        QFETCH(int, tool);
        QFETCH(bool, escape);
        TempDir dir;
        MainFrame frame;
        auto prompts = std::make_unique<ScriptedPrompts>();
        ScriptedPrompts& answers = *prompts;
        frame.Host().SetPrompts(std::move(prompts));
        std::unique_ptr<ToolDialog> dialog = MakeChosenDialog(ToolCase(tool), dir, frame);
        const QStringList inputs = QDir(Q(dir.Path())).entryList(QDir::Files);
        const std::vector<std::string> job = dialog->Command().arguments;
        dialog->show();

        bool lockedDuringRun = false;
        QElapsedTimer sinceCancel;
        WhenProgressShows([&](CProgressWindow* window) {
            lockedDuringRun = frame.View().isReadOnly() && ToolRunGuard::Active();
            SaveScreenshot(window, QString("progress_%1").arg(tool));  // mid-run, to look at
            sinceCancel.start();
            if (escape) {
                QTest::keyClick(dialog.get(), Qt::Key_Escape);
            } else {
                QTest::mouseClick(window->CancelButton(), Qt::LeftButton);
            }
        });
        dialog->accept();

        QVERIFY(sinceCancel.isValid());
        // The run notices at its next check; the machine running the tests may be busy.
        QVERIFY2(sinceCancel.elapsed() < 5000, qPrintable(QString::number(sinceCancel.elapsed())));
        QVERIFY(lockedDuringRun);
        QVERIFY(!frame.View().isReadOnly());
        QVERIFY2(answers.informed.isEmpty(), qPrintable(answers.informed.join("|")));
        QVERIFY(Q(frame.View().TextForSaving()).contains("Cancelled"));
        // The dialog stays open with its job, for another go.
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->result(), 0);
        QCOMPARE(dialog->Command().arguments, job);
        // Outputs and temporary files are gone: only the inputs are left.
        QCOMPARE(QDir(Q(dir.Path())).entryList(QDir::Files), inputs);
    }

    // The progress window names each step of the run, shows the whole run's progress on its
    // bar (which never goes back) and the time left, and is wide enough for its caption.
    void ProgressNamesEachStepAndShowsTheWholeRun()
    {
        TempDir dir;
        MainFrame frame;
        frame.Host().SetPrompts(std::make_unique<ScriptedPrompts>());
        std::unique_ptr<ToolDialog> dialog = MakeChosenDialog(kPan16, dir, frame);
        dialog->show();
        QStringList steps;
        QList<int> overall;
        bool wideEnough = true;
        bool saved = false;
        QTimer sample;
        connect(&sample, &QTimer::timeout, [&] {
            CProgressWindow* window = VisibleProgressWindow();
            if (!window || window->StatusLabel()->text().isEmpty()) return;
            const QString step = window->StatusLabel()->text().section('\n', 0, 0);
            if (steps.isEmpty() || steps.last() != step) steps << step;
            overall << window->Bar()->value();
            wideEnough = wideEnough && window->width() > window->fontMetrics().horizontalAdvance(
                                                             window->windowTitle());
            if (!saved && step.contains("Fusing")) saved = SaveScreenshot(window, "progress_steps");
        });
        sample.start(2);
        dialog->accept();
        sample.stop();
        QVERIFY2(steps.size() >= 2, qPrintable(steps.join(" | ")));
        const QRegularExpression named("^Step [1-5] of 5: [A-Z][a-z-]+ [a-z]");
        for (const QString& step : steps) QVERIFY2(named.match(step).hasMatch(), qPrintable(step));
        QVERIFY(steps.contains("Step 2 of 5: Fusing the bands"));
        QVERIFY(std::is_sorted(overall.begin(), overall.end()));
        QVERIFY(wideEnough);
    }

    // Closing asks first; Yes cancels, lets the run clean up, closes the dialog, then the
    // window (after its save question).
    void ClosingTheMainWindowDuringARunCancelsItFirst()
    {
        TempDir dir;
        MainFrame frame;
        ForgetRememberedJobs();
        auto prompts = std::make_unique<ScriptedPrompts>();
        ScriptedPrompts& answers = *prompts;
        answers.answers = {QMessageBox::Yes, QMessageBox::No};  // cancel it; do not save
        frame.Host().SetPrompts(std::move(prompts));
        frame.show();
        WriteEnviScene(dir.Path(), MakeScene(2048, 2048));
        bool opened = false;
        WhenModalOpens(
            [&](QWidget* window) {
                auto* dialog = dynamic_cast<PanSharpenDialog*>(window);
                QVERIFY(dialog);
                ChooseEnviScene(*dialog, dir.Path());
                WhenProgressShows([&](CProgressWindow*) { frame.close(); });
                dialog->accept();
            },
            &opened);
        frame.OnToolCommand(ToolDialogKind::PanSharpen16);
        QVERIFY(opened);
        QTRY_VERIFY(!frame.isVisible());
        QCOMPARE(answers.asked.first(), QString("A run is going on. Cancel it and close Lumesta?"));
        // Asked above the progress window, which would otherwise hide the box's buttons.
        QVERIFY(answers.aboveProgress.first());
        QVERIFY(Q(frame.View().TextForSaving()).contains("Cancelled"));
        QVERIFY(!QFile::exists(Q(dir.File("blue_Fused.img"))));
    }

    // A message of a run opens above the run's progress window (which stays on top of every
    // window): the box is the active window, owned by the progress window and on top too.
    void AMessageDuringARunIsTheActiveTopmostWindow()
    {
        MainFrame frame;  // the real message boxes
        frame.show();
        QWidget owner;
        ToolRunGuard guard(owner);
        bool seen = false;
        WhenModalOpens([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            QCOMPARE(box->text(), QString("Error during writing image"));
            QVERIFY(CProgressWindow::Showing());
            QCOMPARE(box->parentWidget(), CProgressWindow::Showing());
            QVERIFY(box->windowFlags() & Qt::WindowStaysOnTopHint);
            QTRY_VERIFY(box->isActiveWindow());
            QCOMPARE(QApplication::activeWindow(), box);
            seen = true;
            box->button(QMessageBox::Ok)->click();
        });
        guard.Run(frame.Host(), [](Host& host) {
            const auto progress =
                host.OpenProgress("Writing 24-bit BMP ...", ProgressOwner::Window);
            host.ShowMessage("Error during writing image");
            return RunOutcome::Stopped;
        });
        QVERIFY(seen);
    }
};

}  // namespace lumesta::testing

int RunRunCancelTests(int argc, char** argv)
{
    lumesta::testing::RunCancelTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "run_cancel_test.moc"
