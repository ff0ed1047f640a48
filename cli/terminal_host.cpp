#include "cli/terminal_host.h"

#include <atomic>
#include <csignal>
#include <iostream>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

extern char** environ;

namespace lumesta::cli {

TerminalOptions TerminalOptionsOf(const OptionValues& values)
{
    TerminalOptions options;
    options.logPath = values.Text("--log").value_or(std::string());
    options.answer = values.Has("--yes")  ? Answer::Yes
                     : values.Has("--no") ? Answer::No
                                          : Answer::Ask;
    options.display = values.Has("--display");
    options.quiet = values.Has("--quiet");
    return options;
}

namespace {

std::atomic<bool> g_interrupted{false};
std::atomic<int> g_cancelSignal{0};

// The first of SIGINT, SIGTERM and SIGHUP decides the exit status; the run takes its cancel
// path at its next check, so its clean-up runs whatever asked it to stop.
extern "C" void OnInterrupt(int signalNumber)
{
    int none = 0;
    g_cancelSignal.compare_exchange_strong(none, signalNumber);
    g_interrupted.store(true);
}

const char kLogWriteFailure[] = "Cannot write the report to ";

class TerminalProgress : public RunProgress {
public:
    explicit TerminalProgress(TerminalHost& host) : m_host(host) {}
    ~TerminalProgress() override { m_host.ClearBar(); }
    void SetRange(int low, int high, int) override
    {
        m_low = low;
        m_high = high > low ? high : low + 1;
    }
    void SetPosition(int position) override
    {
        const int percent = (position - m_low) * 100 / (m_high - m_low);
        if (percent != m_percent) m_host.DrawBar(percent);
        m_percent = percent;
    }
    void SetStatusText(const std::string&) override {}
    void PumpMessages(bool) override {}
    bool IsCancelled() const override { return g_interrupted.load(); }

private:
    TerminalHost& m_host;
    int m_low = 0;
    int m_high = 100;
    int m_percent = -1;
};

}  // namespace

TerminalHost::TerminalHost(const TerminalOptions& options) : m_options(options)
{
    m_barAllowed = !options.quiet && ::isatty(STDERR_FILENO);
}

TerminalHost::~TerminalHost()
{
    ClearBar();
    if (m_log) std::fclose(m_log);
    std::fflush(stdout);
}

bool TerminalHost::OpenLog()
{
    if (m_options.logPath.empty()) return true;
    struct stat status {};
    m_logCreated = ::stat(m_options.logPath.c_str(), &status) != 0;
    m_log = std::fopen(m_options.logPath.c_str(), "ab");
    if (m_log) return true;
    std::cerr << "Cannot open the log file " << m_options.logPath << " for appending.\n";
    return false;
}

bool TerminalHost::RefuseLogAmong(const std::vector<std::string>& runFiles)
{
    if (m_options.logPath.empty()) return false;
    for (const auto& path : runFiles) {
        if (path.empty() || !SameFile(m_options.logPath, path)) continue;
        std::cerr << "The log file " << m_options.logPath
                  << " is also a file of this run; choose another log file.\n";
        return true;
    }
    return false;
}

void TerminalHost::DiscardLog()
{
    if (!m_log) return;
    std::fclose(m_log);
    m_log = nullptr;
    if (m_logCreated) std::remove(m_options.logPath.c_str());
}

bool TerminalHost::FinishLog()
{
    std::FILE* out = m_log ? m_log : stdout;
    bool written = !m_logFailed && std::fflush(out) == 0 && !std::ferror(out);
    if (m_log) {
        written = std::fclose(m_log) == 0 && written;
        m_log = nullptr;
    }
    if (!written && !m_logFailureShown) ShowLogFailure();
    m_logFailed = !written;
    return written;
}

void TerminalHost::ShowLogFailure()
{
    m_logFailureShown = true;
    ClearBar();
    std::cerr << kLogWriteFailure
              << (m_options.logPath.empty() ? "standard output" : m_options.logPath) << ".\n"
              << std::flush;
}

void TerminalHost::ShowMessage(const std::string& text)
{
    ClearBar();
    std::cerr << text << '\n' << std::flush;
}

void TerminalHost::WriteErrorStream(const std::string& text)
{
    ClearBar();
    std::cerr << text << std::flush;
}

bool TerminalHost::AskYesNo(const std::string& question)
{
    ClearBar();
    std::cerr << question << '\n' << std::flush;
    if (m_options.answer != Answer::Ask) return m_options.answer == Answer::Yes;
    if (!::isatty(STDIN_FILENO)) return false;
    std::cerr << "[y/N] " << std::flush;
    std::string reply;
    if (!std::getline(std::cin, reply)) return false;
    return !reply.empty() && (reply[0] == 'y' || reply[0] == 'Y');
}

void TerminalHost::AppendLog(const std::string& bytes)
{
    // Written at once, so the report block is complete up to the last step even if the
    // process is killed.
    std::FILE* out = m_log ? m_log : stdout;
    const bool written =
        std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size() && std::fflush(out) == 0;
    if (written || m_logFailed) return;
    // A full disk: said once, and the command ends unsuccessfully after the run.
    m_logFailed = true;
    ShowLogFailure();
}

bool TerminalHost::IsCancelled() const { return g_interrupted.load(); }

std::unique_ptr<RunProgress> TerminalHost::OpenProgress(const std::string&, ProgressOwner)
{
    return std::make_unique<TerminalProgress>(*this);
}

void TerminalHost::OpenInViewer(ViewerKind, const std::string& pathOrAddress)
{
    if (!m_options.display) return;
    // The desktop's default program for the file; its result is ignored.
    pid_t child = 0;
    const char* argv[] = {"xdg-open", pathOrAddress.c_str(), nullptr};
    posix_spawnp(&child, "xdg-open", nullptr, nullptr, const_cast<char* const*>(argv), environ);
}

void TerminalHost::ClearBar()
{
    if (!m_barShown) return;
    std::cerr << "\r\033[K" << std::flush;
    m_barShown = false;
}

void TerminalHost::DrawBar(int percent)
{
    if (!m_barAllowed) return;
    if (percent < 0) percent = 0;
    if (percent > 100) percent = 100;
    const int filled = percent * 40 / 100;
    std::cerr << "\r[" << std::string(filled, '#') << std::string(40 - filled, ' ') << "] "
              << percent << " %" << std::flush;
    m_barShown = true;
}

void TerminalHost::InstallInterruptHandler()
{
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signalNumber, &action, nullptr);
}

int TerminalHost::CancelSignal()
{
    const int signalNumber = g_cancelSignal.load();
    return signalNumber != 0 ? signalNumber : SIGINT;
}

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat first {};
    struct stat second {};
    // Existing files are the same by identity, whatever links or names lead to them.
    if (::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0) {
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    }
    std::error_code ignored;
    return std::filesystem::weakly_canonical(a, ignored) ==
           std::filesystem::weakly_canonical(b, ignored);
}

}  // namespace lumesta::cli
