// A host program's view: libPexlin.so loaded at run time, on the simulated
// device or on the real bus.
#include "Pexlin.h"
#include "ThreadNames.h"
#include "U3vSimPattern.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
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
    decltype(&U3V_OpenEvent) openEvent = nullptr;
    decltype(&U3V_CloseEvent) closeEvent = nullptr;
    decltype(&U3V_TestEvent) testEvent = nullptr;
    decltype(&U3V_OpenStream) openStream = nullptr;
    decltype(&U3V_CloseStream) closeStream = nullptr;
    decltype(&U3V_AcquisitionStart) start = nullptr;
    decltype(&U3V_AcquisitionStop) stop = nullptr;
    decltype(&U3V_GetImage) getImage = nullptr;

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
            && get(readMem, "U3V_ReadMem") && get(readXml, "U3V_ReadXml")
            && get(openEvent, "U3V_OpenEvent") && get(closeEvent, "U3V_CloseEvent")
            && get(testEvent, "U3V_TestEvent") && get(openStream, "U3V_OpenStream")
            && get(closeStream, "U3V_CloseStream") && get(start, "U3V_AcquisitionStart")
            && get(stop, "U3V_AcquisitionStop") && get(getImage, "U3V_GetImage");
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

// libPexlin.so on the simulated bus beside it, and the bus's command entry.
SimControl loadOnSimulatedBus(Api& api)
{
    setenv("PEXLIN_USB_SIM", "1", 1);
    if (!api.load())
        return nullptr;
    void* simModule = dlopen((std::string(SUITE_BIN_DIR) + "/libPexlinUsbSim.so").c_str(),
                             RTLD_NOW | RTLD_NOLOAD);
    return simModule ? reinterpret_cast<SimControl>(dlsym(simModule, "U3vSimControl")) : nullptr;
}

struct Events {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::pair<uint32_t, uint64_t>> seen; // id, timestamp
};

Events& events()
{
    static Events e;
    return e;
}

void onEvent(uint32_t id, uint64_t timestamp, uint32_t, uint32_t)
{
    std::lock_guard<std::mutex> lock(events().mutex);
    events().seen.emplace_back(id, timestamp);
    events().arrived.notify_all();
}

// A camera on the simulated bus opened through the exports with its control,
// event and stream channels, acquiring; closed in the reverse order.
struct Camera {
    Api api;
    SimControl control = nullptr;
    U3V_Device* device = nullptr;
    U3V_Control* channel = nullptr;
    U3V_Event* event = nullptr;
    U3V_Stream* stream = nullptr;

    void open(const std::string& setup)
    {
        control = loadOnSimulatedBus(api);
        ASSERT_NE(control, nullptr) << "the library did not load the simulated bus";
        simRun(control, "world.clear");
        simRun(control, ("device.add cam " + setup).c_str());
        uint16_t count = 0;
        ASSERT_EQ(api.discover(&count), 0);
        ASSERT_EQ(count, 1);
        ASSERT_EQ(api.openDevice("SIMU3V000001", &device, nullptr, 0), 0);
        ASSERT_EQ(api.openControl(device, &channel), 0);
        ASSERT_EQ(api.openEvent(device, channel, &event, onEvent, 100), 0);
        ASSERT_EQ(api.openStream(device, channel, &stream, 1000), 0);
        ASSERT_EQ(api.start(stream, 0), 0);
    }

    void close()
    {
        uint64_t first = 1, second = 1;
        EXPECT_EQ(api.stop(stream, &first, &second), 0);
        EXPECT_EQ(api.closeStream(stream), 0);
        EXPECT_EQ(api.closeEvent(event), 0);
        EXPECT_EQ(api.closeControl(channel), 0);
        EXPECT_EQ(api.closeDevice(device), 0);
    }
};

} // namespace

