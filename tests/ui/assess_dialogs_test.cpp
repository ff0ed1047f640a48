#include <QComboBox>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QtTest>
#include <memory>

#include "desktop/main_frame.h"
#include "tests/engine/assess/assess_bands.h"
#include "tests/support/fake_host.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/ui_test_support.h"
#include "ui/haar_dialog.h"
#include "ui/image_stats_dialog.h"
#include "ui/semivariance_dialog.h"

namespace lumesta::testing {
namespace {

enum Tool { kSemivariance, kStatistics, kHaar };

std::unique_ptr<AssessDialog> MakeDialog(int tool, RunCounters& counters, Host& host)
{
    if (tool == kSemivariance) return std::make_unique<CSemivarianceDlg>(counters, host, nullptr);
    if (tool == kStatistics) return std::make_unique<CImageStatsDlg>(counters, host, nullptr);
    return std::make_unique<CHaarWaveletDlg>(counters, host, nullptr);
}

// The field of the tool's count (maximum lag, level, levels) and its output paths.
QLineEdit* CountField(AssessDialog& dialog)
{
    if (auto* lags = dynamic_cast<CSemivarianceDlg*>(&dialog)) return lags->CountField();
    if (auto* stats = dynamic_cast<CImageStatsDlg*>(&dialog)) return stats->CountField();
    return static_cast<CHaarWaveletDlg&>(dialog).LevelsField();
}
QStringList OutputTexts(AssessDialog& dialog)
{
    if (auto* lags = dynamic_cast<CSemivarianceDlg*>(&dialog)) return {lags->OutputField()->text()};
    if (auto* stats = dynamic_cast<CImageStatsDlg*>(&dialog)) return {stats->OutputField()->text()};
    auto& haar = static_cast<CHaarWaveletDlg&>(dialog);
    return {haar.OutputImageField()->text(), haar.BmpField()->text()};
}

// A 16-bit ENVI file of three named bands, 64 × 48.
void WriteMultiBandEnvi(const TempDir& dir)
{
    WriteInt16File(dir.File("multi.img"), PatternBand(64, 48 * 3, 2048));
    WriteEnviHeader(dir.File("multi.img"), 64, 48, 3, {"Blue", " Green", " Red"});
}

}  // namespace

class AssessDialogsTest : public QObject {
    Q_OBJECT

public slots:
    void RecordUrl(const QUrl& url) { m_openedFiles << url.toLocalFile(); }

private slots:
    void InputChoiceFillsListSizeAndOutputNames_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("haarImage");
        QTest::newRow("ENVI, 3 bands")
            << "multi.img" << QStringList{"Blue", "Green", "Red"} << 64 << "multi_Haar.img";
        QTest::newRow("Idrisi32") << "band.rst" << QStringList{"band.rst"} << 40 << "band_Haar.rst";
        QTest::newRow("generic") << "matrix.raw" << QStringList{"matrix.raw"} << 0
                                 << "matrix.raw_Haar";
    }
    void InputChoiceFillsListSizeAndOutputNames()
    {
        QFETCH(QString, input);
        QFETCH(QStringList, entries);
        QFETCH(int, width);
        QFETCH(QString, haarImage);
        TempDir dir;
        WriteMultiBandEnvi(dir);
        WriteInt16File(dir.File("band.rst"), PatternBand(40, 36, 2048));
        WriteIdrisiHeader(dir.File("band.rst"), 40, 36);
        WriteFileBytes(dir.File("matrix.raw"), std::string(40 * 36, '\1'));
        const QString base = Q(dir.File(input.chopped(4).toStdString()));
        const QStringList outputs[3] = {{base + "_SemiVariance.txt"},
                                        {base + "_ImageStats.txt"},
                                        {Q(dir.File(haarImage.toStdString())), base + "_Haar.bmp"}};
        FakeHost host;
        RunCounters counters;
        for (int tool : {kSemivariance, kStatistics, kHaar}) {
            const auto dialog = MakeDialog(tool, counters, host);
            dialog->OnInputChosen(Q(dir.File(input.toStdString())));
            QCOMPARE(ComboEntries(dialog->InputList()), entries);
            QCOMPARE(dialog->InputList()->currentIndex(), 0);
            QCOMPARE(dialog->WidthField()->text(), QString::number(width));
            QCOMPARE(OutputTexts(*dialog), outputs[tool]);
        }
        QVERIFY(host.Messages().empty());
    }

