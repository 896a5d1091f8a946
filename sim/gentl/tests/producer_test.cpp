// The producer files as the IP tool loads them: GenTL calls, the maker's IP
// functions, and the state file shared with the camera SDK.
#include "GenTLTypes.h"
#include "QuillanExports.h"

#include <gtest/gtest.h>

#include <csignal>
#include <iterator>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <dlfcn.h>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string ctiPath(const std::string& name)
{
    return std::string(SUITE_CTI_DIR) + "/" + name;
}

// The producer's functions, bound by name like the IP tool binds them.
struct Producer {
    explicit Producer(const std::string& file)
    {
        handle = dlopen(ctiPath(file).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return;
        bind(initLib, "GCInitLib");
        bind(closeLib, "GCCloseLib");
        bind(tlOpen, "TLOpen");
        bind(tlClose, "TLClose");
        bind(tlUpdate, "TLUpdateInterfaceList");
        bind(tlCount, "TLGetNumInterfaces");
        bind(tlId, "TLGetInterfaceID");
        bind(tlOpenIf, "TLOpenInterface");
        bind(ifInfo, "IFGetInfo");
        bind(ifUpdate, "IFUpdateDeviceList");
        bind(ifCount, "IFGetNumDevices");
        bind(ifDeviceId, "IFGetDeviceID");
        bind(ifDeviceInfo, "IFGetDeviceInfo");
        bind(ifOpenDevice, "IFOpenDevice");
        bind(devInfo, "DevGetInfo");
        bind(devClose, "DevClose");
        bind(forceIp, "OrvForceIPConfig");
        bind(setIp, "OrvSetIPConfig");
        bind(control, "OrvSimControl");
    }
    ~Producer()
    {
        if (handle)
            dlclose(handle);
    }
    template <class F>
    void bind(F& f, const char* name)
    {
        f = reinterpret_cast<F>(dlsym(handle, name));
        if (!f)
            missing.push_back(name);
    }

    void* handle = nullptr;
    std::vector<std::string> missing;
    decltype(&GCInitLib) initLib;
    decltype(&GCCloseLib) closeLib;
    decltype(&TLOpen) tlOpen;
    decltype(&TLClose) tlClose;
    decltype(&TLUpdateInterfaceList) tlUpdate;
    decltype(&TLGetNumInterfaces) tlCount;
    decltype(&TLGetInterfaceID) tlId;
    decltype(&TLOpenInterface) tlOpenIf;
    decltype(&IFGetInfo) ifInfo;
    decltype(&IFUpdateDeviceList) ifUpdate;
    decltype(&IFGetNumDevices) ifCount;
    decltype(&IFGetDeviceID) ifDeviceId;
    decltype(&IFGetDeviceInfo) ifDeviceInfo;
    decltype(&IFOpenDevice) ifOpenDevice;
    decltype(&DevGetInfo) devInfo;
    decltype(&DevClose) devClose;
    decltype(&OrvForceIPConfig) forceIp;
    decltype(&OrvSetIPConfig) setIp;
    decltype(&OrvSimControl) control;
};

std::string text(Producer& p, IF_HANDLE iface, int32_t command)
{
    char buffer[512] = {};
    size_t size = sizeof buffer;
    EXPECT_EQ(p.ifInfo(iface, command, nullptr, buffer, &size), 0) << command;
    return buffer;
}

uint32_t word(Producer& p, IF_HANDLE iface, const std::string& id, int32_t command)
{
    uint32_t value = 0;
    size_t size = sizeof value;
    INFO_DATATYPE type = 0;
    EXPECT_EQ(p.ifDeviceInfo(iface, id.c_str(), command, &type, &value, &size), 0) << command;
    EXPECT_EQ(type, INFO_DATATYPE_UINT32);
    return value;
}

std::string deviceText(Producer& p, IF_HANDLE iface, const std::string& id, int32_t command)
{
    char buffer[512] = {};
    size_t size = sizeof buffer;
    EXPECT_EQ(p.ifDeviceInfo(iface, id.c_str(), command, nullptr, buffer, &size), 0) << command;
    return buffer;
}

class GenTLProducer : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/gentl-state-XXXXXX";
        folder = mkdtemp(pattern);
        statePath = folder + "/state.txt";
        setenv("QUILLAN_SIM_STATE", statePath.c_str(), 1);
        // The camera SDK's world lives as long as the process: each test starts afresh.
        ASSERT_EQ(OrvSimControl("world.reset", nullptr, nullptr), 0);
        ASSERT_NE(p.handle, nullptr) << dlerror();
        ASSERT_TRUE(p.missing.empty()) << p.missing.front();
        ASSERT_EQ(p.initLib(), 0);
        ASSERT_EQ(p.tlOpen(&tl), 0);
        ASSERT_EQ(p.tlUpdate(tl, nullptr, 1000), 0);
        uint32_t count = 0;
        ASSERT_EQ(p.tlCount(tl, &count), 0);
        for (uint32_t i = 0; i < count; ++i) {
            char id[512] = {};
            size_t size = sizeof id;
            ASSERT_EQ(p.tlId(tl, i, id, &size), 0);
            IF_HANDLE iface = nullptr;
            ASSERT_EQ(p.tlOpenIf(tl, id, &iface), 0);
            interfaces[id] = iface;
        }
    }
    void TearDown() override
    {
        if (sdkOpen)
            OrvLibClose();
        p.tlClose(tl);
        p.closeLib();
        unsetenv("QUILLAN_SIM_STATE");
        std::system(("rm -rf '" + folder + "'").c_str());
    }

    std::vector<std::string> devices(IF_HANDLE iface)
    {
        std::vector<std::string> ids;
        EXPECT_EQ(p.ifUpdate(iface, nullptr, 1000), 0);
        uint32_t n = 0;
        EXPECT_EQ(p.ifCount(iface, &n), 0);
        for (uint32_t i = 0; i < n; ++i) {
            char id[512] = {};
            size_t size = sizeof id;
            EXPECT_EQ(p.ifDeviceId(iface, i, id, &size), 0);
            ids.push_back(id);
        }
        return ids;
    }

    // The camera SDK of this process (its own world) on a folder with a
    // placeholder orv_gev_tl.cti; 0 when an interface does not open.
    ORV_INTERFACE_HANDLE sdkInterface(const char* id)
    {
        std::ofstream(folder + "/orv_gev_tl.cti").put('\n');
        ORV_SYSTEM_HANDLE system = 0;
        ORV_INTERFACE_HANDLE iface = 0;
        sdkOpen = OrvLibInit(folder.c_str(), "", "", "") == 0;
        if (!sdkOpen || OrvLibSystemOpen(0, &system) != 0 || OrvSystemUpdateInterfaceList(system, nullptr, 1000) != 0
            || OrvSystemInterfaceOpen(system, id, &iface) != 0)
            return 0;
        return iface;
    }
    ORV_DEVICE_INFO sdkListed(ORV_INTERFACE_HANDLE iface, const char* id)
    {
        ORV_DEVICE_INFO info{};
        EXPECT_EQ(OrvInterfaceUpdateDeviceList(iface, nullptr, 3000), 0);
        EXPECT_EQ(OrvInterfaceDeviceGetInfo(iface, id, &info), 0);
        return info;
    }

    Producer p{"orv_gev_tl.cti"};
    bool sdkOpen = false;
    TL_HANDLE tl = nullptr;
    std::map<std::string, IF_HANDLE> interfaces;
    std::string folder;
    std::string statePath;
};