TEST(PexlinHost, DiscoversOpensAndReadsOnTheSimulatedDevice)
{
    Api api;
    const SimControl control = loadOnSimulatedBus(api);
    ASSERT_NE(control, nullptr) << "the library did not load the simulated bus";
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
    EXPECT_EQ(threadsNamed(kLibusbThread, 0), 0);  // the simulated device needs no libusb

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
            // libusb starts with a device opened, not with the library.
            if (threadsNamed(kLibusbThread, 0) != 0)
                std::_Exit(3);
            uint16_t count = 99;
            const U3V_STATUS status = api.discover(&count);
            if (threadsNamed(kLibusbThread, 0) != 0)
                std::_Exit(4);
            std::_Exit(status == 0 && count == 0 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

// Control, event and stream channels of a 5 MP camera: a hundred images, each
// checked against its block id, with a test event on the way.
TEST(PexlinHost, StreamsLargeImagesWithAnEventOnTheWay)
{
    Camera cam;
    ASSERT_NO_FATAL_FAILURE(cam.open("width=2448 height=2048"));
    Api& api = cam.api;
    std::vector<uint8_t> image(2448 * 2048);
    uint64_t previous = 0;
    for (int i = 0; i < 100; ++i) {
        SCOPED_TRACE(i);
        U3V_IMAGE_INFO info{};
        ASSERT_EQ(api.getImage(cam.stream, image.data(), 5000, &info), 0);
        EXPECT_EQ(+info.sizeX, 2448u);
        EXPECT_EQ(+info.sizeY, 2048u);
        EXPECT_EQ(+info.missingTransfers, 0u);
        if (i > 0) {
            EXPECT_GT(+info.blockId, previous);
        }
        previous = info.blockId;
        ASSERT_TRUE(u3vsim::matchesPattern(image.data(), info.blockId, image.size()));
        if (i == 50) {
            EXPECT_EQ(api.testEvent(cam.event), 0);
        }
    }
    {
        std::unique_lock<std::mutex> lock(events().mutex);
        ASSERT_TRUE(events().arrived.wait_for(lock, std::chrono::seconds(10),
                                              [] { return !events().seen.empty(); }));
        EXPECT_EQ(events().seen[0].first, 0x4FFFu); // the device's test event
    }

    cam.close();
}

// The bytes on the wire: leader, trailer and test event of a small camera,
// against packets written out by hand.
TEST(PexlinHost, LeaderTrailerAndEventBytesOnTheWire)
{
    Camera cam;
    // One image now, the next in ten seconds.
    ASSERT_NO_FATAL_FAILURE(cam.open("width=4 height=2 offset-x=1 offset-y=2 padding-x=3 fps=0.1"));
    Api& api = cam.api;
    uint8_t image[8] = {};
    U3V_IMAGE_INFO info{};
    ASSERT_EQ(api.getImage(cam.stream, image, 5000, &info), 0);
    EXPECT_EQ(api.testEvent(cam.event), 0);

    const uint8_t pixels[8] = {0, 0, 0, 0, 1, 0, 0, 0}; // words 0 and 1 of block 0
    EXPECT_EQ(std::memcmp(image, pixels, 8), 0);
    EXPECT_EQ(+info.blockId, 0u);
    EXPECT_EQ(+info.timestamp, 1000000000u);
    EXPECT_EQ(+info.pixelFormat, 0x01080001u);
    EXPECT_EQ(+info.offsetX, 1u);
    EXPECT_EQ(+info.offsetY, 2u);
    EXPECT_EQ(+info.paddingX, 3);

    const std::string packets = simRun(cam.control, "record.packets cam");
    EXPECT_EQ(packets,
              "leader "
              "5533564C" "0000" "3400" "0000000000000000" "0000" "0100" "00CA9A3B00000000"
              "01000801" "04000000" "02000000" "01000000" "02000000" "0300" "0000"
              "\ntrailer "
              "55335654" "0000" "2000" "0000000000000000" "0000" "0000" "0800000000000000"
              "02000000"
              "\nevent "
              "55335645" "0000" "000C" "0C00" "0000" "0000" "FF4F" "E803000000000000"
              "\n");

    cam.close();
}
