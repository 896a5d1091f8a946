// Worker thread base of the event and stream channels: Start runs Run on a
// new thread, Join waits for it. The thread is always joined, never killed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace pexlin {

class CThread {
public:
    virtual ~CThread();
    CThread() = default;
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // Joins an earlier thread, clears the stop flag, then starts Run.
    void Start();
    // Asks Run to end (Run polls stopRequested()) and waits for it.
    void Join();
    bool running() const { return thread_.joinable(); }

protected:
    virtual void Run() = 0;
    bool stopRequested() const { return stop_.load(std::memory_order_acquire); }
    // Sleeps up to ms, ending early when a stop is requested.
    void waitForStop(std::uint32_t ms);
    // Sets the stop flag without waiting; Start clears it.
    void requestStop();

private:
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex stopMutex_;
    std::condition_variable stopped_;
};

} // namespace pexlin
