#include "PellagoTestSupport.h"

#include <gtest/gtest.h>

using namespace pellagotest;

namespace {

std::atomic<int> linesSeen{0};

void countLine(const char*, void*)
{
    ++linesSeen;
}

}  // namespace

// Threads open, exchange, log and close on two cameras while one thread
// keeps re-registering the log; every result is one the calls may give.
TEST(Concurrency, EightThreadsOnTwoCameras)
{
    ScriptedPeer first(answerAll());
    ScriptedPeer second(answerAll());
    const uint16_t ports[2] = {first.port(), second.port()};
    void* keep[2];
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(openCamera(&keep[i], kLoopback, ports[i]), 0);
        ASSERT_EQ(registerMessageCallback(keep[i], 7, nullptr, &countLine, nullptr), 0);
    }

    std::atomic<int> unexpected{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            const Bytes address = words({0x0A00u + 4u * uint32_t(t)});
            for (int round = 0; round < 40; ++round) {
                if (t == 7) {
                    const int result = registerMessageCallback(keep[round % 2], round % 3 == 0 ? 0 : 5,
                                                               nullptr, &countLine, nullptr);
                    unexpected += result != 0;
                    continue;
                }
                void* camera = nullptr;
                if (openCamera(&camera, kLoopback, ports[t % 2]) != 0) {
                    ++unexpected;
                    continue;
                }
                uint8_t buffer[4];
                const int result = GVCPTransportEx(camera, 0x80, 4, address.data(), 4, buffer, 3, 200);
                unexpected += result != 0;
                pellago::writeCameraLog(4, pellago::findCamera(camera).get(), "thread %d round %d", t, round);
                unexpected += closeCamera(camera) != 0;
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(unexpected.load(), 0);
    EXPECT_GT(linesSeen.load(), 0);
    for (void* camera : keep) {
        EXPECT_EQ(pellago::findCamera(camera)->refCount, 1);
        EXPECT_EQ(closeCamera(camera), 0);
    }
}

// A close that races exchanges on the same handle never crashes: the
// exchange either runs on the record it found or reports the handle gone.
TEST(Concurrency, CloseRacingExchanges)
{
    ScriptedPeer peer(answerAll());
    for (int round = 0; round < 100; ++round) {
        void* camera = nullptr;
        ASSERT_EQ(openCamera(&camera, kLoopback, peer.port()), 0);
        ASSERT_EQ(registerMessageCallback(camera, 4, nullptr, &countLine, nullptr), 0);
        std::atomic<int> bad{0};
        std::vector<std::thread> exchangers;
        for (int t = 0; t < 3; ++t) {
            exchangers.emplace_back([&] {
                const Bytes address = words({0x0A00});
                for (int i = 0; i < 5; ++i) {
                    uint8_t buffer[4];
                    const int result = GVCPTransportEx(camera, 0x80, 4, address.data(), 4, buffer, 1, 100);
                    bad += result != 0 && result != OrvGigETL_CAMERA_NOT_FOUND;
                }
            });
        }
        EXPECT_EQ(closeCamera(camera), 0);
        for (std::thread& t : exchangers)
            t.join();
        EXPECT_EQ(bad.load(), 0);
        EXPECT_EQ(closeCamera(camera), OrvGigETL_CAMERA_NOT_FOUND);
    }
}
