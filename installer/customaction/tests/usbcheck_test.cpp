#include "TollimarTestSupport.h"
#include "UsbHubPortsEnum.h"

#include <gtest/gtest.h>

#include <functional>

using namespace tollimartest;

namespace {

struct UsbCase {
    const char* name;
    std::function<void(TollimarTree&, UsbFixture&)> build;
    Usb3Availability expected;
    const char* logged;
};

std::string availabilityName(Usb3Availability availability)
{
    switch (availability) {
    case Usb3Availability::Found:
        return "found";
    case Usb3Availability::None:
        return "none";
    case Usb3Availability::Unknown:
        return "unknown";
    }
    return "?";
}

} // namespace

TEST(TollimarUsbCheck, OutcomesAndMarker)
{
    const UsbCase cases[] = {
        {"USB 3 root hub beside a USB 2 one",
         [](TollimarTree&, UsbFixture& usb) {
             usb.rootHub("0000:00:14.0", 1, "480", " 2.00", 4);
             usb.rootHub("0000:00:14.0", 2, "5000", " 3.00", 2);
         },
         Usb3Availability::Found, "UsbHubPortsEnum::EnumerateHubPorts USB 3.0 Found!!!\n"},
        {"USB 3.1 root hub known by its version only",
         [](TollimarTree& tree, UsbFixture& usb) {
             usb.rootHub("0000:00:14.0", 3, "10000", " 3.10", 1);
             ::unlink((usb.folderOf("usb3") + "/speed").c_str());
             (void)tree;
         },
         Usb3Availability::Found, "PreInstallCheckUsb3 IsUSB3Available = 1\n"},
        {"only USB 2, with a USB 2 hub and a device",
         [](TollimarTree&, UsbFixture& usb) {
             usb.rootHub("0000:00:1d.0", 1, "480", " 2.00", 2);
             usb.hub("1-1", "usb1", "480", " 2.00", 4);
             usb.device("1-1.2", "1-1", "00");
             usb.rootHub("0000:00:1a.0", 2, "12", " 1.10", 2);
         },
         Usb3Availability::None, "PreInstallCheckUsb3 IsUSB3Available = 0\n"},
        {"USB 3 only behind an external hub",
         [](TollimarTree&, UsbFixture& usb) {
             usb.rootHub("0000:00:1d.0", 1, "480", " 2.00", 2);
             usb.hub("1-2", "usb1", "480", " 2.10", 4);
             usb.hub("1-2.4", "1-2", "5000", " 3.00", 4);
         },
         Usb3Availability::Found, "UsbHubPortsEnum::EnumerateHubPorts USB 3.0 Found!!!\n"},
        {"a camera on a port is not walked as a hub",
         [](TollimarTree&, UsbFixture& usb) {
             usb.rootHub("0000:00:1d.0", 1, "480", " 2.00", 1);
             usb.device("1-1", "usb1", "ef");
         },
         Usb3Availability::None, "Number of ports: 1\n"},
        {"no USB controller at all",
         [](TollimarTree&, UsbFixture&) {},
         Usb3Availability::None, "PreInstallCheckUsb3 IsUSB3Available = 0\n"},
        {"no usb folder",
         [](TollimarTree& tree, UsbFixture&) { tree.setVariable("NORRIK_USB_DEVICES_DIR", tree.root() + "/sys/bus/usb-none"); },
         Usb3Availability::Unknown, "UsbHubPortsEnum::EnumerateHostControllers "},
        {"unreadable hub",
         [](TollimarTree&, UsbFixture& usb) {
             usb.rootHub("0000:00:1d.0", 1, "480", " 2.00", 2);
             usb.hub("1-1", "usb1", "480", " 2.00", 4);
             ::unlink((usb.folderOf("1-1") + "/maxchild").c_str());
         },
         Usb3Availability::Unknown,
         "UsbHubPortsEnum::EnumerateHub DeviceIoControl IOCTL_USB_GET_NODE_INFORMATION failed! 2\n"},
        {"unreadable port",
         [](TollimarTree&, UsbFixture& usb) {
             usb.rootHub("0000:00:1d.0", 1, "480", " 2.00", 2);
             usb.device("1-2", "usb1", "00");
             ::unlink((usb.folderOf("1-2") + "/bDeviceClass").c_str());
         },
         Usb3Availability::Unknown,
         "UsbHubPortsEnum::EnumerateHubPorts DeviceIoControl IOCTL_USB_GET_NODE_CONNECTION_INFORMATION failed! 2\n"},
        {"dangling root hub link",
         [](TollimarTree& tree, UsbFixture&) {
             ASSERT_EQ(::symlink("/nonexistent/usb1", (tree.usbDevicesDir() + "/usb1").c_str()), 0);
         },
         Usb3Availability::Unknown, "unreadable! 2\n"},
        {"USB 3 found though another hub failed",
         [](TollimarTree&, UsbFixture& usb) {
             usb.rootHub("0000:00:14.0", 1, "480", " 2.00", 2);
             usb.hub("1-1", "usb1", "480", " 2.00", 4);
             ::unlink((usb.folderOf("1-1") + "/maxchild").c_str());
             usb.rootHub("0000:00:14.0", 2, "5000", " 3.00", 2);
         },
         Usb3Availability::Found, "PreInstallCheckUsb3 IsUSB3Available = 1\n"},
    };
    for (const UsbCase& c : cases) {
        SCOPED_TRACE(c.name);
        TollimarTree tree;
        UsbFixture usb(tree);
        c.build(tree, usb);
        Usb3Availability availability = Usb3Availability::Unknown;
        testing::internal::CaptureStdout();
        {
            WorkingFolder folder(tree.workDir());
            availability = PreInstallCheckUsb3();
        }
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(availabilityName(availability), availabilityName(c.expected));
        const std::string log = tree.log();
        EXPECT_NE(log.find(c.logged), std::string::npos) << log;
        if (c.expected == Usb3Availability::None)
            EXPECT_EQ(readText(tree.markerPath()), "1\n");
        else
            EXPECT_FALSE(exists(tree.markerPath()));
        EXPECT_EQ(countOf(log, "PreInstallCheckUsb3 IsUSB3Available = unknown\n"),
                  c.expected == Usb3Availability::Unknown ? 1u : 0u);
    }
}

