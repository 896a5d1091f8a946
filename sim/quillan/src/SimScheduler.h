// One background thread that runs delayed jobs of the simulator (device
// reset: disconnect and return). Jobs run without any simulator lock held.
#ifndef SIMSCHEDULER_H
#define SIMSCHEDULER_H

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace quillan {

class SimScheduler {
public:
    static SimScheduler& instance();
    ~SimScheduler();

    // Runs job after delayMs on the scheduler thread. Returns a ticket for cancel().
    uint64_t schedule(uint32_t delayMs, std::function<void()> job);
    // Drops a job that has not started; false when it already ran or is unknown.
    bool cancel(uint64_t ticket);
    // Drops every pending job.
    void cancelAll();

private:
    SimScheduler() = default;
    void run();

    using Clock = std::chrono::steady_clock;
    struct Job {
        uint64_t ticket;
        std::function<void()> job;
    };
    std::mutex mutex_;
    std::condition_variable wake_;
    std::multimap<Clock::time_point, Job> jobs_;
    std::thread thread_;
    uint64_t nextTicket_ = 0;
    bool stopping_ = false;
};

} // namespace quillan

#endif // SIMSCHEDULER_H
