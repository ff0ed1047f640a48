#include "ui/etm_dialog.h"

#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

#include "desktop/main_frame.h"
#include "tests/support/fake_host.h"
#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/ui_test_support.h"
#include "ui/etm_more_params_dialog.h"

namespace lumesta::testing {
namespace {

const char* const kStems[5] = {"blue", "green", "red", "nir", "swir"};
constexpr int kW = 600;  // pan size of the written scenes; the MS bands are 300 x 270
constexpr int kH = 540;

// Every input form in one folder: pan.img/.rst/.raw, single bands blue..swir as .img and .rst,
// ms3.img and ms5.img (bands B1...), groups ms2.rgf and ms4.rgf.
void WriteScenes(const TempDir& dir)
{
    const Scene8 scene = MakeScene8(kW, kH, 5);
    WriteEnviScene8(dir.Path(), scene);
    WriteByteFile(dir.File("pan.raw"), scene.pan);
    WriteByteFile(dir.File("pan.rst"), scene.pan);
    WriteIdrisiHeader(dir.File("pan.rst"), kW, kH, "byte");
    std::vector<std::uint8_t> all;
    for (int band = 0; band < 5; ++band) {
        const std::string rst = dir.File(std::string(kStems[band]) + ".rst");
        WriteByteFile(rst, scene.ms[band]);
        WriteIdrisiHeader(rst, kW / 2, kH / 2, "byte");
        all.insert(all.end(), scene.ms[band].begin(), scene.ms[band].end());
    }
    WriteByteFile(dir.File("ms5.img"), all);
    WriteEnviHeader(dir.File("ms5.img"), kW / 2, kH / 2, 5, {"B1", "B2", "B3", "B4", "B5"}, 1);
    all.resize(all.size() / 5 * 3);
    WriteByteFile(dir.File("ms3.img"), all);
    WriteEnviHeader(dir.File("ms3.img"), kW / 2, kH / 2, 3, {"B1", "B2", "B3"}, 1);
    WriteFileBytes(dir.File("ms2.rgf"), "2\nblue\ngreen\n");
    WriteFileBytes(dir.File("ms4.rgf"), "4\nblue\ngreen\nred\nnir\n");
}

}  // namespace

class EtmDialogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { WriteScenes(m_dir); }

    void BlueChoiceFillsTheThreeLists_data()
    {
        QTest::addColumn<QString>("pan");
        QTest::addColumn<QString>("blue");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("paths");  // of Blue, Green, Red
        const QStringList five{"B1", "B2", "B3", "B4", "B5"};
        QTest::newRow("single") << "pan.img"
                                << "blue.img" << QStringList{"blue.img"}
                                << QStringList{"blue.img", "", ""};
        QTest::newRow("5-band ENVI")
            << "pan.img"
            << "ms5.img" << five << QStringList{"ms5.img", "ms5.img", "ms5.img"};
        QTest::newRow("group of 4") << "pan.rst"
                                    << "ms4.rgf" << QStringList{"blue", "green", "red", "nir"}
                                    << QStringList{"blue.rst", "green.rst", "red.rst"};
    }
    void BlueChoiceFillsTheThreeLists()
    {
        QFETCH(QString, pan);
        QFETCH(QString, blue);
        QFETCH(QStringList, entries);
        QFETCH(QStringList, paths);
        FakeHost host;
        EtmDialog dialog(m_counters, host, nullptr);
        dialog.OnPanChosen(File(pan));
        QCOMPARE(dialog.WidthField()->text(), QString::number(kW));
        dialog.OnBandChosen(kEtmBlue, File(blue));
        QVERIFY(host.Messages().empty());
        const bool single = entries.size() == 1;
        for (int band = kEtmBlue; band <= kEtmRed; ++band) {
            const bool empty = single && band > kEtmBlue;
            QCOMPARE(ComboEntries(dialog.BandList(band)), empty ? QStringList() : entries);
            QCOMPARE(dialog.BandList(band)->currentIndex(), empty ? -1 : band);
            QCOMPARE(dialog.BandBrowse(band)->isEnabled(), band == kEtmBlue || single);
            QCOMPARE(Q(dialog.Job().msPath[band]), empty ? QString() : File(paths[band]));
        }
        if (single) return;
        // A later entry chosen: a group member names its own file, a band of a multi-band file
        // stays in that file.
        const int last = static_cast<int>(entries.size()) - 1;
        Choose(dialog.BandList(kEtmRed), last);
        QCOMPARE(Q(dialog.Job().selection[kEtmRed]), entries[last]);
        QCOMPARE(Q(dialog.Job().msPath[kEtmRed]),
                 File(blue.endsWith(".rgf") ? entries[last] + ".rst" : blue));
    }

