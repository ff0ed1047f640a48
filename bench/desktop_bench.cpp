// The desktop program's time for one run of a tool, from OK until the run has ended and the
// user-interface thread has nothing left to do: the real main window and the real tool dialog,
// the inputs chosen in it as the "..." buttons would, OK pressed.
//
//   desktop_bench TOOL FOLDER [--log FILE] [--profile DIR] [--display]
//     TOOL     pansharpen (16-bit; pan.img, blue.img, green.img, red.img, nir.img),
//              etm (Landsat ETM+; pan.img, blue.img, green.img, red.img),
//              combine (16-bit band combination; blue.img, green.img, red.img),
//              stats, haar, semivariance (pan.img)
//     FOLDER   the scene; outputs are written where the dialog puts them (beside the inputs)
//     --log    writes the log view's text (the run's report block) to FILE afterwards
//     --profile  keeps the program's profile (window places, last folders) in DIR, as a user's
//              profile lasts from run to run; without it, a scratch folder of this run
//     --display  keeps "Display BMP" as the dialog opens it (on); without it the box is
//              cleared, as the command line's default is no display
//
// Prints one line: "time S user U system Y" (seconds of wall clock, and the process's user and
// system CPU time over the same span, every thread counted). Every question is answered Yes
// (overwrite prompts); a message box is printed on standard error and makes the exit status 1,
// as does a run that did not finish. Files the run hands to the desktop's default programs
// (the statistics table) are not opened. Runs without a display with QT_QPA_PLATFORM=offscreen.

#include <sys/resource.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <string>

#include "desktop/main_frame.h"
#include "desktop/prompts.h"
#include "ui/combine_dialog.h"
#include "ui/etm_dialog.h"
#include "ui/haar_dialog.h"
#include "ui/image_stats_dialog.h"
#include "ui/pansharpen_dialog.h"
#include "ui/semivariance_dialog.h"

namespace {

using namespace lumesta;

// Answers every question Yes and keeps the messages, so that nothing waits for a person.
class BenchPrompts : public Prompts {
public:
    void Inform(QWidget*, const QString& text) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        ++m_messages;
    }
    bool AskYesNo(QWidget*, const QString& question) override
    {
        std::fprintf(stderr, "question (Yes): %s\n", qPrintable(question));
        return true;
    }
    QMessageBox::StandardButton AskYesNoCancel(QWidget*, const QString&) override
    {
        return QMessageBox::No;
    }
    int Messages() const { return m_messages; }

private:
    int m_messages = 0;
};

// Takes the files the run hands to the desktop's default programs (the statistics table) and
// opens nothing: those programs are not the desktop program's time, and none may be installed.
class NoExternalViewer : public QObject {
    Q_OBJECT

public:
    NoExternalViewer() { QDesktopServices::setUrlHandler("file", this, "Open"); }
    ~NoExternalViewer() override { QDesktopServices::unsetUrlHandler("file"); }

public slots:
    void Open(const QUrl&) {}
};

double CpuSeconds(const timeval& time)
{
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// The tool's dialog with its inputs in folder chosen; null for an unknown tool.
std::unique_ptr<ToolDialog> MakeChosenDialog(const std::string& tool, const QDir& folder,
                                             MainFrame& frame, bool display)
{
    RunCounters& counters = frame.Document().Counters();
    DesktopHost& host = frame.Host();
    const auto file = [&folder](const char* name) { return folder.absoluteFilePath(name); };
    const auto clearDisplay = [display](QCheckBox* box) {
        if (!display && box->isChecked()) box->click();
    };
    if (tool == "pansharpen" || tool == "etm") {
        std::unique_ptr<PanSharpenDialogBase> dialog;
        if (tool == "pansharpen") {
            dialog = std::make_unique<PanSharpenDialog>(counters, host, &frame);
        } else {
            dialog = std::make_unique<EtmDialog>(counters, host, &frame);
        }
        dialog->OnPanChosen(file("pan.img"));
        const char* bands[] = {"blue.img", "green.img", "red.img", "nir.img"};
        for (int band = 0; band < dialog->BandCount(); ++band) {
            dialog->OnBandChosen(band, file(bands[band]));
        }
        clearDisplay(dialog->DisplayBmpBox());
        return dialog;
    }
    if (tool == "combine") {
        auto dialog = std::make_unique<CBandCombination16Dlg>(counters, host, &frame);
        const char* bands[] = {"blue.img", "green.img", "red.img"};
        for (int band = 0; band < 3; ++band) dialog->OnBandChosen(band, file(bands[band]));
        clearDisplay(dialog->DisplayBmpBox());
        return dialog;
    }
    std::unique_ptr<AssessDialog> dialog;
    if (tool == "stats") {
        dialog = std::make_unique<CImageStatsDlg>(counters, host, &frame);
    } else if (tool == "haar") {
        dialog = std::make_unique<CHaarWaveletDlg>(counters, host, &frame);
    } else if (tool == "semivariance") {
        dialog = std::make_unique<CSemivarianceDlg>(counters, host, &frame);
    } else {
        return nullptr;
    }
    dialog->OnInputChosen(file("pan.img"));
    return dialog;
}

// Returns once the user-interface thread is about to wait for new events: everything the run
// posted (progress, log appends, deletions) has been handled.
void WaitUntilIdle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QEventLoop loop;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     &loop, &QEventLoop::quit);
    loop.exec();
}

