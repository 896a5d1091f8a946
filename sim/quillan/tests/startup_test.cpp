// What the environment sets up before the first call of the process: the
// commands of QUILLAN_SIM_CONTROL and the world file of QUILLAN_SIM_WORLD.
#include "QuillanExports.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {
const std::string worldFile = "/tmp/quillan-startup-world-" + std::to_string(getpid()) + ".json";

const bool environmentSet = [] {
    setenv("QUILLAN_SIM_CONTROL", "log.trace on; lib.init.fail -2009 ;;", 1);
    std::ofstream(worldFile) << R"({ "builtIn": true, "cameras": [ { "profile": "U2", "status": 3 } ] })";
    setenv("QUILLAN_SIM_WORLD", worldFile.c_str(), 1);
    return true;
}();
} // namespace

TEST(Startup, EnvironmentCommandsRunOnce)
{
    ASSERT_TRUE(environmentSet);
    EXPECT_EQ(OrvLibInit("", "", "", ""), ORV_ERROR_GENICAM_CACHE);
    EXPECT_EQ(OrvLibInit("", "", "", ""), 0);
    OrvLibClose();
}

TEST(Startup, WorldFileOfTheEnvironmentIsTheStartWorld)
{
    char folder[] = "/tmp/quillan-startup-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    std::ofstream(std::string(folder) + "/orv_u3v_tl.cti").put('\n');
    OrvLibClose();
    OrvSimControl("fault.clear", nullptr, nullptr);
    // Twice: a world reset goes back to the file's world.
    for (const char* command : {"fault.clear", "world.reset"}) {
        ASSERT_EQ(OrvSimControl(command, nullptr, nullptr), 0);
        ASSERT_EQ(OrvLibInit(folder, "", "", ""), 0);
        ORV_SYSTEM_HANDLE system = 0;
        ASSERT_EQ(OrvLibSystemOpen(0, &system), 0);
        ASSERT_EQ(OrvSystemUpdateInterfaceList(system, nullptr, 1000), 0);
        ORV_INTERFACE_HANDLE iface = 0;
        ASSERT_EQ(OrvSystemInterfaceOpen(system, "u3v-if-0", &iface), 0);
        ASSERT_EQ(OrvInterfaceUpdateDeviceList(iface, nullptr, 1000), 0);
        ORV_DEVICE_INFO info{};
        ASSERT_EQ(OrvInterfaceDeviceGetInfo(iface, "U3V-U2-0302", &info), 0);
        EXPECT_EQ(info.accessStatus, 3) << command;
        OrvLibClose();
    }
    std::remove(worldFile.c_str());
    std::system((std::string("rm -rf ") + folder).c_str());
}
