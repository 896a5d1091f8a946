#include "VolatileRegistry.h"

#include "SetupFiles.h"
#include "SetupRoots.h"
#include "Win32Error.h"

#include <cstring>
#include <sstream>

namespace driversetup {

uint32_t regCreateVolatileKey(const std::string& keyPath, std::string& keyFolder)
{
    keyFolder.clear();
    const std::string runtime = runtimeDirectory();
    if (runtime.empty())
        return kErrorBadEnvironment;
    std::string folder = runtime + "/registry/HKEY_CURRENT_USER";
    std::istringstream parts(keyPath);
    std::string part;
    bool any = false;
    while (std::getline(parts, part, '\\')) {
        if (part.empty())
            continue;
        if (!isPlainFileName(part))
            return kErrorInvalidName;
        folder += "/" + part;
        any = true;
    }
    if (!any)
        return kErrorInvalidName;
    if (const int error = makeFolders(folder))
        return win32ErrorFromErrno(error);
    keyFolder = folder;
    return kErrorSuccess;
}

uint32_t regSetValue(const std::string& keyFolder, const std::string& valueName, uint32_t type,
                     const void* data, size_t size)
{
    if (!isPlainFileName(valueName))
        return kErrorInvalidName;
    std::string content;
    if (type == kRegDword) {
        if (size != sizeof(uint32_t))
            return kErrorInvalidParameter;
        uint32_t value = 0;
        std::memcpy(&value, data, sizeof value);
        content = std::to_string(value) + "\n";
    } else {
        content.assign(static_cast<const char*>(data), size);
    }
    return win32ErrorFromErrno(writeFileAtomically(keyFolder + "/" + valueName, content));
}

} // namespace driversetup
