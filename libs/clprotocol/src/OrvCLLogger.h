// The driver's trace through the logging library, bound at run time from the
// folder that NORRIK_SDK_BIN_32 names. Without it the driver runs untraced.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>

namespace brenwick {

enum : std::uint32_t {
    kTraceError = 2,
    kTraceInfo = 8,
    kTraceDebug = 32,
    kTraceBanner = 0xFFFFFFFFu,
};

class OrvCLLogger {
public:
    static OrvCLLogger& instance();

    void setUp();   // from clpInitLib
    void close();   // from clpCloseLib
    bool initialised() const { return m_initialised.load(std::memory_order_acquire); }
    void trace(std::uint32_t level, const char* format, ...) __attribute__((format(printf, 3, 4)));

private:
    OrvCLLogger() = default;
    bool bind();
    void unbind();

    using InitFn = bool (*)();
    using CloseFn = void (*)();
    using RegisterFn = bool (*)(const char*, std::uint32_t);
    using EnableFileFn = bool (*)(bool, const char*);
    using EnableWindbgFn = bool (*)(bool);
    using SetLevelFn = void (*)(std::uint32_t);
    using TraceFn = void (*)(const char*, std::uint32_t, const char*, va_list*);

    void* m_module = nullptr;
    InitFn m_init = nullptr;
    CloseFn m_close = nullptr;
    RegisterFn m_register = nullptr;
    EnableFileFn m_enableFile = nullptr;
    EnableWindbgFn m_enableWindbg = nullptr;
    SetLevelFn m_setLevel = nullptr;
    TraceFn m_trace = nullptr;
    std::atomic<bool> m_initialised{false};
};

#define CLP_TRACE(level, ...) ::brenwick::OrvCLLogger::instance().trace(level, __VA_ARGS__)

}  // namespace brenwick
