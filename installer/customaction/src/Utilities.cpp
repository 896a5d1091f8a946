#include "Utilities.h"

#include "DriverStore.h"
#include "SetupFiles.h"
#include "SetupLog.h"
#include "SetupRoots.h"
#include "VolatileRegistry.h"
#include "Win32Error.h"

#include <cerrno>
#include <unistd.h>

using namespace driversetup;

namespace Utilities {

namespace {

thread_local uint32_t lastError = 0;

} // namespace

uint32_t GetLastError()
{
    return lastError;
}

bool GetOemInfFilePathNamesList(std::vector<std::string>& list)
{
    list.clear();
    const std::string folder = infDirectory();
    std::vector<std::string> names;
    uint32_t error = listInstalledDescriptors(names);
    if (!error && names.empty())
        error = kErrorFileNotFound; // no match, as a file search reports it
    for (const std::string& name : names)
        list.push_back(folder + "/" + name);
    if (error && list.empty()) {
        setupLog(0, "Utilities::GetOemInfFilePathNamesList FindFirstFile failed %d", static_cast<int>(error));
        return false;
    }
    if (error) {
        setupLog(0, "Utilities::GetOemInfFilePathNamesList GetFindNextFile failed %d", static_cast<int>(error));
        return false;
    }
    return true;
}

bool GetCurrentModulePath(std::string& folder)
{
    folder.clear();
    std::string path(256, '\0');
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
        if (length < 0) {
            setupLog(0, " Utilities::GetCurrentModulePath GetModuleFileNameW failed with 0x%x",
                     win32ErrorFromErrno(errno));
            return false;
        }
        if (static_cast<size_t>(length) < path.size()) {
            path.resize(static_cast<size_t>(length));
            break;
        }
        path.resize(path.size() * 2);
    }
    if (path.find('/') == std::string::npos) {
        setupLog(0, " Utilities::GetCurrentModulePath PathRemoveFileSpec failed with 0x%x", kErrorInvalidName);
        return false;
    }
    folder = folderOf(path);
    return true;
}

bool RegistryKeySetVolatile(const std::string& keyPath, const std::string& valueName, uint32_t type,
                            const void* data, size_t size)
{
    std::string key;
    if (const uint32_t error = regCreateVolatileKey(keyPath, key)) {
        setupLog(0, "Utilities::RegistryKeySetVolatile RegCreateKeyEx failed! Error: %d", static_cast<int>(error));
        lastError = error;
        return false;
    }
    if (const uint32_t error = regSetValue(key, valueName, type, data, size)) {
        setupLog(0, "Utilities::RegistryKeySetVolatile RegSetValueEx failed! Error: %d", static_cast<int>(error));
        lastError = error;
        return false;
    }
    lastError = 0;
    return true;
}

} // namespace Utilities
