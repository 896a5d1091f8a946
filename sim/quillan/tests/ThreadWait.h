#pragma once

// Lets a test act only once another thread has gone to sleep inside a
// blocking call, instead of guessing with a fixed sleep.

#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>
#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

namespace simtest {

// The calling thread's kernel id; a waiter stores it before it blocks.
inline pid_t currentThreadId()
{
    return pid_t(syscall(SYS_gettid));
}

// True once the thread whose id lands in `tid` is asleep; false after 10 s.
inline bool waitUntilAsleep(const std::atomic<pid_t>& tid)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
        if (tid.load() == 0)
            continue;
        std::ifstream stat("/proc/self/task/" + std::to_string(tid.load()) + "/stat");
        std::string line;
        std::getline(stat, line);
        const auto paren = line.rfind(')');
        if (paren != std::string::npos && paren + 2 < line.size() && line[paren + 2] == 'S')
            return true;
    }
    return false;
}

// Runs `wait` on a thread of its own and calls `end` once that thread sleeps
// inside it. Returns what the wait returned, or 1 when it never went to
// sleep (end is still called, so the waiter can be joined).
template <class Wait, class End>
int waitEndedBy(Wait wait, End end)
{
    std::atomic<int> rc{1};
    std::atomic<pid_t> tid{0};
    std::thread waiter([&] {
        tid = currentThreadId();
        rc = wait();
    });
    const bool asleep = waitUntilAsleep(tid);
    end();
    waiter.join();
    return asleep ? rc.load() : 1;
}

} // namespace simtest
