#pragma once

#include <string>

// The system folders of the setup services. Each comes from its environment
// variable, so that tests point it into a temporary tree; otherwise from the
// system place.
namespace driversetup {

// Installed package descriptors, "oem<N>.inf" (NORRIK_INF_DIR).
std::string infDirectory();
// Driver store, one entry per installed package (NORRIK_DRIVER_STORE).
std::string driverStoreDirectory();
// udev rules folder (NORRIK_UDEV_RULES_DIR).
std::string udevRulesDirectory();
// USB devices in sysfs (NORRIK_USB_DEVICES_DIR).
std::string usbDevicesDirectory();
// The user's runtime folder (XDG_RUNTIME_DIR); empty when it is not set.
std::string runtimeDirectory();

} // namespace driversetup
