#include "SimBandPool.h"

#include <algorithm>
#include <atomic>
#include <system_error>

struct SimBandPool::Job {
    Job(uint32_t bands, const std::function<void(uint32_t)>& band) : bands(bands), band(band) {}
    const uint32_t bands;
    const std::function<void(uint32_t)>& band;  // valid while a band is left to run
    std::atomic<uint32_t> next{0};
    uint32_t done = 0;  // under the pool's mutex
    std::condition_variable finished;

    // Runs the next band nobody has taken; false when none is left.
    bool runOne(std::mutex& mutex)
    {
        const uint32_t i = next.fetch_add(1);
        if (i >= bands)
            return false;
        band(i);
        std::lock_guard<std::mutex> lock(mutex);
        if (++done == bands)
            finished.notify_all();
        return true;
    }
};

SimBandPool::SimBandPool(unsigned helpers)
{
    for (unsigned i = 0; i < helpers; ++i) {
        try {
            helpers_.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
            break;  // fewer helpers: callers do more themselves
        }
    }
}

SimBandPool::~SimBandPool()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : helpers_)
        t.join();
}

void SimBandPool::run(uint32_t bands, const std::function<void(uint32_t)>& band)
{
    if (bands <= 1 || helpers_.empty()) {
        for (uint32_t i = 0; i < bands; ++i)
            band(i);
        return;
    }
    auto job = std::make_shared<Job>(bands, band);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(job);
    }
    wake_.notify_all();
    while (job->runOne(mutex_)) {
    }
    std::unique_lock<std::mutex> lock(mutex_);
    job->finished.wait(lock, [&] { return job->done == job->bands; });
    jobs_.erase(std::remove(jobs_.begin(), jobs_.end(), job), jobs_.end());
}

void SimBandPool::work()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stop_ || !jobs_.empty(); });
        if (stop_)
            return;
        const std::shared_ptr<Job> job = jobs_.front();
        lock.unlock();
        const bool ran = job->runOne(mutex_);
        lock.lock();
        if (!ran)  // every band taken: on to the next job
            jobs_.erase(std::remove(jobs_.begin(), jobs_.end(), job), jobs_.end());
    }
}
