#include "ui/quality_dialog.h"

#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTableWidget>
#include <QtTest>

#include "tests/support/fake_host.h"
#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/ui_test_support.h"
#include "ui/pansharpen_dialog.h"
#include "ui/quality_chart.h"
#include "workflows/quality_line.h"

namespace lumesta::testing {
namespace {

QStringList Row(const QTableWidget* table, int row)
{
    QStringList cells;
    for (int c = 0; c < table->columnCount(); ++c) cells << table->item(row, c)->text();
    return cells;
}

class QualityDialogTest : public QObject {
    Q_OBJECT

private slots:
    // The protocol run from the dialog: the log gets the report's table, the dialog the table
    // people read, the same as lumesta-cli's text table (methods named as the dialog names them,
    // ranked by Q2n, rounded, best marked), without scrolling sideways.
    void WaldRunMatchesTheCommandLine()
    {
        TempDir dir;
        WriteEnviScene(dir.Path(), MakeScene(512, 384));
        FakeHost host;
        RunCounters counters;
        FusionQualityDialog dialog(counters, host, nullptr);
        dialog.show();
        Choose(dialog.ProtocolList(), 2);
        QVERIFY(!dialog.ReferenceField()->isEnabled());
        const QStringList ms = {Q(dir.File("blue.img")), Q(dir.File("green.img")),
                                Q(dir.File("red.img")), Q(dir.File("nir.img"))};
        dialog.OnFilesChosen(dialog.MsField(), ms);
        dialog.OnFilesChosen(dialog.PanField(), {Q(dir.File("pan.img"))});
        Choose(dialog.SensorList(), dialog.SensorList()->findText("quickbird"));
        dialog.OnMeasure();
        QVERIFY2(host.Messages().empty(),
                 host.Messages().empty() ? "" : host.Messages()[0].c_str());
        const QString log = Q(host.Log());
        QVERIFY(log.contains("Fusion Quality Run (1)"));
        QVERIFY(log.contains("\r\nmethod  ERGAS       SAM         Q2n         Q           SCC"));
        QVERIFY(log.endsWith("\tFinished\r\n"));

        QProcess cli;
        cli.start(qEnvironmentVariable("LUMESTA_CLI"),
                  QStringList{"quality", "wald", "--pan", Q(dir.File("pan.img")), "--ms"} + ms +
                      QStringList{"--sensor", "quickbird", "--quiet"});
        QVERIFY(cli.waitForFinished(60000));
        const QStringList lines =
            QString(cli.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 12);  // names, which way is better, nine methods, the note
        QCOMPARE(dialog.Table()->rowCount(), 9);
        QCOMPARE(dialog.Table()->horizontalHeaderItem(1)->text(), QString("ERGAS \u2193"));
        QCOMPARE(dialog.Table()->horizontalHeaderItem(3)->text(), QString("Q2n \u2191"));
        for (int row = 0; row < 9; ++row) {
            QStringList cells = lines[row + 2].split(QRegularExpression("  +"));
            for (int c = 0; c < cells.size(); ++c) {
                const bool best = cells[c].endsWith('*');
                QCOMPARE(dialog.Table()->item(row, c)->text(), cells[c].remove('*'));
                QCOMPARE(dialog.Table()->item(row, c)->font().bold(), best);
            }
        }
        QVERIFY(dialog.Table()->item(0, 3)->font().bold());  // ranked by Q2n: the best first
        // Every column shows: the dialog grows to the table's width.
        const auto tableShowsWhole = [&dialog] {
            const QWidget* table = dialog.Table();
            return dialog.rect().contains(
                       QRect(table->mapTo(&dialog, QPoint(0, 0)), table->size())) &&
                   !dialog.Table()->horizontalScrollBar()->isVisible();
        };
        QTRY_VERIFY(tableShowsWhole());
        dialog.Views()->setCurrentWidget(dialog.Table());
        SaveScreenshot(&dialog, "quality_table");

        // The chart: a bar per method in each metric's group, the best bar marked, the one the
        // table ranks first holding the best Q2n; the results were kept beside the MS.
        dialog.Views()->setCurrentWidget(dialog.Chart());
        auto* higher =
            qobject_cast<QBarSeries*>(dialog.Chart()->HigherView()->chart()->series()[0]);
        QVERIFY(higher);
        QCOMPARE(higher->count(), 9);
        QCOMPARE(higher->barSets()[0]->label(), dialog.Table()->item(0, 0)->text());
        QVERIFY(higher->barSets()[0]->isBarSelected(0));  // Q2n
        for (int set = 1; set < 9; ++set) QVERIFY(!higher->barSets()[set]->isBarSelected(0));
        QCOMPARE(dialog.KeepField()->text(), Q(dir.File("blue_Wald")));
        QTest::qWait(100);
        SaveScreenshot(&dialog, "quality_chart");

        // "Open the best result": that method's kept result beside the MS bands.
        RunImages shown;
        dialog.SetResultViewer([&shown](const RunImages& images) { shown = images; });
        QVERIFY(dialog.OpenBestButton()->isEnabled());
        dialog.OpenBestButton()->click();
        QCOMPARE(shown.result.size(), std::size_t(4));
        QVERIFY(QFileInfo::exists(Q(shown.result[0].path)));
        QVERIFY(Q(shown.result[0].path).startsWith(Q(dir.File("blue_Wald/"))));
        QCOMPARE(Q(shown.inputs[3].path), ms[3]);
    }

