#include "UsbHubPortsEnum.h"

#include "SetupLog.h"
#include "SetupRoots.h"
#include "Utilities.h"
#include "VolatileRegistry.h"

#include <cstdio>

using namespace driversetup;

namespace {

// USB allows a root hub and five hubs below it on any path.
constexpr int kMaxHubTier = 6;

} // namespace

Usb3Availability UsbHubPortsEnum::Availability() const
{
    if (m_usb3Available)
        return Usb3Availability::Found;
    return m_walkFailed ? Usb3Availability::Unknown : Usb3Availability::None;
}

void UsbHubPortsEnum::EnumerateHostControllers()
{
    setupLog(0, "UsbHubPortsEnum::EnumerateHostControllers >>");
    std::vector<UsbRootHub> rootHubs;
    if (const uint32_t error = usbListRootHubs(rootHubs)) {
        setupLog(0, "UsbHubPortsEnum::EnumerateHostControllers %s unreadable! %d\n", usbDevicesDirectory().c_str(),
                 static_cast<int>(error));
        m_walkFailed = true;
    }
    for (size_t first = 0; first < rootHubs.size();) {
        size_t end = first;
        while (end < rootHubs.size() && rootHubs[end].controller == rootHubs[first].controller)
            ++end;
        setupLog(0, "Hosc Controller: %s\n", rootHubs[first].controller.c_str());
        EnumerateHostController({rootHubs.begin() + first, rootHubs.begin() + end});
        first = end;
    }
    setupLog(0, "UsbHubPortsEnum::EnumerateHostControllers <<");
}

void UsbHubPortsEnum::EnumerateHostController(const std::vector<UsbRootHub>& rootHubs)
{
    setupLog(0, "UsbHubPortsEnum::EnumerateHostController >>");
    for (const UsbRootHub& rootHub : rootHubs) {
        const std::string name = GetRootHubName(rootHub);
        setupLog(0, "Root Hub: %s\n", name.c_str());
        if (!name.empty())
            EnumerateHub(name, 1);
    }
    setupLog(0, "UsbHubPortsEnum::EnumerateHostController <<");
}

std::string UsbHubPortsEnum::GetRootHubName(const UsbRootHub& rootHub)
{
    setupLog(0, "UsbHubPortsEnum::GetRootHubName >>");
    if (rootHub.name.empty()) {
        setupLog(0, "UsbHubPortsEnum::EnumerateHostController GetRootHubName rootHubNameW == NULL\n");
        m_walkFailed = true;
    }
    setupLog(0, "UsbHubPortsEnum::GetRootHubName <<");
    return rootHub.name;
}

void UsbHubPortsEnum::EnumerateHub(const std::string& hubName, int tier)
{
    setupLog(0, "UsbHubPortsEnum::EnumerateHub >>");
    UsbHubInfo hub;
    if (tier > kMaxHubTier) {
        setupLog(0, "UsbHubPortsEnum::EnumerateHub %s lies deeper than USB allows\n", hubName.c_str());
        m_walkFailed = true;
    } else if (const uint32_t error = usbHubInfo(hubName, hub)) {
        setupLog(0, "UsbHubPortsEnum::EnumerateHub DeviceIoControl IOCTL_USB_GET_NODE_INFORMATION failed! %d\n",
                 static_cast<int>(error));
        m_walkFailed = true;
    } else {
        setupLog(0, "Number of ports: %d\n", hub.ports);
        EnumerateHubPorts(hubName, hub, tier);
    }
    setupLog(0, "UsbHubPortsEnum::EnumerateHub <<");
}

void UsbHubPortsEnum::EnumerateHubPorts(const std::string& hubName, const UsbHubInfo& hub, int tier)
{
    setupLog(0, "UsbHubPortsEnum::EnumerateHubPorts >>");
    for (int port = 1; port <= hub.ports; ++port) {
        std::printf("Port #%d\n", port);
        // A port counts by what it supports, whether or not a device is on it.
        if (hub.superSpeed) {
            setupLog(0, "UsbHubPortsEnum::EnumerateHubPorts USB 3.0 Found!!!\n");
            m_usb3Available = true;
        }
        UsbPortConnection connection;
        if (const uint32_t error = usbPortConnection(hubName, port, connection)) {
            setupLog(0,
                     "UsbHubPortsEnum::EnumerateHubPorts DeviceIoControl IOCTL_USB_GET_NODE_CONNECTION_INFORMATION "
                     "failed! %d\n",
                     static_cast<int>(error));
            m_walkFailed = true;
            continue;
        }
        if (connection.hub) {
            const std::string name = GetExternalHubName(connection);
            if (!name.empty())
                EnumerateHub(name, tier + 1);
        }
    }
    std::fflush(stdout);
    setupLog(0, "UsbHubPortsEnum::EnumerateHubPorts <<");
}

std::string UsbHubPortsEnum::GetExternalHubName(const UsbPortConnection& connection)
{
    setupLog(0, "UsbHubPortsEnum::GetExternalHubName >>");
    if (connection.deviceName.empty()) {
        setupLog(0, "UsbHubPortsEnum::GetExternalHubName extHubNameW == NULL!\n");
        m_walkFailed = true;
    }
    setupLog(0, "UsbHubPortsEnum::GetExternalHubName <<");
    return connection.deviceName;
}

Usb3Availability PreInstallCheckUsb3()
{
    setupLog(0, ">>> PreInstallCheckUsb3\n");
    UsbHubPortsEnum ports;
    ports.EnumerateHostControllers();
    setupLog(0, "UsbHubPortsEnum::IsUSB3Available >>");
    const Usb3Availability availability = ports.Availability();
    setupLog(0, "UsbHubPortsEnum::IsUSB3Available <<");
    if (availability == Usb3Availability::Unknown) {
        setupLog(0, "PreInstallCheckUsb3 IsUSB3Available = unknown\n");
        setupLog(0, "PreInstallCheckUsb3 the USB walk failed: no marker written\n");
    } else {
        setupLog(0, "PreInstallCheckUsb3 IsUSB3Available = %d\n", ports.IsUSB3Available() ? 1 : 0);
    }
    if (availability == Usb3Availability::None) {
        const uint32_t one = 1;
        if (!Utilities::RegistryKeySetVolatile("Software\\NorrikOmbrel", "USB3NotAvailable", kRegDword, &one,
                                               sizeof one))
            setupLog(0, "Utilities::RegistryKeySetVolatile result = %d\n",
                     static_cast<int>(Utilities::GetLastError()));
    }
    setupLog(0, "<<< PreInstallCheckUsb3\n");
    return availability;
}
