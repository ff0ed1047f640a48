// The image viewer: every format opens and reads out the right value under the pointer, wheel,
// drag and keys move the view, the swipe divider follows the mouse, bad files say why, and a
// run through the main window ends with its result in the viewer. Screenshots of a real scene
// go to the build folder (viewer_*.png) for people to look at.

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMimeData>
#include <QSpinBox>
#include <QWheelEvent>
#include <QtTest>

#include "core/run_log.h"
#include "desktop/main_frame.h"
#include "desktop/viewer/image_canvas.h"
#include "desktop/viewer/info_panel.h"
#include "desktop/viewer/stretch_panel.h"
#include "desktop/viewer/viewer_dock.h"
#include "fusion/pansharpen_run.h"
#include "tests/engine/raster/shared_scenes.h"
#include "tests/support/fake_host.h"
#include "tests/support/geotiff_builder.h"
#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/ui_test_support.h"
#include "ui/pansharpen_dialog.h"

namespace lumesta::testing {
namespace {

constexpr int kW = 300;
constexpr int kH = 200;

int Sample(int band, int x, int y)
{
    return 1 + (band * 300 + x * 3 + y * 5) % 2000;
}

std::vector<std::int16_t> Band(int band)
{
    std::vector<std::int16_t> samples;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x)
            samples.push_back(static_cast<std::int16_t>(Sample(band, x, y)));
    }
    return samples;
}

// Moves the pointer over image pixel (x, y) of the canvas (from elsewhere, so that a move
// to the same place as before still counts).
void PointAt(ImageCanvas& canvas, int x, int y)
{
    QTest::mouseMove(&canvas, QPoint(1, 1));
    QTest::mouseMove(&canvas, canvas.ImageToScreen(QPointF(x + 0.5, y + 0.5)).toPoint());
}

void Wheel(QWidget* widget, QPointF at, int delta)
{
    QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

}  // namespace

class ViewerTest : public QObject {
    Q_OBJECT

public slots:
    void RecordUrl(const QUrl& url) { m_openedUrls << url.toString(); }

private slots:
    void init()
    {
        m_dock = std::make_unique<ViewerDock>();
        m_dock->resize(900, 700);
        m_dock->show();
        m_dock->SetMatrixAsker([](const QString&) { return MatrixSize{kW, kH, 2}; });
    }
    void cleanup() { m_dock.reset(); }