    // The pan-sharpening dialog's check box adds the quality line; the quality dialog then
    // measures that run in one click and shows the same numbers.
    void LastPanSharpeningRunInOneClick()
    {
        TempDir dir;
        WriteEnviScene(dir.Path(), MakeScene(512, 512));
        FakeHost host;
        RunCounters counters;
        PanSharpenDialog fusion(counters, host, nullptr);
        ChooseEnviScene(fusion, dir.Path());
        QVERIFY(!fusion.Job().qualityLine);
        fusion.QualityLineBox()->click();
        QVERIFY(fusion.Job().qualityLine);
        fusion.DisplayBmpBox()->setChecked(false);
        emit fusion.DisplayBmpBox()->clicked(false);
        fusion.accept();
        const QString log = Q(host.Log());
        const qsizetype at = log.indexOf("Quality (full resolution):\tD_lambda ");
        QVERIFY(at > 0);
        const QStringList line = log.mid(at).section("\r\n", 0, 0).split('\t');

        FusionQualityDialog dialog(counters, host, nullptr);
        QVERIFY(dialog.LastRunButton()->isEnabled());
        // The run fills the files of the protocol and sensor the user chose, which stay.
        Choose(dialog.ProtocolList(), 1);
        Choose(dialog.SensorList(), dialog.SensorList()->findText("ikonos"));
        dialog.LastRunButton()->click();
        QCOMPARE(dialog.ProtocolList()->currentIndex(), 1);
        QCOMPARE(dialog.SensorList()->currentText(), QString("ikonos"));
        QCOMPARE(dialog.PanField()->text(), Q(dir.File("pan.img")));
        QVERIFY(dialog.FusedField()->text().contains("blue_Fused.img"));
        Choose(dialog.SensorList(), dialog.SensorList()->findText("generic"));  // as the line
        QVERIFY(dialog.MapBox()->isEnabled());
        dialog.MapBox()->setChecked(true);
        dialog.OnMeasure();
        QCOMPARE(dialog.Table()->rowCount(), 1);
        const QStringList cells = Row(dialog.Table(), 0);
        // Four decimals in the dialog, six in the report's line.
        QCOMPARE(cells[0].section('.', 1).size(), 4);
        QVERIFY(qAbs(cells[0].toDouble() - line[1].mid(9).toDouble()) <= 0.00005001);  // D_lambda
        QVERIFY(qAbs(cells[2].toDouble() - line[3].mid(4).toDouble()) <= 0.00005001);  // QNR
        // The per-block map lies beside the first fused band and is shown in the viewer.
        const std::string map = dir.File("blue_Fused_quality_map.tif");
        QVERIFY(QFileInfo::exists(Q(map)));
        QVERIFY(!host.Viewed().empty());
        QCOMPARE(Q(host.Viewed().back()), Q(map));

        // The Wald protocol takes the run's MS and pan; its report lists only those.
        Choose(dialog.ProtocolList(), 2);
        Choose(dialog.SensorList(), dialog.SensorList()->findText("ikonos"));
        dialog.LastRunButton()->click();
        QCOMPARE(dialog.ProtocolList()->currentIndex(), 2);
        QCOMPARE(dialog.SensorList()->currentText(), QString("ikonos"));
        QCOMPARE(dialog.PanField()->text(), Q(dir.File("pan.img")));
        QVERIFY(dialog.MsField()->text().contains("nir.img"));
        FakeHost report;
        RunLog reportLog(counters, report);
        WriteQualityReportHead(dialog.Job(), reportLog);
        QVERIFY(Q(report.Log()).contains("    MS:\t" + Q(dir.File("nir.img"))));
        QVERIFY2(!Q(report.Log()).contains("Fused"), report.Log().c_str());
    }
};

}  // namespace
}  // namespace lumesta::testing

int RunQualityDialogTests(int argc, char** argv)
{
    lumesta::testing::QualityDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "quality_dialog_test.moc"
