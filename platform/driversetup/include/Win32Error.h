#pragma once

#include <cstdint>

// Error codes of the setup services, as the installer action logs them.
namespace driversetup {

constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorBadEnvironment = 10;
constexpr uint32_t kErrorOutOfMemory = 14;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorInsufficientBuffer = 122;
constexpr uint32_t kErrorInvalidName = 123;
constexpr uint32_t kErrorFilenameExcedRange = 206;
constexpr uint32_t kErrorUnsupportedType = 1630;
constexpr uint32_t kErrorCantAccessFile = 1920;
constexpr uint32_t kErrorCantResolveFilename = 1921;
constexpr uint32_t kCryptEFileError = 0x80092003u;
constexpr uint32_t kErrorDriverPackageNotInStore = 0xE0000302u;

// The code for a failed system call's errno.
uint32_t win32ErrorFromErrno(int error);

} // namespace driversetup