    void EveryFormatOpensAndReadsOutTheValueUnderThePointer_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("bands");
        QTest::addColumn<QString>("place");
        QTest::newRow("ENVI") << "a.img" << 1 << "";
        QTest::newRow("Idrisi32 group") << "g.rgf" << 2 << "";
        // The test GeoTIFF lies at (500000, 4500000) with 2 m pixels: the pixel's centre.
        QTest::newRow("GeoTIFF tiled")
            << "t.tif" << 3 << " | X 500247.000, Y 4499909.000 (WGS 84 / UTM zone 18N)";
        QTest::newRow("generic matrix") << "m.raw" << 1 << "";
    }
    void EveryFormatOpensAndReadsOutTheValueUnderThePointer()
    {
        QFETCH(QString, file);
        QFETCH(int, bands);
        QFETCH(QString, place);
        WriteBand("a.img", 0);
        WriteInt16File(m_dir.File("m.raw"), Band(0));
        for (const char* name : {"b0", "b1"}) {
            WriteInt16File(m_dir.File(std::string(name) + ".rst"), Band(name[1] - '0'));
            WriteIdrisiHeader(m_dir.File(std::string(name) + ".rst"), kW, kH);
        }
        WriteFileBytes(m_dir.File("g.rgf"), "2\nb0\nb1\n");
        TiffSpec spec{kW, kH, 16, 3, 1, 0, 64, 8};
        WriteTestTiff(m_dir.File("t.tif"), spec, [](int band, std::uint32_t x, std::uint32_t y) {
            return Sample(band, static_cast<int>(x), static_cast<int>(y));
        });
        QVERIFY(m_dock->OpenPath(Q(m_dir.File(file.toStdString()))));
        ImageCanvas& canvas = m_dock->Canvas();
        QTRY_VERIFY(
            m_dock->Info().Text().contains("Statistics of every pixel (300 x 200 samples)"));
        QCOMPARE(m_dock->BandBox(0)->count(), bands);
        PointAt(canvas, 123, 45);
        QString expected = "Row 45, Column 123 |";
        const auto& names = canvas.Layer(ImageCanvas::kPrimary)->Description().bandNames;
        for (int band = 0; band < bands; ++band) {
            expected += " " + Q(names[band]) + " " + QString::number(Sample(band, 123, 45));
        }
        QTRY_COMPARE(m_dock->Readout()->text(), expected + place);

        QVERIFY(m_dock->Problem().isEmpty());
    }

    void WheelZoomsAroundTheCursorAndDragAndKeysMoveTheView()
    {
        WriteBand("a.img", 0);
        QVERIFY(m_dock->OpenPath(Q(m_dir.File("a.img"))));
        ImageCanvas& canvas = m_dock->Canvas();
        const QPointF cursor(100, 80);
        const QPointF under = canvas.ScreenToImage(cursor);
        const double zoom = canvas.Zoom();
        Wheel(&canvas, cursor, 240);
        QVERIFY(std::abs(canvas.Zoom() - zoom * 1.5625) < 1e-9);
        const QPointF after = canvas.ScreenToImage(cursor);
        QVERIFY(std::abs(after.x() - under.x()) < 1e-6 && std::abs(after.y() - under.y()) < 1e-6);

        const QPointF centre = canvas.Centre();
        QTest::mousePress(&canvas, Qt::LeftButton, {}, QPoint(200, 200));
        QTest::mouseMove(&canvas, QPoint(240, 170));
        QTest::mouseRelease(&canvas, Qt::LeftButton, {}, QPoint(240, 170));
        QVERIFY(std::abs(canvas.Centre().x() - (centre.x() - 40 / canvas.Zoom())) < 1e-6);
        QVERIFY(std::abs(canvas.Centre().y() - (centre.y() + 30 / canvas.Zoom())) < 1e-6);

        QTest::keyClick(&canvas, Qt::Key_1);
        QCOMPARE(canvas.Zoom(), 1.0);
        QCOMPARE(canvas.CurrentStep(), 1);
        QTest::keyClick(&canvas, Qt::Key_Minus);
        QTest::keyClick(&canvas, Qt::Key_Minus);
        QTest::keyClick(&canvas, Qt::Key_Minus);
        QTest::keyClick(&canvas, Qt::Key_Minus);
        QCOMPARE(canvas.CurrentStep(), 2);
        QTest::keyClick(&canvas, Qt::Key_F);
        const double fit = std::min(canvas.width() / double(kW), canvas.height() / double(kH));
        QVERIFY(std::abs(canvas.Zoom() - fit) < 1e-9);
        QCOMPARE(canvas.Centre(), QPointF(kW / 2.0, kH / 2.0));
    }

    void SwipeDividerFollowsTheMouseAndBlinkToggles()
    {
        WriteBand("a.img", 0);
        WriteBand("b.img", 1);
        m_dock->OpenPaths({Q(m_dir.File("a.img")), Q(m_dir.File("b.img"))});
        ImageCanvas& canvas = m_dock->Canvas();
        QVERIFY(canvas.Layer(ImageCanvas::kCompare));
        QCOMPARE(canvas.Mode(), CompareMode::Swipe);
        const QPoint grip(canvas.width() / 2, canvas.height() / 2);
        QTest::mousePress(&canvas, Qt::LeftButton, {}, grip);
        QTest::mouseMove(&canvas, QPoint(canvas.width() / 4, grip.y()));
        QTest::mouseRelease(&canvas, Qt::LeftButton, {}, QPoint(canvas.width() / 4, grip.y()));
        QVERIFY(std::abs(canvas.Swipe() - 0.25) < 0.01);
        const QPointF centre = canvas.Centre();
        QCOMPARE(centre, QPointF(kW / 2.0, kH / 2.0));  // the divider drag did not pan

        m_dock->CompareBox()->setCurrentIndex(static_cast<int>(CompareMode::Blink));
        const bool before = canvas.BlinkShowsCompare();
        QTest::keyClick(&canvas, Qt::Key_B);
        QCOMPARE(canvas.BlinkShowsCompare(), !before);
    }

    void StretchControlUpdatesTheLimitsAtOnce()
    {
        WriteBand("a.img", 0);
        QVERIFY(m_dock->OpenPath(Q(m_dir.File("a.img"))));
        ImageCanvas& canvas = m_dock->Canvas();
        QTRY_VERIFY(m_dock->StretchControl().High(0)->value() > 0);
        const double high = m_dock->StretchControl().High(0)->value();
        m_dock->StretchControl().RightCutoff(0)->setValue(20);
        QVERIFY(m_dock->StretchControl().High(0)->value() < high);
        QCOMPARE(canvas.Stretch(ImageCanvas::kPrimary)[0].high,
                 m_dock->StretchControl().High(0)->value());
        m_dock->StretchControl().Strength(0)->setValue(7);
        QCOMPARE(canvas.Stretch(ImageCanvas::kPrimary)[0].strength, 7);
    }

    void BadFilesSayWhyInTheViewer()
    {
        WriteEnviHeader(m_dir.File("z.img"), 0, 0, 1);
        WriteFileBytes(m_dir.File("z.img"), "");
        QVERIFY(!m_dock->OpenPath(Q(m_dir.File("z.img"))));
        QVERIFY(m_dock->Problem().startsWith(
            "z.img cannot be shown: The header gives a size of 0 x 0"));
        QVERIFY(!m_dock->Canvas().Layer(ImageCanvas::kPrimary));

        std::vector<std::int16_t> part = Band(0);
        part.resize(kW * 50);
        WriteInt16File(m_dir.File("cut.img"), part);
        WriteEnviHeader(m_dir.File("cut.img"), kW, kH, 1);
        QVERIFY(m_dock->OpenPath(Q(m_dir.File("cut.img"))));
        QCOMPARE(
            m_dock->Problem(),
            QString("The file ends after 50 of 200 rows; the rest is missing and shows black."));
        // Escape gives up on an image still being read (here it may already be done).
        const bool reading = !m_dock->Canvas().Layer(ImageCanvas::kPrimary)->OverviewReady();
        QTest::keyClick(&m_dock->Canvas(), Qt::Key_Escape);
        QCOMPARE(!m_dock->Canvas().Layer(ImageCanvas::kPrimary), reading);
    }

    void ImagesDroppedOnTheLogOpenInTheViewerAndLogsDoNot()
    {
        m_dock->hide();
        MainFrame frame;
        WriteBand("a.img", 0);
        WriteFileBytes(m_dir.File("log.txt"), "text");
        QWidget* log = frame.View().viewport();
        QVERIFY(!DropFile(log, Q(m_dir.File("log.txt"))) ||
                !frame.Viewer().Canvas().Layer(ImageCanvas::kPrimary));
        QVERIFY(!frame.Viewer().Canvas().Layer(ImageCanvas::kPrimary));
        QVERIFY(DropFile(log, Q(m_dir.File("a.img"))));
        QVERIFY(frame.Viewer().Canvas().Layer(ImageCanvas::kPrimary));
        QVERIFY(!frame.Viewer().isHidden());
    }

    void RunThroughTheMainWindowEndsInTheViewer()
    {
        QDesktopServices::setUrlHandler("file", this, "RecordUrl");
        m_dock->hide();  // the pointer must reach the main window's viewer, not this one
        MainFrame frame;
        ForgetRememberedJobs();
        frame.Host().SetPrompts(std::make_unique<ScriptedPrompts>());
        const Scene scene = MakeScene(512, 256);
        WriteEnviScene(m_dir.Path(), scene);
        bool opened = false;
        WhenModalOpens(
            [this](QWidget* modal) {
                auto* dialog = dynamic_cast<PanSharpenDialog*>(modal);
                QVERIFY(dialog);
                ChooseEnviScene(*dialog, m_dir.Path());
                dialog->accept();
            },
            &opened);
        frame.OnToolCommand(ToolDialogKind::PanSharpen16);
        QVERIFY(opened);
        QDesktopServices::unsetUrlHandler("file");
        QVERIFY(m_openedUrls.isEmpty());  // "Display BMP" showed the picture here
        ViewerDock& viewer = frame.Viewer();
        QVERIFY2(viewer.Canvas().Layer(ImageCanvas::kPrimary), qPrintable(viewer.Problem()));
        QVERIFY(!viewer.isHidden());
        QCOMPARE(viewer.Canvas().Layer(ImageCanvas::kPrimary)->Description().bands, 4);
        QCOMPARE(ComboEntries(viewer.AgainstBox()), QStringList({"Input MS bands", "Pan"}));
        QCOMPARE(viewer.Canvas().Mode(), CompareMode::Swipe);
        QVERIFY(viewer.Canvas().Layer(ImageCanvas::kCompare));
        QCOMPARE(viewer.Canvas().Layer(ImageCanvas::kCompare)->Description().width, 512);
        frame.resize(1300, 700);
        frame.show();
        QTRY_VERIFY(viewer.Canvas().Layer(ImageCanvas::kPrimary)->OverviewReady());
        QTest::qWait(300);
        PointAt(viewer.Canvas(), 10, 20);
        QTRY_VERIFY(viewer.Readout()->text().startsWith("Row 20, Column 10 | Blue "));
        QVERIFY(viewer.Readout()->isVisible());
        QVERIFY(
            frame.grab().save(QCoreApplication::applicationDirPath() + "/viewer_main_window.png"));
    }

    void ScreenshotsOfARealScene()
    {
        const std::string scenes = SharedScenesFolder();
        if (scenes.empty()) QSKIP("no shared scenes");
        for (const char* name : {"pan", "blue", "green", "red", "nir"}) {
            for (const char* ext : {".img", ".hdr"}) {
                const std::string file = std::string(name) + ext;
                WriteFileBytes(m_dir.File(file), ReadFileBytes(scenes + "ps16/envi/" + file));
            }
        }
        PanSharpenJob job = BrowsedJob(m_dir.Path(), "img");
        job.displayBmp = false;
        RunCounters counters;
        FakeHost host;
        QCOMPARE(RunPanSharpen(job, counters, host), RunOutcome::Finished);
        m_dock->ShowRun(ImagesOfRun(job));
        ImageCanvas& canvas = m_dock->Canvas();
        QTRY_VERIFY(canvas.Layer(ImageCanvas::kPrimary)->OverviewReady());
        QTRY_VERIFY(canvas.Layer(ImageCanvas::kCompare) &&
                    canvas.Layer(ImageCanvas::kCompare)->OverviewReady());
        const QString folder = QCoreApplication::applicationDirPath() + "/";
        canvas.SetSwipe(0.5);
        QTest::qWait(200);
        QVERIFY(m_dock->grab().save(folder + "viewer_swipe_fit.png"));
        canvas.ZoomAround(QPointF(canvas.width() / 2.0, canvas.height() / 2.0), 4);
        QTRY_VERIFY(!canvas.Store().IsBusy());
        QTest::qWait(200);
        QVERIFY(m_dock->grab().save(folder + "viewer_swipe_zoom.png"));
        m_dock->AgainstBox()->setCurrentIndex(1);
        QTRY_VERIFY(canvas.Layer(ImageCanvas::kCompare)->OverviewReady());
        QTRY_VERIFY(!canvas.Store().IsBusy());
        QTest::qWait(200);
        QVERIFY(m_dock->grab().save(folder + "viewer_swipe_pan.png"));
        m_dock->Info().resize(880, 420);
        QVERIFY(m_dock->Info().grab().save(folder + "viewer_information.png"));
    }

private:
    // An ENVI file of band `band` in the folder.
    void WriteBand(const std::string& name, int band)
    {
        WriteInt16File(m_dir.File(name), Band(band));
        WriteEnviHeader(m_dir.File(name), kW, kH, 1);
    }

    TempDir m_dir;
    std::unique_ptr<ViewerDock> m_dock;
    QStringList m_openedUrls;
};

}  // namespace lumesta::testing

int RunViewerTests(int argc, char** argv)
{
    lumesta::testing::ViewerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "viewer_test.moc"
