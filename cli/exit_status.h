#pragma once

#include <iostream>
#include <string>

#include "cli/terminal_host.h"
#include "core/host.h"

namespace lumesta::cli {

constexpr int kExitFinished = 0;
constexpr int kExitStopped = 1;
constexpr int kExitUsage = 2;
constexpr int kExitCancelled = 130;

// 128 + the number of the signal that cancelled the run (130 Ctrl-C, 143 SIGTERM, 129 SIGHUP).
inline int CancelledExitStatus()
{
    return 128 + TerminalHost::CancelSignal();
}

inline int ExitStatusOf(RunOutcome outcome)
{
    switch (outcome) {
        case RunOutcome::Finished:
            return kExitFinished;
        case RunOutcome::Cancelled:
            return CancelledExitStatus();
        case RunOutcome::Stopped:
            break;
    }
    return kExitStopped;
}

// The exit status of a run whose report went through host: a report that could not be
// written makes a finished run unsuccessful. A run that stopped after a signal asked it to
// (a question the signal cut short, a step that failed on the way out) ends with the
// signal's status too.
inline int FinishCommand(TerminalHost& host, int status)
{
    const bool logWritten = host.FinishLog();
    if (status == kExitStopped && host.IsCancelled()) return CancelledExitStatus();
    return status == kExitFinished && !logWritten ? kExitStopped : status;
}

// A wrong command line: the text and the tool's usage on standard error, exit status 2.
inline int ReportUsageError(const std::string& text, const std::string& usage)
{
    std::cerr << "lumesta-cli: " << text << "\n" << usage;
    return kExitUsage;
}

}  // namespace lumesta::cli
