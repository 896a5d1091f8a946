// A logging library without OrvLEnableWindbg: the driver must not bind it.
#include <cstdarg>
#include <cstdint>

extern "C" {
bool OrvLInit() { return true; }
void OrvLClose() {}
bool OrvLRegisterModule(const char*, std::uint32_t) { return true; }
bool OrvLEnableFileLogging(bool, const char*) { return true; }
void OrvLSetGlobalDebugLevel(std::uint32_t) {}
void OrvLTraceA(const char*, std::uint32_t, const char*, va_list*) {}
}
