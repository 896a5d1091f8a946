#include "Win32Error.h"

#include <cerrno>

namespace driversetup {

uint32_t win32ErrorFromErrno(int error)
{
    switch (error) {
    case 0:
        return kErrorSuccess;
    case ENOENT:
    case ENOTDIR:
        return kErrorFileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return kErrorAccessDenied;
    case ENOMEM:
        return kErrorOutOfMemory;
    case EINVAL:
        return kErrorInvalidParameter;
    case ENAMETOOLONG:
        return kErrorFilenameExcedRange;
    case ELOOP:
        return kErrorCantResolveFilename;
    default:
        return kErrorCantAccessFile;
    }
}

} // namespace driversetup