TEST(TollimarUsbCheck, WalkLogsControllersHubsAndPorts)
{
    TollimarTree tree;
    UsbFixture usb(tree);
    usb.rootHub("0000:00:1d.0", 1, "480", " 2.00", 2);
    usb.hub("1-2", "usb1", "480", " 2.10", 2);
    const RunResult result = tree.tollimar("-checkUsb30");
    EXPECT_EQ(result.exitCode, 0);
    const std::vector<std::string> lines = linesOf(tree.log());
    const std::string controller = tree.root() + "/sys/devices/pci0000:00/0000:00:1d.0";
    const std::vector<std::string> expected = {
        "_tWinMain: -checkUsb30",
        ">>> PreInstallCheckUsb3",
        "UsbHubPortsEnum::EnumerateHostControllers >>",
        "Hosc Controller: " + controller,
        "UsbHubPortsEnum::EnumerateHostController >>",
        "UsbHubPortsEnum::GetRootHubName >>",
        "UsbHubPortsEnum::GetRootHubName <<",
        "Root Hub: usb1",
        "UsbHubPortsEnum::EnumerateHub >>",
        "Number of ports: 2",
        "UsbHubPortsEnum::EnumerateHubPorts >>",
        "UsbHubPortsEnum::GetExternalHubName >>",
        "UsbHubPortsEnum::GetExternalHubName <<",
        "UsbHubPortsEnum::EnumerateHub >>",
        "Number of ports: 2",
        "UsbHubPortsEnum::EnumerateHubPorts >>",
        "UsbHubPortsEnum::EnumerateHubPorts <<",
        "UsbHubPortsEnum::EnumerateHub <<",
        "UsbHubPortsEnum::EnumerateHubPorts <<",
        "UsbHubPortsEnum::EnumerateHub <<",
        "UsbHubPortsEnum::EnumerateHostController <<",
        "UsbHubPortsEnum::EnumerateHostControllers <<",
        "UsbHubPortsEnum::IsUSB3Available >>",
        "UsbHubPortsEnum::IsUSB3Available <<",
        "PreInstallCheckUsb3 IsUSB3Available = 0",
        "<<< PreInstallCheckUsb3",
        "<<< _tWinMain",
    };
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.end()), expected);
    EXPECT_EQ(result.out, "Port #1\nPort #2\nPort #1\nPort #2\n");
    EXPECT_EQ(readText(tree.markerPath()), "1\n");
}

TEST(TollimarUsbCheck, MarkerThatCannotBeWrittenIsLogged)
{
    TollimarTree tree;
    tree.setVariable("XDG_RUNTIME_DIR", std::nullopt);
    {
        WorkingFolder folder(tree.workDir());
        EXPECT_EQ(PreInstallCheckUsb3(), Usb3Availability::None);
    }
    const std::string log = tree.log();
    EXPECT_NE(log.find("Utilities::RegistryKeySetVolatile RegCreateKeyEx failed! Error: 10\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Utilities::RegistryKeySetVolatile result = 10\n"), std::string::npos);
}

TEST(TollimarUsbCheck, HubsDeeperThanUsbAllowsEndTheWalk)
{
    TollimarTree tree;
    UsbFixture usb(tree);
    usb.rootHub("0000:00:1d.0", 1, "480", " 2.00", 1);
    std::string parent = "usb1";
    std::string name = "1-1";
    for (int tier = 2; tier <= 8; ++tier) {
        usb.hub(name, parent, "480", " 2.00", 1);
        parent = name;
        name += ".1";
    }
    {
        WorkingFolder folder(tree.workDir());
        testing::internal::CaptureStdout();
        EXPECT_EQ(PreInstallCheckUsb3(), Usb3Availability::Unknown);
        testing::internal::GetCapturedStdout();
    }
    EXPECT_NE(tree.log().find("UsbHubPortsEnum::EnumerateHub 1-1.1.1.1.1.1 lies deeper than USB allows\n"),
              std::string::npos)
        << tree.log();
}
