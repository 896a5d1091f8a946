#include "SimFixture.h"

#include <chrono>
#include <map>

using namespace simtest;

class Discovery : public SimTest {};

TEST_F(Discovery, EveryProducerReportsItsRecord)
{
    struct Row { const char* file; const char* vendor; const char* model; const char* type; };
    const Row rows[] = {
        {"orv_gev_tl.cti", "NORRIK-OMBREL GmbH", "GigE Vision Producer", "GEV"},
        {"orv_gev_tl_rdma.cti", "NORRIK-OMBREL GmbH", "GigE Vision RDMA Producer", "GEV"},
        {"orv_gev_brox_tl.cti", "NORRIK-OMBREL GmbH", "GigE Vision Brox Producer", "GEV"},
        {"orv_u3v_tl.cti", "NORRIK-OMBREL GmbH", "USB3 Vision Producer", "U3V"},
        {"orv_cl_tl.cti", "NORRIK-OMBREL GmbH", "Camera Link Producer", "CL"},
        {"orv_clhs_tl.cti", "NORRIK-OMBREL GmbH", "Camera Link HS Producer", "CLHS"},
        {"coaxlink.cti", "Euresys", "CoaXPress Producer", "CXP"},
        {"other_vendor_tl.cti", "Other Vendor Ltd", "Frame Grabber Producer", "PCIx"},
    };
    uint32_t count = 0;
    ASSERT_EQ(OrvLibSystemGetCount(&count), 0);
    ASSERT_EQ(count, std::size(rows));
    std::map<std::string, ORV_TL_INFO> byName;
    for (uint32_t i = 0; i < count; ++i) {
        ORV_TL_INFO info{};
        ASSERT_EQ(OrvLibSystemGetInfo(i, &info), 0);
        byName[SIM_TEXT(info.name)] = info;
    }
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        ASSERT_TRUE(byName.count(row.file));
        const ORV_TL_INFO& info = byName[row.file];
        EXPECT_EQ(SIM_TEXT(info.id), std::string("TL:") + row.file);
        EXPECT_EQ(SIM_TEXT(info.vendor), row.vendor);
        EXPECT_EQ(SIM_TEXT(info.model), row.model);
        EXPECT_EQ(SIM_TEXT(info.version), "2.5.15");
        EXPECT_EQ(SIM_TEXT(info.tlType), row.type);
        EXPECT_EQ(SIM_TEXT(info.fullPath), folder.path() + "/" + row.file);
        EXPECT_EQ(SIM_TEXT(info.displayName), std::string(row.model) + " (" + row.file + ")");
        EXPECT_EQ(info.genTLVersionMajor, 1u);
        EXPECT_EQ(info.genTLVersionMinor, 5u);
    }
}