TEST_F(GenTLProducer, InterfacesAndCamerasOfItsOwnFile)
{
    ASSERT_EQ(interfaces.size(), 2u);
    struct Row { const char* id; const char* display; const char* ip; const char* mask; };
    const Row rows[] = {{"gev-if-0", "GigE adapter 0 (192.168.1.10)", "192.168.1.10", "255.255.255.0"},
                        {"gev-if-1", "GigE adapter 1 (10.0.0.10)", "10.0.0.10", "255.0.0.0"}};
    for (const Row& row : rows) {
        IF_HANDLE iface = interfaces[row.id];
        EXPECT_EQ(text(p, iface, INTERFACE_INFO_ID), row.id);
        EXPECT_EQ(text(p, iface, INTERFACE_INFO_DISPLAYNAME), row.display);
        EXPECT_EQ(text(p, iface, INTERFACE_INFO_TLTYPE), "GEV");
        EXPECT_EQ(text(p, iface, INTERFACE_INFO_IP_TEXT), row.ip);
        EXPECT_EQ(text(p, iface, INTERFACE_INFO_MASK_TEXT), row.mask);
    }
    EXPECT_EQ(devices(interfaces["gev-if-0"]),
              (std::vector<std::string>{"GEV-G1-0001", "GEV-G2-0002", "GEV-G3-0003", "GEV-G4-0004"}));
    EXPECT_EQ(devices(interfaces["gev-if-1"]),
              (std::vector<std::string>{"GEV-G5-0005", "GEV-G6-0006", "GEV-G7-0007"}));

    IF_HANDLE if0 = interfaces["gev-if-0"];
    EXPECT_EQ(deviceText(p, if0, "GEV-G1-0001", DEVICE_INFO_MODEL), "SIM-G1280M");
    EXPECT_EQ(deviceText(p, if0, "GEV-G1-0001", DEVICE_INFO_VENDOR), "NORRIK-Ombrel");
    EXPECT_EQ(deviceText(p, if0, "GEV-G1-0001", DEVICE_INFO_TLTYPE), "GEV");
    EXPECT_EQ(deviceText(p, if0, "GEV-G1-0001", DEVICE_INFO_SERIAL_NUMBER), "0001");
    EXPECT_EQ(word(p, if0, "GEV-G1-0001", DEVICE_INFO_IP), 0xC0A80165u); // 192.168.1.101
    EXPECT_EQ(word(p, if0, "GEV-G1-0001", DEVICE_INFO_MASK), 0xFFFFFF00u);
    EXPECT_EQ(word(p, if0, "GEV-G1-0001", DEVICE_INFO_IP_FLAGS) & 4u, 4u) << "link-local is always on";
    EXPECT_EQ(word(p, if0, "GEV-G4-0004", DEVICE_INFO_ACCESS_STATUS), 3u);
    uint64_t mac = 0;
    size_t size = sizeof mac;
    ASSERT_EQ(p.ifDeviceInfo(if0, "GEV-G1-0001", DEVICE_INFO_MAC, nullptr, &mac, &size), 0);
    EXPECT_EQ(mac >> 24, 0x00111Cu);
    // A null buffer asks for the size; a short one is refused.
    size = 0;
    ASSERT_EQ(p.ifDeviceInfo(if0, "GEV-G1-0001", DEVICE_INFO_MODEL, nullptr, nullptr, &size), 0);
    EXPECT_EQ(size, sizeof "SIM-G1280M");
    char small[4];
    size = sizeof small;
    EXPECT_EQ(p.ifDeviceInfo(if0, "GEV-G1-0001", DEVICE_INFO_MODEL, nullptr, small, &size), GC_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(p.ifDeviceInfo(if0, "GEV-NONE", DEVICE_INFO_MODEL, nullptr, small, &size), GC_ERR_INVALID_ID);
    // Persistent values only on an open device.
    size = sizeof mac;
    EXPECT_NE(p.ifDeviceInfo(if0, "GEV-G1-0001", DEVICE_INFO_PERSISTENT_IP, nullptr, &mac, &size), 0);
}

TEST_F(GenTLProducer, ForceIpAutomaticManualAndRefused)
{
    IF_HANDLE if1 = interfaces["gev-if-1"];
    IF_HANDLE if0 = interfaces["gev-if-0"];
    EXPECT_EQ(word(p, if1, "GEV-G5-0005", DEVICE_INFO_ACCESS_STATUS), 3u);
    ASSERT_EQ(p.forceIp(if1, "GEV-G5-0005", 0, 0, 0), 0);
    EXPECT_EQ(word(p, if1, "GEV-G5-0005", DEVICE_INFO_IP), 0x0A000064u); // 10.0.0.100
    EXPECT_EQ(word(p, if1, "GEV-G5-0005", DEVICE_INFO_MASK), 0xFF000000u);
    EXPECT_EQ(word(p, if1, "GEV-G5-0005", DEVICE_INFO_GATEWAY), 0u);
    EXPECT_EQ(word(p, if1, "GEV-G5-0005", DEVICE_INFO_ACCESS_STATUS), 1u);
    // The next automatic address skips the one in use.
    ASSERT_EQ(p.forceIp(if1, "GEV-G7-0007", 0, 0, 0), 0);
    EXPECT_EQ(word(p, if1, "GEV-G7-0007", DEVICE_INFO_IP), 0x0A000065u);

    ASSERT_EQ(p.forceIp(if0, "GEV-G1-0001", 0xC0A80132u, 0xFFFFFF00u, 0xC0A80101u), 0);
    EXPECT_EQ(word(p, if0, "GEV-G1-0001", DEVICE_INFO_IP), 0xC0A80132u);
    EXPECT_EQ(word(p, if0, "GEV-G1-0001", DEVICE_INFO_GATEWAY), 0xC0A80101u);

    EXPECT_NE(p.forceIp(if0, "GEV-G4-0004", 0, 0, 0), 0) << "held by another application";
    EXPECT_NE(p.forceIp(if0, "GEV-NONE", 0, 0, 0), 0);
    EXPECT_NE(p.forceIp(if0, "GEV-G1-0001", 0, 0xFFFFFF00u, 0), 0);
    char reply[128];
    size_t size = sizeof reply;
    ASSERT_EQ(p.control("call.fail OrvForceIPConfig -1001", reply, &size), 0) << reply;
    EXPECT_EQ(p.forceIp(if0, "GEV-G1-0001", 0, 0, 0), -1001);
}

TEST_F(GenTLProducer, PersistentConfigurationOnAnOpenDevice)
{
    IF_HANDLE if0 = interfaces["gev-if-0"];
    DEV_HANDLE device = nullptr;
    EXPECT_NE(p.ifOpenDevice(if0, "GEV-G4-0004", 3, &device), 0);
    ASSERT_EQ(p.ifOpenDevice(if0, "GEV-G1-0001", 3, &device), 0);
    ASSERT_EQ(p.setIp(device, 0, 1, 0xC0A80150u, 0xFFFFFF00u, 0xC0A80101u), 0);
    auto read = [&](int32_t command) {
        uint32_t value = 0;
        size_t size = sizeof value;
        EXPECT_EQ(p.devInfo(device, command, nullptr, &value, &size), 0) << command;
        return value;
    };
    EXPECT_EQ(read(DEVICE_INFO_PERSISTENT_IP), 0xC0A80150u);
    EXPECT_EQ(read(DEVICE_INFO_PERSISTENT_MASK), 0xFFFFFF00u);
    EXPECT_EQ(read(DEVICE_INFO_PERSISTENT_GATEWAY), 0xC0A80101u);
    EXPECT_EQ(read(DEVICE_INFO_IP_FLAGS), 5u) << "persistent and link-local";
    EXPECT_EQ(read(DEVICE_INFO_IP), 0xC0A80165u) << "the current address stays until a reset";
    ASSERT_EQ(p.setIp(device, 1, 0, 0, 0, 0), 0);
    EXPECT_EQ(read(DEVICE_INFO_IP_FLAGS), 6u);
    EXPECT_NE(p.setIp(device, 0, 1, 0, 0, 0), 0) << "persistent address 0";
    EXPECT_EQ(p.devClose(device), 0);
    EXPECT_EQ(p.devInfo(device, DEVICE_INFO_ID, nullptr, nullptr, nullptr), GC_ERR_INVALID_HANDLE);
}

TEST_F(GenTLProducer, CameraSdkSeesTheForcedAddressThroughTheStateFile)
{
    ASSERT_EQ(p.forceIp(interfaces["gev-if-1"], "GEV-G5-0005", 0, 0, 0), 0);
    std::ifstream state(statePath);
    ASSERT_TRUE(state.good());

    // The camera SDK in this process has its own world; it reads the file at init.
    ORV_INTERFACE_HANDLE iface = sdkInterface("gev-if-1");
    ASSERT_NE(iface, 0u);
    ORV_DEVICE_INFO info = sdkListed(iface, "GEV-G5-0005");
    EXPECT_EQ(info.accessStatus, 1);
    EXPECT_STREQ(info.ipAddress, "10.0.0.100");
}

TEST_F(GenTLProducer, CameraSdkReadsTheStateFileAgainAtTheNextDeviceListUpdate)
{
    ORV_INTERFACE_HANDLE iface = sdkInterface("gev-if-1");
    ASSERT_NE(iface, 0u);
    EXPECT_EQ(sdkListed(iface, "GEV-G5-0005").accessStatus, 3);

    // The producer (another process in real use) forces the address; the
    // SDK sees it at its next update, without being initialised again.
    ASSERT_EQ(p.forceIp(interfaces["gev-if-1"], "GEV-G5-0005", 0x0A000042u, 0xFF000000u, 0), 0);
    ORV_DEVICE_INFO info = sdkListed(iface, "GEV-G5-0005");
    EXPECT_EQ(info.accessStatus, 1);
    EXPECT_STREQ(info.ipAddress, "10.0.0.66");
    ASSERT_EQ(p.forceIp(interfaces["gev-if-1"], "GEV-G5-0005", 0xA9FE0C22u, 0xFFFF0000u, 0), 0);
    EXPECT_EQ(sdkListed(iface, "GEV-G5-0005").accessStatus, 3);
}

TEST_F(GenTLProducer, CameraOpenInTheSdkIsRefusedUntilItCloses)
{
    IF_HANDLE producerIf = interfaces["gev-if-0"];
    auto status = [&](const char* id) { return word(p, producerIf, id, DEVICE_INFO_ACCESS_STATUS); };
    auto opens = [&](const char* id) {
        DEV_HANDLE device = nullptr;
        GC_ERROR rc = p.ifOpenDevice(producerIf, id, 3, &device);
        if (rc == GC_ERR_SUCCESS) {
            EXPECT_EQ(p.devClose(device), 0);
        }
        return rc;
    };
    ORV_INTERFACE_HANDLE iface = sdkInterface("gev-if-0");
    ASSERT_NE(iface, 0u);
    ORV_DEVICE_HANDLE device = 0;
    ORV_REMOTE_DEVICE_HANDLE remote = 0;
    ASSERT_EQ(OrvInterfaceDeviceOpen(iface, "GEV-G1-0001", ORV_ACCESS_MODE_CONTROL, &device, &remote), 0);

    EXPECT_EQ(opens("GEV-G1-0001"), GC_ERR_ACCESS_DENIED);
    EXPECT_EQ(p.forceIp(producerIf, "GEV-G1-0001", 0, 0, 0), GC_ERR_ACCESS_DENIED);
    EXPECT_EQ(p.forceIp(producerIf, "GEV-G1-0001", 0xC0A80132u, 0xFFFFFF00u, 0), GC_ERR_ACCESS_DENIED);
    EXPECT_EQ(status("GEV-G1-0001"), 3u);
    EXPECT_EQ(deviceText(p, producerIf, "GEV-G1-0001", DEVICE_INFO_ID), "GEV-G1-0001") << "still listed";
    EXPECT_EQ(opens("GEV-G2-0002"), GC_ERR_SUCCESS) << "another camera is free";

    ASSERT_EQ(OrvDeviceClose(device), 0);
    EXPECT_EQ(status("GEV-G1-0001"), 1u);
    EXPECT_EQ(opens("GEV-G1-0001"), GC_ERR_SUCCESS);
    EXPECT_EQ(p.forceIp(producerIf, "GEV-G1-0001", 0xC0A80132u, 0xFFFFFF00u, 0), GC_ERR_SUCCESS);
}

TEST_F(GenTLProducer, HoldsOfProcessesThatAreGoneDoNotCount)
{
    IF_HANDLE producerIf = interfaces["gev-if-0"];
    // Another process that holds G2 open: live, then gone.
    pid_t other = fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        pause();
        _exit(0);
    }
    std::ofstream(statePath + ".open") << other << " G2\n";
    DEV_HANDLE device = nullptr;
    EXPECT_EQ(p.ifOpenDevice(producerIf, "GEV-G2-0002", 3, &device), GC_ERR_ACCESS_DENIED);
    kill(other, SIGKILL);
    waitpid(other, nullptr, 0);
    ASSERT_EQ(p.ifOpenDevice(producerIf, "GEV-G2-0002", 3, &device), GC_ERR_SUCCESS);
    EXPECT_EQ(p.devClose(device), 0);

    // This process's SDK rewrites the file without the stale line.
    ORV_INTERFACE_HANDLE iface = sdkInterface("gev-if-0");
    ASSERT_NE(iface, 0u);
    ORV_DEVICE_HANDLE sdkDevice = 0;
    ORV_REMOTE_DEVICE_HANDLE remote = 0;
    ASSERT_EQ(OrvInterfaceDeviceOpen(iface, "GEV-G1-0001", ORV_ACCESS_MODE_CONTROL, &sdkDevice, &remote), 0);
    std::ifstream holds(statePath + ".open");
    std::string all((std::istreambuf_iterator<char>(holds)), std::istreambuf_iterator<char>());
    EXPECT_EQ(all, std::to_string(getpid()) + " G1\n");
    ASSERT_EQ(OrvDeviceClose(sdkDevice), 0);
}

