#pragma once
// The command line's host: message boxes and questions on standard error, the report block on
// standard output or appended to a log file, a progress bar on a terminal, Ctrl-C as Cancel.

#include <cstdio>
#include <memory>
#include <string>

#include "core/host.h"

namespace lumesta::cli {

enum class Answer { Ask, Yes, No };

struct TerminalOptions {
    std::string logPath;  // empty: the report goes to standard output
    Answer answer = Answer::Ask;
    bool display = false;
    bool quiet = false;
};

class TerminalHost : public Host {
public:
    explicit TerminalHost(const TerminalOptions& options);
    ~TerminalHost() override;

    // False (after a line on standard error) when the log file cannot be opened for appending.
    bool OpenLog();

    void ShowMessage(const std::string& text) override;
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

    // Routes SIGINT to the cancelled flag of every run of this process.
    static void InstallInterruptHandler();

private:
    TerminalOptions m_options;
    std::FILE* m_log = nullptr;
    bool m_barShown = false;
    bool m_barAllowed = false;
};

}  // namespace lumesta::cli