TEST_F(Discovery, InterfacesCarryTheirTextsAndSubnets)
{
    struct Row { const char* file; const char* id; const char* display; const char* subnet; };
    const Row rows[] = {
        {"orv_gev_tl.cti", "gev-if-0", "GigE adapter 0 (192.168.1.10)", "192.168.1.0"},
        {"orv_gev_tl.cti", "gev-if-1", "GigE adapter 1 (10.0.0.10)", "10.0.0.0"},
        {"orv_gev_tl_rdma.cti", "rdma-if-0", "GigE RDMA adapter 0 (192.168.2.10)", "192.168.2.0"},
        {"orv_gev_brox_tl.cti", "brox-if-0", "GigE Brox adapter 0 (192.168.3.10)", "192.168.3.0"},
        {"orv_u3v_tl.cti", "u3v-if-0", "USB3 host controller 0", ""},
        {"orv_cl_tl.cti", "cl-port-1", "Camera Link port 1 (ttyS1)", ""},
        {"orv_clhs_tl.cti", "clhs-if-0", "Camera Link HS port 0", ""},
        {"coaxlink.cti", "cxp-if-0", "CoaXPress board 0", ""},
        {"other_vendor_tl.cti", "pci-if-0", "Frame grabber 0", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        ORV_SYSTEM_HANDLE system = openSystem(row.file);
        ORV_INTERFACE_INFO info{};
        ASSERT_EQ(OrvSystemInterfaceGetInfo(system, row.id, &info), 0);
        EXPECT_EQ(SIM_TEXT(info.id), row.id);
        EXPECT_EQ(SIM_TEXT(info.displayName), row.display);
        EXPECT_EQ(SIM_TEXT(info.subnet), row.subnet);
        EXPECT_EQ(OrvSystemInterfaceGetInfo(system, "no-such-if", &info), ORV_ERROR_NOT_AVAILABLE);
    }
    uint32_t n = 0;
    ORV_SYSTEM_HANDLE cl = openSystem("orv_cl_tl.cti");
    ASSERT_EQ(OrvSystemGetNumInterfaces(cl, &n), 0);
    EXPECT_EQ(n, 4u);
}

struct CameraRow {
    const char* file;
    const char* iface;
    const char* id;
    const char* vendor;
    const char* model;
    const char* type;
    int32_t status;
    const char* serial;
    const char* version;
    const char* subnet;
};

const CameraRow kCameras[] = {
    {"orv_gev_tl.cti", "gev-if-0", "GEV-G1-0001", "NORRIK-Ombrel", "SIM-G1280M", "GEV", 1, "0001", "3.2.1", "192.168.1.0"},
    {"orv_gev_tl.cti", "gev-if-0", "GEV-G2-0002", "NORRIK-Ombrel", "SIM-G1280C", "GEV", 1, "0002", "3.2.1", "192.168.1.0"},
    {"orv_gev_tl.cti", "gev-if-0", "GEV-G3-0003", "NORRIK-Ombrel", "SIM-G640M", "GEV", 2, "0003", "3.2.1", "192.168.1.0"},
    {"orv_gev_tl.cti", "gev-if-0", "GEV-G4-0004", "NORRIK-Ombrel", "SIM-G640M", "GEV", 3, "0004", "3.2.1", "192.168.1.0"},
    {"orv_gev_tl.cti", "gev-if-1", "GEV-G5-0005", "NORRIK-Ombrel", "SIM-G640M", "GEV", 3, "0005", "3.2.1", "169.254.0.0"},
    {"orv_gev_tl.cti", "gev-if-1", "GEV-G6-0006", "NORRIK-Ombrel", "SIM-G640M", "GEV", 4, "0006", "3.2.1", "10.0.0.0"},
    {"orv_gev_tl.cti", "gev-if-1", "GEV-G7-0007", "NORRIK-Ombrel", "SIM-G1024SEQ", "GEV", 1, "0007", "3.2.1", "10.0.0.0"},
    {"orv_gev_tl_rdma.cti", "rdma-if-0", "GEV-R1-0101", "NORRIK-Ombrel", "SIM-G1280M-R", "GEV", 1, "0101", "3.2.1", "192.168.2.0"},
    {"orv_gev_brox_tl.cti", "brox-if-0", "GEV-B1-0201", "NORRIK-Ombrel", "SIM-G640M", "GEV", 1, "0201", "3.2.1", "192.168.3.0"},
    {"orv_u3v_tl.cti", "u3v-if-0", "U3V-U1-0301", "NORRIK-Ombrel", "SIM-U1920M", "U3V", 1, "0301", "3.2.1", ""},
    {"orv_u3v_tl.cti", "u3v-if-0", "U3V-U2-0302", "Other Vendor Ltd", "SIM-U1280-16", "U3V", 1, "0302", "3.2.1", ""},
    {"orv_u3v_tl.cti", "u3v-if-0", "U3V-U3-0303", "NORRIK-Ombrel", "SIM-UIO", "U3V", 1, "0303", "3.2.1", ""},
    {"orv_cl_tl.cti", "cl-port-0", "CL-C1-0401", "NORRIK-Ombrel", "SIM-CL1024M", "CL", 1, "0401", "1.0.0", ""},
    {"orv_cl_tl.cti", "cl-port-2", "CL-C2-0402", "Ombrel", "SIM-CL1024M", "CL", 1, "0402", "2.3.0", ""},
    {"orv_cl_tl.cti", "cl-port-3", "CL-C3-0403", "NORRIK-Ombrel", "SIM-CL2048M", "CL", 1, "0403", "3.2.1", ""},
    {"orv_clhs_tl.cti", "clhs-if-0", "CLHS-H1-0501", "NORRIK-Ombrel", "SIM-HS2048M", "CLHS", 1, "0501", "3.2.1", ""},
    {"coaxlink.cti", "cxp-if-0", "CXP-X1-0601", "Other Vendor Ltd", "SIM-X2048M", "CXP", 1, "0601", "3.2.1", ""},
    {"other_vendor_tl.cti", "pci-if-0", "PCI-P1-0701", "Other Vendor Ltd", "SIM-P640M", "PCIx", 1, "0701", "3.2.1", ""},
};

TEST_F(Discovery, EveryCameraIsListedWithItsRecord)
{
    for (const CameraRow& row : kCameras) {
        SCOPED_TRACE(row.id);
        ORV_SYSTEM_HANDLE system = openSystem(row.file);
        // 1000 ms also covers the slowest Camera Link probe.
        ORV_INTERFACE_HANDLE iface = openInterface(system, row.iface, 1000);
        auto ids = deviceIds(iface);
        ASSERT_NE(std::find(ids.begin(), ids.end(), row.id), ids.end());
        ORV_DEVICE_INFO info{};
        ASSERT_EQ(OrvInterfaceDeviceGetInfo(iface, row.id, &info), 0);
        EXPECT_EQ(SIM_TEXT(info.id), row.id);
        EXPECT_EQ(SIM_TEXT(info.vendor), row.vendor);
        EXPECT_EQ(SIM_TEXT(info.model), row.model);
        EXPECT_EQ(SIM_TEXT(info.tlType), row.type);
        EXPECT_EQ(info.accessStatus, row.status);
        EXPECT_EQ(SIM_TEXT(info.serialNumber), row.serial);
        EXPECT_EQ(SIM_TEXT(info.version), row.version);
        EXPECT_EQ(SIM_TEXT(info.subnet), row.subnet);
        OrvSystemClose(system);
    }
}

TEST_F(Discovery, AccessModesFollowTheStatus)
{
    struct Row { const char* id; uint32_t mode; int expected; };
    const Row rows[] = {
        {"GEV-G1-0001", 2, 0}, {"GEV-G1-0001", 3, 0}, {"GEV-G1-0001", 4, 0},
        {"GEV-G3-0003", 2, 0}, {"GEV-G3-0003", 3, ORV_ERROR_BUSY}, {"GEV-G3-0003", 4, ORV_ERROR_BUSY},
        {"GEV-G4-0004", 2, ORV_ERROR_BUSY}, {"GEV-G4-0004", 3, ORV_ERROR_BUSY},
        {"GEV-G5-0005", 3, ORV_ERROR_BUSY}, {"GEV-G6-0006", 2, ORV_ERROR_BUSY},
        {"GEV-G1-0001", 1, ORV_ERROR_INVALID_ARGUMENT}, {"GEV-NONE-9999", 3, ORV_ERROR_NOT_AVAILABLE},
    };
    ORV_SYSTEM_HANDLE system = openSystem("orv_gev_tl.cti");
    ORV_INTERFACE_HANDLE if0 = openInterface(system, "gev-if-0");
    ORV_INTERFACE_HANDLE if1 = openInterface(system, "gev-if-1");
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.id) + " mode " + std::to_string(row.mode));
        ORV_INTERFACE_HANDLE iface = std::string(row.id) >= "GEV-G5" ? if1 : if0;
        ORV_DEVICE_HANDLE device = 0;
        ORV_REMOTE_DEVICE_HANDLE remote = 0;
        EXPECT_EQ(OrvInterfaceDeviceOpen(iface, row.id, row.mode, &device, &remote), row.expected);
        if (row.expected == 0) {
            // A camera held open through this library cannot be opened twice.
            ORV_DEVICE_HANDLE d2 = 0;
            ORV_REMOTE_DEVICE_HANDLE r2 = 0;
            EXPECT_EQ(OrvInterfaceDeviceOpen(iface, row.id, row.mode, &d2, &r2), ORV_ERROR_BUSY);
            EXPECT_EQ(OrvDeviceClose(device), 0);
        } else {
            EXPECT_EQ(device, 0u);
            EXPECT_EQ(remote, 0u);
        }
    }
}

