#pragma once
// The busy cursor of a run: scopes nest, and a process-wide counter tells the tool dialogs
// whether a scope is active.

#include "core/host.h"

namespace lumesta {

class WaitCursorScope {
public:
    explicit WaitCursorScope(Host& host);
    ~WaitCursorScope();
    WaitCursorScope(const WaitCursorScope&) = delete;
    WaitCursorScope& operator=(const WaitCursorScope&) = delete;

    // True while at least one scope exists anywhere in the program.
    static bool IsBusy();

private:
    Host& m_host;
};

// Lets waiting window messages be handled; returns at once when there are none.
inline void PumpPendingMessages(Host& host) { host.PumpPendingMessages(); }

}  // namespace lumesta
