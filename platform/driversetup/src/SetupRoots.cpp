#include "SetupRoots.h"

#include <cstdlib>

namespace driversetup {

namespace {

std::string fromEnvironment(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

} // namespace

std::string infDirectory()
{
    return fromEnvironment("NORRIK_INF_DIR", "/var/lib/norrik-ombrel/inf");
}

std::string driverStoreDirectory()
{
    return fromEnvironment("NORRIK_DRIVER_STORE", "/var/lib/norrik-ombrel/driverstore");
}

std::string udevRulesDirectory()
{
    return fromEnvironment("NORRIK_UDEV_RULES_DIR", "/etc/udev/rules.d");
}

std::string usbDevicesDirectory()
{
    return fromEnvironment("NORRIK_USB_DEVICES_DIR", "/sys/bus/usb/devices");
}

std::string runtimeDirectory()
{
    return fromEnvironment("XDG_RUNTIME_DIR", "");
}

} // namespace driversetup
