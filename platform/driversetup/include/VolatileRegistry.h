#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The current user's volatile registry: keys are folders and values files
// under "<runtime folder>/registry/HKEY_CURRENT_USER", so they go when the
// user's session ends, as volatile keys do.
namespace driversetup {

constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

// Creates or opens the key ("Software\Vendor"); 0 or the error code
// (kErrorBadEnvironment without a runtime folder, kErrorInvalidName for an
// empty key or a "." or ".." part).
uint32_t regCreateVolatileKey(const std::string& keyPath, std::string& keyFolder);

// Writes the value atomically: a DWORD as its decimal text and a line end,
// anything else as the bytes given. 0 or the error code.
uint32_t regSetValue(const std::string& keyFolder, const std::string& valueName, uint32_t type,
                     const void* data, size_t size);

} // namespace driversetup
