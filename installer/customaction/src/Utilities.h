#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Utilities {

// Full paths of the installed package descriptors ("oem*.inf"), in name order.
bool GetOemInfFilePathNamesList(std::vector<std::string>& list);
// The folder of the running program.
bool GetCurrentModulePath(std::string& folder);
// Creates or opens the current user's volatile key and sets the value.
// False, with GetLastError telling why, when either step fails.
bool RegistryKeySetVolatile(const std::string& keyPath, const std::string& valueName, uint32_t type,
                            const void* data, size_t size);
uint32_t GetLastError();

} // namespace Utilities