    void RefusedChoicesShowTheirMessagesAndLeaveTheRowsEmpty()
    {
        FakeHost host;
        EtmDialog dialog(m_counters, host, nullptr);
        dialog.OnBrowseBand(kEtmGreen);
        dialog.OnBrowseBand(kEtmRed);
        QCOMPARE(host.Messages(), std::vector<std::string>(2, "Please enter the blue band first."));
        QCOMPARE(dialog.BandList(kEtmGreen)->count() + dialog.BandList(kEtmRed)->count(), 0);

        host.ClearMessages();
        dialog.OnPanChosen(File("pan.rst"));
        dialog.OnBandChosen(kEtmBlue, File("ms2.rgf"));
        QCOMPARE(host.Messages(), std::vector<std::string>{"Idrisi32's Group Raster File (*.rgf) "
                                                           "should contain at least 3 images."});
        QCOMPARE(dialog.BandList(kEtmBlue)->count(), 0);
        QVERIFY(dialog.BandBrowse(kEtmRed)->isEnabled());
    }

    void TypedSuffixSetsTheBmpName()
    {
        const std::map<QString, QString> bmpOfPan{
            {"pan.img", "pan_X.bmp"}, {"pan.rst", "pan_X.bmp"}, {"pan.raw", "pan.raw_X.bmp"}};
        for (const auto& [pan, bmp] : bmpOfPan) {
            EtmDialog dialog(m_counters, m_host, nullptr);
            dialog.OnPanChosen(File(pan));
            dialog.SuffixField()->selectAll();
            QTest::keyClicks(dialog.SuffixField(), "_X");
            QCOMPARE(dialog.BmpField()->text(), File(bmp));
            QCOMPARE(Q(dialog.Job().bmpName), File(bmp));
        }
    }

    void MoreOpensAtNoneEveryTimeAndOnlyOkChangesTheJob()
    {
        EtmDialog dialog(m_counters, m_host, nullptr);
        WhenModalOpens([](QWidget* modal) {
            auto* more = dynamic_cast<EtmMoreParamsDialog*>(modal);
            QVERIFY(more);
            QCOMPARE(more->windowTitle(), QString("More Paramters ..."));
            more->FilterButton(EtmFilter::Detail)->click();
            more->BandBox(kEtmGreen)->click();
            more->accept();
        });
        dialog.OnMore();
        QCOMPARE(dialog.Job().filterType, EtmFilter::Detail);
        QCOMPARE(dialog.Job().filterFlags, (std::array<bool, 3>{true, false, true}));

        WhenModalOpens([](QWidget* modal) {
            auto* more = static_cast<EtmMoreParamsDialog*>(modal);
            QVERIFY(more->FilterButton(EtmFilter::None)->isChecked());
            for (int band = kEtmBlue; band <= kEtmRed; ++band) {
                QVERIFY(!more->BandBox(band)->isChecked() && !more->BandBox(band)->isEnabled());
            }
            more->FilterButton(EtmFilter::Smooth)->click();
            more->reject();
        });
        dialog.OnMore();
        QCOMPARE(dialog.Job().filterType, EtmFilter::Detail);
        QCOMPARE(dialog.Job().filterFlags, (std::array<bool, 3>{true, false, true}));

        WhenModalOpens([](QWidget* modal) { static_cast<QDialog*>(modal)->accept(); });
        dialog.OnMore();
        QCOMPARE(dialog.Job().filterType, EtmFilter::None);
        QCOMPARE(dialog.Job().filterFlags, (std::array<bool, 3>{false, false, false}));
    }

