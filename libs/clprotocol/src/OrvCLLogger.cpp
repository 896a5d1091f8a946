#include "OrvCLLogger.h"

#include <cstdlib>
#include <dlfcn.h>
#include <string>

namespace brenwick {
namespace {
const char kModuleName[] = "OrvCLProtocol";
}

// Never destroyed: the bridge closes only from clpCloseLib, so nothing runs
// against the logging library while the process unloads.
OrvCLLogger& OrvCLLogger::instance()
{
    static OrvCLLogger* logger = new OrvCLLogger;
    return *logger;
}

bool OrvCLLogger::bind()
{
    const char* folder = std::getenv("NORRIK_SDK_BIN_32");
    if (!folder || !*folder)
        return false;
    const std::string path = std::string(folder) + "/libJotwell.so";
    m_module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_module)
        return false;
    m_init = reinterpret_cast<InitFn>(dlsym(m_module, "OrvLInit"));
    m_close = reinterpret_cast<CloseFn>(dlsym(m_module, "OrvLClose"));
    m_register = reinterpret_cast<RegisterFn>(dlsym(m_module, "OrvLRegisterModule"));
    m_enableFile = reinterpret_cast<EnableFileFn>(dlsym(m_module, "OrvLEnableFileLogging"));
    m_enableWindbg = reinterpret_cast<EnableWindbgFn>(dlsym(m_module, "OrvLEnableWindbg"));
    m_setLevel = reinterpret_cast<SetLevelFn>(dlsym(m_module, "OrvLSetGlobalDebugLevel"));
    m_trace = reinterpret_cast<TraceFn>(dlsym(m_module, "OrvLTraceA"));
    if (!m_init || !m_close || !m_register || !m_enableFile || !m_enableWindbg || !m_setLevel || !m_trace) {
        unbind();
        return false;
    }
    return true;
}

void OrvCLLogger::unbind()
{
    if (m_module)
        dlclose(m_module);
    m_module = nullptr;
    m_init = nullptr;
    m_close = nullptr;
    m_register = nullptr;
    m_enableFile = nullptr;
    m_enableWindbg = nullptr;
    m_setLevel = nullptr;
    m_trace = nullptr;
}

void OrvCLLogger::setUp()
{
    if (!initialised()) {
        if (!m_module && !bind())
            return;
        if (!m_init())
            return;
        m_initialised.store(true, std::memory_order_release);
    }
    m_register(kModuleName, 0xFFFFFFFFu);
    trace(kTraceBanner, " -----------------------------------------------");
    trace(kTraceBanner, "| Brenwick.dll Init!");
    trace(kTraceBanner, "| Built %s %s", __DATE__, __TIME__);
    trace(kTraceBanner, " -----------------------------------------------");
}

void OrvCLLogger::close()
{
    if (!initialised())
        return;
    m_initialised.store(false, std::memory_order_release);
    m_close();
    unbind();
}

void OrvCLLogger::trace(std::uint32_t level, const char* format, ...)
{
    if (!initialised())
        return;
    va_list arguments;
    va_start(arguments, format);
    m_trace(kModuleName, level, format, &arguments);
    va_end(arguments);
}

}  // namespace brenwick
