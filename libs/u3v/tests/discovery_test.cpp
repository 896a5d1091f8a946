#include "Library.h"
#include "U3vDevice.h"
#include "U3vTestSupport.h"

#include <cstddef>
#include <cstring>

using namespace u3vtest;

namespace {

class PexlinDiscovery : public SimBus {};

std::vector<U3V_DEVICE_INFO> listed()
{
    uint16_t count = 0;
    std::vector<U3V_DEVICE_INFO> infos;
    U3V_DiscoveryDevices(&count);
    for (uint16_t i = 1; i <= count; ++i) {
        U3V_DEVICE_INFO info{};
        EXPECT_EQ(U3V_GetDeviceInfo(i, &info), 0);
        infos.push_back(info);
    }
    return infos;
}

} // namespace

TEST_F(PexlinDiscovery, TreesAndFaults)
{
    struct Case {
        const char* name;
        std::vector<std::string> devices; // device.add arguments
        U3V_STATUS status;
        std::vector<std::string> guids;
        std::vector<int> inUse;
    };
    const Case cases[] = {
        {"empty bus", {}, 0, {}, {}},
        {"one camera", {"a guid=A"}, 0, {"A"}, {0}},
        {"another class", {"a guid=A class=0E/01/00"}, 0, {}, {}},
        {"no control interface", {"a guid=A tree=no-control"}, 0, {}, {}},
        {"unopenable", {"a guid=A unopenable"}, U3V_STATUS_OPEN_FAILED, {}, {}},
        {"unopenable, then a camera", {"a guid=A unopenable", "b guid=B"}, 0, {"B"}, {0}},
        {"no configuration", {"a guid=A tree=no-config"}, U3V_STATUS_NO_CONFIGURATION, {}, {}},
        {"no interfaces", {"a guid=A tree=no-interfaces"}, U3V_STATUS_NO_INTERFACES, {}, {}},
        {"unreadable configuration", {"a guid=A tree=unreadable", "b guid=B"}, 0, {"B"}, {0}},
        {"unreadable only", {"a guid=A tree=unreadable"}, U3V_STATUS_CONFIG_DESCRIPTOR, {}, {}},
        {"missing string", {"a guid=A missing-string=3"}, U3V_STATUS_STRING_DESCRIPTOR, {}, {}},
        {"missing string, then a camera", {"a guid=A missing-string=8", "b guid=B"}, 0, {"B"}, {0}},
        {"short device info", {"a guid=A tree=short-info", "b guid=B"}, 0, {"B"}, {0}},
        {"zero-length descriptor", {"a guid=A tree=zero-length"}, 0, {"A"}, {0}},
        {"descriptor past the end", {"a guid=A tree=overlong"}, 0, {"A"}, {0}},
        {"two alternate settings", {"a guid=A tree=two-alts"}, 0, {"A", "A"}, {0, 0}},
        {"claimed elsewhere", {"a guid=A claimed", "b guid=B"}, 0, {"A", "B"}, {1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim("world.clear");
        for (const std::string& d : c.devices)
            sim("device.add " + d);
        uint16_t count = 99;
        EXPECT_EQ(U3V_DiscoveryDevices(&count), c.status);
        ASSERT_EQ(count, c.guids.size());
        for (uint16_t i = 0; i < count; ++i) {
            U3V_DEVICE_INFO info{};
            ASSERT_EQ(U3V_GetDeviceInfo(uint16_t(i + 1), &info), 0);
            EXPECT_EQ(std::string(info.guid), c.guids[i]);
            EXPECT_EQ(info.inUse, c.inUse[i]);
        }
    }
}

TEST_F(PexlinDiscovery, EndpointsAndInterfacesSurviveMalformedTails)
{
    for (const char* tree : {"normal", "zero-length", "overlong", "two-alts"}) {
        SCOPED_TRACE(tree);
        sim("world.clear");
        sim(std::string("device.add cam tree=") + tree);
        uint16_t count = 0;
        ASSERT_EQ(U3V_DiscoveryDevices(&count), 0);
        pexlin::EntryPtr e = pexlin::library().devices.at(0);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->controlInterface, 0);
        EXPECT_EQ(e->eventInterface, 1);
        EXPECT_EQ(e->streamInterface, 2);
        EXPECT_EQ(e->controlOut, 0x01);
        EXPECT_EQ(e->controlIn, 0x81);
        EXPECT_EQ(e->eventIn, 0x82);
        EXPECT_EQ(e->streamIn, 0x83);
    }
}

TEST_F(PexlinDiscovery, DescriptorWalkStaysInsideTheBytes)
{
    // Interface 0 (control), a device-info descriptor, one endpoint, then
    // the case's tail.
    std::vector<std::uint8_t> head = {9, 0x04, 0, 0, 1, 0xEF, 0x05, 0x00, 0};
    std::vector<std::uint8_t> info = {20, 0x24, 1, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                      0x88, 1, 2, 3, 4, 5, 6, 7, 8, 0x0F};
    struct Case {
        const char* name;
        std::vector<std::uint8_t> tail;
        bool infoShort;
        bool found;
        std::uint8_t controlIn;
    };
    const Case cases[] = {
        {"whole", {7, 0x05, 0x81, 2, 0, 4, 0}, false, true, 0x81},
        {"length 0 ends the walk", {0, 0x05, 0x81, 2, 0, 4, 0}, false, true, 0},
        {"length 1 ends the walk", {1, 0x05, 0x81, 2, 0, 4, 0}, false, true, 0},
        {"length past the end", {9, 0x05, 0x81, 2, 0, 4, 0}, false, true, 0},
        {"a lone length byte", {7}, false, true, 0},
        {"device info of 19 bytes", {7, 0x05, 0x81, 2, 0, 4, 0}, true, false, 0x81},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> bytes = head;
        std::vector<std::uint8_t> d = info;
        if (c.infoShort) {
            d.pop_back();
            d[0] = 19;
        }
        bytes.insert(bytes.end(), d.begin(), d.end());
        bytes.insert(bytes.end(), c.tail.begin(), c.tail.end());
        // The copy ends exactly where the bytes end, so ASan sees an over-read.
        auto exact = std::make_unique<std::uint8_t[]>(bytes.size());
        std::memcpy(exact.get(), bytes.data(), bytes.size());
        pexlin::U3V_DeviceEntry entry;
        std::uint8_t indices[8] = {};
        EXPECT_EQ(pexlin::parseConfiguration(exact.get(), bytes.size(), entry, indices), c.found);
        EXPECT_EQ(entry.controlIn, c.controlIn);
        if (c.found) {
            // Copies: the record is packed, its fields unaligned.
            const std::uint32_t genCp = entry.info.genCpVersion;
            const std::uint32_t u3v = entry.info.u3vVersion;
            EXPECT_EQ(genCp, 0x44332211u);
            EXPECT_EQ(u3v, 0x88776655u);
            EXPECT_EQ(entry.info.speedSupport, 0x0F);
            EXPECT_EQ(std::vector<std::uint8_t>(indices, indices + 8),
                      (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
        }
    }
}

TEST_F(PexlinDiscovery, InfoBytesLieAtTheirOffsets)
{
    static_assert(sizeof(U3V_DEVICE_INFO) == 471);
    sim("device.add cam guid=GUID12345678 vendor=V model=M family=F version=1.2 "
        "info=I serial=S user=U speed=0x0E");
    uint16_t count = 0;
    ASSERT_EQ(U3V_DiscoveryDevices(&count), 0);
    ASSERT_EQ(count, 1);
    std::uint8_t raw[471];
    std::memset(raw, 0xCC, sizeof raw);
    ASSERT_EQ(U3V_GetDeviceInfo(1, reinterpret_cast<U3V_DEVICE_INFO*>(raw)), 0);
    EXPECT_EQ(le32(raw + 0), 0x00010000u);
    EXPECT_EQ(le32(raw + 4), 0x00010000u);
    const std::pair<std::size_t, const char*> texts[] = {
        {8, "GUID12345678"}, {21, "V"}, {85, "M"}, {149, "F"}, {213, "1.2"},
        {277, "I"}, {341, "S"}, {405, "U"}};
    for (const auto& [offset, text] : texts)
        EXPECT_STREQ(reinterpret_cast<const char*>(raw + offset), text) << "offset " << offset;
    EXPECT_EQ(raw[20], 0); // the GUID's terminator
    EXPECT_EQ(raw[469], 0x0E);
    EXPECT_EQ(raw[470], 0);
}

TEST_F(PexlinDiscovery, LongStringsAreCutToTheirField)
{
    const std::string longName(100, 'x');
    sim("device.add cam guid=ABCDEFGHIJKLMNOP vendor=" + longName);
    const auto infos = listed();
    ASSERT_EQ(infos.size(), 1u);
    EXPECT_EQ(std::string(infos[0].guid), "ABCDEFGHIJKL");
    EXPECT_EQ(std::string(infos[0].vendorName), std::string(63, 'x'));
}

TEST_F(PexlinDiscovery, OpenAndCloseMarkTheEntryInUse)
{
    sim("device.add cam");
    uint16_t count = 0;
    ASSERT_EQ(U3V_DiscoveryDevices(&count), 0);
    U3V_DEVICE_INFO info{};
    ASSERT_EQ(U3V_OpenDevice("SIMU3V000001", &dev_, keepLog, 7), 0);
    ASSERT_NE(dev_, nullptr);
    ASSERT_EQ(U3V_GetDeviceInfo(1, &info), 0);
    EXPECT_EQ(info.inUse, 1);
    EXPECT_TRUE(logged(1, "Control Interface available. Out pipe -> 01. In pipe -> 81"));
    EXPECT_TRUE(logged(1, "Event interface available. In pipe -> 82"));
    EXPECT_TRUE(logged(1, "Stream interface available. In pipe -> 83"));
    EXPECT_TRUE(logged(1, "Device U3V SIMU3V000001 opened successfully."));
    EXPECT_EQ(U3V_CloseDevice(dev_), 0);
    dev_ = nullptr;
    ASSERT_EQ(U3V_GetDeviceInfo(1, &info), 0);
    EXPECT_EQ(info.inUse, 0);
}

TEST_F(PexlinDiscovery, DeviceWithoutEventOrStreamInterfaceSaysSo)
{
    sim("device.add cam no-event no-stream");
    uint16_t count = 0;
    ASSERT_EQ(U3V_DiscoveryDevices(&count), 0);
    ASSERT_EQ(U3V_OpenDevice("SIMU3V000001", &dev_, keepLog, 1), 0);
    EXPECT_TRUE(logged(1, "No Device Event Interface available."));
    EXPECT_TRUE(logged(1, "No Device Stream Interface available."));
}

TEST_F(PexlinDiscovery, UnknownGuidFailsButHandsOutAnObject)
{
    sim("device.add cam");
    uint16_t count = 0;
    ASSERT_EQ(U3V_DiscoveryDevices(&count), 0);
    for (const char* guid : {"NOPE", "SIMU3V00000", "SIMU3V0000011", "simu3v000001", ""}) {
        SCOPED_TRACE(guid);
        U3V_Device* device = nullptr;
        EXPECT_EQ(U3V_OpenDevice(guid, &device, keepLog, 4), U3V_STATUS_NO_DEVICE);
        ASSERT_NE(device, nullptr);
        EXPECT_TRUE(logged(4, std::string("No device found (") + guid + ")."));
        EXPECT_EQ(U3V_CloseDevice(device), 0); // freed: the leak check sees it
    }
    U3V_DEVICE_INFO info{};
    ASSERT_EQ(U3V_GetDeviceInfo(1, &info), 0);
    EXPECT_EQ(info.inUse, 0);
}

TEST_F(PexlinDiscovery, DeviceGoneBeforeOpenFails)
{
    sim("device.add cam");
    uint16_t count = 0;
    ASSERT_EQ(U3V_DiscoveryDevices(&count), 0);
    sim("device.remove cam");
    EXPECT_EQ(U3V_OpenDevice("SIMU3V000001", &dev_, keepLog, 7), U3V_STATUS_OPEN_FAILED);
    EXPECT_NE(dev_, nullptr);
}

TEST_F(PexlinDiscovery, OpenDeviceKeepsItsEntryAcrossDiscoveries)
{
    sim("device.add cam");
    openCamera();
    // The control channel holds the interface: listed as in use.
    auto infos = listed();
    ASSERT_EQ(infos.size(), 1u);
    EXPECT_EQ(infos[0].inUse, 1);
    sim("world.clear");
    EXPECT_TRUE(listed().empty());
    // The device's own entry outlived both lists.
    EXPECT_STREQ(dev_->entry->info.guid, "SIMU3V000001");
    closeCamera();
}

TEST_F(PexlinDiscovery, LogFollowsMaskLevelAndCallback)
{
    struct Case {
        std::uint8_t mask;
        int level;
        bool callback;
        const char* message;
        const char* arrives; // null: nothing arrives
    };
    const Case cases[] = {
        {0, 1, true, "info", nullptr},
        {7, 1, true, "info", "info"},
        {7, 4, true, "error", "error"},
        {4, 1, true, "info", nullptr},
        {4, 2, true, "warning", nullptr},
        {4, 4, true, "error", "error"},
        {5, 1, true, "info", "info"},
        {5, 2, true, "warning", nullptr},
        {7, 4, false, "error", nullptr},
        {7, 4, true, "ends with a line end\n", "ends with a line end"},
        {7, 4, true, "blanks and CR LF \t\r\n", "blanks and CR LF"},
        {7, 4, true, "\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        {
            std::lock_guard<std::mutex> lock(logMutex());
            logLines().clear();
        }
        U3V_Device device;
        device.logMask = c.mask;
        device.logCallback = c.callback ? keepLog : nullptr;
        device.Log(c.level, "%s", c.message);
        std::lock_guard<std::mutex> lock(logMutex());
        if (!c.arrives) {
            EXPECT_TRUE(logLines().empty());
        } else {
            ASSERT_EQ(logLines().size(), 1u);
            EXPECT_EQ(logLines()[0].level, c.level);
            EXPECT_EQ(logLines()[0].text, c.arrives);
        }
    }
}

TEST_F(PexlinDiscovery, LongLogMessagesAreCutAt511)
{
    U3V_Device device;
    device.logMask = 7;
    device.logCallback = keepLog;
    device.Log(4, "%s", std::string(2000, 'y').c_str());
    ASSERT_EQ(logLines().size(), 1u);
    EXPECT_EQ(logLines()[0].text, std::string(511, 'y'));
}

TEST_F(PexlinDiscovery, DetailedLogMask)
{
    sim("device.add cam");
    openCamera();
    uint8_t mask = 0;
    EXPECT_EQ(U3V_SetDetailedLog(dev_, 2), 0);
    EXPECT_EQ(U3V_GetDetailedLog(dev_, &mask), 0);
    EXPECT_EQ(mask, 2);
}

TEST_F(PexlinDiscovery, NullPointersAndIndicesOutsideTheList)
{
    sim("device.add cam");
    uint16_t count = 0;
    ASSERT_EQ(U3V_DiscoveryDevices(&count), 0);
    ASSERT_EQ(count, 1);
    U3V_DEVICE_INFO info;
    std::memset(&info, 0xAB, sizeof info);
    for (uint16_t index : {uint16_t(0), uint16_t(count + 1), uint16_t(0xFFFF)}) {
        EXPECT_EQ(U3V_GetDeviceInfo(index, &info), U3V_STATUS_OUT_OF_RANGE);
        EXPECT_EQ(reinterpret_cast<std::uint8_t*>(&info)[0], 0xAB);
    }
    U3V_Device* device = nullptr;
    U3V_Control* control = nullptr;
    uint8_t mask = 0;
    uint32_t ms = 0;
    uint8_t* xml = nullptr;
    uint32_t size = 0;
    uint8_t data[4] = {};
    const U3V_STATUS results[] = {
        U3V_DiscoveryDevices(nullptr),
        U3V_GetDeviceInfo(1, nullptr),
        U3V_OpenDevice(nullptr, &device, nullptr, 0),
        U3V_OpenDevice("SIMU3V000001", nullptr, nullptr, 0),
        U3V_CloseDevice(nullptr),
        U3V_SetDetailedLog(nullptr, 1),
        U3V_GetDetailedLog(nullptr, &mask),
        U3V_OpenControl(nullptr, &control),
        U3V_CloseControl(nullptr),
        U3V_ReadMem(nullptr, 0, 4, data),
        U3V_WriteMem(nullptr, 0, 4, data),
        U3V_ReadXml(nullptr, &xml, &size, false),
        U3V_WriteXml(nullptr, "x", 0, 0, 0, 0, nullptr),
        U3V_MaximumDeviceResponseTime(nullptr, &ms),
    };
    for (std::size_t i = 0; i < std::size(results); ++i)
        EXPECT_EQ(results[i], U3V_STATUS_NULL_HANDLE) << "call " << i;
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(control, nullptr);

    openCamera();
    EXPECT_EQ(U3V_GetDetailedLog(dev_, nullptr), U3V_STATUS_NULL_HANDLE);
    EXPECT_EQ(U3V_OpenControl(dev_, nullptr), U3V_STATUS_NULL_HANDLE);
    EXPECT_EQ(U3V_ReadMem(control_, 0, 4, nullptr), U3V_STATUS_NULL_HANDLE);
    EXPECT_EQ(U3V_WriteMem(control_, 0, 4, nullptr), U3V_STATUS_NULL_HANDLE);
    EXPECT_EQ(U3V_ReadXml(control_, nullptr, &size, false), U3V_STATUS_NULL_HANDLE);
    EXPECT_EQ(U3V_ReadXml(control_, &xml, nullptr, false), U3V_STATUS_NULL_HANDLE);
    EXPECT_EQ(U3V_WriteXml(control_, nullptr, 0, 0, 0, 0, nullptr), U3V_STATUS_NULL_HANDLE);
    EXPECT_EQ(U3V_MaximumDeviceResponseTime(control_, nullptr), U3V_STATUS_NULL_HANDLE);
}

TEST_F(PexlinDiscovery, WithoutAnyBackEndNothingIsFound)
{
    sim("device.add cam");
    pexlin::usb::setBackend(nullptr);
    uint16_t count = 7;
    EXPECT_EQ(U3V_DiscoveryDevices(&count), 0);
    EXPECT_EQ(count, 0);
}

namespace {

// A USB layer whose every call throws, as a failed allocation would.
class ThrowingBus : public pexlin::usb::Backend {
public:
    int findDevices(std::vector<pexlin::usb::DevicePtr>&) override { throw std::bad_alloc(); }
    pexlin::usb::Handle* open(const pexlin::usb::DevicePtr&) override { throw std::bad_alloc(); }
    int close(pexlin::usb::Handle*) override { return 0; }
    int getDescriptor(pexlin::usb::Handle*, std::uint8_t, std::uint8_t, void*, int) override { throw std::bad_alloc(); }
    int getStringSimple(pexlin::usb::Handle*, int, char*, std::size_t) override { throw std::bad_alloc(); }
    int claimInterface(pexlin::usb::Handle*, int) override { throw std::bad_alloc(); }
    int releaseInterface(pexlin::usb::Handle*, int) override { return 0; }
    int clearHalt(pexlin::usb::Handle*, unsigned) override { throw std::bad_alloc(); }
    int bulkWrite(pexlin::usb::Handle*, int, const void*, int, int) override { throw std::bad_alloc(); }
    int bulkRead(pexlin::usb::Handle*, int, void*, int, int) override { throw std::bad_alloc(); }
    pexlin::usb::AsyncTransfer* setupAsync(pexlin::usb::Handle*, int) override { throw std::bad_alloc(); }
    int submitAsync(pexlin::usb::AsyncTransfer*, void*, int) override { throw std::bad_alloc(); }
    int reapAsync(pexlin::usb::AsyncTransfer*, int) override { throw std::bad_alloc(); }
    int cancelAsync(pexlin::usb::AsyncTransfer*) override { return 0; }
    int freeAsync(pexlin::usb::AsyncTransfer*) override { return 0; }
};

} // namespace

TEST_F(PexlinDiscovery, ExceptionsNeverLeaveAnExport)
{
    sim("device.add cam");
    openCamera();
    ThrowingBus throwing;
    pexlin::usb::setBackend(&throwing);
    uint16_t count = 0;
    std::uint8_t b[4] = {};
    EXPECT_EQ(U3V_DiscoveryDevices(&count), U3V_STATUS_EXCEPTION);
    EXPECT_EQ(U3V_ReadMem(control_, 0x1C4, 4, b), U3V_STATUS_EXCEPTION);
    EXPECT_EQ(U3V_WriteMem(control_, 0x1C4, 4, b), U3V_STATUS_EXCEPTION);
    U3V_Control* control = nullptr;
    EXPECT_EQ(U3V_OpenControl(dev_, &control), U3V_STATUS_EXCEPTION);
    EXPECT_NE(control, nullptr); // handed out before it failed: the host closes it
    pexlin::usb::setBackend(&u3vsim::World::instance());
    EXPECT_EQ(U3V_CloseControl(control), 0);
}
