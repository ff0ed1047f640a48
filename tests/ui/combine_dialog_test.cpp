#include "ui/combine_dialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include "desktop/main_frame.h"
#include "tests/support/fake_host.h"
#include "tests/support/geotiff_builder.h"
#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/ui_test_support.h"
#include "ui/stretch_params_dialog.h"
#include "ui/text.h"

namespace lumesta::testing {
namespace {

constexpr int kW = 160;  // wide enough for the 128-pixel minimum
constexpr int kH = 130;

// blue.img, ms.img (bands B, G, R, N), the group ms.rgf of b1..b4.rst, headerless g1..g3.raw,
// the GeoTIFFs ms.tif (4 bands) and pan.tif, and 8-bit GeoTIFFs b8, g8, r8.tif.
void WriteInputs(const TempDir& dir)
{
    std::vector<std::vector<std::int16_t>> bands(4);
    for (int band = 0; band < 4; ++band) {
        for (int i = 0; i < kW * kH; ++i) {
            const int x = i % kW, y = i / kW;
            bands[band].push_back(static_cast<std::int16_t>(40 + 250 * band +
                                                            (x * 7 + y * 5 + band * 11) % 600 +
                                                            ((x / 10 + y / 8) % 3) * 120));
        }
        const std::string n = std::to_string(band + 1);
        WriteInt16File(dir.File("b" + n + ".rst"), bands[band]);
        WriteIdrisiHeader(dir.File("b" + n + ".rst"), kW, kH);
        if (band == 3) break;
        WriteInt16File(dir.File("g" + n + ".raw"), bands[band]);
        std::vector<std::uint8_t> bytes(bands[band].begin(), bands[band].end());  // low bytes
        WriteGeoTiff8(dir.File(std::string(1, "bgr"[band]) + "8.tif"), kW, kH, bytes);
    }
    WriteInt16File(dir.File("blue.img"), bands[0]);
    WriteEnviHeader(dir.File("blue.img"), kW, kH, 1);
    std::vector<std::int16_t> all;
    for (const auto& band : bands) all.insert(all.end(), band.begin(), band.end());
    WriteInt16File(dir.File("ms.img"), all);
    WriteEnviHeader(dir.File("ms.img"), kW, kH, 4, {"B", "G", "R", "N"});
    WriteFileBytes(dir.File("ms.rgf"), "4\nb1\nb2\nb3\nb4\n");
    WriteGeoTiff16(dir.File("ms.tif"), kW, kH, bands);
    WriteGeoTiff16(dir.File("pan.tif"), kW, kH, {bands[0]});
}

std::unique_ptr<BandCombinationDialog> MakeDialog(bool sixteen, RunCounters& counters, Host& host)
{
    if (sixteen) return std::make_unique<CBandCombination16Dlg>(counters, host, nullptr);
    return std::make_unique<CBandCombination8Dlg>(counters, host, nullptr);
}

}  // namespace

class CombineDialogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { WriteInputs(m_dir); }

    void BlueChoiceFillsTheListsAndNamesTheOutputs_data()
    {
        QTest::addColumn<bool>("sixteen");
        QTest::addColumn<QString>("blue");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("geoTiff");  // the composite's name, for GeoTIFF inputs
        const QStringList numbered{"Band 1", "Band 2", "Band 3", "Band 4"};
        QTest::newRow("ENVI") << true << "blue.img" << QStringList{"blue.img"} << "";
        QTest::newRow("4-band ENVI") << true << "ms.img" << QStringList{"B", "G", "R", "N"} << "";
        QTest::newRow("4-band GeoTIFF") << true << "ms.tif" << numbered << "ms_Composite.tif";
        QTest::newRow("group") << true << "ms.rgf" << QStringList{"b1", "b2", "b3", "b4"} << "";
        QTest::newRow("generic") << true << "g1.raw" << QStringList{"g1.raw"} << "";
        QTest::newRow("8-bit GeoTIFF")
            << false << "b8.tif" << QStringList{"b8.tif"} << "b8_Composite.tif";
    }
    void BlueChoiceFillsTheListsAndNamesTheOutputs()
    {
        QFETCH(bool, sixteen);
        QFETCH(QString, blue);
        QFETCH(QStringList, entries);
        QFETCH(QString, geoTiff);
        FakeHost host;
        const auto dialog = MakeDialog(sixteen, m_counters, host);
        dialog->OnBandChosen(kCompositeBlue, File(blue));
        QCOMPARE(host.Messages(), std::vector<std::string>());
        const int width = blue.endsWith(".raw") ? 0 : kW;  // typed for a generic matrix
        QCOMPARE(dialog->WidthField()->text(), QString::number(width));
        QCOMPARE(dialog->BmpField()->text(), File(blue.left(blue.size() - 4) + "_Composite.bmp"));
        QCOMPARE(ToQt(dialog->Job().geoTiffPath), geoTiff.isEmpty() ? QString() : File(geoTiff));
        const bool single = entries.size() == 1;
        const bool group = blue.endsWith(".rgf");
        for (int band = kCompositeBlue; band <= kCompositeRed; ++band) {
            const bool empty = single && band != kCompositeBlue;
            QCOMPARE(ComboEntries(dialog->BandList(band)), empty ? QStringList() : entries);
            QCOMPARE(dialog->BandList(band)->currentIndex(), empty ? -1 : band);
            QCOMPARE(dialog->BandBrowse(band)->isEnabled(), band == kCompositeBlue || single);
            const QString path = empty ? QString() : File(group ? entries[band] + ".rst" : blue);
            QCOMPARE(ToQt(dialog->Job().bandPath[band]), path);
        }
        if (single) return;
        // The last entry for Red: a group member names its own file, a band stays in its file.
        Choose(dialog->BandList(kCompositeRed), 3);
        QCOMPARE(dialog->Job().selectedIndex[kCompositeRed], 3);
        QCOMPARE(ToQt(dialog->Job().bandPath[kCompositeRed]), File(group ? "b4.rst" : blue));
    }

