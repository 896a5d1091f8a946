#ifndef ZELTRACE_H
#define ZELTRACE_H

#include <cstdarg>
#include <cstddef>
#include <cstdint>

// Levels of the viewer's trace lines.
constexpr int32_t ZEL_TRACE_ERROR = 2;
constexpr int32_t ZEL_TRACE_INFO = 8;
constexpr int32_t ZEL_TRACE_DEBUG = 0x20;

// Longest finished trace text; longer texts are cut.
constexpr size_t ZEL_TRACE_MAX_LENGTH = 8191;

// Formats one trace line (printf rules) and hands the finished text to the
// SDK logger under the module name "Kalveen2". By convention the first
// argument is the calling function, "Class::method". Returns the logger's
// result, or -1003 while the SDK is not initialised. Callable from any thread.
int ZelTrace(int32_t level, const char* format, ...) __attribute__((format(printf, 2, 3)));
int ZelTraceV(int32_t level, const char* format, va_list arguments) __attribute__((format(printf, 2, 0)));

// The formatting step: writes at most size - 1 characters and a terminator
// into buffer; returns the number of characters written.
size_t ZelTraceFormat(char* buffer, size_t size, const char* format, va_list arguments)
    __attribute__((format(printf, 3, 0)));

#endif // ZELTRACE_H
