#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Threads that stay and work through the bands of one image at a time side
// by side: band(i) for i in 0 .. bands - 1, the calling thread among the
// workers. run() returns when every band is done. Calls may come from
// several threads at once; a caller never waits for another's bands, and
// does its bands itself when no helper is free.
class SimBandPool {
public:
    explicit SimBandPool(unsigned helpers);
    ~SimBandPool();
    SimBandPool(const SimBandPool&) = delete;
    SimBandPool& operator=(const SimBandPool&) = delete;

    void run(uint32_t bands, const std::function<void(uint32_t)>& band);

private:
    struct Job;
    void work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::shared_ptr<Job>> jobs_;
    bool stop_ = false;
    std::vector<std::thread> helpers_;
};