TEST_F(Discovery, ACameraHeldThroughOneSystemIsNotAccessibleThroughAnother)
{
    TempFolder second;
    second.touch("orv_gev_tl.cti");
    OrvLibClose();
    std::string path = folder.path() + ";" + second.path();
    ASSERT_EQ(OrvLibInit(path.c_str(), "", "", ""), 0);
    uint32_t count = 0;
    ASSERT_EQ(OrvLibSystemGetCount(&count), 0);
    std::vector<ORV_SYSTEM_HANDLE> gige;
    for (uint32_t i = 0; i < count; ++i) {
        ORV_TL_INFO info{};
        ASSERT_EQ(OrvLibSystemGetInfo(i, &info), 0);
        if (SIM_TEXT(info.name) == "orv_gev_tl.cti") {
            ORV_SYSTEM_HANDLE s = 0;
            ASSERT_EQ(OrvLibSystemOpen(i, &s), 0);
            ASSERT_EQ(OrvSystemUpdateInterfaceList(s, nullptr, 1000), 0);
            gige.push_back(s);
        }
    }
    ASSERT_EQ(gige.size(), 2u);
    ORV_INTERFACE_HANDLE a = openInterface(gige[0], "gev-if-0");
    ORV_INTERFACE_HANDLE b = openInterface(gige[1], "gev-if-0");
    ORV_DEVICE_HANDLE device = 0;
    ORV_REMOTE_DEVICE_HANDLE remote = 0;
    ASSERT_EQ(OrvInterfaceDeviceOpen(a, "GEV-G1-0001", 3, &device, &remote), 0);
    ORV_DEVICE_INFO info{};
    ASSERT_EQ(OrvInterfaceDeviceGetInfo(a, "GEV-G1-0001", &info), 0);
    EXPECT_EQ(info.accessStatus, 1);
    ASSERT_EQ(OrvInterfaceDeviceGetInfo(b, "GEV-G1-0001", &info), 0);
    EXPECT_EQ(info.accessStatus, 3);
    OrvDeviceClose(device);
    ASSERT_EQ(OrvInterfaceDeviceGetInfo(b, "GEV-G1-0001", &info), 0);
    EXPECT_EQ(info.accessStatus, 1);
}

