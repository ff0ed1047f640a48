#include "ui/progress_window.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QtTest>

namespace lumesta::testing {
namespace {

// Centred on the owner, give or take the rounding of odd sizes.
bool IsCentredOn(const QWidget& window, const QWidget& owner)
{
    return (window.geometry().center() - owner.frameGeometry().center()).manhattanLength() <= 2;
}

}  // namespace

class ProgressWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_owner = std::make_unique<QMainWindow>();
        m_owner->setGeometry(100, 80, 600, 400);
        m_owner->show();
        QSettings().remove("Settings");
    }
    void cleanup() { m_owner.reset(); }

    // The first window is centred on its owner and the next opens where the last was left; the
    // profile is written when the place changed, and left alone otherwise (each write waits for
    // the disk at the end of a run).
    void TheNextWindowOpensWhereTheLastWasLeft()
    {
        { CProgressWindow first(m_owner.get(), "Processing ...", false); }
        const QString file = QSettings().fileName();
        const QDateTime written = QFileInfo(file).lastModified();
        QVERIFY(written.isValid());
        QTest::qSleep(50);
        {
            CProgressWindow second(m_owner.get(), "Processing ...", false);
            QVERIFY(IsCentredOn(second, *m_owner));
        }
        QCOMPARE(QFileInfo(file).lastModified(), written);
        const QPoint moved(37, 41);
        {
            CProgressWindow third(m_owner.get(), "Processing ...", false);
            third.move(moved);
        }
        QVERIFY(QFileInfo(file).lastModified() > written);
        QSettings profile;
        QCOMPARE(profile.value("Settings/X").toInt(), moved.x());
        QCOMPARE(profile.value("Settings/Y").toInt(), moved.y());
        CProgressWindow fourth(m_owner.get(), "Processing ...", false);
        QCOMPARE(fourth.pos(), moved);
    }

    void PositionsOffTheScreenAreIgnored_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        QTest::newRow("absent") << -2 << -2;
        QTest::newRow("x -1") << -1 << 10;
        QTest::newRow("x = screen width") << screen.width() << 10;
        QTest::newRow("y = screen height") << 10 << screen.height();
    }
    void PositionsOffTheScreenAreIgnored()
    {
        QFETCH(int, x);
        QFETCH(int, y);
        QSettings profile;
        if (x != -2) {
            profile.setValue("Settings/X", x);
            profile.setValue("Settings/Y", y);
        }
        CProgressWindow window(m_owner.get(), "Processing ...", false);
        QVERIFY(IsCentredOn(window, *m_owner));
    }

    // On top of every window without taking the focus from the one the user works in; Cancel
    // hides it at once.
    void CancelHidesAtOnceAndStaysCancelled()
    {
        CProgressWindow window(m_owner.get(), "Processing ...", false);
        QVERIFY(window.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(window.testAttribute(Qt::WA_ShowWithoutActivating));
        QVERIFY(window.isVisible());
        QTest::mouseClick(window.CancelButton(), Qt::LeftButton);
        QVERIFY(window.IsCancelled());
        QVERIFY(!window.isVisible());
        window.PumpMessages(true);
        QVERIFY(window.IsCancelled());
    }

    // Told the steps, the bar counts each step by its weight and the step going on by the
    // position it sets; the status line names the step and the time left.
    void StepsMakeTheBarShowTheWholeRun()
    {
        CProgressWindow window(m_owner.get(), "Pan-Sharpening Module (For 16-bit data)", true);
        QElapsedTimer clock;
        clock.start();
        window.SetStatusText("Press Cancel to stop ...\n\n");
        window.ShowSteps({{"Reading", 1}, {"Fusing the bands", 3}}, 0, clock);
        QCOMPARE(window.StatusLabel()->text(),
                 QString("Step 1 of 2: Reading\nEstimating the time left ..."));
        window.SetRange(0, 200, 1);
        window.SetPosition(100);
        QCOMPARE(window.Bar()->value(), 12);  // half of a quarter
        window.BeginStep(1);
        window.SetStatusText("Press Cancel to stop ...\n\n");  // the steps stay
        window.SetPosition(100);
        QCOMPARE(window.Bar()->value(), 62);
        QVERIFY(window.StatusLabel()->text().startsWith("Step 2 of 2: Fusing the bands\n"));
        QVERIFY(window.width() >
                QFontMetrics(window.font()).horizontalAdvance(window.windowTitle()));

        QCOMPARE(CProgressWindow::TimeLeftText(0.5, 1000), QString("Estimating the time left ..."));
        QCOMPARE(CProgressWindow::TimeLeftText(0.01, 60000),
                 QString("Estimating the time left ..."));
        QCOMPARE(CProgressWindow::TimeLeftText(0.9, 20000), QString("A few seconds left"));
        QCOMPARE(CProgressWindow::TimeLeftText(0.5, 21000), QString("About 25 s left"));
        QCOMPARE(CProgressWindow::TimeLeftText(0.25, 60000), QString("About 3 min left"));
        QCOMPARE(CProgressWindow::TimeLeftText(0.1, 3600000), QString("About 9 h 0 min left"));
    }

    void EscapeCancelsOnlyDuringPumpsThatAskForIt()
    {
        CProgressWindow window(m_owner.get(), "Processing ...", false);
        const auto postEscape = [this] {
            QCoreApplication::postEvent(m_owner.get(),
                                        new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        };
        postEscape();
        window.PumpMessages(false);
        QVERIFY(!window.IsCancelled());
        window.SetPosition(1);  // a moved bar always pumps
        postEscape();
        window.PumpMessages(true);
        QVERIFY(window.IsCancelled());
        QVERIFY(!window.isVisible());
    }

private:
    std::unique_ptr<QMainWindow> m_owner;
};

}  // namespace lumesta::testing

int RunProgressWindowTests(int argc, char** argv)
{
    lumesta::testing::ProgressWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "progress_window_test.moc"
