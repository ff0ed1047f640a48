// The 16-bit dialog's delivery controls: what each input is before the run, the registration
// choice in the job and its command line, and "Check alignment" with its arrows in the viewer.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QFile>
#include <QPushButton>
#include <QtTest>
#include <cmath>
#include <random>

#include "desktop/viewer/image_canvas.h"
#include "desktop/viewer/stretch_panel.h"
#include "desktop/viewer/viewer_dock.h"
#include "tests/support/fake_host.h"
#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/ui_test_support.h"
#include "ui/delivery_group.h"
#include "ui/input_summary.h"
#include "ui/pansharpen_dialog.h"

namespace lumesta::testing {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A scene of Gaussian blobs whose pixels are their areal means: the MS's content lies
// (dx, dy) pan pixels from where the aligned MS would put it.
Scene OffsetScene(int width, int height, double dx, double dy)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    struct Blob {
        double x, y, size;
        std::array<double, 5> amplitude;  // four MS bands, then the pan
    };
    std::vector<Blob> blobs(static_cast<std::size_t>(width * height / 300));
    for (Blob& blob : blobs) {
        blob.x = unit(random) * width;
        blob.y = unit(random) * height;
        blob.size = 1.0 + 5.0 * unit(random);
        blob.amplitude[4] = 0;
        for (int band = 0; band < 4; ++band) {
            blob.amplitude[band] = (unit(random) - 0.3) * 600.0;
            blob.amplitude[4] += blob.amplitude[band] / 4;
        }
    }
    const auto share = [](double a, double b, double c, double s) {
        return 0.5 * (std::erf((b - c) / (std::sqrt(2.0) * s)) -
                      std::erf((a - c) / (std::sqrt(2.0) * s)));
    };
    // Pixel (0, 0) covers [left, left + pixel) × [top, top + pixel) of pan positions.
    const auto render = [&](int band, int columns, int rows, double pixel, double left,
                            double top) {
        std::vector<double> image(static_cast<std::size_t>(columns) * rows, 500.0 * pixel * pixel);
        for (const Blob& blob : blobs) {
            const double mass = blob.amplitude[band] * 2.0 * kPi * blob.size * blob.size;
            for (int y = 0; y < rows; ++y) {
                const double sy = share(top + y * pixel, top + (y + 1) * pixel, blob.y, blob.size);
                if (std::fabs(sy) < 1e-9) continue;
                for (int x = 0; x < columns; ++x) {
                    image[static_cast<std::size_t>(y) * columns + x] +=
                        mass * sy *
                        share(left + x * pixel, left + (x + 1) * pixel, blob.x, blob.size);
                }
            }
        }
        std::vector<std::int16_t> out(image.size());
        for (std::size_t i = 0; i < image.size(); ++i)
            out[i] = static_cast<std::int16_t>(std::lround(image[i] / (pixel * pixel)));
        return out;
    };
    Scene scene;
    scene.width = width;
    scene.height = height;
    scene.pan = render(4, width, height, 1.0, -0.5, -0.5);
    for (int band = 0; band < 4; ++band)
        scene.ms[band] = render(band, width / 4, height / 4, 4.0, dx - 0.5, dy - 0.5);
    return scene;
}

}  // namespace

