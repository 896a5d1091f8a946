#pragma once

#include <cstdint>

// Appends one message to "NorrikOmbrelSetup.log" in the working folder (when
// it can be opened) and writes it to standard error, prefixed with
// "NorrikOmbrelSetup: ". The level is accepted for the callers' sake only.
void setupLog(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The name of a setup error code as the log writes it ("ERROR_ACCESS_DENIED\n").
const char* win32ErrorName(uint32_t code);
void logWin32ErrorName(uint32_t code);
