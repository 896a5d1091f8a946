// Device reset and disconnection as the world schedules them.
#include "SimFixture.h"
#include "SimCamera.h"
#include "SimHooks.h"
#include "SimWorld.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace simtest;
using namespace quillan;

namespace {

// Connection notifications seen by this test program.
struct Seen {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<std::string, uint32_t>> states;
    std::vector<std::string> powerUps;
};

Seen& seen()
{
    static Seen s;
    return s;
}

const bool hooked = [] {
    SimHooks::instance().onConnection([](const std::shared_ptr<SimCamera>& camera, uint32_t state) {
        std::lock_guard<std::mutex> lock(seen().mutex);
        seen().states.emplace_back(camera->deviceId(), state);
        seen().changed.notify_all();
    });
    SimHooks::instance().onPowerUp([](const std::shared_ptr<SimCamera>& camera) {
        std::lock_guard<std::mutex> lock(seen().mutex);
        seen().powerUps.push_back(camera->deviceId());
    });
    return true;
}();

bool waitForStates(size_t count, std::chrono::milliseconds limit)
{
    std::unique_lock<std::mutex> lock(seen().mutex);
    return seen().changed.wait_for(lock, limit, [&] { return seen().states.size() >= count; });
}

} // namespace

class Reset : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        ASSERT_TRUE(hooked);
        std::lock_guard<std::mutex> lock(seen().mutex);
        seen().states.clear();
        seen().powerUps.clear();
    }
};

TEST_F(Reset, CameraLeavesThenReturnsWithItsPowerUpState)
{
    control("device.reset.timing GEV-G1-0001 100 300");
    ORV_SYSTEM_HANDLE system = openSystem("orv_gev_tl.cti");
    ORV_INTERFACE_HANDLE iface = openInterface(system, "gev-if-0");
    ORV_DEVICE_HANDLE device = 0;
    ORV_REMOTE_DEVICE_HANDLE remote = 0;
    ASSERT_EQ(OrvInterfaceDeviceOpen(iface, "GEV-G1-0001", 3, &device, &remote), 0);

    auto start = std::chrono::steady_clock::now();
    SimWorld::instance().scheduleReset(SimWorld::instance().findCamera("G1"));
    ORV_DEVICE_INFO info{};
    EXPECT_EQ(OrvDeviceGetInfo(device, &info), 0) << "still there right after the command";

    ASSERT_TRUE(waitForStates(1, std::chrono::seconds(2)));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_EQ(OrvDeviceGetInfo(device, &info), ORV_ERROR_IO);
    ASSERT_EQ(OrvInterfaceUpdateDeviceList(iface, nullptr, 3000), 0);
    auto ids = deviceIds(iface);
    EXPECT_EQ(std::find(ids.begin(), ids.end(), "GEV-G1-0001"), ids.end());

    ASSERT_TRUE(waitForStates(2, std::chrono::seconds(2)));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    {
        std::lock_guard<std::mutex> lock(seen().mutex);
        EXPECT_EQ(seen().states, (std::vector<std::pair<std::string, uint32_t>>{
                                     {"GEV-G1-0001", ConnectionLost}, {"GEV-G1-0001", ConnectionReconnected}}));
        EXPECT_EQ(seen().powerUps, std::vector<std::string>{"GEV-G1-0001"});
    }
    EXPECT_EQ(OrvDeviceGetInfo(device, &info), 0);
    ASSERT_EQ(OrvInterfaceUpdateDeviceList(iface, nullptr, 3000), 0);
    ids = deviceIds(iface);
    EXPECT_NE(std::find(ids.begin(), ids.end(), "GEV-G1-0001"), ids.end());
}

TEST_F(Reset, UnplugAndReplugNotify)
{
    control("device.unplug U3V-U1-0301");
    control("device.replug U3V-U1-0301");
    std::lock_guard<std::mutex> lock(seen().mutex);
    EXPECT_EQ(seen().states, (std::vector<std::pair<std::string, uint32_t>>{
                                 {"U3V-U1-0301", ConnectionDisconnected}, {"U3V-U1-0301", ConnectionReconnected}}));
}

TEST_F(Reset, WorldResetDropsPendingResets)
{
    control("device.reset.timing GEV-G2-0002 50 100");
    SimWorld::instance().scheduleReset(SimWorld::instance().findCamera("G2"));
    control("world.reset");
    EXPECT_FALSE(waitForStates(1, std::chrono::milliseconds(300)));
    EXPECT_TRUE(SimWorld::instance().findCamera("G2")->present());
}
