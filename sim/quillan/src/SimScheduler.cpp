#include "SimScheduler.h"

#include <vector>

namespace quillan {

SimScheduler& SimScheduler::instance()
{
    static SimScheduler scheduler;
    return scheduler;
}

SimScheduler::~SimScheduler()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

uint64_t SimScheduler::schedule(uint32_t delayMs, std::function<void()> job)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_)
        return 0;
    uint64_t ticket = ++nextTicket_;
    jobs_.emplace(Clock::now() + std::chrono::milliseconds(delayMs), Job{ticket, std::move(job)});
    if (!thread_.joinable())
        thread_ = std::thread(&SimScheduler::run, this);
    wake_.notify_all();
    return ticket;
}

bool SimScheduler::cancel(uint64_t ticket)
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = jobs_.begin(); it != jobs_.end(); ++it) {
        if (it->second.ticket == ticket) {
            jobs_.erase(it);
            return true;
        }
    }
    return false;
}

void SimScheduler::cancelAll()
{
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.clear();
}

void SimScheduler::run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        if (jobs_.empty()) {
            wake_.wait(lock);
            continue;
        }
        auto first = jobs_.begin();
        if (Clock::now() < first->first) {
            // A copy: the wait reads its deadline again after waking, when a
            // cancel may have freed the job.
            const Clock::time_point due = first->first;
            wake_.wait_until(lock, due);
            continue;
        }
        std::function<void()> job = std::move(first->second.job);
        jobs_.erase(first);
        lock.unlock();
        job();
        lock.lock();
    }
}

} // namespace quillan
