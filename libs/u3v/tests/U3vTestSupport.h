// Shared set-up of the library's tests: the simulated bus as the USB layer,
// command lines for it, and a log callback that keeps every line.
#pragma once

#include "Pexlin.h"
#include "PexlinUsb.h"
#include "U3vControl.h"
#include "U3vSim.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <string>
#include <utility>
#include <vector>

namespace u3vtest {

struct LogLine {
    int level;
    std::string text;
};

inline std::mutex& logMutex()
{
    static std::mutex m;
    return m;
}

inline std::vector<LogLine>& logLines()
{
    static std::vector<LogLine> lines;
    return lines;
}

inline void keepLog(int32_t level, const char* text)
{
    std::lock_guard<std::mutex> lock(logMutex());
    logLines().push_back({level, text});
}

inline bool logged(int level, const std::string& text)
{
    std::lock_guard<std::mutex> lock(logMutex());
    for (const LogLine& l : logLines())
        if (l.level == level && l.text == text)
            return true;
    return false;
}

inline std::uint16_t le16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }
inline std::uint32_t le32(const std::uint8_t* p) { return le16(p) | std::uint32_t(le16(p + 2)) << 16; }
inline std::uint64_t le64(const std::uint8_t* p) { return le32(p) | std::uint64_t(le32(p + 4)) << 32; }

// Runs f on another thread; fails the test when it has not returned within
// the limit (which only a hang reaches).
template <typename F>
void withinWatchdog(F f, const char* what, std::chrono::seconds limit = std::chrono::seconds(20))
{
    auto done = std::async(std::launch::async, f);
    ASSERT_EQ(done.wait_for(limit), std::future_status::ready) << what << " hangs";
    done.get();
}

// Polls until pred holds; false when it never did within the limit.
template <typename P>
bool eventually(P pred, std::chrono::seconds limit = std::chrono::seconds(20))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// The camera "SIMU3V000001" opened a second time, with a control channel
// marked open as far as the event and stream channels need it. It claims no
// interface, so it releases none.
struct SecondOpening {
    SecondOpening()
    {
        EXPECT_EQ(U3V_OpenDevice("SIMU3V000001", &device, keepLog, 7), 0);
        channel = std::make_unique<U3V_Control>(device);
        channel->open = 1;
        channel->sbrmAddress = u3vsim::kSbrmAddress;
    }
    ~SecondOpening()
    {
        channel->device = nullptr;
        channel.reset();
        EXPECT_EQ(U3V_CloseDevice(device), 0);
    }
    U3V_Device* device = nullptr;
    std::unique_ptr<U3V_Control> channel;
};

// Every test starts on an empty simulated bus.
class SimBus : public ::testing::Test {
protected:
    void SetUp() override
    {
        pexlin::usb::setBackend(&u3vsim::World::instance());
        u3vsim::World::instance().clear();
        std::lock_guard<std::mutex> lock(logMutex());
        logLines().clear();
    }

    void TearDown() override
    {
        closeCamera();
        u3vsim::World::instance().clear();
    }

    static void sim(const std::string& line)
    {
        std::string reply;
        ASSERT_EQ(u3vsim::control(line, reply), 0) << line << ": " << reply;
    }

    static std::shared_ptr<u3vsim::SimDevice> device(const std::string& name = "cam")
    {
        return u3vsim::World::instance().device(name);
    }

    // Discovers, opens the camera with that GUID and its control channel.
    void openCamera(const char* guid = "SIMU3V000001", U3V_STATUS controlStatus = 0)
    {
        uint16_t count = 0;
        ASSERT_EQ(U3V_DiscoveryDevices(&count), 0);
        ASSERT_EQ(U3V_OpenDevice(guid, &dev_, keepLog, 7), 0);
        ASSERT_EQ(U3V_OpenControl(dev_, &control_), controlStatus);
    }

    void closeCamera()
    {
        if (control_) {
            EXPECT_EQ(U3V_CloseControl(control_), 0);
        }
        if (dev_) {
            EXPECT_EQ(U3V_CloseDevice(dev_), 0);
        }
        control_ = nullptr;
        dev_ = nullptr;
    }

    U3V_Device* dev_ = nullptr;
    U3V_Control* control_ = nullptr;
};

} // namespace u3vtest