class DeliveryControlsTest : public QObject {
    Q_OBJECT

private slots:
    void InputsAreDescribedBeforeTheRun()
    {
        TempDir dir;
        WriteEnviScene(dir.Path(), MakeScene(64, 48));
        FakeHost host;
        RunCounters counters;
        PanSharpenDialog dialog(counters, host, nullptr);
        ChooseEnviScene(dialog, dir.Path());
        QCOMPARE(dialog.PanInfo()->text(),
                 QString("64 \u00d7 48 px, 1 band, Int16, not georeferenced, no data none"));
        QVERIFY2(dialog.MsInfo()->text().startsWith("blue.img: 16 \u00d7 12 px, 1 band, Int16"),
                 qPrintable(dialog.MsInfo()->text()));
        QVERIFY(dialog.MsInfo()->text().endsWith("Expected MS: 16 \u00d7 12 px (ratio 4)"));
        QVERIFY(host.Messages().empty());

        // An MS of another size than the pan asks for says so; a georeferenced pair says where
        // the MS lies on the pan, or why it cannot.
        RasterDescription pan;
        pan.width = 64;
        pan.height = 48;
        RasterDescription ms = pan;
        ms.width = 20;
        QVERIFY(Q(ExpectedMsText(pan, &ms, 4)).endsWith("the MS chosen is 20 \u00d7 48 px"));
        pan.geo.valid = true;
        pan.geo.originX = 1000;
        pan.geo.originY = 2000;
        pan.geo.epsg = 32633;
        ms.geo = pan.geo;
        ms.geo.originX = 1002;
        ms.geo.pixelWidth = 4;
        ms.geo.pixelHeight = -4;
        ms.height = 12;
        QCOMPARE(Q(ExpectedMsText(pan, &ms, 4)), QString("MS on the pan: ratio 4, origin at 2, 0 pan px"));
        ms.geo.epsg = 4326;
        QVERIFY(!Q(ExpectedMsText(pan, &ms, 4)).startsWith("MS on the pan"));
        ms.noData = 0;
        ms.geo.crsName = "WGS 84 / UTM zone 33N";
        ms.geo.pixelHeight = -2;
        ms.bands = 8;
        ms.type = SampleType::UInt16;
        QCOMPARE(Q(InputSummary(ms)),
                 QString("20 \u00d7 12 px, 8 bands, UInt16, WGS 84 / UTM zone 33N, pixel 4 "
                         "\u00d7 2, no data 0"));
    }

    void RegistrationChoiceFillsTheJobAndItsCommandLine()
    {
        FakeHost host;
        RunCounters counters;
        PanSharpenDialog dialog(counters, host, nullptr);
        Choose(dialog.MethodList(), 2);  // a detail-injection method
        DeliveryGroup& group = *dialog.Delivery();
        QVERIFY(group.RegisterList()->isEnabled());
        QVERIFY(!group.DxField()->isEnabled());
        const auto registerValue = [&dialog]() -> QString {
            const std::vector<std::string> args = dialog.Command().arguments;
            const auto at = std::find(args.begin(), args.end(), "--register");
            return at == args.end() ? QString() : Q(*(at + 1));
        };
        QVERIFY(registerValue().isEmpty());  // auto is the default: not written

        Choose(group.RegisterList(), 2);
        QVERIFY(group.DxField()->isEnabled());
        TypeInto(group.DxField(), "1.5");
        TypeInto(group.DyField(), "-2.25");
        QCOMPARE(dialog.Job().registerChoice.mode, RegisterMode::Given);
        QCOMPARE(dialog.Job().registerChoice.dx, 1.5);
        QCOMPARE(dialog.Job().registerChoice.dy, -2.25);
        QCOMPARE(registerValue(), QString("1.5,-2.25"));
        // A half-typed number leaves the job at the last offset that reads.
        TypeInto(group.DyField(), "-");
        QCOMPARE(dialog.Job().registerChoice.dy, -2.25);

        Choose(group.RegisterList(), 1);
        QCOMPARE(dialog.Job().registerChoice.mode, RegisterMode::Off);
        QCOMPARE(registerValue(), QString("off"));
        QVERIFY(!group.DxField()->isEnabled());

        // The remembered command line (History's "Run again") brings the choice back.
        JobCommand command = dialog.Command();
        *(std::find(command.arguments.begin(), command.arguments.end(), "--register") + 1) =
            "0.25,-1";
        PanSharpenDialog again(counters, host, nullptr);
        again.Restore(command);
        QCOMPARE(again.Delivery()->RegisterList()->currentIndex(), 2);
        QCOMPARE(again.Delivery()->DxField()->text(), QString("0.25"));
        QCOMPARE(again.Delivery()->DyField()->text(), QString("-1"));

        // Methods 1 and 2 never register: the choice cannot be made for them.
        Choose(dialog.MethodList(), 0);
        QVERIFY(!group.RegisterList()->isEnabled());
        QVERIFY(host.Messages().empty());
    }

