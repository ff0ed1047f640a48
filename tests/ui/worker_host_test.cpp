// The host a run sees on its worker thread: what reaches the user-interface thread, in which
// order, when the run waits for it, and how often pumps are passed on.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/fake_host.h"
#include "ui/worker_host.h"

namespace lumesta::testing {
namespace {

// Runs body on a worker thread while this thread handles events, until the worker has ended
// and everything it carried here was handled.
void RunOnWorker(const std::function<void()>& body)
{
    QThread* thread = QThread::create(body);
    QEventLoop loop;
    QObject::connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    loop.exec();
    thread->wait();
    delete thread;
}

// Records the calls that reach it as one sequence, with the thread each came on.
class SequenceHost : public FakeHost {
public:
    void AppendLog(const std::string& bytes) override { Record("log " + bytes); }
    void ShowMessage(const std::string& text) override { Record("message " + text); }
    void SetBusyCursor(bool on) override { Record(on ? "busy" : "not busy"); }

    std::vector<std::string> events;
    bool allOnThisThread = true;

private:
    void Record(const std::string& event)
    {
        events.push_back(event);
        allOnThisThread = allOnThisThread && QThread::currentThread() == thread;
    }
    QThread* thread = QThread::currentThread();
};

}  // namespace

class WorkerHostTest : public QObject {
    Q_OBJECT

private slots:
    // The worker's host: calls reach the user-interface thread in order; after a question the
    // dialog is refreshed once, while the run waits; a pump passes on the host's own cancel.
    void CarriesCallsRefreshesAfterAQuestionAndTakesCancels()
    {
        FakeHost gui;
        gui.cancelAtPump = 1;
        QObject context;
        std::atomic<bool> cancelled{false};
        WorkerHost worker(gui, context, nullptr, "caption", cancelled);
        int refreshes = 0;
        worker.SetAfterQuestion([&refreshes] { ++refreshes; });
        bool answer = false;
        RunOnWorker([&] {
            worker.AppendLog("a");
            answer = worker.AskYesNo("Go on?");
            worker.AppendLog("b");
            worker.AppendLog("c");
            worker.PumpPendingMessages();
        });
        QVERIFY(answer);
        QCOMPARE(refreshes, 1);
        QCOMPARE(gui.Log(), std::string("abc"));
        QVERIFY(worker.IsCancelled());
    }

    // Runs that pump per pixel: the host's pumps and a progress display's pumps are passed on
    // about every 25 ms for as long as the run goes (not once only, not at every call), and a
    // cancel the host reports at a later pump still stops the run.
    void PassesOnPumpsEvery25MsThroughoutARun()
    {
        FakeHost gui;
        QObject context;
        std::atomic<bool> cancelled{false};
        WorkerHost worker(gui, context, nullptr, "caption", cancelled);
        constexpr qint64 kRunMs = 400;
        long calls = 0;
        qint64 ranMs = 0;
        RunOnWorker([&] {
            const std::unique_ptr<RunProgress> progress =
                worker.OpenProgress("Processing ...", ProgressOwner::Window);
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < kRunMs) {
                worker.PumpPendingMessages();
                progress->PumpMessages(true);
                calls += 2;
            }
            ranMs = clock.elapsed();
        });
        const long pumps = gui.Pumps();
        QVERIFY2(calls > 1000, qPrintable(QString::number(calls)));
        QVERIFY2(pumps >= 4, qPrintable(QString::number(pumps)));
        QVERIFY2(pumps <= ranMs / 20 + 2, qPrintable(QString("%1 in %2 ms").arg(pumps).arg(ranMs)));
        QVERIFY(!worker.IsCancelled());

        // The host reports a cancel at its next pump: a run that keeps pumping sees it.
        gui.cancelAtPump = pumps + 1;
        RunOnWorker([&] {
            QElapsedTimer clock;
            clock.start();
            while (!worker.IsCancelled() && clock.elapsed() < 5000) worker.PumpPendingMessages();
        });
        QVERIFY(worker.IsCancelled());
    }

    // Log appends and the busy cursor are not waited for, but arrive in the order of the run's
    // calls, around a message that is waited for, all of them on the user-interface thread and
    // before the run counts as ended.
    void CallsNotWaitedForKeepTheirOrderAroundMessages()
    {
        SequenceHost gui;
        QObject context;
        std::atomic<bool> cancelled{false};
        WorkerHost worker(gui, context, nullptr, "caption", cancelled);
        RunOnWorker([&] {
            worker.SetBusyCursor(true);
            worker.AppendLog("a\r\n");
            worker.AppendLog("b\r\n");
            worker.ShowMessage("m");
            for (int line = 0; line < 100; ++line) worker.AppendLog(std::to_string(line));
            worker.SetBusyCursor(false);
        });
        std::vector<std::string> expected = {"busy", "log a\r\n", "log b\r\n", "message m"};
        for (int line = 0; line < 100; ++line) expected.push_back("log " + std::to_string(line));
        expected.push_back("not busy");
        QCOMPARE(gui.events, expected);
        QVERIFY(gui.allOnThisThread);
    }
};

}  // namespace lumesta::testing

int RunWorkerHostTests(int argc, char** argv)
{
    lumesta::testing::WorkerHostTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "worker_host_test.moc"
