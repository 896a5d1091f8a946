#include "ZelTrace.h"

#include "ZelSdkLoader.h"

#include <cstdio>
#include <cstring>

size_t ZelTraceFormat(char* buffer, size_t size, const char* format, va_list arguments)
{
    if (!buffer || size == 0)
        return 0;
    buffer[0] = '\0';
    if (!format)
        return 0;
    const int written = std::vsnprintf(buffer, size, format, arguments);
    if (written < 0) {
        buffer[0] = '\0';
        return 0;
    }
    return std::strlen(buffer);
}

int ZelTraceV(int32_t level, const char* format, va_list arguments)
{
    char buffer[ZEL_TRACE_MAX_LENGTH + 1];
    ZelTraceFormat(buffer, sizeof buffer, format, arguments);
    // The finished text goes through "%s": a '%' in it reaches the log as it
    // is and the logger reads no argument for it.
    return JotwellTraceA("Kalveen2", static_cast<uint32_t>(level), "%s", buffer);
}

int ZelTrace(int32_t level, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const int result = ZelTraceV(level, format, arguments);
    va_end(arguments);
    return result;
}
