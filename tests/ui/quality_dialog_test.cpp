#include "ui/quality_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include "tests/support/fake_host.h"
#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/ui_test_support.h"
#include "ui/pansharpen_dialog.h"
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
    // The protocol run from the dialog writes the same table into the log as lumesta-cli prints.
    void WaldRunMatchesTheCommandLine()
    {
        TempDir dir;
        WriteEnviScene(dir.Path(), MakeScene(512, 384));
        FakeHost host;
        RunCounters counters;
        FusionQualityDialog dialog(counters, host, nullptr);
        Choose(dialog.ProtocolList(), 2);
        QVERIFY(!dialog.ReferenceField()->isEnabled());
        const QStringList ms = {Q(dir.File("blue.img")), Q(dir.File("green.img")),
                                Q(dir.File("red.img")), Q(dir.File("nir.img"))};
        dialog.OnFilesChosen(dialog.MsField(), ms);
        dialog.OnFilesChosen(dialog.PanField(), {Q(dir.File("pan.img"))});
        dialog.SensorList()->setCurrentText("quickbird");
        dialog.OnMeasure();
        QVERIFY2(host.Messages().empty(),
                 host.Messages().empty() ? "" : host.Messages()[0].c_str());
        QCOMPARE(dialog.Table()->rowCount(), 9);  // the seven detail-injection methods, 1, 2
        QCOMPARE(dialog.Table()->item(0, 0)->text(), QString("gsa"));
        QCOMPARE(dialog.Table()->item(7, 0)->text(), QString("1"));
        const QString log = Q(host.Log());
        QVERIFY(log.contains("Fusion Quality Run (1)"));
        QVERIFY(log.endsWith("\tFinished\r\n"));

        QProcess cli;
        cli.start(qEnvironmentVariable("LUMESTA_CLI"),
                  QStringList{"quality", "wald", "--pan", Q(dir.File("pan.img")), "--ms"} + ms +
                      QStringList{"--sensor", "quickbird", "--quiet"});
        QVERIFY(cli.waitForFinished(60000));
        const QStringList lines =
            QString(cli.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 10);
        for (const QString& line : lines) QVERIFY2(log.contains(line + "\r\n"), qPrintable(line));
        // The CSV table: the same numbers, all digits.
        QCOMPARE(Row(dialog.Table(), 1)[1].left(7),
                 lines[2].split(' ', Qt::SkipEmptyParts)[1].left(7));
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
        dialog.LastRunButton()->click();
        QCOMPARE(dialog.ProtocolList()->currentIndex(), 1);
        QCOMPARE(dialog.PanField()->text(), Q(dir.File("pan.img")));
        QVERIFY(dialog.FusedField()->text().contains("blue_Fused.img"));
        QVERIFY(dialog.MapBox()->isEnabled());
        dialog.MapBox()->setChecked(true);
        dialog.OnMeasure();
        QCOMPARE(dialog.Table()->rowCount(), 1);
        const QStringList cells = Row(dialog.Table(), 0);
        QCOMPARE(QString::number(cells[0].toDouble(), 'f', 6), line[1].mid(9));  // D_lambda
        QCOMPARE(QString::number(cells[2].toDouble(), 'f', 6), line[3].mid(4));  // QNR
        // The per-block map lies beside the first fused band and is shown in the viewer.
        const std::string map = dir.File("blue_Fused_quality_map.tif");
        QVERIFY(QFileInfo::exists(Q(map)));
        QVERIFY(!host.Viewed().empty());
        QCOMPARE(Q(host.Viewed().back()), Q(map));
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
