#include "ui/pansharpen_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

#include "fusion/report/parameter_section.h"
#include "tests/support/fake_host.h"
#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/ui_test_support.h"
#include "ui/more_params_dialog.h"
#include "ui/stretch_params_dialog.h"

namespace lumesta::testing {
namespace {

const char* const kBandStems[4] = {"blue", "green", "red", "nir"};

}  // namespace

class PanSharpenDialogTest : public QObject {
    Q_OBJECT

private slots:
    void MenuSensorAndMethodChoicesReachTheJob()
    {
        FakeHost host;
        RunCounters counters;
        PanSharpenDialog dialog(counters, host, nullptr, "ikonos");
        QCOMPARE(dialog.SensorList()->currentText(), QString("ikonos"));
        QCOMPARE(dialog.Job().sensor, std::string("ikonos"));
        Choose(dialog.SensorList(), 0);
        QCOMPARE(dialog.Job().sensor, std::string("worldview2"));
        // The list is the method table's rows in order, then "Best for this scene" (auto).
        QStringList labels;
        for (const FusionMethodRow& row : FusionMethods()) labels << row.label;
        labels << "Best for this scene";
        QCOMPARE(ComboEntries(dialog.MethodList()), labels);
        // A detail-injection method turns the filter off; method 1 brings its filter back.
        Choose(dialog.MethodList(), 3);
        QCOMPARE(dialog.Job().method, FusionMethod::GlpHpm);
        QCOMPARE(dialog.Job().filterType, FilterType16::None);
        QCOMPARE(dialog.Job().filterFlags, (std::array<bool, 4>{}));
        // "Best for this scene" leaves the choice to the run; a method chosen after it wins.
        Choose(dialog.MethodList(), labels.size() - 1);
        QVERIFY(dialog.Job().autoMethod.requested);
        Choose(dialog.MethodList(), 0);
        QVERIFY(!dialog.Job().autoMethod.requested);
        QCOMPARE(dialog.Job().method, FusionMethod::Optimisation1);
        QCOMPARE(dialog.Job().filterType, FilterType16::Sharpen);
        QCOMPARE(dialog.Job().filterFlags, (std::array<bool, 4>{false, true, true, false}));

        // Every method: Resampling shows what the report says ("Best for this scene" becomes a
        // method only when the run starts).
        for (int method = 0; method + 1 < dialog.MethodList()->count(); ++method) {
            Choose(dialog.MethodList(), method);
            FakeHost report;
            RunLog log(counters, report);
            WriteParameterSection(dialog.Job(), std::string(), log);
            QCOMPARE(dialog.ResamplingList()->count(), 1);
            QVERIFY2(Q(report.Log())
                         .contains("Pan-Sharpening Method:\t" + dialog.MethodList()->currentText() +
                                   "\r\nResampling Method:\t" +
                                   dialog.ResamplingList()->currentText() + "\r\n"),
                     report.Log().c_str());
        }
    }