TEST_F(GenTLProducer, ScenariosForTheDuplicateRule)
{
    auto macOf = [&](IF_HANDLE iface, const char* id) {
        uint64_t mac = 0;
        size_t size = sizeof mac;
        EXPECT_EQ(p.ifDeviceInfo(iface, id, DEVICE_INFO_MAC, nullptr, &mac, &size), 0);
        return mac;
    };
    char reply[128];
    size_t size = sizeof reply;
    ASSERT_EQ(p.control("world.scenario duplicate-camera", reply, &size), 0) << reply;
    IF_HANDLE if0 = interfaces["gev-if-0"], if1 = interfaces["gev-if-1"];
    auto second = devices(if1);
    ASSERT_NE(std::find(second.begin(), second.end(), "GEV-G1-0001"), second.end());
    devices(if0);
    EXPECT_EQ(macOf(if0, "GEV-G1-0001"), macOf(if1, "GEV-G1-0001"));
    EXPECT_EQ(deviceText(p, if1, "GEV-G1-0001", DEVICE_INFO_SERIAL_NUMBER), "0001");

    size = sizeof reply;
    ASSERT_EQ(p.control("world.scenario duplicate-serial", reply, &size), 0) << reply;
    second = devices(if1);
    ASSERT_NE(std::find(second.begin(), second.end(), "GEV-G1-0099"), second.end());
    devices(if0);
    EXPECT_EQ(deviceText(p, if1, "GEV-G1-0099", DEVICE_INFO_SERIAL_NUMBER), "0001");
    EXPECT_EQ(deviceText(p, if1, "GEV-G1-0099", DEVICE_INFO_MODEL), "SIM-G1280M");
    EXPECT_NE(macOf(if0, "GEV-G1-0001"), macOf(if1, "GEV-G1-0099"));
    size = sizeof reply;
    p.control("world.reset", reply, &size);
}

