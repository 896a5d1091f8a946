// A host program's view: libPexlin.so loaded at run time, on the simulated
// device or on the real bus.
#include "Pexlin.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Api {
    void* module = nullptr;
    decltype(&U3V_DiscoveryDevices) discover = nullptr;
    decltype(&U3V_GetDeviceInfo) info = nullptr;
    decltype(&U3V_OpenDevice) openDevice = nullptr;
    decltype(&U3V_CloseDevice) closeDevice = nullptr;
    decltype(&U3V_OpenControl) openControl = nullptr;
    decltype(&U3V_CloseControl) closeControl = nullptr;
    decltype(&U3V_ReadMem) readMem = nullptr;
    decltype(&U3V_ReadXml) readXml = nullptr;

    bool load()
    {
        module = dlopen((std::string(SUITE_BIN_DIR) + "/libPexlin.so").c_str(), RTLD_NOW);
        if (!module)
            return false;
        auto get = [this](auto& f, const char* name) {
            f = reinterpret_cast<std::remove_reference_t<decltype(f)>>(dlsym(module, name));
            return f != nullptr;
        };
        return get(discover, "U3V_DiscoveryDevices") && get(info, "U3V_GetDeviceInfo")
            && get(openDevice, "U3V_OpenDevice") && get(closeDevice, "U3V_CloseDevice")
            && get(openControl, "U3V_OpenControl") && get(closeControl, "U3V_CloseControl")
            && get(readMem, "U3V_ReadMem") && get(readXml, "U3V_ReadXml");
    }
};

using SimControl = int (*)(const char*, char*, std::size_t*);

std::string simRun(SimControl control, const char* command)
{
    std::vector<char> reply(1 << 16);
    std::size_t size = reply.size();
    EXPECT_EQ(control(command, reply.data(), &size), 0) << command << ": " << reply.data();
    return reply.data();
}

} // namespace

TEST(PexlinHost, DiscoversOpensAndReadsOnTheSimulatedDevice)
{
    setenv("PEXLIN_USB_SIM", "1", 1); // the simulated bus beside the library
    Api api;
    ASSERT_TRUE(api.load()) << dlerror();
    void* simModule = dlopen((std::string(SUITE_BIN_DIR) + "/libPexlinUsbSim.so").c_str(),
                             RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(simModule, nullptr) << "the library did not load the simulated bus";
    auto control = reinterpret_cast<SimControl>(dlsym(simModule, "U3vSimControl"));
    ASSERT_NE(control, nullptr);
    simRun(control, "world.reset");

    uint16_t count = 0;
    ASSERT_EQ(api.discover(&count), 0);
    ASSERT_EQ(count, 1);
    U3V_DEVICE_INFO info{};
    ASSERT_EQ(api.info(1, &info), 0);
    EXPECT_STREQ(info.guid, "SIMU3V000001");
    EXPECT_STREQ(info.vendorName, "NORRIK-OMBREL GmbH");

    U3V_Device* device = nullptr;
    U3V_Control* channel = nullptr;
    ASSERT_EQ(api.openDevice(info.guid, &device, nullptr, 0), 0);
    ASSERT_EQ(api.openControl(device, &channel), 0);

    char manufacturer[64] = {};
    ASSERT_EQ(api.readMem(channel, 0x0004, sizeof manufacturer, manufacturer), 0);
    EXPECT_STREQ(manufacturer, "NORRIK-OMBREL GmbH");

    uint8_t* xml = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(api.readXml(channel, &xml, &size, false), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(xml), size), simRun(control, "xml cam0"));

    // The first commands, byte for byte: READMEM of the SBRM address (request
    // 1) and of the maximum device response time (request 2).
    const std::string commands = simRun(control, "record.commands cam0");
    EXPECT_EQ(commands.substr(0, 2 * 48 + 2),
              "55335643004000080C000100D8010000000000000000" "0800\n"
              "55335643004000080C000200CC010000000000000000" "0400\n");

    EXPECT_EQ(api.closeControl(channel), 0);
    EXPECT_EQ(api.closeDevice(device), 0);
}

TEST(PexlinHost, WithoutTheSimulatedDeviceNoCameraIsFound)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            unsetenv("PEXLIN_USB_SIM");
            Api api;
            if (!api.load())
                std::_Exit(2);
            uint16_t count = 99;
            const U3V_STATUS status = api.discover(&count);
            std::_Exit(status == 0 && count == 0 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}
