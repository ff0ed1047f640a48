#pragma once

#include <iostream>
#include <string>

#include "core/host.h"
#include "cli/arguments.h"

namespace lumesta::cli {

constexpr int kExitFinished = 0;
constexpr int kExitStopped = 1;
constexpr int kExitUsage = 2;
constexpr int kExitCancelled = 130;

inline int ExitStatusOf(RunOutcome outcome)
{
    switch (outcome) {
        case RunOutcome::Finished: return kExitFinished;
        case RunOutcome::Cancelled: return kExitCancelled;
        case RunOutcome::Stopped: break;
    }
    return kExitStopped;
}

inline int ReportUsageError(const UsageError& error, const char* usage)
{
    std::cerr << "lumesta-cli: " << error.text << "\n" << usage;
    return kExitUsage;
}

}  // namespace lumesta::cli
