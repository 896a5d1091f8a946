#include "CThread.h"

#include <chrono>
#include <pthread.h>
#include <sched.h>

namespace pexlin {

CThread::~CThread()
{
    // A derived class joins in its own destructor, while Run can still be
    // called; this is only the last guard.
    Join();
}

void CThread::requestStop()
{
    {
        std::lock_guard<std::mutex> lock(stopMutex_);
        stop_.store(true, std::memory_order_release);
    }
    stopped_.notify_all();
}

void CThread::waitForStop(std::uint32_t ms)
{
    std::unique_lock<std::mutex> lock(stopMutex_);
    stopped_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopRequested(); });
}

void CThread::Start()
{
    if (thread_.joinable()) {
        requestStop();
        thread_.join();
    }
    // Set before the thread exists, so a Join right after Start is seen.
    stop_.store(false, std::memory_order_release);
    thread_ = std::thread([this] {
        // Highest priority where the process may raise it; ignored otherwise.
        sched_param param{};
        param.sched_priority = sched_get_priority_max(SCHED_FIFO);
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
        Run();
    });
}

void CThread::Join()
{
    requestStop();
    if (thread_.joinable())
        thread_.join();
}

} // namespace pexlin
