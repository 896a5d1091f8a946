#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The USB host controllers, hubs and ports as sysfs shows them under the USB
// devices folder: root hubs "usb<bus>", devices "<bus>-<port>[.<port>...]".
// Every call returns 0 or the error code of the failed read.
namespace driversetup {

struct UsbRootHub {
    std::string controller; // the host controller's folder
    std::string name; // "usb<bus>"
};

struct UsbHubInfo {
    int ports = 0;
    // The hub runs at 5000 Mbit/s or more, or speaks USB 3.00 or later: its
    // ports support USB 3.0.
    bool superSpeed = false;
};

struct UsbPortConnection {
    bool connected = false;
    bool hub = false; // the device on the port is a hub
    std::string deviceName; // "<bus>-<port>..." when connected
};

// The root hubs, grouped by controller, in bus order.
uint32_t usbListRootHubs(std::vector<UsbRootHub>& hubs);
uint32_t usbHubInfo(const std::string& hubName, UsbHubInfo& info);
uint32_t usbPortConnection(const std::string& hubName, int port, UsbPortConnection& connection);

} // namespace driversetup
