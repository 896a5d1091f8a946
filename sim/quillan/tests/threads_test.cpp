#include "SimFixture.h"

#include <atomic>
#include <thread>

using namespace simtest;

class Threads : public SimTest {};

// Many threads list, open and close at once while the world changes.
TEST_F(Threads, ListingOpeningAndHotPlugAtOnce)
{
    const std::vector<std::pair<std::string, std::string>> targets = {
        {"orv_gev_tl.cti", "gev-if-0"}, {"orv_gev_tl.cti", "gev-if-1"}, {"orv_u3v_tl.cti", "u3v-if-0"},
        {"orv_cl_tl.cti", "cl-port-0"}, {"coaxlink.cti", "cxp-if-0"},
    };
    std::atomic<int> failures{0};
    std::atomic<int> opened{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            const auto& target = targets[t % targets.size()];
            ORV_SYSTEM_HANDLE system = openSystem(target.first);
            for (int round = 0; round < 15; ++round) {
                ORV_INTERFACE_HANDLE iface = 0;
                if (OrvSystemInterfaceOpen(system, target.second.c_str(), &iface) != 0
                    || OrvInterfaceUpdateDeviceList(iface, nullptr, 300) != 0) {
                    ++failures;
                    continue;
                }
                for (const std::string& id : deviceIds(iface)) {
                    ORV_DEVICE_INFO info{};
                    int rc = OrvInterfaceDeviceGetInfo(iface, id.c_str(), &info);
                    if (rc != 0 && rc != ORV_ERROR_NOT_AVAILABLE)
                        ++failures;
                    ORV_DEVICE_HANDLE device = 0;
                    ORV_REMOTE_DEVICE_HANDLE remote = 0;
                    if (OrvInterfaceDeviceOpen(iface, id.c_str(), 3, &device, &remote) == 0) {
                        ++opened;
                        OrvDeviceGetInfo(device, &info);
                        if (OrvDeviceClose(device) != 0)
                            ++failures;
                    }
                }
            }
            OrvSystemClose(system);
        });
    }
    threads.emplace_back([&] {
        for (int round = 0; round < 30; ++round) {
            control("device.unplug GEV-G2-0002");
            control("device.replug GEV-G2-0002");
            control("device.rename U3V-U1-0301 " + std::string(round % 2 ? "u3v-u1-0301" : "U3V-U1-0301"));
        }
    });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_GT(opened.load(), 0);
}

// Closing the library while other threads still call it never crashes.
TEST_F(Threads, CloseWhileCalling)
{
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            while (!stop) {
                uint32_t count = 0;
                int rc = OrvLibSystemGetCount(&count);
                EXPECT_TRUE(rc == 0 || rc == ORV_ERROR_NOT_INITIALISED);
                // System 0 is coaxlink.cti with the one camera X1.
                ORV_SYSTEM_HANDLE system = 0;
                if (OrvLibSystemOpen(0, &system) == 0) {
                    OrvSystemUpdateInterfaceList(system, nullptr, 100);
                    ORV_INTERFACE_HANDLE iface = 0;
                    ORV_DEVICE_HANDLE device = 0;
                    ORV_REMOTE_DEVICE_HANDLE remote = 0;
                    if (OrvSystemInterfaceOpen(system, "cxp-if-0", &iface) == 0
                        && OrvInterfaceUpdateDeviceList(iface, nullptr, 100) == 0
                        && OrvInterfaceDeviceOpen(iface, "CXP-X1-0601", 3, &device, &remote) == 0)
                        OrvDeviceClose(device);
                    OrvSystemClose(system);
                }
            }
        });
    }
    for (int round = 0; round < 20; ++round) {
        OrvLibClose();
        ASSERT_EQ(OrvLibInit(folder.path().c_str(), "", "", ""), 0);
    }
    stop = true;
    for (auto& t : threads)
        t.join();
    // No camera stays held by a handle that a close removed.
    ORV_SYSTEM_HANDLE system = openSystem("coaxlink.cti");
    ORV_INTERFACE_HANDLE iface = openInterface(system, "cxp-if-0");
    ORV_DEVICE_HANDLE device = 0;
    ORV_REMOTE_DEVICE_HANDLE remote = 0;
    EXPECT_EQ(OrvInterfaceDeviceOpen(iface, "CXP-X1-0601", 3, &device, &remote), 0);
}
