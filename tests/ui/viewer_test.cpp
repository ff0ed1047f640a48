// The image viewer: every kind of file opens and reads out the right value under the pointer (of
// the image shown there when two are compared), wheel, drag and keys move the view, the swipe
// divider follows the mouse, results compare with each other, Go To and the stretch controls
// work, overviews show no moiré and tiles no seams, bad files say why, and a run through the
// main window ends with its result in the viewer. Screenshots of real scenes go to the build
// folder (viewer_*.png) for people to look at.

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QWheelEvent>
#include <QtTest>

#include "core/run_log.h"
#include "desktop/main_frame.h"
#include "desktop/viewer/histogram_view.h"
#include "desktop/viewer/image_canvas.h"
#include "desktop/viewer/info_panel.h"
#include "desktop/viewer/stretch_panel.h"
#include "desktop/viewer/viewer_dock.h"
#include "fusion/fusion_run.h"
#include "raster/lat_lon.h"
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

// Waits until the canvas has read and drawn everything it wants.
void Settle(ImageCanvas& canvas)
{
    QTest::qWait(100);
    QTRY_VERIFY(!canvas.Store().IsBusy());
    QTest::qWait(100);
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
        // The test GeoTIFF lies at (500000, 4500000) with 2 m pixels: the pixel's centre.
        QTest::newRow("GeoTIFF tiled")
            << "t.tif" << 3
            << " | X 500247.000, Y 4499909.000 (WGS 84 / UTM zone 18N) | 40.650037\u00b0 N, "
               "74.997078\u00b0 W";
        QTest::newRow("generic matrix") << "m.raw" << 1 << "";
    }
    void EveryFormatOpensAndReadsOutTheValueUnderThePointer()
    {
        QFETCH(QString, file);
        QFETCH(int, bands);
        QFETCH(QString, place);
        WriteBand("a.img", 0);
        WriteInt16File(m_dir.File("m.raw"), Band(0));
        WriteGeoTiff();
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

    // Whatever shows under the pointer is what the readout gives, named: either side of the
    // swipe divider (which follows the mouse without panning), the image blinked in (B
    // toggles), either pane side by side.
    void ReadoutFollowsTheImageUnderThePointerInEveryComparison()
    {
        WriteBand("a.img", 0);
        WriteBand("b.img", 1);
        m_dock->OpenPaths({Q(m_dir.File("a.img")), Q(m_dir.File("b.img"))});
        ImageCanvas& canvas = m_dock->Canvas();
        QCOMPARE(canvas.Mode(), CompareMode::Swipe);
        const QPoint grip(canvas.width() / 2, canvas.height() / 2);
        QTest::mousePress(&canvas, Qt::LeftButton, {}, grip);
        QTest::mouseMove(&canvas, QPoint(canvas.width() / 4, grip.y()));
        QTest::mouseRelease(&canvas, Qt::LeftButton, {}, QPoint(canvas.width() / 4, grip.y()));
        QVERIFY(std::abs(canvas.Swipe() - 0.25) < 0.01);
        QCOMPARE(canvas.Centre(), QPointF(kW / 2.0, kH / 2.0));  // the divider drag did not pan
        const auto readout = [this](const char* image, int band, int x, int y) {
            return QString("%1: Row %2, Column %3 | Band 1 %4")
                .arg(image)
                .arg(y)
                .arg(x)
                .arg(Sample(band, x, y));
        };
        PointAt(canvas, 20, 30);  // left of the divider: the compared image
        QTRY_COMPARE(m_dock->Readout()->text(), readout("b.img", 1, 20, 30));
        PointAt(canvas, 280, 30);
        QTRY_COMPARE(m_dock->Readout()->text(), readout("a.img", 0, 280, 30));

        m_dock->CompareBox()->setCurrentIndex(static_cast<int>(CompareMode::Blink));
        PointAt(canvas, 150, 60);
        const bool compared = canvas.BlinkShowsCompare();
        QTRY_COMPARE(m_dock->Readout()->text(),
                     compared ? readout("b.img", 1, 150, 60) : readout("a.img", 0, 150, 60));
        QTest::keyClick(&canvas, Qt::Key_B);  // the pointer stays; the image under it changes
        QCOMPARE(m_dock->Readout()->text(),
                 compared ? readout("a.img", 0, 150, 60) : readout("b.img", 1, 150, 60));

        m_dock->CompareBox()->setCurrentIndex(static_cast<int>(CompareMode::SideBySide));
        PointAt(canvas, 100, 50);  // the primary's pane, on the right
        QVERIFY(canvas.ImageToScreen(QPointF(100, 50)).x() > canvas.width() / 2);
        QTRY_COMPARE(m_dock->Readout()->text(), readout("a.img", 0, 100, 50));
        const QPointF right = canvas.ImageToScreen(QPointF(100.5, 50.5));
        QTest::mouseMove(&canvas, (right - QPointF(canvas.width() / 2.0, 0)).toPoint());
        QTRY_COMPARE(m_dock->Readout()->text(), readout("b.img", 1, 100, 50));
        QCOMPARE(canvas.LayerAt(QPointF(5, 5)), int(ImageCanvas::kCompare));
    }

    // The information text takes the room the dock gives it, and View > Image Viewer brings a
    // closed viewer back.
    void InformationGrowsWithTheDockAndTheViewMenuBringsTheViewerBack()
    {
        WriteBand("a.img", 0);
        QVERIFY(m_dock->OpenPath(Q(m_dir.File("a.img"))));
        m_dock->findChild<QTabWidget*>()->setCurrentIndex(1);
        QTest::qWait(50);
        const int before = m_dock->Info().height();
        m_dock->resize(900, 1100);
        QTRY_VERIFY(m_dock->Info().height() >= before + 100);

        m_dock->hide();
        MainFrame frame;
        frame.show();
        QAction* entry = ItemNamed(MenuNamed(frame, "&View"), "&Image Viewer");
        QVERIFY(entry);
        QVERIFY(frame.Viewer().isHidden());
        entry->trigger();
        QVERIFY(!frame.Viewer().isHidden());
        frame.Viewer().close();
        QVERIFY(frame.Viewer().isHidden());
        entry->trigger();
        QVERIFY(!frame.Viewer().isHidden());
    }

    // One-pixel stripes: the overview and reduced tiles show their mean (no moiré), and tiles
    // meet without a line of overview showing between them.
    void FineDetailShowsNoMoireAndTilesMeetWithoutSeams()
    {
        constexpr int kSide = 1100;  // more than the overview's million pixels: step 2
        std::vector<std::int16_t> stripes;
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) stripes.push_back((x + y) % 2 ? 2000 : 100);
        }
        WriteInt16File(m_dir.File("s.img"), stripes);
        WriteEnviHeader(m_dir.File("s.img"), kSide, kSide, 1);
        QVERIFY(m_dock->OpenPath(Q(m_dir.File("s.img"))));
        ImageCanvas& canvas = m_dock->Canvas();
        QTRY_VERIFY(canvas.Layer(ImageCanvas::kPrimary)->OverviewAveraged());
        QVERIFY(m_dock->Info().Text().contains("the mean of each block of 2 x 2 pixels"));
        m_dock->StretchControl().Low(0)->setValue(100);
        m_dock->StretchControl().High(0)->setValue(2000);
        Settle(canvas);
        const auto colours = [&canvas](QRect area) {
            const QImage shot = canvas.grab().toImage();
            QSet<QRgb> seen;
            for (int y = area.top(); y <= area.bottom(); ++y) {
                for (int x = area.left(); x <= area.right(); ++x) seen.insert(shot.pixel(x, y));
            }
            return seen;
        };
        const QPointF corner = canvas.ImageToScreen(QPointF(0, 0));
        const QRect upper(int(corner.x()) + 1, int(corner.y()) + 1, 200, 100);
        QCOMPARE(colours(upper).size(), 1);  // a single grey
        // Zoomed out, tiles at full resolution show only the stripes; reduced ones their mean.
        for (const double zoom : {0.77, 0.43}) {
            canvas.ZoomAround(QPointF(canvas.width() / 2.0 + 13.3, canvas.height() / 2.0 + 7.1),
                              zoom / canvas.Zoom());
            Settle(canvas);
            const QRect image(canvas.ImageToScreen(QPointF(0, 0)).toPoint() + QPoint(1, 1),
                              canvas.ImageToScreen(QPointF(kSide, kSide)).toPoint() - QPoint(2, 2));
            const QSet<QRgb> seen =
                colours(image & QRect(0, 0, canvas.width(), canvas.height() / 2));
            if (canvas.CurrentStep() == 1) {
                QCOMPARE(seen, QSet<QRgb>({qRgb(0, 0, 0), qRgb(255, 255, 255)}));
            } else {
                QCOMPARE(seen.size(), 1);
            }
        }
    }

    // Every result stays listed; any two compare, with one stretch for both when asked.
    void AnyTwoResultsCompareWithTheSameStretchWhenAsked()
    {
        WriteBand("a.img", 0);
        WriteBand("c.img", 2);
        std::vector<std::int16_t> doubled = Band(0);
        for (auto& v : doubled) v = static_cast<std::int16_t>(v * 2);
        WriteInt16File(m_dir.File("b.img"), doubled);
        WriteEnviHeader(m_dir.File("b.img"), kW, kH, 1);
        const auto run = [this](const char* result) {
            RunImages images;
            images.result = {{m_dir.File(result), 0, {}, "Blue"}};
            images.inputs = {{m_dir.File("c.img"), 0, {}, "Blue"}};
            return images;
        };
        m_dock->ShowRun(run("a.img"));
        m_dock->ShowRun(run("b.img"));
        QCOMPARE(ComboEntries(m_dock->ImageBox()),
                 QStringList({"Result 1 (a.img)", "Input MS bands", "Result 2 (b.img)"}));
        QCOMPARE(m_dock->ImageBox()->currentText(), QString("Result 2 (b.img)"));
        m_dock->CompareBox()->setCurrentIndex(static_cast<int>(CompareMode::SideBySide));
        m_dock->AgainstBox()->setCurrentIndex(0);
        ImageCanvas& canvas = m_dock->Canvas();
        QTRY_VERIFY(canvas.Layer(ImageCanvas::kCompare) &&
                    canvas.Layer(ImageCanvas::kCompare)->OverviewReady());
        QTRY_VERIFY(m_dock->StretchControl().High(0)->value() > 0);
        QVERIFY(m_dock->SameStretchBox()->isChecked());
        QCOMPARE(canvas.Stretch(ImageCanvas::kCompare)[0].high,
                 canvas.Stretch(ImageCanvas::kPrimary)[0].high);
        m_dock->SameStretchBox()->setChecked(false);
        // Result 1 holds half the values of result 2: its own limits are half.
        QCOMPARE(canvas.Stretch(ImageCanvas::kCompare)[0].high * 2,
                 canvas.Stretch(ImageCanvas::kPrimary)[0].high);
        // Close takes the image shown off the list, and the first one is shown.
        for (QPushButton* button : m_dock->findChildren<QPushButton*>()) {
            if (button->text() == "Close") button->click();
        }
        QCOMPARE(ComboEntries(m_dock->AgainstBox()),
                 QStringList({"Result 1 (a.img)", "Input MS bands"}));
        QCOMPARE(m_dock->ImageBox()->currentText(), QString("Result 1 (a.img)"));
    }

    // Zoom percentage and scale bar in ground units, and Go To by pixel, map position or
    // latitude and longitude.
    void ScaleBarAndGoToFindPlaces()
    {
        WriteGeoTiff();
        QVERIFY(m_dock->OpenPath(Q(m_dir.File("t.tif"))));
        ImageCanvas& canvas = m_dock->Canvas();
        canvas.OneToOne();
        QCOMPARE(canvas.ScaleBar(), std::make_pair(100.0, QString("200 m")));  // 2 m pixels
        QVERIFY(m_dock->GoTo({CoordinateKind::Pixel, 10, 20}));
        QCOMPARE(canvas.Centre(), QPointF(10.5, 20.5));
        QVERIFY(m_dock->GoTo({CoordinateKind::Map, 500101, 4499899}));
        QCOMPARE(canvas.Centre(), QPointF(50.5, 50.5));
        const Georeference geo = canvas.Layer(ImageCanvas::kPrimary)->Description().geo;
        const auto place = LatLonConverter(geo).ToLatLon(geo.PixelToMap(120.5, 80.5));
        QVERIFY(place);
        QVERIFY(m_dock->GoTo({CoordinateKind::LatLon, place->latitude, place->longitude}));
        QVERIFY(std::abs(canvas.Centre().x() - 120.5) < 1e-6);
        QVERIFY(std::abs(canvas.Centre().y() - 80.5) < 1e-6);
        QCOMPARE(canvas.Mark(), std::optional<QPointF>(canvas.Centre()));
        QVERIFY(!m_dock->GoTo({CoordinateKind::Map, 400000, 4499899}));
        QCOMPARE(m_dock->Problem(),
                 QString("Cannot go there: it lies outside the image (column -50000, row 50)."));
        QVERIFY(std::abs(canvas.Centre().x() - 120.5) < 1e-6);

        WriteBand("a.img", 0);
        QVERIFY(m_dock->OpenPath(Q(m_dir.File("a.img"))));
        QVERIFY(!m_dock->GoTo({CoordinateKind::LatLon, 40, -75}));
        QCOMPARE(m_dock->Problem(), QString("Cannot go there: the image has no geographic "
                                            "coordinates."));
    }

    // The cut-off and strength fields and dragging a limit mark restretch at once; the presets
    // set cut-offs or mean ± 2σ.
    void HistogramMarksDragTheLimitsAndPresetsSetThem()
    {
        WriteBand("a.img", 0);
        QVERIFY(m_dock->OpenPath(Q(m_dir.File("a.img"))));
        m_dock->StretchControl().resize(900, 260);
        StretchPanel& panel = m_dock->StretchControl();
        ImageCanvas& canvas = m_dock->Canvas();
        QTRY_VERIFY(panel.High(0)->value() > 0);
        const double high = panel.High(0)->value();
        panel.RightCutoff(0)->setValue(20);
        QVERIFY(panel.High(0)->value() < high);
        QCOMPARE(canvas.Stretch(ImageCanvas::kPrimary)[0].high, panel.High(0)->value());
        panel.Strength(0)->setValue(7);
        QCOMPARE(canvas.Stretch(ImageCanvas::kPrimary)[0].strength, 7);

        HistogramView& histogram = panel.Histogram();
        const int y = histogram.height() / 2;
        const int from = histogram.XOf(panel.High(0)->value());
        QTest::mousePress(&histogram, Qt::LeftButton, {}, QPoint(from, y));
        QTest::mouseMove(&histogram, QPoint(histogram.XOf(1000), y));
        QTest::mouseRelease(&histogram, Qt::LeftButton, {}, QPoint(histogram.XOf(1000), y));
        const double pixel = (histogram.High() - histogram.Low()) / histogram.width();
        QVERIFY(std::abs(panel.High(0)->value() - 1000) <= pixel);
        QCOMPARE(canvas.Stretch(ImageCanvas::kPrimary)[0].high, panel.High(0)->value());

        panel.findChild<QPushButton*>("Preset0")->click();  // min-max
        QCOMPARE(panel.LeftCutoff(0)->value(), 0.0);
        const BandStatistics& s = canvas.Layer(ImageCanvas::kPrimary)->Statistics(0);
        QCOMPARE(panel.Low(0)->value(), s.min);
        QCOMPARE(panel.High(0)->value(), s.max);
        panel.findChild<QPushButton*>("Preset2")->click();  // mean ± 2σ
        QVERIFY(std::abs(panel.Low(0)->value() - (s.mean - 2 * s.standardDeviation)) < 1e-3);
        QVERIFY(std::abs(panel.High(0)->value() - (s.mean + 2 * s.standardDeviation)) < 1e-3);
        QCOMPARE(canvas.Stretch(ImageCanvas::kPrimary)[0].low, panel.Low(0)->value());
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
        // The picture "Display BMP" showed stays on the list with the run's images.
        QCOMPARE(
            ComboEntries(viewer.AgainstBox()),
            QStringList({"pan_Fused.bmp", "Result 1 (blue_Fused.img)", "Input MS bands", "Pan"}));
        QCOMPARE(viewer.ImageBox()->currentText(), QString("Result 1 (blue_Fused.img)"));
        QCOMPARE(viewer.Canvas().Mode(), CompareMode::Swipe);
        QVERIFY(viewer.Canvas().Layer(ImageCanvas::kCompare));
        QCOMPARE(viewer.Canvas().Layer(ImageCanvas::kCompare)->Description().width, 512);
        frame.resize(1300, 700);
        frame.show();
        QTRY_VERIFY(viewer.Canvas().Layer(ImageCanvas::kPrimary)->OverviewReady());
        QTest::qWait(300);
        PointAt(viewer.Canvas(), 10, 20);
        // Left of the swipe divider: the input bands, named.
        QTRY_VERIFY2(
            viewer.Readout()->text().startsWith("Input MS bands: Row 20, Column 10 | Blue "),
            qPrintable(viewer.Readout()->text()));
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
        Settle(canvas);
        QVERIFY(m_dock->grab().save(folder + "viewer_swipe_fit.png"));
        canvas.ZoomAround(QPointF(canvas.width() / 2.0, canvas.height() / 2.0), 4);
        Settle(canvas);
        QVERIFY(m_dock->grab().save(folder + "viewer_swipe_zoom.png"));
        m_dock->AgainstBox()->setCurrentIndex(2);  // the pan
        Settle(canvas);
        QVERIFY(m_dock->grab().save(folder + "viewer_swipe_pan.png"));
        m_dock->CompareBox()->setCurrentIndex(static_cast<int>(CompareMode::SideBySide));
        m_dock->AgainstBox()->setCurrentIndex(1);  // the input MS bands
        canvas.Fit();
        canvas.ZoomAround(QPointF(canvas.width() * 0.75, canvas.height() / 2.0), 3);
        Settle(canvas);
        QVERIFY(m_dock->grab().save(folder + "viewer_side_by_side.png"));
        m_dock->CompareBox()->setCurrentIndex(static_cast<int>(CompareMode::Blink));
        canvas.SetCompareMode(CompareMode::Blink);  // stops the timer: a steady screenshot
        canvas.ToggleBlink();
        Settle(canvas);
        QVERIFY(m_dock->grab().save(folder + "viewer_blink.png"));
        m_dock->Info().resize(880, 420);
        QVERIFY(m_dock->Info().grab().save(folder + "viewer_information.png"));
        m_dock->StretchControl().resize(880, 260);
        QVERIFY(m_dock->StretchControl().grab().save(folder + "viewer_stretch.png"));

        // The georeferenced Landsat scene: a place found by latitude and longitude.
        const std::string landsat = scenes + "combine8/envi3/ms.img";
        QVERIFY(m_dock->OpenPath(Q(landsat)));
        QTRY_VERIFY(canvas.Layer(ImageCanvas::kPrimary)->OverviewReady());
        const Georeference geo = canvas.Layer(ImageCanvas::kPrimary)->Description().geo;
        const auto place = LatLonConverter(geo).ToLatLon(geo.PixelToMap(200.5, 100.5));
        QVERIFY(place);
        QVERIFY(m_dock->GoTo({CoordinateKind::LatLon, place->latitude, place->longitude}));
        canvas.ZoomAround(canvas.ImageToScreen(*canvas.Mark()), 2);
        Settle(canvas);
        QVERIFY(m_dock->grab().save(folder + "viewer_go_to.png"));
    }

private:
    // A tiled 3-band GeoTIFF at (500000, 4500000) in UTM 18N with 2 m pixels.
    void WriteGeoTiff()
    {
        TiffSpec spec{kW, kH, 16, 3, 1, 0, 64, 8};
        WriteTestTiff(m_dir.File("t.tif"), spec, [](int band, std::uint32_t x, std::uint32_t y) {
            return Sample(band, static_cast<int>(x), static_cast<int>(y));
        });
    }

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