    void GenericBandsTakeTypedSizesAndEditedBmpName()
    {
        FakeHost host;
        RunCounters counters;
        CBandCombination16Dlg dialog(counters, host, nullptr);
        dialog.show();
        dialog.accept();
        dialog.OnBrowseBand(kCompositeGreen);  // refused before any chooser opens
        QCOMPARE(host.Messages(), (std::vector<std::string>{"Please input images.",
                                                            "Please enter the blue band first."}));
        QVERIFY(dialog.isVisible() && host.Log().empty());  // no report: the dialog stays open

        host.ClearMessages();
        for (int band = kCompositeBlue; band <= kCompositeRed; ++band)
            dialog.OnBandChosen(band, File("g" + QString::number(band + 1) + ".raw"));
        QTest::mouseClick(dialog.DisplayBmpBox(), Qt::LeftButton);
        dialog.BmpField()->selectAll();
        QTest::keyClicks(dialog.BmpField(), File("typed.bmp"));
        dialog.WidthField()->clear();
        dialog.accept();
        QCOMPARE(host.Messages(), std::vector<std::string>{"Please enter an integer."});
        QTest::keyClicks(dialog.WidthField(), QString::number(kW));
        dialog.HeightField()->selectAll();
        QTest::keyClicks(dialog.HeightField(), QString::number(kH - 1));
        QCOMPARE(ToQt(dialog.Job().bmpPath), File("typed.bmp"));
        QVERIFY(dialog.Job().width == kW && dialog.Job().height == kH - 1 &&
                !dialog.Job().displayBmp);
        dialog.accept();
        QCOMPARE(host.Messages().back(),
                 std::string("File size does not match with image size (16 bit data)."));
        // A stop keeps the dialog and every field, for one correction and OK again.
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.BmpField()->text(), File("typed.bmp"));
        QCOMPARE(dialog.HeightField()->text(), QString::number(kH - 1));
        QCOMPARE(dialog.BandList(kCompositeRed)->count(), 1);
    }

    void BatchFileArmsTheSelectorsAndOkStaysOpenAfterAStop_data()
    {
        QTest::addColumn<bool>("sixteen");
        QTest::newRow("16-bit") << true;
        QTest::newRow("8-bit") << false;
    }
    void BatchFileArmsTheSelectorsAndOkStaysOpenAfterAStop()
    {
        QFETCH(bool, sixteen);
        WriteFileBytes(m_dir.File("stop.bif"), "1 3\n");
        FakeHost host;
        const auto dialog = MakeDialog(sixteen, m_counters, host);
        const QString single = File(sixteen ? "blue.img" : "b8.tif");
        dialog->OnBandChosen(kCompositeBlue, single);
        dialog->OnBandChosen(kCompositeBlue, File("stop.bif"));
        const QStringList selectors =
            sixteen ? QStringList{"Band 1", "Band 2", "Band 3", "Band 4"} : QStringList{"stop.bif"};
        const std::vector<QWidget*> singleFileControls{
            dialog->WidthField(), dialog->HeightField(),   dialog->BmpField(),
            dialog->BmpBrowse(),  dialog->DisplayBmpBox(), dialog->GeoTiffBox()};
        for (int pass = 0; pass < 2; ++pass) {  // armed, and still armed after the stop
            for (int band = kCompositeBlue; band <= kCompositeRed; ++band) {
                QCOMPARE(ComboEntries(dialog->BandList(band)), selectors);
                QCOMPARE(dialog->BandList(band)->currentIndex(), sixteen ? band : 0);
                QCOMPARE(dialog->BandBrowse(band)->isEnabled(), band == kCompositeBlue);
            }
            QCOMPARE(dialog->WidthField()->text(), QString("0"));
            for (QWidget* control : singleFileControls) QVERIFY(!control->isEnabled());
            if (pass == 1) break;
            dialog->show();
            dialog->accept();
            QCOMPARE(host.Messages(),
                     std::vector<std::string>{
                         "Output format indicator in the *.bif file should be 0, 1, or 2."});
            QVERIFY(dialog->isVisible() && dialog->result() == 0);
        }
        dialog->OnBandChosen(kCompositeBlue, single);  // any other file disarms
        QVERIFY(!dialog->Job().batchMode && dialog->BandBrowse(kCompositeGreen)->isEnabled());
        for (QWidget* control : singleFileControls) QVERIFY(control->isEnabled());
    }

    // A multi-band ENVI file with band N for Red and changed stretching.
    void WholeRun16WritesWhatTheCommandLineWrites()
    {
        FakeHost host;
        RunCounters counters;
        CBandCombination16Dlg dialog(counters, host, nullptr);
        dialog.show();
        dialog.OnBandChosen(kCompositeBlue, File("ms.img"));
        Choose(dialog.BandList(kCompositeRed), 3);
        QTest::mouseClick(dialog.DisplayBmpBox(), Qt::LeftButton);  // lumesta-cli displays nothing
        WhenModalOpens([](QWidget* modal) {
            auto* stretch = dynamic_cast<CStretchParamsDlg*>(modal);
            QVERIFY(stretch);
            stretch->LeftField(kCompositeGreen)->setValue(5);
            stretch->RightField(kCompositeRed)->setValue(7);
            stretch->NonlinearField(kCompositeBlue)->setValue(4);
            stretch->accept();
        });
        dialog.OnStretch();
        ExpectWritten(dialog, host, {"ms_Composite.bmp"},
                      {"combine", "--blue", File("ms.img"), "--select", "1,2,4", "--cutoffs",
                       "2,2,5,2,2,7", "--nonlinear", "4,0,0"});
    }

    // Three 8-bit GeoTIFFs, with the GeoTIFF composite; the picture is placed on the ground.
    void WholeRun8WritesWhatTheCommandLineWrites()
    {
        FakeHost host;
        RunCounters counters;
        CBandCombination8Dlg dialog(counters, host, nullptr);
        dialog.show();
        QStringList arguments{"combine8"};
        const char* const options[3] = {"--blue", "--green", "--red"};
        for (int band = kCompositeBlue; band <= kCompositeRed; ++band) {
            const QString path = File(QString("bgr"[band]) + "8.tif");
            dialog.OnBandChosen(band, path);
            arguments << options[band] << path;
        }
        QTest::mouseClick(dialog.DisplayBmpBox(), Qt::LeftButton);
        QTest::mouseClick(dialog.GeoTiffBox(), Qt::LeftButton);
        ExpectWritten(dialog, host,
                      {"b8_Composite.bmp", "b8_Composite.bmp.aux.xml", "b8_Composite.tif",
                       "b8_Composite.wld"},
                      arguments << "--geotiff");
    }

    // One job of a four-band GeoTIFF with Blue and Red swapped by the selectors; GeoTIFF only.
    void BatchRunProcessesTheFileAndCloses()
    {
        std::string jobs = "1 2\r\n1";
        for (const char* line : {"pan.tif", "ms.tif", "job.bmp", "job.tif"})
            jobs += "\r\n" + m_dir.File(line);
        WriteFileBytes(m_dir.File("jobs.bif"), jobs + "\r\n");
        FakeHost host;
        RunCounters counters;
        CBandCombination16Dlg dialog(counters, host, nullptr);
        dialog.show();
        dialog.OnBandChosen(kCompositeBlue, File("jobs.bif"));
        Choose(dialog.BandList(kCompositeBlue), 2);
        Choose(dialog.BandList(kCompositeRed), 0);
        ExpectWritten(dialog, host, {"job.tif"},
                      {"combine", "--blue", File("jobs.bif"), "--select", "3,2,1"});
    }

    void SevenMenuItemsOpenTheirDialog()
    {
        MainFrame frame;
        ForgetRememberedJobs();
        frame.Host().SetPrompts(std::make_unique<ScriptedPrompts>());
        QMenu* menu = frame.menuBar()->actions().at(2)->menu();
        QCOMPARE(menu->title(), QString("&Band Combination"));
        int opened = 0;
        for (QAction* item : menu->actions()) {
            if (item->isSeparator()) continue;
            const bool wants16 =
                QStringList{"&QuickBird", "I&KONOS", "&Orbview-3"}.contains(item->text());
            WhenModalOpens([&opened, wants16](QWidget* modal) {
                const bool is16 = dynamic_cast<CBandCombination16Dlg*>(modal) != nullptr;
                const bool is8 = dynamic_cast<CBandCombination8Dlg*>(modal) != nullptr;
                if (is16 == wants16 && is8 == !wants16) ++opened;
            });
            item->trigger();
        }
        QCOMPARE(opened, 7);
    }

private:
    QString File(const QString& name) const { return ToQt(m_dir.File(ToEngine(name))); }

    // The run must write the named files, and lumesta-cli with arguments the same.
    void ExpectWritten(QDialog& dialog, const FakeHost& host, const QStringList& names,
                       const QStringList& arguments)
    {
        QStringList written;
        ExpectSameAsCommandLine(dialog, host, m_dir, arguments, &written);
        QCOMPARE(written, names);
    }

    TempDir m_dir;
    RunCounters m_counters;
};

}  // namespace lumesta::testing

int RunCombineDialogTests(int argc, char** argv)
{
    lumesta::testing::CombineDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "combine_dialog_test.moc"