    void WholeRunWritesWhatTheCommandLineWrites()
    {
        FakeHost host;
        RunCounters counters;
        EtmDialog dialog(counters, host, nullptr);
        dialog.show();
        dialog.OnPanChosen(File("pan.img"));
        dialog.OnBandChosen(kEtmBlue, File("ms5.img"));
        Choose(dialog.BandList(kEtmGreen), 3);
        Choose(dialog.MethodList(), 1);
        dialog.SuffixField()->selectAll();
        QTest::keyClicks(dialog.SuffixField(), "_Etm");
        QTest::mouseClick(dialog.DisplayBmpBox(), Qt::LeftButton);  // lumesta-cli displays nothing
        WhenModalOpens([](QWidget* modal) {
            auto* more = static_cast<EtmMoreParamsDialog*>(modal);
            more->FilterButton(EtmFilter::SmoothSharpen)->click();
            more->BandBox(kEtmGreen)->click();
            more->accept();
        });
        dialog.OnMore();
        WhenModalOpens([](QWidget* modal) {
            auto* stretch = static_cast<CStretchParamsDlg*>(modal);
            stretch->RightField(kEtmRed)->setValue(5);
            stretch->NonlinearField(kEtmBlue)->setValue(3);
            stretch->accept();
        });
        dialog.OnStretch();
        QStringList written;
        ExpectSameAsCommandLine(
            dialog, host, m_dir,
            {"pansharpen-etm", "--pan", File("pan.img"), "--blue", File("ms5.img"), "--select",
             "1,4,3", "--method", "2", "--suffix", "_Etm", "--filter", "smooth-sharpen",
             "--filter-bands", "blue,red", "--cutoffs", "2,2,2,2,2,5", "--nonlinear", "3,0,0"},
            &written);
        QVERIFY(dialog.ProgressBar()->value() > 0);
        QVERIFY(written.contains("pan_Etm.bmp") && written.contains("ms5_Etm3.img"));
    }

    void LandsatMenuItemRunsThisDialogWithTheDocumentsCounter()
    {
        MainFrame frame;
        ForgetRememberedJobs();
        frame.Host().SetPrompts(std::make_unique<ScriptedPrompts>());
        frame.Document().Counters().Increment(Tool::PanSharpening);  // as after a 16-bit run
        QAction* item = ItemNamed(MenuNamed(frame, "&Pan-Sharpening"), "&Landsat ETM+");
        QVERIFY(item && item->isEnabled());
        bool opened = false;
        WhenModalOpens(
            [this](QWidget* modal) {
                auto* dialog = dynamic_cast<EtmDialog*>(modal);
                QVERIFY(dialog);
                dialog->OnPanChosen(File("pan.img"));
                dialog->OnBandChosen(kEtmBlue, File("ms3.img"));
                QTest::mouseClick(dialog->DisplayBmpBox(), Qt::LeftButton);
                dialog->accept();
            },
            &opened);
        item->trigger();
        QVERIFY(opened);
        QVERIFY(frame.View().TextForSaving().find("_____________ Pan-Sharpening Run (2) ") !=
                std::string::npos);
        QVERIFY(Exists(m_dir.File("ms3_Fused1.img")));
        frame.View().document()->setModified(false);
    }

private:
    QString File(const QString& name) const { return Q(m_dir.File(name.toStdString())); }

    TempDir m_dir;
    FakeHost m_host;
    RunCounters m_counters;
};

}  // namespace lumesta::testing

int RunEtmDialogTests(int argc, char** argv)
{
    lumesta::testing::EtmDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "etm_dialog_test.moc"
