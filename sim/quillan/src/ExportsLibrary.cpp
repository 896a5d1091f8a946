// Library and system-list exports.
#include "QuillanExports.h"
#include "SimCall.h"
#include "SimFaults.h"
#include "SimLibrary.h"

using namespace quillan;

namespace {
std::string text(const char* s)
{
    return s ? std::string(s) : std::string();
}
} // namespace

int OrvLibInit(const char* tlSearchPath, const char* genicamRoot, const char* genicamCache,
               const char* clProtocolFolder)
{
    SimCall call("OrvLibInit", 0, SimCall::WorksWithoutLibrary);
    call.arg("tlSearchPath", tlSearchPath).arg("genicamRoot", genicamRoot);
    call.arg("genicamCache", genicamCache).arg("clProtocolFolder", clProtocolFolder);
    if (int rc = call.enter())
        return rc;
    if (int code = SimFaults::instance().takeInitFailure())
        return call.result(code);
    SimLibrary::InitArgs args{text(tlSearchPath), text(genicamRoot), text(genicamCache), text(clProtocolFolder)};
    return call.result(SimLibrary::instance().init(args));
}

int OrvLibSystemGetCount(uint32_t* count)
{
    SimCall call("OrvLibSystemGetCount");
    if (int rc = call.enter())
        return rc;
    if (!count)
        return call.result(ORV_ERROR_INVALID_ARGUMENT);
    *count = static_cast<uint32_t>(SimLibrary::instance().systems().size());
    return call.result(ORV_SUCCESS);
}

int OrvLibSystemGetInfo(uint32_t index, ORV_TL_INFO* info)
{
    SimCall call("OrvLibSystemGetInfo");
    call.arg("index", index);
    if (int rc = call.enter())
        return rc;
    if (!info)
        return call.result(ORV_ERROR_INVALID_ARGUMENT);
    if (int code = SimFaults::instance().systemInfoFailure(index))
        return call.result(code);
    SimSystemEntry entry;
    if (!SimLibrary::instance().system(index, &entry))
        return call.result(ORV_ERROR_INVALID_ARGUMENT);
    SimLibrary::fillTlInfo(entry, info);
    return call.result(ORV_SUCCESS);
}

int OrvLibSystemOpen(uint32_t index, ORV_SYSTEM_HANDLE* system)
{
    SimCall call("OrvLibSystemOpen");
    call.arg("index", index);
    if (int rc = call.enter())
        return rc;
    if (!system)
        return call.result(ORV_ERROR_INVALID_ARGUMENT);
    if (call.nullHandle()) {
        *system = 0;
        return call.result(ORV_SUCCESS);
    }
    return call.result(SimLibrary::instance().openSystem(index, system));
}

int OrvLibClose(void)
{
    SimCall call("OrvLibClose", 0, SimCall::WorksWithoutLibrary);
    if (int rc = call.enter())
        return rc;
    return call.result(SimLibrary::instance().close());
}

int OrvLibIsVersionCompliant(uint32_t major, uint32_t minor, bool* compliant)
{
    SimCall call("OrvLibIsVersionCompliant", 0, SimCall::WorksWithoutLibrary);
    call.arg("major", major).arg("minor", minor);
    if (int rc = call.enter())
        return rc;
    if (!compliant)
        return call.result(ORV_ERROR_INVALID_ARGUMENT);
    *compliant = true;
    return call.result(ORV_SUCCESS);
}
