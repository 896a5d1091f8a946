#include "SimFixture.h"

#include <cstring>

using namespace simtest;

TEST(LibraryState, CallsBeforeInitReport1015)
{
    OrvLibClose();
    uint32_t count = 99;
    EXPECT_EQ(OrvLibSystemGetCount(&count), ORV_ERROR_NOT_INITIALISED);
    ORV_SYSTEM_HANDLE system = 0;
    EXPECT_EQ(OrvLibSystemOpen(0, &system), ORV_ERROR_NOT_INITIALISED);
    // The logger and version check work without the library.
    bool compliant = false;
    EXPECT_EQ(OrvLibIsVersionCompliant(1, 5, &compliant), 0);
    EXPECT_TRUE(compliant);
    EXPECT_EQ(JotwellSetGlobalDebugLevel(3), 0);
    // Closing what is not open does not block and succeeds.
    EXPECT_EQ(OrvLibClose(), 0);
}

TEST(LibraryState, SecondInitIsRefusedAndInfoIsRecorded)
{
    TempFolder folder;
    folder.touch("orv_gev_tl.cti");
    OrvLibClose();
    ASSERT_EQ(OrvLibInit(folder.path().c_str(), "/app/GeniCam", "/app/cache", "/app/CLProtocol"), 0);
    EXPECT_EQ(OrvLibInit(folder.path().c_str(), "a", "b", "c"), ORV_ERROR_RESOURCE_IN_USE);
    std::string info = control("lib.info");
    EXPECT_NE(info.find("searchPath=" + folder.path() + "\n"), std::string::npos) << info;
    EXPECT_NE(info.find("genicamRoot=/app/GeniCam\n"), std::string::npos) << info;
    EXPECT_NE(info.find("genicamCache=/app/cache\n"), std::string::npos) << info;
    EXPECT_NE(info.find("clProtocol=/app/CLProtocol\n"), std::string::npos) << info;
    EXPECT_NE(info.find("system 0 " + folder.path() + "/orv_gev_tl.cti"), std::string::npos) << info;
    OrvLibClose();
}

TEST(LibraryState, ScanFollowsThePathOrderAndSortsEachFolder)
{
    TempFolder first, second, empty;
    second.touch("b.cti");
    second.touch("a.cti");
    second.touch("notes.txt");
    second.touch("upper.CTI"); // the suffix is compared exactly
    first.touch("orv_gev_tl.cti");
    second.touch("orv_gev_tl.cti");
    std::string path = ";" + first.path() + ";/does/not/exist;" + empty.path() + ";" + second.path() + "/;";
    OrvLibClose();
    ASSERT_EQ(OrvLibInit(path.c_str(), "", "", ""), 0);
    uint32_t count = 0;
    ASSERT_EQ(OrvLibSystemGetCount(&count), 0);
    const std::vector<std::string> expected = {
        first.path() + "/orv_gev_tl.cti", second.path() + "/a.cti", second.path() + "/b.cti",
        second.path() + "/orv_gev_tl.cti"};
    ASSERT_EQ(count, expected.size());
    for (uint32_t i = 0; i < count; ++i) {
        ORV_TL_INFO info{};
        ASSERT_EQ(OrvLibSystemGetInfo(i, &info), 0);
        EXPECT_EQ(SIM_TEXT(info.fullPath), expected[i]);
        EXPECT_EQ(info.systemIndex, i);
    }
    ORV_TL_INFO info{};
    EXPECT_EQ(OrvLibSystemGetInfo(count, &info), ORV_ERROR_INVALID_ARGUMENT);
    // An unknown producer file is a producer without interfaces.
    ASSERT_EQ(OrvLibSystemGetInfo(1, &info), 0);
    EXPECT_EQ(SIM_TEXT(info.vendor), "Unknown Vendor");
    EXPECT_EQ(SIM_TEXT(info.tlType), "GenTL");
    ORV_SYSTEM_HANDLE system = 0;
    ASSERT_EQ(OrvLibSystemOpen(1, &system), 0);
    ASSERT_EQ(OrvSystemUpdateInterfaceList(system, nullptr, 1000), 0);
    uint32_t interfaces = 9;
    EXPECT_EQ(OrvSystemGetNumInterfaces(system, &interfaces), 0);
    EXPECT_EQ(interfaces, 0u);
    OrvLibClose();
}

TEST(LibraryState, ProducerNamedInOtherLetterCaseKeepsItsFileName)
{
    TempFolder folder;
    folder.touch("CoaxLink.cti");
    OrvLibClose();
    ASSERT_EQ(OrvLibInit(folder.path().c_str(), "", "", ""), 0);
    ORV_TL_INFO info{};
    ASSERT_EQ(OrvLibSystemGetInfo(0, &info), 0);
    EXPECT_EQ(SIM_TEXT(info.name), "CoaxLink.cti");
    EXPECT_EQ(SIM_TEXT(info.id), "TL:CoaxLink.cti");
    EXPECT_EQ(SIM_TEXT(info.vendor), "Euresys");
    EXPECT_EQ(SIM_TEXT(info.tlType), "CXP");
    OrvLibClose();
}

class Handles : public SimTest {};