TEST(GenTLProducerFiles, EveryProducerFileLoadsAndServesItsOwnInterfaces)
{
    const std::map<std::string, std::vector<std::string>> expected = {
        {"orv_gev_tl.cti", {"gev-if-0", "gev-if-1"}}, {"orv_gev_tl_rdma.cti", {"rdma-if-0"}},
        {"orv_gev_brox_tl.cti", {"brox-if-0"}}, {"orv_u3v_tl.cti", {"u3v-if-0"}},
        {"orv_cl_tl.cti", {"cl-port-0", "cl-port-1", "cl-port-2", "cl-port-3"}},
        {"orv_clhs_tl.cti", {"clhs-if-0"}}, {"coaxlink.cti", {"cxp-if-0"}}, {"other_vendor_tl.cti", {"pci-if-0"}},
    };
    for (const auto& [file, ids] : expected) {
        SCOPED_TRACE(file);
        Producer p(file);
        ASSERT_NE(p.handle, nullptr) << dlerror();
        ASSERT_TRUE(p.missing.empty());
        ASSERT_EQ(p.initLib(), 0);
        TL_HANDLE tl = nullptr;
        ASSERT_EQ(p.tlOpen(&tl), 0);
        ASSERT_EQ(p.tlUpdate(tl, nullptr, 1000), 0);
        uint32_t n = 0;
        ASSERT_EQ(p.tlCount(tl, &n), 0);
        std::vector<std::string> got;
        for (uint32_t i = 0; i < n; ++i) {
            char id[512] = {};
            size_t size = sizeof id;
            ASSERT_EQ(p.tlId(tl, i, id, &size), 0);
            got.push_back(id);
        }
        EXPECT_EQ(got, ids);
        // Only the producer's names and the test control are exported.
        EXPECT_EQ(dlsym(p.handle, "OrvLibInit"), nullptr);
        EXPECT_NE(dlsym(p.handle, "DSGetBufferPartInfo"), nullptr);
        EXPECT_EQ(p.tlClose(tl), 0);
        EXPECT_EQ(p.closeLib(), 0);
    }
}

