#pragma once
// The command line's host: message boxes and questions on standard error, the report block on
// standard output or appended to a log file, a progress bar on a terminal, Ctrl-C as Cancel.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/host.h"
#include "core/option_table.h"

namespace lumesta::cli {

enum class Answer { Ask, Yes, No };

struct TerminalOptions {
    std::string logPath;  // empty: the report goes to standard output
    Answer answer = Answer::Ask;
    bool display = false;
    bool quiet = false;
};

// The terminal's settings from the options every tool takes (--log, --yes, --no, --display,
// --quiet).
TerminalOptions TerminalOptionsOf(const OptionValues& values);

class TerminalHost : public Host {
public:
    explicit TerminalHost(const TerminalOptions& options);
    ~TerminalHost() override;

    // False (after a line on standard error) when the log file cannot be opened for appending.
    bool OpenLog();
    // True (after a line on standard error) when the log file is one of runFiles (an input or
    // output of the run), by identity for existing files, links included.
    bool RefuseLogAmong(const std::vector<std::string>& runFiles);
    // Closes the log unwritten, and removes it when OpenLog made it.
    void DiscardLog();
    // Flushes and closes the log (or flushes standard output); false (after a line on standard
    // error, once) when any of the report could not be written.
    bool FinishLog();

    void ShowMessage(const std::string& text) override;
    void WriteErrorStream(const std::string& text) override;
    bool AskYesNo(const std::string& question) override;
    void AppendLog(const std::string& bytes) override;
    void PumpPendingMessages() override {}
    bool IsCancelled() const override;
    std::unique_ptr<RunProgress> OpenProgress(const std::string& caption,
                                              ProgressOwner owner) override;
    void OpenInViewer(ViewerKind kind, const std::string& pathOrAddress) override;
    void SetBusyCursor(bool) override {}

    // Erases the progress bar line before other text goes to standard error.
    void ClearBar();
    void DrawBar(int percent);

    // Routes SIGINT, SIGTERM and SIGHUP to the cancelled flag of every run of this process.
    static void InstallInterruptHandler();
    // The signal that cancelled the run (SIGINT when none arrived).
    static int CancelSignal();

private:
    TerminalOptions m_options;
    void ShowLogFailure();

    std::FILE* m_log = nullptr;
    bool m_logFailed = false;
    bool m_logCreated = false;
    bool m_logFailureShown = false;
    bool m_barShown = false;
    bool m_barAllowed = false;
};

// True when both names lead to the same file, or would once it exists.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace lumesta::cli