    // Every stop keeps the dialog open with its fields; those after the report began log.
    void StoppedRunsKeepTheDialogOpen_data()
    {
        QTest::addColumn<int>("tool");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("message");
        QTest::newRow("lag too large") << int(kSemivariance) << "multi.img"
                                       << "38"
                                       << "Image is too small, or the max. lag is too large.";
        QTest::newRow("lag no number") << int(kSemivariance) << "multi.img"
                                       << "-"
                                       << "Please enter an integer.";
        QTest::newRow("wrong file size") << int(kStatistics) << "odd.raw"
                                         << "0"
                                         << "Check the file size of the input image.";
        QTest::newRow("overwrite declined") << int(kSemivariance) << "multi.img"
                                            << "5"
                                            << "";
    }
    void StoppedRunsKeepTheDialogOpen()
    {
        QFETCH(int, tool);
        QFETCH(QString, input);
        QFETCH(QString, count);
        QFETCH(QString, message);
        TempDir dir;
        WriteMultiBandEnvi(dir);
        WriteFileBytes(dir.File("odd.raw"), std::string(100, '\0'));
        WriteFileBytes(dir.File("multi_SemiVariance.txt"), "earlier table");
        FakeHost host;
        host.defaultAnswer = false;
        RunCounters counters;
        const auto dialog = MakeDialog(tool, counters, host);
        dialog->show();
        dialog->OnInputChosen(Q(dir.File(input.toStdString())));
        TypeInto(dialog->WidthField(), "64");
        TypeInto(dialog->HeightField(), "48");
        TypeInto(CountField(*dialog), count);
        dialog->accept();
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->result(), 0);
        QCOMPARE(CountField(*dialog)->text(), count);
        QCOMPARE(dialog->WidthField()->text(), QString("64"));
        if (message.isEmpty()) {
            QCOMPARE(host.Questions().size(), std::size_t(1));
            QVERIFY(Q(host.Log()).endsWith("Unsucessful\r\n\r\n"));
        } else {
            QCOMPARE(host.Messages(), std::vector<std::string>{message.toStdString()});
            QCOMPARE(host.Log().empty(), input != "odd.raw");
        }
    }

    void WholeRunsEqualTheCommandLine_data()
    {
        QTest::addColumn<int>("tool");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QStringList>("outputs");
        QTest::addColumn<QStringList>("options");  // the count first
        QTest::newRow("semivariance, ENVI band 2")
            << int(kSemivariance) << "multi.img" << QStringList{"multi_SemiVariance.txt"}
            << QStringList{"semivariance", "--max-lag", "7", "--band", "2"};
        QTest::newRow("statistics, generic 8-bit")
            << int(kStatistics) << "bytes.raw" << QStringList{"bytes_ImageStats.txt"}
            << QStringList{"stats", "--level", "2", "--width", "40", "--height", "36"};
        QTest::newRow("Haar, ENVI")
            << int(kHaar) << "square.img"
            << QStringList{"square_Haar.bmp", "square_Haar.hdr", "square_Haar.img"}
            << QStringList{"haar", "--levels", "2", "--form", "half"};
    }
    void WholeRunsEqualTheCommandLine()
    {
        QFETCH(int, tool);
        QFETCH(QString, input);
        QFETCH(QStringList, outputs);
        QFETCH(QStringList, options);
        TempDir dir;
        WriteMultiBandEnvi(dir);
        WriteByteFile(dir.File("bytes.raw"), std::vector<std::uint8_t>(40 * 36, 7));
        WriteInt16File(dir.File("square.img"), PatternBand(64, 64, 2048));
        WriteEnviHeader(dir.File("square.img"), 64, 64, 1);
        const QString inputPath = Q(dir.File(input.toStdString()));

        FakeHost host;
        RunCounters counters;
        const auto dialog = MakeDialog(tool, counters, host);
        dialog->show();
        dialog->OnInputChosen(inputPath);
        if (tool == kSemivariance) Choose(dialog->InputList(), 1);
        if (tool == kStatistics) TypeInto(dialog->WidthField(), "40");
        if (tool == kStatistics) TypeInto(dialog->HeightField(), "36");
        if (tool == kHaar)
            static_cast<CHaarWaveletDlg&>(*dialog).FormButton(HaarForm::Half)->click();
        TypeInto(CountField(*dialog), options[2]);
        QStringList written;
        ExpectSameAsCommandLine(*dialog, host, dir,
                                QStringList{options[0], "--input", inputPath} + options.mid(1),
                                &written);
        QCOMPARE(written, outputs);
        QCOMPARE(host.Viewed().size(), std::size_t(tool == kHaar ? 0 : 1));
    }

    void MenuOpensEachDialogAndTheTableInTheTextViewer()
    {
        QDesktopServices::setUrlHandler("file", this, "RecordUrl");
        TempDir dir;
        WriteMultiBandEnvi(dir);
        MainFrame frame;
        ForgetRememberedJobs();
        frame.Host().SetPrompts(std::make_unique<ScriptedPrompts>());
        QMenu* menu = frame.menuBar()->actions()[4]->menu();
        QCOMPARE(menu->title(), QString("&Assessment Tools"));
        QStringList titles;
        for (QAction* item : menu->actions()) {
            if (item->isSeparator()) continue;
            QVERIFY(item->isEnabled());
            WhenModalOpens([&](QWidget* modal) {
                titles << modal->windowTitle();
                if (auto* lags = dynamic_cast<CSemivarianceDlg*>(modal)) {
                    lags->OnInputChosen(Q(dir.File("multi.img")));
                    TypeInto(lags->CountField(), "3");
                    lags->accept();
                }
            });
            item->trigger();
        }
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(titles, QStringList({"Geostatistical Semivariance (For 16- or 8-bit data)",
                                      "Multi-Resolution Image Statistics (For 16- or 8-bit data)",
                                      "Haar Wavelet Transform (For 16- or 8-bit data)",
                                      "Fusion Quality"}));
        QCOMPARE(m_openedFiles, QStringList({Q(dir.File("multi_SemiVariance.txt"))}));
        QVERIFY(frame.View().toPlainText().contains("SemiVariance Calculation (1)"));
        frame.View().document()->setModified(false);
    }

private:
    QStringList m_openedFiles;
};

}  // namespace lumesta::testing

int RunAssessDialogTests(int argc, char** argv)
{
    lumesta::testing::AssessDialogsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "assess_dialogs_test.moc"