TEST(GenTLProducerFiles, FaultsCanBeSetBeforeTheLibraryIsInitialised)
{
    Producer p("orv_gev_brox_tl.cti");
    ASSERT_NE(p.handle, nullptr) << dlerror();
    char reply[128];
    size_t size = sizeof reply;
    ASSERT_EQ(p.control("call.fail GCInitLib -1001", reply, &size), 0) << reply;
    EXPECT_EQ(p.initLib(), -1001);
    ASSERT_EQ(p.initLib(), 0);
    EXPECT_EQ(p.closeLib(), 0);
}

TEST(GenTLProducerFiles, VariantsLackOneExportEach)
{
    struct Row { const char* folder; const char* missing; };
    const Row rows[] = {{"gentl-no-orvsetipconfig", "OrvSetIPConfig"}, {"gentl-no-gcinitlib", "GCInitLib"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.folder);
        std::string path = std::string(SUITE_BIN_DIR) + "/variants/" + row.folder + "/orv_gev_tl.cti";
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
        EXPECT_EQ(dlsym(handle, row.missing), nullptr);
        EXPECT_NE(dlsym(handle, "OrvForceIPConfig"), nullptr);
        EXPECT_NE(dlsym(handle, "TLOpen"), nullptr);
        dlclose(handle);
    }
}

} // namespace
