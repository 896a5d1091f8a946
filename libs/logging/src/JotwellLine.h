#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

// Size of the buffer one line is formatted into, terminator included.
constexpr std::size_t kJotwellLineBufferSize = 8192;

// Tag of a level that is exactly one level bit, else null.
const char* jotwellLevelTag(uint32_t level);

// Formats one complete line ending in "\r\n" into `buffer` (`size` bytes,
// at least 4) and returns its length. A level that is one level bit gets the
// prefix "[module] time [TAG] ", or "\t time [TAG] " without module. The
// message is cut so that the line fits; a null `arguments` takes `format`
// as literal text.
std::size_t formatLogLine(char* buffer, std::size_t size, const char* module, uint32_t level,
                          const char* format, va_list* arguments);

// The same with the message's arguments given directly.
std::size_t formatLogLineF(char* buffer, std::size_t size, const char* module, uint32_t level,
                           const char* format, ...) __attribute__((format(printf, 5, 6)));
