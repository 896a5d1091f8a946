#pragma once

#include "UsbSysfs.h"

#include <string>
#include <vector>

enum class Usb3Availability { Found, None, Unknown };

// Walks every USB host controller, its root hubs, their ports and the hubs
// behind them, and notes whether a port supports USB 3.0.
class UsbHubPortsEnum {
public:
    void EnumerateHostControllers();
    bool IsUSB3Available() const { return m_usb3Available; }
    // Found as soon as one port supports USB 3.0; otherwise Unknown when a
    // part of the walk failed, None when the whole tree was seen.
    Usb3Availability Availability() const;

private:
    void EnumerateHostController(const std::vector<driversetup::UsbRootHub>& rootHubs);
    std::string GetRootHubName(const driversetup::UsbRootHub& rootHub);
    void EnumerateHub(const std::string& hubName, int tier);
    void EnumerateHubPorts(const std::string& hubName, const driversetup::UsbHubInfo& hub, int tier);
    std::string GetExternalHubName(const driversetup::UsbPortConnection& connection);

    bool m_usb3Available = false;
    bool m_walkFailed = false;
};

// The check of the "-checkUsb30" command: when no port supports USB 3.0 the
// volatile value "USB3NotAvailable" = 1 is written; when the walk failed
// nothing is written.
Usb3Availability PreInstallCheckUsb3();
