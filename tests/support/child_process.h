#pragma once
// Runs a piece of a test in a child process, to measure what it costs without disturbing the
// test's own process.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace lumesta::testing {

// The child's peak resident memory in KiB, or -1 when body returned false or the child did not
// end normally.
inline long PeakKiBInChild(const std::function<bool()>& body)
{
    const pid_t child = ::fork();
    if (child == 0) ::_exit(body() ? 0 : 1);
    int status = 0;
    struct rusage usage {};
    ::wait4(child, &status, 0, &usage);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? usage.ru_maxrss : -1;
}

}  // namespace lumesta::testing