TEST_F(Handles, EveryKindOpensClosesAndGoesStale)
{
    ORV_SYSTEM_HANDLE system = openSystem("orv_gev_tl.cti");
    ORV_SYSTEM_HANDLE second = 0;
    uint32_t index = 0;
    ORV_TL_INFO info{};
    ASSERT_EQ(OrvSystemGetInfo(system, &info), 0);
    index = info.systemIndex;
    ASSERT_EQ(OrvLibSystemOpen(index, &second), 0);
    EXPECT_NE(second, system);

    ORV_INTERFACE_HANDLE iface = openInterface(system, "gev-if-0");
    ASSERT_NE(iface, 0u);
    ORV_INTERFACE_HANDLE again = 0;
    EXPECT_EQ(OrvSystemInterfaceOpen(system, "gev-if-0", &again), 0);
    EXPECT_EQ(again, iface);

    ORV_DEVICE_HANDLE device = 0;
    ORV_REMOTE_DEVICE_HANDLE remote = 0;
    ASSERT_EQ(OrvInterfaceDeviceOpen(iface, "GEV-G1-0001", 3, &device, &remote), 0);
    EXPECT_NE(device, 0u);
    EXPECT_NE(remote, 0u);
    EXPECT_NE(device, remote);
    ORV_DEVICE_INFO dev{};
    EXPECT_EQ(OrvDeviceGetInfo(device, &dev), 0);
    EXPECT_EQ(SIM_TEXT(dev.id), "GEV-G1-0001");
    // Handles are kind-checked.
    EXPECT_EQ(OrvDeviceGetInfo(remote, &dev), ORV_ERROR_INVALID_HANDLE);
    EXPECT_EQ(OrvDeviceGetInfo(iface, &dev), ORV_ERROR_INVALID_HANDLE);
    EXPECT_EQ(OrvSystemGetNumInterfaces(device, &index), ORV_ERROR_INVALID_HANDLE);

    ASSERT_EQ(OrvDeviceClose(device), 0);
    EXPECT_EQ(OrvDeviceGetInfo(device, &dev), ORV_ERROR_INVALID_HANDLE);
    EXPECT_EQ(OrvDeviceClose(device), ORV_ERROR_INVALID_HANDLE);
    // The camera opens again, with new handles.
    ORV_DEVICE_HANDLE device2 = 0;
    ORV_REMOTE_DEVICE_HANDLE remote2 = 0;
    ASSERT_EQ(OrvInterfaceDeviceOpen(iface, "GEV-G1-0001", 3, &device2, &remote2), 0);
    EXPECT_NE(device2, device);
    EXPECT_NE(remote2, remote);

    // Closing the system closes its interfaces and devices; the other handle lives.
    ASSERT_EQ(OrvSystemClose(system), 0);
    EXPECT_EQ(OrvSystemGetInfo(system, &info), ORV_ERROR_INVALID_HANDLE);
    for (char c : std::string(reinterpret_cast<const char*>(&info), sizeof info))
        ASSERT_EQ(c, 0) << "record of a closed system must stay zero";
    EXPECT_EQ(OrvInterfaceGetNumDevices(iface, &index), ORV_ERROR_INVALID_HANDLE);
    EXPECT_EQ(OrvDeviceGetInfo(device2, &dev), ORV_ERROR_INVALID_HANDLE);
    EXPECT_EQ(OrvSystemGetInfo(second, &info), 0);
    ORV_INTERFACE_HANDLE iface2 = openInterface(second, "gev-if-0");
    EXPECT_EQ(OrvInterfaceDeviceOpen(iface2, "GEV-G1-0001", 3, &device, &remote), 0)
        << "closing the system must release the camera";

    // After a library close every handle is stale, also after the next init.
    OrvLibClose();
    ASSERT_EQ(OrvLibInit(folder.path().c_str(), "", "", ""), 0);
    for (uint32_t stale : {second, iface2, device, remote})
        EXPECT_EQ(OrvSystemGetNumInterfaces(stale, &index), ORV_ERROR_INVALID_HANDLE);
    EXPECT_EQ(OrvDeviceGetInfo(device, &dev), ORV_ERROR_INVALID_HANDLE);
    EXPECT_EQ(OrvDeviceGetInfo(0, &dev), ORV_ERROR_INVALID_HANDLE);
}

TEST_F(Handles, TooSmallIdBufferIsRefused)
{
    ORV_SYSTEM_HANDLE system = openSystem("orv_gev_tl.cti");
    char id[4] = {};
    size_t size = sizeof id;
    EXPECT_EQ(OrvSystemGetInterfaceId(system, 0, id, &size), ORV_ERROR_INVALID_ARGUMENT);
    char big[512] = {};
    size = sizeof big;
    ASSERT_EQ(OrvSystemGetInterfaceId(system, 0, big, &size), 0);
    EXPECT_STREQ(big, "gev-if-0");
    EXPECT_EQ(size, strlen("gev-if-0") + 1);
    size = sizeof big;
    EXPECT_EQ(OrvSystemGetInterfaceId(system, 2, big, &size), ORV_ERROR_INVALID_ARGUMENT);
}
