#pragma once

#include <iostream>
#include <string>

#include "core/host.h"

namespace lumesta::cli {

constexpr int kExitFinished = 0;
constexpr int kExitStopped = 1;
constexpr int kExitUsage = 2;
constexpr int kExitCancelled = 130;

inline int ExitStatusOf(RunOutcome outcome)
{
    switch (outcome) {
        case RunOutcome::Finished:
            return kExitFinished;
        case RunOutcome::Cancelled:
            return kExitCancelled;
        case RunOutcome::Stopped:
            break;
    }
    return kExitStopped;
}

// A wrong command line: the text and the tool's usage on standard error, exit status 2.
inline int ReportUsageError(const std::string& text, const std::string& usage)
{
    std::cerr << "lumesta-cli: " << text << "\n" << usage;
    return kExitUsage;
}

}  // namespace lumesta::cli