    void MultibandFileFormatNoDataAndPictureFillTheJobAndItsCommandLine()
    {
        TempDir dir;
        WriteEnvi4Scene(dir.Path(), MakeScene(512, 512));
        FakeHost host;
        RunCounters counters;
        PanSharpenDialog dialog(counters, host, nullptr);
        dialog.OnPanChosen(Q(dir.File("pan.img")));
        Choose(dialog.MethodList(), 2);
        DeliveryGroup& group = *dialog.Delivery();
        QVERIFY(!group.FormatList()->isEnabled());  // a format only for the multiband result
        QVERIFY(!dialog.PictureBand(0)->isEnabled());

        dialog.OnMsFileChosen(Q(dir.File("ms.img")));
        QCOMPARE(dialog.Job().delivery.msPath, dir.File("ms.img"));
        QVERIFY(dialog.Job().msPath[0].empty());
        QVERIFY(!dialog.BandList(1)->isEnabled());
        QVERIFY(!dialog.ColourMatchBox()->isEnabled() && !dialog.QualityLineBox()->isEnabled());
        QVERIFY2(dialog.MsInfo()->text().contains("4 bands") &&
                     dialog.MsInfo()->text().contains("MS on the pan: ratio 4, corners aligned"),
                 qPrintable(dialog.MsInfo()->text()));
        QVERIFY(group.FormatList()->isEnabled());
        dialog.show();
        Choose(group.FormatList(), 3);
        Choose(group.NoDataList(), 2);
        TypeInto(group.NoDataField(), "-5");
        dialog.PictureBand(0)->setValue(4);
        dialog.PictureBand(1)->setValue(3);
        QCOMPARE(dialog.Job().delivery.rgb, (std::array<int, 3>{}));  // all three or none
        dialog.PictureBand(2)->setValue(2);
        const DeliveryJob& chosen = dialog.Job().delivery;
        QCOMPARE(chosen.outputFormat, std::string("cog"));
        QVERIFY(chosen.noData.given && !chosen.noData.none);
        QCOMPARE(chosen.noData.value, -5.0);
        QCOMPARE(chosen.rgb, (std::array<int, 3>{4, 3, 2}));
        const std::vector<std::string> args = dialog.Command().arguments;
        for (const std::vector<std::string>& pair :
             {std::vector<std::string>{"--ms", dir.File("ms.img")},
              {"--format", "cog"},
              {"--nodata", "-5"},
              {"--rgb", "4,3,2"}}) {
            const auto at = std::search(args.begin(), args.end(), pair.begin(), pair.end());
            QVERIFY2(at != args.end(), pair[0].c_str());
        }
        QVERIFY(std::find(args.begin(), args.end(), "--blue") == args.end());
        SaveScreenshot(&dialog, "pansharpen_multiband");

        // The remembered command line ("Run again") gives the same choices back.
        PanSharpenDialog again(counters, host, nullptr);
        again.Restore(dialog.Command());
        QCOMPARE(again.Job().delivery.msPath, chosen.msPath);
        QCOMPARE(again.Job().delivery.outputFormat, chosen.outputFormat);
        QCOMPARE(again.Job().delivery.noData.value, -5.0);
        QCOMPARE(again.Job().delivery.rgb, chosen.rgb);
        QCOMPARE(again.MsFileField()->text(), Q(dir.File("ms.img")));
        QCOMPARE(again.Delivery()->FormatList()->currentIndex(), 3);
        QCOMPARE(again.Delivery()->NoDataField()->text(), QString("-5"));
        QCOMPARE(again.PictureBand(0)->value(), 4);
        // OK runs it: one multi-band COG beside the MS.
        again.accept();
        QVERIFY2(host.Messages().empty(), host.Messages().empty() ? "" : host.Messages()[0].c_str());
        QVERIFY(QFile::exists(Q(dir.File("ms_Fused.tif"))));
        QVERIFY(Q(host.Log()).contains("MS offset on the pan:"));

        // "None" ignores the files' own; a Blue band brings the four rows back, no data kept.
        Choose(group.NoDataList(), 1);
        const std::vector<std::string> noneArgs = dialog.Command().arguments;
        const std::vector<std::string> none{"--nodata", "none"};
        QVERIFY(std::search(noneArgs.begin(), noneArgs.end(), none.begin(), none.end()) !=
                noneArgs.end());
        dialog.OnBandChosen(0, Q(dir.File("ms.img")));
        QVERIFY(!dialog.Job().delivery.Active());
        QVERIFY(dialog.Job().delivery.noData.none);
        QVERIFY(!group.FormatList()->isEnabled());
        QVERIFY(dialog.BandList(1)->isEnabled());
        QVERIFY(dialog.ColourMatchBox()->isEnabled() && dialog.QualityLineBox()->isEnabled());
        QVERIFY2(host.Messages().empty(), host.Messages().empty() ? "" : host.Messages()[0].c_str());
    }