bool WriteLog(const QString& path, const std::string& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(text.data(), static_cast<qint64>(text.size())) ==
               static_cast<qint64>(text.size());
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: desktop_bench pansharpen|etm|combine|stats|haar|semivariance FOLDER "
                 "[--log FILE] [--profile DIR] [--display]\n");
    return 2;
}

struct Options {
    std::string tool;
    QString folder;
    QString logPath;
    QString profilePath;
    bool display = false;
};

// False when the command line is wrong.
bool ReadOptions(const QStringList& arguments, Options& options)
{
    if (arguments.size() < 3) return false;
    options.tool = arguments[1].toStdString();
    options.folder = arguments[2];
    for (int i = 3; i < arguments.size(); ++i) {
        if (arguments[i] == "--log" && i + 1 < arguments.size()) {
            options.logPath = arguments[++i];
        } else if (arguments[i] == "--profile" && i + 1 < arguments.size()) {
            options.profilePath = arguments[++i];
        } else if (arguments[i] == "--display") {
            options.display = true;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName("Local AppWizard-Generated Applications");
    QCoreApplication::setApplicationName("Lumesta");
    Options options;
    if (!ReadOptions(QCoreApplication::arguments(), options)) return Usage();
    // The profile (window places, last folders) never goes to the user's.
    QTemporaryDir scratchProfile;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       options.profilePath.isEmpty() ? scratchProfile.path() : options.profilePath);
    const QDir folder(options.folder);
    if (!folder.exists()) {
        std::fprintf(stderr, "desktop_bench: no folder %s\n", qPrintable(options.folder));
        return 1;
    }

    const NoExternalViewer noViewer;
    MainFrame frame;
    auto prompts = std::make_unique<BenchPrompts>();
    const BenchPrompts& answers = *prompts;
    frame.Host().SetPrompts(std::move(prompts));
    frame.show();
    std::unique_ptr<ToolDialog> dialog = MakeChosenDialog(options.tool, folder, frame, options.display);
    if (!dialog) return Usage();
    dialog->show();
    WaitUntilIdle();

    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    QElapsedTimer clock;
    clock.start();
    dialog->accept();
    WaitUntilIdle();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    rusage after{};
    getrusage(RUSAGE_SELF, &after);

    // The log view is not saved: no question at the end.
    frame.View().document()->setModified(false);
    if (!options.logPath.isEmpty() && !WriteLog(options.logPath, frame.View().TextForSaving())) {
        std::fprintf(stderr, "desktop_bench: cannot write %s\n", qPrintable(options.logPath));
        return 1;
    }
    if (dialog->isVisible() || dialog->result() != QDialog::Accepted || answers.Messages() > 0) {
        std::fprintf(stderr, "desktop_bench: the run did not finish\n");
        return 1;
    }
    std::printf("time %.3f user %.3f system %.3f\n", seconds,
                CpuSeconds(after.ru_utime) - CpuSeconds(before.ru_utime),
                CpuSeconds(after.ru_stime) - CpuSeconds(before.ru_stime));
    return 0;
}

#include "desktop_bench.moc"
