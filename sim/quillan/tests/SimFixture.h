// Shared fixture of the simulator tests: a temporary folder of producer
// files, an initialised library and helpers around the test control.
#ifndef SIMFIXTURE_H
#define SIMFIXTURE_H

#include "QuillanExports.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace simtest {

inline const std::vector<std::string>& allProducerFiles()
{
    static const std::vector<std::string> files = {
        "orv_gev_tl.cti", "orv_gev_tl_rdma.cti", "orv_gev_brox_tl.cti", "orv_u3v_tl.cti",
        "orv_cl_tl.cti", "orv_clhs_tl.cti", "coaxlink.cti", "other_vendor_tl.cti",
    };
    return files;
}

// Runs a control command; fails the test when it is refused.
inline std::string control(const std::string& command)
{
    char reply[65536] = {};
    size_t size = sizeof reply;
    int rc = OrvSimControl(command.c_str(), reply, &size);
    EXPECT_EQ(rc, 0) << command << ": " << reply;
    return reply;
}

inline std::string text(const char* field, size_t size)
{
    return std::string(field, strnlen(field, size));
}
#define SIM_TEXT(field) simtest::text(field, sizeof(field))

class TempFolder {
public:
    TempFolder()
    {
        char pattern[] = "/tmp/quillan-test-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempFolder() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    const std::string& path() const { return path_; }
    void touch(const std::string& name) const { std::ofstream(path_ + "/" + name).put('\n'); }

private:
    std::string path_;
};

class SimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        OrvLibClose();
        control("world.reset");
        control("fault.clear");
        for (const std::string& file : allProducerFiles())
            folder.touch(file);
        ASSERT_EQ(OrvLibInit(folder.path().c_str(), "/g/GeniCam", "/g/cache", "/g/CLProtocol"), 0);
    }
    void TearDown() override
    {
        OrvLibClose();
        control("fault.clear");
        control("log.calls off");
        control("log.calls.clear");
    }

    // Opens the system of that producer file and lists its interfaces.
    ORV_SYSTEM_HANDLE openSystem(const std::string& file)
    {
        uint32_t count = 0;
        EXPECT_EQ(OrvLibSystemGetCount(&count), 0);
        for (uint32_t i = 0; i < count; ++i) {
            ORV_TL_INFO info{};
            if (OrvLibSystemGetInfo(i, &info) == 0 && SIM_TEXT(info.name) == file) {
                ORV_SYSTEM_HANDLE system = 0;
                EXPECT_EQ(OrvLibSystemOpen(i, &system), 0);
                EXPECT_EQ(OrvSystemUpdateInterfaceList(system, nullptr, 1000), 0);
                return system;
            }
        }
        ADD_FAILURE() << "no system for " << file;
        return 0;
    }

    ORV_INTERFACE_HANDLE openInterface(ORV_SYSTEM_HANDLE system, const std::string& id, uint32_t timeoutMs = 3000)
    {
        ORV_INTERFACE_HANDLE iface = 0;
        EXPECT_EQ(OrvSystemInterfaceOpen(system, id.c_str(), &iface), 0);
        EXPECT_EQ(OrvInterfaceUpdateDeviceList(iface, nullptr, timeoutMs), 0);
        return iface;
    }

    std::vector<std::string> deviceIds(ORV_INTERFACE_HANDLE iface)
    {
        std::vector<std::string> ids;
        uint32_t count = 0;
        EXPECT_EQ(OrvInterfaceGetNumDevices(iface, &count), 0);
        for (uint32_t i = 0; i < count; ++i) {
            char id[512] = {};
            size_t size = sizeof id;
            EXPECT_EQ(OrvInterfaceGetDeviceId(iface, i, id, &size), 0);
            ids.push_back(id);
        }
        return ids;
    }

    TempFolder folder;
};

} // namespace simtest

#endif // SIMFIXTURE_H
