#include "cli/terminal_host.h"

#include <atomic>
#include <csignal>
#include <iostream>
#include <spawn.h>
#include <string>
#include <unistd.h>

extern char** environ;

namespace lumesta::cli {
namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) { g_interrupted.store(true); }

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
    m_log = std::fopen(m_options.logPath.c_str(), "ab");
    if (m_log) return true;
    std::cerr << "Cannot open the log file " << m_options.logPath << " for appending.\n";
    return false;
}

void TerminalHost::ShowMessage(const std::string& text)
{
    ClearBar();
    std::cerr << text << '\n' << std::flush;
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
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fflush(out);
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
    sigaction(SIGINT, &action, nullptr);
}

}  // namespace lumesta::cli