    void CheckAlignmentShowsTheOffsetAndItsArrowsOverThePan()
    {
        TempDir dir;
        WriteEnviScene(dir.Path(), OffsetScene(512, 512, 2.0, -1.0));
        FakeHost host;
        RunCounters counters;
        PanSharpenDialog dialog(counters, host, nullptr);
        ViewerDock viewer;
        viewer.resize(700, 760);
        viewer.show();
        dialog.SetAlignmentViewer(
            [&viewer](const AlignmentArrows& alignment) { viewer.ShowAlignment(alignment); });
        dialog.show();

        // Without inputs: a message, and nothing runs.
        dialog.OnCheckAlignment();
        QCOMPARE(host.Messages().size(), std::size_t{1});
        QVERIFY(!dialog.Alignment());

        ChooseEnviScene(dialog, dir.Path());
        Choose(dialog.MethodList(), 2);
        // Escape stops a check under way (the window handles events meanwhile): no result.
        QTimer::singleShot(0, &dialog, [&dialog] { QTest::keyClick(&dialog, Qt::Key_Escape); });
        dialog.OnCheckAlignment();
        QVERIFY(!dialog.Alignment());
        QCOMPARE(dialog.Delivery()->AlignmentLabel()->text(),
                 QString("The alignment check was stopped."));
        QVERIFY(dialog.isVisible());
        dialog.OnCheckAlignment();
        QCOMPARE(host.Messages().size(), std::size_t{1});
        QVERIFY(dialog.Alignment());
        const AlignmentArrows& found = *dialog.Alignment();
        QVERIFY2(std::fabs(found.dx - 2.0) < 0.15 && std::fabs(found.dy + 1.0) < 0.15,
                 qPrintable(Q(AlignmentText(found))));
        QVERIFY(found.applicable);
        QVERIFY(dialog.Delivery()->AlignmentLabel()->text().contains(Q(AlignmentText(found))));
        // A 4 × 4 grid covering the pan, each block agreeing with the whole for this rigid shift.
        QCOMPARE(found.arrows.size(), std::size_t{16});
        double covered = 0;
        for (const AlignmentArrow& arrow : found.arrows) {
            covered += arrow.width * arrow.height;
            if (arrow.confidence > 0.3) QVERIFY(std::fabs(arrow.dx - 2.0) < 0.5);
        }
        QCOMPARE(covered, 512.0 * 512.0);
        // Checking is not a run: nothing remembered, no history.
        QVERIFY(host.Log().empty());

        // The viewer shows the pan with the arrows over it.
        ImageCanvas& canvas = viewer.Canvas();
        QVERIFY(canvas.Alignment());
        QCOMPARE(canvas.Alignment()->arrows.size(), std::size_t{16});
        QTRY_VERIFY(canvas.Layer(ImageCanvas::kPrimary)->OverviewReady());
        QTRY_VERIFY(viewer.StretchControl().High(0)->value() > 0);
        QTRY_VERIFY(!canvas.Store().IsBusy());
        SaveScreenshot(&dialog, "pansharpen_delivery");
        SaveScreenshot(&viewer, "alignment_arrows");

        // Other inputs: the alignment measured no longer stands.
        dialog.OnPanChosen(Q(dir.File("red.img")));
        QVERIFY(!dialog.Alignment());
        QVERIFY(dialog.Delivery()->AlignmentLabel()->text().isEmpty());
        // Another image in the viewer takes the arrows away.
        viewer.OpenPath(Q(dir.File("nir.img")));
        QVERIFY(!canvas.Alignment());
    }
};

}  // namespace lumesta::testing

int RunDeliveryControlsTests(int argc, char** argv)
{
    lumesta::testing::DeliveryControlsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "delivery_controls_test.moc"
