#pragma once
// A reader thread that is joined whenever it goes out of scope, so a run that returns early
// (a failure, a cancel, an exception) never leaves a running thread behind.

#include <thread>
#include <utility>

namespace lumesta {

class JoiningThread {
public:
    JoiningThread() = default;
    JoiningThread(const JoiningThread&) = delete;
    JoiningThread& operator=(const JoiningThread&) = delete;
    ~JoiningThread() { Join(); }

    // Waits for the work started before, then starts this.
    template <typename Work, typename... Args>
    void Start(Work&& work, Args&&... args)
    {
        Join();
        m_thread = std::thread(std::forward<Work>(work), std::forward<Args>(args)...);
    }

    // Waits for the work started last, if any.
    void Join()
    {
        if (m_thread.joinable()) m_thread.join();
    }

private:
    std::thread m_thread;
};

}  // namespace lumesta