TEST_F(Discovery, CameraLinkPortsListOnlyWhatTheProbeFinds)
{
    ORV_SYSTEM_HANDLE system = openSystem("orv_cl_tl.cti");
    struct Row { const char* port; uint32_t timeoutMs; std::vector<std::string> found; };
    const Row rows[] = {
        {"cl-port-0", 300, {"CL-C1-0401"}}, {"cl-port-1", 300, {}}, {"cl-port-2", 300, {"CL-C2-0402"}},
        {"cl-port-3", 300, {}}, {"cl-port-3", 600, {"CL-C3-0403"}}, {"cl-port-0", 50, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.port) + " " + std::to_string(row.timeoutMs));
        ORV_INTERFACE_HANDLE iface = 0;
        ASSERT_EQ(OrvSystemInterfaceOpen(system, row.port, &iface), 0);
        auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(OrvInterfaceUpdateDeviceList(iface, nullptr, row.timeoutMs), 0);
        auto took = std::chrono::steady_clock::now() - start;
        EXPECT_LE(took, std::chrono::milliseconds(row.timeoutMs + 200));
        EXPECT_EQ(deviceIds(iface), row.found);
    }
}

TEST_F(Discovery, HotPlugIsSeenByTheNextListing)
{
    ORV_SYSTEM_HANDLE system = openSystem("orv_u3v_tl.cti");
    ORV_INTERFACE_HANDLE iface = openInterface(system, "u3v-if-0");
    EXPECT_EQ(deviceIds(iface), (std::vector<std::string>{"U3V-U1-0301", "U3V-U2-0302", "U3V-U3-0303"}));

    control("device.unplug U3V-U2-0302");
    bool changed = false;
    ASSERT_EQ(OrvInterfaceUpdateDeviceList(iface, &changed, 3000), 0);
    EXPECT_TRUE(changed);
    EXPECT_EQ(deviceIds(iface), (std::vector<std::string>{"U3V-U1-0301", "U3V-U3-0303"}));
    control("device.replug U3V-U2-0302");
    control("device.rename U3V-U1-0301 u3v-u1-0301");
    control("device.status U3V-U3-0303 3");
    ASSERT_EQ(OrvInterfaceUpdateDeviceList(iface, &changed, 3000), 0);
    EXPECT_EQ(deviceIds(iface), (std::vector<std::string>{"u3v-u1-0301", "U3V-U2-0302", "U3V-U3-0303"}));
    ORV_DEVICE_INFO info{};
    ASSERT_EQ(OrvInterfaceDeviceGetInfo(iface, "U3V-U3-0303", &info), 0);
    EXPECT_EQ(info.accessStatus, 3);
    // The device ID is matched ignoring case.
    ASSERT_EQ(OrvInterfaceDeviceGetInfo(iface, "U3V-U1-0301", &info), 0);
    EXPECT_EQ(SIM_TEXT(info.id), "u3v-u1-0301");

    // A slow answer is missed by a short listing only.
    control("device.latency U3V-U2-0302 500");
    ASSERT_EQ(OrvInterfaceUpdateDeviceList(iface, nullptr, 300), 0);
    EXPECT_EQ(deviceIds(iface).size(), 2u);
    ASSERT_EQ(OrvInterfaceUpdateDeviceList(iface, nullptr, 3000), 0);
    EXPECT_EQ(deviceIds(iface).size(), 3u);
}

