#include "SetupTestTree.h"
#include "UsbSysfs.h"
#include "VolatileRegistry.h"
#include "Win32Error.h"

#include <gtest/gtest.h>

using namespace driversetup;
using namespace setuptest;

TEST(VolatileRegistry, DwordValueIsAFileUnderTheRuntimeFolder)
{
    SetupTestTree tree;
    std::string key;
    ASSERT_EQ(regCreateVolatileKey("Software\\NorrikOmbrel", key), kErrorSuccess);
    EXPECT_EQ(key, tree.runtimeDir() + "/registry/HKEY_CURRENT_USER/Software/NorrikOmbrel");
    const uint32_t one = 1;
    ASSERT_EQ(regSetValue(key, "USB3NotAvailable", kRegDword, &one, sizeof one), kErrorSuccess);
    EXPECT_EQ(readText(key + "/USB3NotAvailable"), "1\n");
    EXPECT_EQ(regSetValue(key, "USB3NotAvailable", kRegDword, &one, 2), kErrorInvalidParameter);
    EXPECT_EQ(regSetValue(key, "../escape", kRegDword, &one, sizeof one), kErrorInvalidName);
}

TEST(VolatileRegistry, KeyFailures)
{
    SetupTestTree tree;
    std::string key;
    EXPECT_EQ(regCreateVolatileKey("Software\\..\\..\\x", key), kErrorInvalidName);
    EXPECT_EQ(regCreateVolatileKey("\\", key), kErrorInvalidName);
    EXPECT_TRUE(key.empty());
    writeText(tree.runtimeDir() + "/registry", "a file where the tree should be");
    EXPECT_EQ(regCreateVolatileKey("Software\\NorrikOmbrel", key), kErrorFileNotFound);
    tree.setVariable("XDG_RUNTIME_DIR", std::nullopt);
    EXPECT_EQ(regCreateVolatileKey("Software\\NorrikOmbrel", key), kErrorBadEnvironment);
}

TEST(UsbSysfs, HubSpeedVersionPortsAndConnections)
{
    SetupTestTree tree;
    const std::string devices = tree.usbDevicesDir();
    auto device = [&](const std::string& name, std::map<std::string, std::string> attributes) {
        makeFolder(devices + "/" + name);
        for (const auto& [attribute, value] : attributes)
            writeText(devices + "/" + name + "/" + attribute, value + "\n");
    };
    device("usb1", {{"maxchild", "2"}, {"speed", "480"}, {"version", " 2.00"}});
    device("usb2", {{"maxchild", "4"}, {"speed", "5000"}, {"version", " 3.00"}});
    device("usb3", {{"maxchild", "1"}, {"version", " 3.10"}});
    device("usb4", {{"maxchild", "1"}, {"speed", "12"}});
    device("usb5", {{"speed", "480"}});
    device("1-1", {{"bDeviceClass", "09"}, {"maxchild", "4"}, {"speed", "480"}});
    device("1-1.3", {{"bDeviceClass", "ef"}});
    device("1-2", {});

    std::vector<UsbRootHub> roots;
    ASSERT_EQ(usbListRootHubs(roots), kErrorSuccess);
    ASSERT_EQ(roots.size(), 5u);
    EXPECT_EQ(roots[0].name, "usb1");
    EXPECT_EQ(roots[4].name, "usb5");
    EXPECT_EQ(roots[0].controller, devices);

    struct HubCase {
        const char* name;
        uint32_t code;
        int ports;
        bool superSpeed;
    };
    for (const HubCase& c : {HubCase{"usb1", kErrorSuccess, 2, false}, HubCase{"usb2", kErrorSuccess, 4, true},
                             HubCase{"usb3", kErrorSuccess, 1, true}, HubCase{"usb4", kErrorSuccess, 1, false},
                             HubCase{"usb5", kErrorFileNotFound, 0, false}, HubCase{"1-1", kErrorSuccess, 4, false}}) {
        UsbHubInfo info;
        EXPECT_EQ(usbHubInfo(c.name, info), c.code) << c.name;
        EXPECT_EQ(info.ports, c.ports) << c.name;
        EXPECT_EQ(info.superSpeed, c.superSpeed) << c.name;
    }
    // A port count that is no whole number from 0 to 255 is refused.
    int n = 0;
    for (const char* ports : {"nan", "-nan", "inf", "-1", "2.5", "256", "1e9", "x", "", "4 ports"}) {
        const std::string hub = "3-" + std::to_string(++n);
        device(hub, {{"maxchild", ports}, {"speed", "5000"}});
        UsbHubInfo info;
        info.ports = 7;
        EXPECT_EQ(usbHubInfo(hub, info), kErrorInvalidParameter) << ports;
        EXPECT_EQ(info.ports, 0) << ports;
    }

    UsbPortConnection connection;
    EXPECT_EQ(usbPortConnection("usb1", 1, connection), kErrorSuccess);
    EXPECT_TRUE(connection.hub);
    EXPECT_EQ(connection.deviceName, "1-1");
    EXPECT_EQ(usbPortConnection("1-1", 3, connection), kErrorSuccess);
    EXPECT_TRUE(connection.connected);
    EXPECT_FALSE(connection.hub);
    EXPECT_EQ(connection.deviceName, "1-1.3");
    EXPECT_EQ(usbPortConnection("1-1", 4, connection), kErrorSuccess);
    EXPECT_FALSE(connection.connected);
    EXPECT_EQ(usbPortConnection("usb1", 2, connection), kErrorFileNotFound); // no device class
}

TEST(UsbSysfs, MissingDevicesFolderIsAnError)
{
    SetupTestTree tree;
    tree.setVariable("NORRIK_USB_DEVICES_DIR", tree.root() + "/sys/bus/none/devices");
    std::vector<UsbRootHub> roots;
    EXPECT_EQ(usbListRootHubs(roots), kErrorFileNotFound);
}
