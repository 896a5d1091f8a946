/* Jotwell: process-wide trace logging with module level masks, one writer
 * thread, and output to standard error ("debugger") and a log file.
 * Plain C interface; bool is one byte. */
#ifndef JOTWELL_H
#define JOTWELL_H

#include <stdarg.h>
#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#if defined(JOTWELL_BUILDING)
#define JOTWELL_API __attribute__((visibility("default")))
#else
#define JOTWELL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Level bits. A line whose level is exactly one of them carries its tag. */
enum {
    JOTWELL_LEVEL_CRITICAL = 0x1,
    JOTWELL_LEVEL_ERROR = 0x2,
    JOTWELL_LEVEL_WARNING = 0x4,
    JOTWELL_LEVEL_INFO = 0x8,
    JOTWELL_LEVEL_CAMERA = 0x10,
    JOTWELL_LEVEL_DEBUG = 0x20,
    JOTWELL_LEVEL_RESERVED = 0x10000000
};

/* Creates the logging context or adds a reference to it. Always true. */
JOTWELL_API bool OrvLInit(void);

/* Drops a reference; the last one writes every queued line and ends logging. */
JOTWELL_API void OrvLClose(void);

/* Registers a module with its own level mask. False without context, for a
 * null name, or when the name exists already (letter case ignored). */
JOTWELL_API bool OrvLRegisterModule(const char* name, uint32_t mask);

/* Switches the log file on (created anew, emptied) or off. False without
 * context, or when the file cannot be created; file output is then off. */
JOTWELL_API bool OrvLEnableFileLogging(bool enable, const char* path);

/* Switches the output to standard error. False without context. */
JOTWELL_API bool OrvLEnableWindbg(bool enable);

/* Sets the global level mask (3 = CRITICAL and ERROR after creation). */
JOTWELL_API void OrvLSetGlobalDebugLevel(uint32_t mask);

/* Filters, formats and queues one line. `arguments` points to the caller's
 * argument list for `format`; when it is null, `format` is written as it
 * stands, without conversions. */
JOTWELL_API void OrvLTraceA(const char* module, uint32_t level, const char* format,
                            va_list* arguments);

#ifdef __cplusplus
}
#endif

#endif
