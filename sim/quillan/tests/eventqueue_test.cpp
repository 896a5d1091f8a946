#include "EventQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

using quillan::EventQueue;

TEST(EventQueue, WaitCopiesTheOldestRecordAndItsSize)
{
    EventQueue q(32);
    uint8_t a[32], b[32];
    std::memset(a, 1, sizeof a);
    std::memset(b, 2, sizeof b);
    q.push(a);
    q.push(b);
    uint8_t out[64] = {};
    size_t size = sizeof out;
    ASSERT_EQ(q.wait(out, &size, 0), 0);
    EXPECT_EQ(size, 32u);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[31], 1);
    EXPECT_EQ(out[32], 0);  // nothing past the record
    ASSERT_EQ(q.wait(out, &size, 0), 0);
    EXPECT_EQ(out[0], 2);
    EXPECT_EQ(q.wait(out, &size, 20), -1011);
    EXPECT_EQ(size, 32u);
}

TEST(EventQueue, ShortBufferKeepsTheRecordQueued)
{
    EventQueue q(260);
    std::vector<uint8_t> rec(260, 9), out(260);
    q.push(rec.data());
    size_t size = 100;
    EXPECT_EQ(q.wait(out.data(), &size, 0), -1006);
    EXPECT_EQ(size, 260u);
    EXPECT_EQ(q.wait(nullptr, &size, 0), -1006);
    EXPECT_EQ(q.pending(), 1u);
    EXPECT_EQ(q.wait(out.data(), &size, 0), 0);
    EXPECT_EQ(out, rec);
}

TEST(EventQueue, TypesWithoutPayloadWaitWithoutBuffer)
{
    EventQueue q(0);
    q.push(nullptr);
    size_t size = 77;
    EXPECT_EQ(q.wait(nullptr, &size, 0), 0);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(q.wait(nullptr, nullptr, 0), -1011);
}

TEST(EventQueue, HoldsAtMostItsCapacityDroppingTheOldest)
{
    EventQueue q(4, 1024);
    for (uint32_t i = 0; i < 1030; ++i)
        q.push(&i);
    EXPECT_EQ(q.pending(), 1024u);
    EXPECT_EQ(q.dropped(), 6u);
    uint32_t first = 0;
    size_t size = 4;
    ASSERT_EQ(q.wait(&first, &size, 0), 0);
    EXPECT_EQ(first, 6u);
    q.flush();
    EXPECT_EQ(q.pending(), 0u);
    EXPECT_EQ(q.wait(&first, &size, 0), -1011);
}

TEST(EventQueue, KillBeforeAWaitIsLatched)
{
    EventQueue q(4);
    uint32_t v = 5;
    q.push(&v);
    q.kill();
    size_t size = 4;
    EXPECT_EQ(q.wait(&v, &size, 0xFFFFFFFFull), -1012);
    EXPECT_EQ(q.wait(&v, &size, 0xFFFFFFFFull), -1012);
    EXPECT_EQ(q.wait(&v, &size, ~0ull), -1012);
}

TEST(EventQueue, KillEndsWaitsInProgress)
{
    EventQueue q(32);
    std::atomic<int> results[3] = {{1}, {1}, {1}};
    std::vector<std::thread> waiters;
    for (auto& r : results)
        waiters.emplace_back([&q, &r] {
            uint8_t buf[32];
            size_t size = sizeof buf;
            r = q.wait(buf, &size, 0xFFFFFFFFull);
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    q.kill();
    for (auto& t : waiters)
        t.join();
    for (auto& r : results)
        EXPECT_EQ(r.load(), -1012);
}

TEST(EventQueue, ManyProducersAndConsumers)
{
    EventQueue q(8, 100000);
    std::atomic<uint64_t> received{0}, sum{0};
    std::vector<std::thread> consumers;
    for (int c = 0; c < 2; ++c)
        consumers.emplace_back([&] {
            uint64_t v;
            size_t size = 8;
            while (q.wait(&v, &size, 0xFFFFFFFFull) == 0) {
                sum += v;
                ++received;
            }
        });
    std::vector<std::thread> producers;
    for (uint64_t p = 0; p < 4; ++p)
        producers.emplace_back([&q, p] {
            for (uint64_t i = 1; i <= 1000; ++i) {
                const uint64_t v = p * 1000 + i;
                q.push(&v);
            }
        });
    for (auto& t : producers)
        t.join();
    while (received.load() < 4000)
        std::this_thread::yield();
    q.kill();
    for (auto& t : consumers)
        t.join();
    EXPECT_EQ(received.load(), 4000u);
    EXPECT_EQ(sum.load(), 4000ull * 4001 / 2);
}
