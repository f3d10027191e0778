#pragma once

// Threads for one call of a service, started without letting an exception reach the
// library's callers: the rest of the library is built without exception support, so the
// system refusing a thread must come back as a plain answer.

#include <functional>
#include <thread>
#include <vector>

namespace kestrelvane {

class ThreadGroup {
public:
    ThreadGroup() = default;
    ThreadGroup(const ThreadGroup&) = delete;
    ThreadGroup& operator=(const ThreadGroup&) = delete;
    ~ThreadGroup() { JoinAll(); }

    // Runs body on a new thread. False when the system refuses the thread or the memory
    // for it; the group is unchanged then.
    bool Start(std::function<void()> body) noexcept;
    void JoinAll() noexcept;

private:
    std::vector<std::thread> threads_;
};

}  // namespace kestrelvane