    void BlueChoiceFillsTheLists_data()
    {
        QTest::addColumn<QString>("blue");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<bool>("othersBrowse");
        QTest::newRow("one band") << "blue.img" << QStringList{"blue.img"} << true;
        QTest::newRow("four-band file") << "ms.img" << QStringList{"Blue", "Green", "Red", "NIR"}
                                        << false;
        QTest::newRow("group file") << "ms.rgf" << QStringList{"blue", "green", "red", "nir"}
                                    << false;
    }
    void BlueChoiceFillsTheLists()
    {
        QFETCH(QString, blue);
        QFETCH(QStringList, entries);
        QFETCH(bool, othersBrowse);
        TempDir dir;
        const Scene scene = MakeScene(512, 512);
        WriteEnvi4Scene(dir.Path(), scene);
        WriteEnviScene(dir.Path(), scene);
        WriteIdrisiScene(dir.Path(), scene);
        FakeHost host;
        RunCounters counters;
        PanSharpenDialog dialog(counters, host, nullptr);
        dialog.OnPanChosen(Q(dir.File(blue.endsWith(".rgf") ? "pan.rst" : "pan.img")));
        dialog.OnBandChosen(kBlue, Q(dir.File(blue.toStdString())));
        QVERIFY(host.Messages().empty());
        const bool single = entries.size() == 1;
        for (int band = kBlue; band <= kNir; ++band) {
            QCOMPARE(ComboEntries(dialog.BandList(band)), single && band > kBlue ? QStringList() : entries);
            QCOMPARE(dialog.BandList(band)->currentIndex(), single ? (band == kBlue ? 0 : -1) : band);
            QCOMPARE(dialog.BandBrowse(band)->isEnabled(), band == kBlue || othersBrowse);
        }
        if (single) return;
        // A later entry chosen: a group member names its own file, a band of a four-band file
        // stays in that file.
        Choose(dialog.BandList(kGreen), 3);
        QCOMPARE(Q(dialog.Job().selection[kGreen]), entries[3]);
        QCOMPARE(dialog.Job().msPath[kGreen], dir.File(blue == "ms.rgf" ? "nir.rst" : "ms.img"));
    }

    void ValidationMessagesKeepTheDialogOpenWithItsFields()
    {
        FakeHost host;
        RunCounters counters;
        PanSharpenDialog dialog(counters, host, nullptr);
        dialog.show();
        TypeInto(dialog.WidthField(), "600");
        TypeInto(dialog.SuffixField(), "_Mine");
        dialog.accept();
        QCOMPARE(host.Messages(), std::vector<std::string>{"Please input images."});
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.WidthField()->text(), QString("600"));
        QCOMPARE(dialog.SuffixField()->text(), QString("_Mine"));
        QCOMPARE(counters.GetTotalRunCount(), 0);
        QCOMPARE(host.Log(), std::string());

        host.ClearMessages();
        dialog.HeightField()->clear();
        dialog.accept();
        QCOMPARE(host.Messages(), std::vector<std::string>{"Please enter an integer."});
        QVERIFY(dialog.isVisible());
    }

    // More and Stretch open at their defaults every time; OK replaces the job's parameters
    // (with the defaults when nothing was changed), Cancel keeps them.
    void ParameterDialogsChangeTheJobOnlyOnOk()
    {
        FakeHost host;
        RunCounters counters;
        PanSharpenDialog dialog(counters, host, nullptr);
        WhenModalOpens([](QWidget* modal) {
            auto* more = dynamic_cast<MoreParamsDialog*>(modal);
            QVERIFY(more);
            QTest::mouseClick(more->FilterButton(FilterType16::None), Qt::LeftButton);
            more->AmountField(kBlue)->setValue(12);
            more->accept();
        });
        dialog.OnMore();
        QCOMPARE(dialog.Job().filterType, FilterType16::None);
        QCOMPARE(dialog.Job().filterFlags, (std::array<bool, 4>{false, false, false, false}));
        QCOMPARE(dialog.Job().colourAmounts, (std::array<int, 3>{12, 0, 0}));

        WhenModalOpens([](QWidget* modal) {
            auto* more = dynamic_cast<MoreParamsDialog*>(modal);
            QVERIFY(more);
            QVERIFY(more->FilterButton(FilterType16::Sharpen)->isChecked());
            QCOMPARE(more->AmountField(kBlue)->value(), 0);
            QTest::mouseClick(more->FilterButton(FilterType16::Detail), Qt::LeftButton);
            more->reject();
        });
        dialog.OnMore();
        QCOMPARE(dialog.Job().filterType, FilterType16::None);
        QCOMPARE(dialog.Job().colourAmounts, (std::array<int, 3>{12, 0, 0}));

        WhenModalOpens([](QWidget* modal) { static_cast<QDialog*>(modal)->accept(); });
        dialog.OnMore();
        QCOMPARE(dialog.Job().filterType, FilterType16::Sharpen);
        QCOMPARE(dialog.Job().filterFlags, (std::array<bool, 4>{false, true, true, false}));
        QCOMPARE(dialog.Job().colourAmounts, (std::array<int, 3>{0, 0, 0}));

        WhenModalOpens([](QWidget* modal) {
            auto* stretch = dynamic_cast<CStretchParamsDlg*>(modal);
            QVERIFY(stretch);
            stretch->RightField(kRed)->setValue(7);
            stretch->NonlinearField(kGreen)->setValue(5);
            stretch->accept();
        });
        dialog.OnStretch();
        QCOMPARE(dialog.Job().stretch.rightCutoff, (std::array<int, 3>{2, 2, 7}));
        QCOMPARE(dialog.Job().stretch.nonlinear, (std::array<int, 3>{0, 5, 0}));

        WhenModalOpens([](QWidget* modal) {
            auto* stretch = dynamic_cast<CStretchParamsDlg*>(modal);
            QVERIFY(stretch);
            QCOMPARE(stretch->RightField(kRed)->value(), 2);
            stretch->LeftField(kBlue)->setValue(20);
            stretch->reject();
        });
        dialog.OnStretch();
        QCOMPARE(dialog.Job().stretch.leftCutoff, (std::array<int, 3>{2, 2, 2}));
        QCOMPARE(dialog.Job().stretch.rightCutoff, (std::array<int, 3>{2, 2, 7}));
    }

