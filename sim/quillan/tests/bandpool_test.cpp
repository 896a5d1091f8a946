#include "SimBandPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Runs `bands` bands and gives how often each ran.
std::vector<int> runCounted(SimBandPool& pool, uint32_t bands)
{
    std::vector<std::atomic<int>> runs(bands);
    pool.run(bands, [&](uint32_t b) { runs.at(b).fetch_add(1); });
    std::vector<int> counts;
    for (auto& r : runs)
        counts.push_back(r.load());
    return counts;
}

} // namespace

TEST(SimBandPool, EveryBandRunsOnceWhateverTheHelpers)
{
    for (unsigned helpers : {0u, 1u, 3u}) {
        SimBandPool pool(helpers);
        for (uint32_t bands : {0u, 1u, 2u, 5u, 64u})
            EXPECT_EQ(runCounted(pool, bands), std::vector<int>(bands, 1)) << helpers << " helpers, " << bands;
    }
}

TEST(SimBandPool, CallersOnSeveralThreadsEachGetTheirOwnBands)
{
    SimBandPool pool(3);
    constexpr int kCallers = 6, kRounds = 200;
    std::atomic<int> wrong{0};
    std::vector<std::thread> callers;
    for (int c = 0; c < kCallers; ++c) {
        callers.emplace_back([&, c] {
            for (int round = 0; round < kRounds; ++round) {
                const uint32_t bands = uint32_t(1 + (c + round) % 17);
                if (runCounted(pool, bands) != std::vector<int>(bands, 1))
                    ++wrong;
            }
        });
    }
    for (std::thread& t : callers)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(SimBandPool, HelpersWorkBesideTheCaller)
{
    // Band 0 waits until band 1 runs: a thread alone would wait in vain.
    SimBandPool pool(1);
    std::mutex mutex;
    std::condition_variable changed;
    bool secondRan = false;
    bool waitedInVain = false;
    pool.run(2, [&](uint32_t b) {
        std::unique_lock<std::mutex> lock(mutex);
        if (b == 1) {
            secondRan = true;
            changed.notify_all();
        } else {
            waitedInVain = !changed.wait_for(lock, std::chrono::seconds(20), [&] { return secondRan; });
        }
    });
    EXPECT_TRUE(secondRan);
    EXPECT_FALSE(waitedInVain);
}
