// Remembered jobs and the History: every tool dialog reopens, also after a restart, with its
// last run's job (a file that is gone left out) until Reset; the History lists each run, runs
// it again filled in and shows what it wrote.

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include "desktop/history_panel.h"
#include "desktop/main_frame.h"
#include "desktop/viewer/image_canvas.h"
#include "desktop/viewer/viewer_dock.h"
#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/ui_test_support.h"
#include "ui/quality_dialog.h"
#include "ui/tool_dialog.h"

namespace lumesta::testing {
namespace {

using Args = std::vector<std::string>;

// Opens the dialog through the main window's command and hands it to act (which closes it or
// lets it be rejected); false when none opened.
bool WithDialog(MainFrame& frame, ToolDialogKind kind, const std::function<void(ToolDialog&)>& act)
{
    bool opened = false;
    WhenModalOpens(
        [&act](QWidget* window) {
            if (auto* dialog = dynamic_cast<ToolDialog*>(window)) act(*dialog);
        },
        &opened);
    frame.OnToolCommand(kind);
    return opened;
}

}  // namespace

class JobMemoryTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        ForgetRememberedJobs();
        QSettings().remove("History");
        WriteEnviScene(m_dir.Path(), MakeScene(512, 512));
        WriteEnviScene8(m_dir8.Path(), MakeScene8(64, 64));
    }

    // The job a run starts with is the one the dialog reopens with in the next session.
    void EveryDialogReopensWithItsLastRunsJob_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("job");  // @ stands for the 16-bit scene's folder, % the 8-bit's
        using K = ToolDialogKind;
        QTest::newRow("pan-sharpening 16-bit")
            << int(K::PanSharpen16)
            << "--pan @/pan.img --blue @/blue.img --green @/green.img --method awlp --suffix _A "
               "--bmp @/a.bmp --sensor ikonos --filter none --nonlinear 0,3,0";
        QTest::newRow("pan-sharpening Landsat")
            << int(K::PanSharpenEtm)
            << "--pan %/pan.img --blue %/blue.img --method 2 --bmp %/e.bmp --filter detail "
               "--filter-bands red --quality";
        QTest::newRow("combination 16")
            << int(K::BandCombination16) << "--blue @/red.img --bmp @/c.bmp --cutoffs 1,1,1,1,1,5";
        QTest::newRow("combination 8")
            << int(K::BandCombination8) << "--blue %/green.img --bmp %/c.bmp";
        QTest::newRow("semivariance")
            << int(K::Semivariance) << "--input @/nir.img --max-lag 0 --output @/s.txt";
        QTest::newRow("Haar") << int(K::HaarWavelet)
                              << "--input @/red.img --levels 0 --form half --output @/h.img "
                                 "--bmp @/h.bmp";
        QTest::newRow("quality") << int(K::FusionQuality)
                                 << "--pan @/pan.img --ms @/blue.img @/green.img --ratio 8 "
                                    "--sensor quickbird --keep @/kept";
    }
    void EveryDialogReopensWithItsLastRunsJob()
    {
        QFETCH(int, kind);
        QFETCH(QString, job);
        Args args;
        for (QString word : job.split(' ')) {
            word.replace('@', Q(m_dir.Path())).replace('%', Q(m_dir8.Path()));
            args.push_back(ToEngine(word));
        }
        std::string tool;
        {
            MainFrame frame;
            frame.Host().SetPrompts(std::make_unique<ScriptedPrompts>());
            QVERIFY(WithDialog(frame, ToolDialogKind(kind), [&](ToolDialog& dialog) {
                auto* quality = dynamic_cast<FusionQualityDialog*>(&dialog);
                tool = quality ? "quality wald" : dialog.Command().tool;
                dialog.Restore({tool, args});
                QCOMPARE(dialog.Command().arguments, args);
                // The run stops on a message (sizes, ratios, counts that do not fit): it is a run
                // all the same.
                if (quality) {
                    quality->OnMeasure();
                } else {
                    dialog.accept();
                }
            }));
            QVERIFY(frame.History().Table()->rowCount() >= 1);
        }
        MainFrame restarted;
        QVERIFY(WithDialog(restarted, ToolDialogKind(kind), [&](ToolDialog& dialog) {
            QCOMPARE(dialog.Command().tool, tool);
            QCOMPARE(dialog.Command().arguments, args);
        }));
        QCOMPARE(restarted.History().Table()->rowCount(), 1);
        QCOMPARE(restarted.History().Table()->item(0, 2)->text(), QString("Stopped"));
    }

    // A remembered file that is gone is left out; Reset empties the dialog for this and the
    // next time.
    void GoneFilesAreLeftOutAndResetForgets()
    {
        MainFrame frame;
        frame.Host().SetPrompts(std::make_unique<ScriptedPrompts>());
        QVERIFY(WithDialog(frame, ToolDialogKind::PanSharpen16, [this](ToolDialog& dialog) {
            ChooseEnviScene(static_cast<PanSharpenDialog&>(dialog), m_dir.Path());
            Choose(static_cast<PanSharpenDialog&>(dialog).MethodList(), 2);
            TypeInto(static_cast<PanSharpenDialog&>(dialog).WidthField(), "500");  // refused
            dialog.accept();
        }));
        QFile::remove(Q(m_dir.File("nir.img")));
        Args fresh;
        QVERIFY(WithDialog(frame, ToolDialogKind::PanSharpen16, [&](ToolDialog& dialog) {
            auto& pan = static_cast<PanSharpenDialog&>(dialog);
            QCOMPARE(pan.PanField()->text(), QString("pan.img"));
            QCOMPARE(pan.BandList(kRed)->currentText(), QString("red.img"));
            QCOMPARE(pan.BandList(kNir)->count(), 0);
            QCOMPARE(pan.MethodList()->currentIndex(), 2);
            QCOMPARE(pan.ResamplingList()->currentText(), QString("23-Tap Interpolator"));
            dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Reset)->click();
            QVERIFY(pan.PanField()->text().isEmpty());
            QCOMPARE(pan.MethodList()->currentIndex(), 0);
            fresh = dialog.Command().arguments;
        }));
        QVERIFY(WithDialog(frame, ToolDialogKind::PanSharpen16, [&](ToolDialog& dialog) {
            QCOMPARE(dialog.Command().arguments, fresh);
        }));
    }

    // Each run joins the History; "Run again" opens its dialog filled in, "Show result" shows
    // the pan-sharpened result beside its inputs in the viewer.
    void HistoryRunsAgainAndShowsResults()
    {
        MainFrame frame;
        frame.Host().SetPrompts(std::make_unique<ScriptedPrompts>());
        frame.resize(1300, 800);
        frame.show();
        Args ran;
        QVERIFY(WithDialog(frame, ToolDialogKind::PanSharpen16, [&](ToolDialog& dialog) {
            ChooseEnviScene(static_cast<PanSharpenDialog&>(dialog), m_dir.Path());
            static_cast<PanSharpenDialog&>(dialog).DisplayBmpBox()->click();  // no picture
            ran = dialog.Command().arguments;
            dialog.accept();
        }));
        HistoryPanel& history = frame.History();
        QCOMPARE(history.Table()->rowCount(), 1);
        QCOMPARE(history.Table()->item(0, 2)->text(), QString("Finished"));
        QCOMPARE(history.Table()->item(0, 3)->text(),
                 QString("Pan-Sharpening Module (For 16-bit data)"));
        QVERIFY(history.Table()->item(0, 4)->text().startsWith("--pan pan.img --blue blue.img"));
        QVERIFY(history.Table()->item(0, 0)->toolTip().startsWith("lumesta-cli pansharpen --pan "));
        QVERIFY(history.ShowResultButton()->isEnabled());

        frame.Viewer().hide();
        history.ShowResultButton()->click();
        QVERIFY(!frame.Viewer().isHidden());
        QVERIFY2(frame.Viewer().Canvas().Layer(ImageCanvas::kPrimary),
                 qPrintable(frame.Viewer().Problem()));
        QCOMPARE(ComboEntries(frame.Viewer().AgainstBox()),
                 QStringList({"Result 1 (blue_Fused.img)", "Input MS bands", "Pan"}));
        QCOMPARE(frame.Viewer().ImageBox()->currentText(), QString("Result 1 (blue_Fused.img)"));
        SaveScreenshot(&history, "history_panel");

        bool opened = false;
        WhenModalOpens(
            [&](QWidget* window) {
                auto* dialog = dynamic_cast<PanSharpenDialog*>(window);
                QVERIFY(dialog);
                QCOMPARE(dialog->Command().arguments, ran);
            },
            &opened);
        history.RunAgainButton()->click();
        QVERIFY(opened);
    }

private:
    TempDir m_dir;
    TempDir m_dir8;
};

}  // namespace lumesta::testing

int RunJobMemoryTests(int argc, char** argv)
{
    lumesta::testing::JobMemoryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "job_memory_test.moc"