    void BatchFileArmsTheSelectorsAndOkStaysOpenAfterAStop()
    {
        TempDir dir;
        WriteFileBytes(dir.File("jobs.bif"), "1 3\n");
        FakeHost host;
        RunCounters counters;
        PanSharpenDialog dialog(counters, host, nullptr);
        dialog.OnPanChosen(Q(dir.File("jobs.bif")));
        QVERIFY(dialog.Job().batchMode);
        for (int band = kBlue; band <= kNir; ++band) {
            QCOMPARE(ComboEntries(dialog.BandList(band)), QStringList({"Band 1", "Band 2", "Band 3", "Band 4"}));
            QCOMPARE(dialog.BandList(band)->currentIndex(), band);
            QVERIFY(dialog.BandList(band)->isEnabled());
            QVERIFY(!dialog.BandBrowse(band)->isEnabled());
        }
        QVERIFY(!dialog.WidthField()->isEnabled());
        QVERIFY(!dialog.SuffixField()->isEnabled());
        QVERIFY(!dialog.BmpField()->isEnabled());
        QVERIFY(!dialog.DisplayBmpBox()->isEnabled());
        dialog.show();
        dialog.accept();
        QCOMPARE(host.Messages(), std::vector<std::string>{"Output format indicator in the *.bif file should be 0, 1, or 2."});
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), 0);
        QVERIFY(host.Log().empty());
    }

    void WholeRunWritesTheSameReportAndFilesAsTheCommandLine()
    {
        TempDir dir;
        WriteEnviScene(dir.Path(), MakeScene(512, 512));
        FakeHost host;
        RunCounters counters;
        PanSharpenDialog dialog(counters, host, nullptr);
        dialog.show();
        ChooseEnviScene(dialog, dir.Path());
        // lumesta-cli displays nothing unless asked to.
        QTest::mouseClick(dialog.DisplayBmpBox(), Qt::LeftButton);
        QStringList arguments = {"pansharpen", "--pan", Q(dir.File("pan.img"))};
        for (const char* stem : kBandStems)
            arguments << QString("--") + stem << Q(dir.File(std::string(stem) + ".img"));
        QStringList written;
        ExpectSameAsCommandLine(dialog, host, dir, arguments, &written);
        QVERIFY(!dialog.isVisible());
        QVERIFY(host.Viewed().empty());
        QVERIFY(dialog.ProgressBar()->value() > 0);
        QCOMPARE(written.size(), 9);  // the picture, and each fused band with its header
    }
};

}  // namespace lumesta::testing

int RunPanSharpenDialogTests(int argc, char** argv)
{
    lumesta::testing::PanSharpenDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "pansharpen_dialog_test.moc"