TEST_F(Discovery, GigEAddressDecidesSubnetAndStatus)
{
    ORV_SYSTEM_HANDLE system = openSystem("orv_gev_tl.cti");
    ORV_INTERFACE_HANDLE iface = openInterface(system, "gev-if-1");
    ORV_DEVICE_INFO info{};
    ASSERT_EQ(OrvInterfaceDeviceGetInfo(iface, "GEV-G5-0005", &info), 0);
    EXPECT_EQ(info.accessStatus, 3);
    control("device.ip GEV-G5-0005 10.0.0.100 255.0.0.0");
    ASSERT_EQ(OrvInterfaceDeviceGetInfo(iface, "GEV-G5-0005", &info), 0);
    EXPECT_EQ(info.accessStatus, 1);
    EXPECT_EQ(SIM_TEXT(info.subnet), "10.0.0.0");
    EXPECT_EQ(SIM_TEXT(info.ipAddress), "10.0.0.100");
    control("device.subnet GEV-G5-0005 not-an-address");
    ASSERT_EQ(OrvInterfaceDeviceGetInfo(iface, "GEV-G5-0005", &info), 0);
    EXPECT_EQ(SIM_TEXT(info.subnet), "not-an-address");
}

TEST_F(Discovery, UnpluggedCameraFailsItsHandlesUntilReplugged)
{
    ORV_SYSTEM_HANDLE system = openSystem("orv_gev_tl.cti");
    ORV_INTERFACE_HANDLE iface = openInterface(system, "gev-if-0");
    ORV_DEVICE_HANDLE device = 0;
    ORV_REMOTE_DEVICE_HANDLE remote = 0;
    ASSERT_EQ(OrvInterfaceDeviceOpen(iface, "GEV-G2-0002", 3, &device, &remote), 0);
    control("device.unplug GEV-G2-0002");
    ORV_DEVICE_INFO info{};
    EXPECT_EQ(OrvDeviceGetInfo(device, &info), ORV_ERROR_IO);
    control("device.replug GEV-G2-0002");
    EXPECT_EQ(OrvDeviceGetInfo(device, &info), 0);
    control("device.unplug GEV-G2-0002");
    EXPECT_EQ(OrvDeviceClose(device), 0) << "a lost device still closes";
}
