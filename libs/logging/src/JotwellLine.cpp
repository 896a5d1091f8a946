#include "JotwellLine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

// Length of `text` cut back so that it does not end inside a UTF-8 sequence.
std::size_t utf8CutLength(const char* text, std::size_t length)
{
    if (length == 0)
        return 0;
    std::size_t start = length - 1;
    while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80
           && length - start < 4)
        --start;
    const unsigned char lead = static_cast<unsigned char>(text[start]);
    std::size_t needed = 1;
    if (lead >= 0xF0)
        needed = 4;
    else if (lead >= 0xE0)
        needed = 3;
    else if (lead >= 0xC0)
        needed = 2;
    return length - start < needed ? start : length;
}

// The local time as "%Y-%m-%d.%X", formatted again only when the second
// changes: the time zone conversion takes a process-wide lock.
const char* timeStamp()
{
    thread_local std::time_t last = -1;
    thread_local char stamp[64];
    const std::time_t now = std::time(nullptr);
    if (now != last) {
        std::tm local{};
        localtime_r(&now, &local);
        if (std::strftime(stamp, sizeof stamp, "%Y-%m-%d.%X", &local) == 0)
            stamp[0] = '\0';
        last = now;
    }
    return stamp;
}

} // namespace

const char* jotwellLevelTag(uint32_t level)
{
    switch (level) {
    case 0x1: return "CRITICAL";
    case 0x2: return "ERROR";
    case 0x4: return "WARNING";
    case 0x8: return "INFO";
    case 0x10: return "CAMERA";
    case 0x20: return "DEBUG";
    case 0x10000000: return "RESERVED";
    default: return nullptr;
    }
}

std::size_t formatLogLine(char* buffer, std::size_t size, const char* module, uint32_t level,
                          const char* format, va_list* arguments)
{
    // Room for the line without "\r\n" and the terminator.
    const std::size_t limit = size - 3;
    std::size_t length = 0;

    if (const char* tag = jotwellLevelTag(level)) {
        const char* stamp = timeStamp();
        const int n = module ? std::snprintf(buffer, limit + 1, "[%s] %s [%s] ", module, stamp, tag)
                             : std::snprintf(buffer, limit + 1, "\t %s [%s] ", stamp, tag);
        if (n > 0)
            length = std::min(static_cast<std::size_t>(n), limit);
    }

    if (length < limit && format) {
        const std::size_t room = limit - length;
        int n;
        if (arguments) {
            va_list copy;
            va_copy(copy, *arguments);
            n = std::vsnprintf(buffer + length, room + 1, format, copy);
            va_end(copy);
        } else {
            n = std::snprintf(buffer + length, room + 1, "%s", format);
        }
        if (n > 0) {
            std::size_t message = static_cast<std::size_t>(n);
            if (message > room)
                message = utf8CutLength(buffer + length, room);
            length += message;
        }
    }

    buffer[length++] = '\r';
    buffer[length++] = '\n';
    buffer[length] = '\0';
    return length;
}

std::size_t formatLogLineF(char* buffer, std::size_t size, const char* module, uint32_t level,
                           const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const std::size_t length = formatLogLine(buffer, size, module, level, format, &arguments);
    va_end(arguments);
    return length;
}
