// Logger exports; they work whether or not the library is initialised.
#include "QuillanExports.h"
#include "SimCall.h"
#include "SimLog.h"

using namespace quillan;

int JotwellRegister(const char* moduleName, uint32_t levelMask)
{
    SimCall call("JotwellRegister", 0, SimCall::WorksWithoutLibrary);
    call.arg("moduleName", moduleName).arg("levelMask", levelMask);
    if (int rc = call.enter())
        return rc;
    return call.result(SimLog::instance().registerModule(moduleName, levelMask));
}

int JotwellEnableWindbg(bool on)
{
    SimCall call("JotwellEnableWindbg", 0, SimCall::WorksWithoutLibrary);
    call.arg("on", on);
    if (int rc = call.enter())
        return rc;
    return call.result(SimLog::instance().enableWindbg(on));
}

int JotwellEnableFileLogging(bool on, const char* path)
{
    SimCall call("JotwellEnableFileLogging", 0, SimCall::WorksWithoutLibrary);
    call.arg("on", on).arg("path", path);
    if (int rc = call.enter())
        return rc;
    return call.result(SimLog::instance().enableFileLogging(on, path));
}

int JotwellSetGlobalDebugLevel(uint32_t mask)
{
    SimCall call("JotwellSetGlobalDebugLevel", 0, SimCall::WorksWithoutLibrary);
    call.arg("mask", mask);
    if (int rc = call.enter())
        return rc;
    return call.result(SimLog::instance().setGlobalLevel(mask));
}

int JotwellTraceA(const char* moduleName, uint32_t level, const char* format, va_list arguments)
{
    SimCall call("JotwellTraceA", 0, SimCall::WorksWithoutLibrary);
    call.arg("moduleName", moduleName).arg("level", level).arg("format", format);
    if (int rc = call.enter())
        return rc;
    return call.result(SimLog::instance().trace(moduleName, level, format, arguments));
}
