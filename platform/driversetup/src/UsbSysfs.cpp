#include "UsbSysfs.h"

#include "SetupFiles.h"
#include "SetupRoots.h"
#include "Win32Error.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>

namespace driversetup {

namespace {

// A sysfs attribute of a device as text without its line end.
int readAttribute(const std::string& device, const char* attribute, std::string& value)
{
    const int error = readWholeFile(usbDevicesDirectory() + "/" + device + "/" + attribute, value);
    if (!error) {
        const size_t begin = value.find_first_not_of(" \t\n");
        const size_t end = value.find_last_not_of(" \t\n");
        value = begin == std::string::npos ? std::string() : value.substr(begin, end - begin + 1);
    }
    return error;
}

bool parseNumber(const std::string& text, double& number)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    number = std::strtod(text.c_str(), &end);
    return end && *end == '\0';
}

bool busOfRootHub(const std::string& name, long& bus)
{
    if (name.size() <= 3 || name.compare(0, 3, "usb") != 0)
        return false;
    char* end = nullptr;
    bus = std::strtol(name.c_str() + 3, &end, 10);
    return *end == '\0' && bus > 0;
}

} // namespace

uint32_t usbListRootHubs(std::vector<UsbRootHub>& hubs)
{
    hubs.clear();
    const std::string devices = usbDevicesDirectory();
    DIR* dir = ::opendir(devices.c_str());
    if (!dir)
        return win32ErrorFromErrno(errno);
    std::vector<std::pair<long, UsbRootHub>> found;
    int error = 0;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        long bus = 0;
        const std::string name = entry->d_name;
        if (busOfRootHub(name, bus)) {
            // The root hub's folder lies inside its host controller's.
            char* real = ::realpath((devices + "/" + name).c_str(), nullptr);
            if (!real) {
                error = errno;
                break;
            }
            found.push_back({bus, {folderOf(real), name}});
            std::free(real);
        }
        errno = 0;
    }
    if (!error)
        error = errno;
    ::closedir(dir);
    if (error)
        return win32ErrorFromErrno(error);
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return a.second.controller != b.second.controller ? a.second.controller < b.second.controller
                                                          : a.first < b.first;
    });
    for (auto& hub : found)
        hubs.push_back(hub.second);
    return kErrorSuccess;
}

uint32_t usbHubInfo(const std::string& hubName, UsbHubInfo& info)
{
    info = {};
    std::string text;
    if (const int error = readAttribute(hubName, "maxchild", text))
        return win32ErrorFromErrno(error);
    // The range test comes first and fails for NaN, so only a number that
    // fits is converted.
    double ports = 0;
    if (!parseNumber(text, ports) || !(ports >= 0 && ports <= 255) || ports != std::trunc(ports))
        return kErrorInvalidParameter;
    info.ports = static_cast<int>(ports);

    std::string speed;
    std::string version;
    const int speedError = readAttribute(hubName, "speed", speed);
    const int versionError = readAttribute(hubName, "version", version);
    if (speedError && versionError)
        return win32ErrorFromErrno(speedError);
    double number = 0;
    info.superSpeed = (!speedError && parseNumber(speed, number) && number >= 5000)
        || (!versionError && parseNumber(version, number) && number >= 3.0);
    return kErrorSuccess;
}

uint32_t usbPortConnection(const std::string& hubName, int port, UsbPortConnection& connection)
{
    connection = {};
    long bus = 0;
    const std::string device = busOfRootHub(hubName, bus)
        ? std::to_string(bus) + "-" + std::to_string(port)
        : hubName + "." + std::to_string(port);
    struct stat status;
    if (::stat((usbDevicesDirectory() + "/" + device).c_str(), &status) != 0)
        return errno == ENOENT ? kErrorSuccess : win32ErrorFromErrno(errno);
    connection.connected = true;
    connection.deviceName = device;
    std::string deviceClass;
    if (const int error = readAttribute(device, "bDeviceClass", deviceClass))
        return win32ErrorFromErrno(error);
    connection.hub = deviceClass == "09";
    return kErrorSuccess;
}

} // namespace driversetup
