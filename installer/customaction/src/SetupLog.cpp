#include "SetupLog.h"

#include "Win32Error.h"

#include <cstdarg>
#include <cstdio>
#include <string>

using namespace driversetup;

namespace {

std::string formatted(const char* format, va_list arguments)
{
    va_list copy;
    va_copy(copy, arguments);
    const int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (size <= 0)
        return {};
    std::string text(static_cast<size_t>(size) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, arguments);
    text.resize(static_cast<size_t>(size));
    return text;
}

} // namespace

void setupLog(int /*level*/, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const std::string message = formatted(format, arguments);
    va_end(arguments);

    // Every message ends its line in the file, so none runs into the next.
    const bool endsLine = !message.empty() && message.back() == '\n';
    if (FILE* file = std::fopen("NorrikOmbrelSetup.log", "a+")) {
        std::fwrite(message.data(), 1, message.size(), file);
        if (!endsLine)
            std::fputc('\n', file);
        std::fclose(file);
    }

    std::string debug = "NorrikOmbrelSetup: " + message;
    while (!debug.empty() && debug.back() == '\n')
        debug.pop_back();
    debug += '\n';
    std::fwrite(debug.data(), 1, debug.size(), stderr);
}

const char* win32ErrorName(uint32_t code)
{
    switch (code) {
    case kErrorFileNotFound:
        return "ERROR_FILE_NOT_FOUND\n";
    case kErrorAccessDenied:
        return "ERROR_ACCESS_DENIED\n";
    case kErrorBadEnvironment:
        return "ERROR_BAD_ENVIRONMENT\n";
    case kErrorOutOfMemory:
        return "ERROR_OUTOFMEMORY\n";
    case kErrorInvalidParameter:
        return "ERROR_INVALID_PARAMETER\n";
    case kErrorInsufficientBuffer:
        return "ERROR_INSUFFICIENT_BUFFER\n";
    case kErrorInvalidName:
        return "ERROR_INVALID_NAME\n";
    case kErrorFilenameExcedRange:
        return "ERROR_FILENAME_EXCED_RANGE\n";
    case kErrorUnsupportedType:
        return "ERROR_UNSUPPORTED_TYPE\n";
    case kErrorCantAccessFile:
        return "ERROR_CANT_ACCESS_FILE\n";
    case kCryptEFileError:
        return "CRYPT_E_FILE_ERROR\n";
    default:
        return "<Unknown Error>\n";
    }
}

void logWin32ErrorName(uint32_t code)
{
    setupLog(0, "%s", win32ErrorName(code));
}
