// System exports: the interfaces of one producer.
#include "QuillanExports.h"
#include "SimCall.h"
#include "SimLibrary.h"
#include "SimText.h"

#include <algorithm>
#include <cstring>

using namespace quillan;

namespace {

std::shared_ptr<SimSystem> systemOf(ORV_SYSTEM_HANDLE handle)
{
    return SimHandles::instance().get<SimSystem>(handle, HandleKind::System);
}

} // namespace

int OrvSystemGetInfo(ORV_SYSTEM_HANDLE system, ORV_TL_INFO* info)
{
    SimCall call("OrvSystemGetInfo", system);
    if (info)
        std::memset(info, 0, sizeof *info);
    if (int rc = call.enter())
        return rc;
    if (!info)
        return call.result(ORV_ERROR_INVALID_ARGUMENT);
    auto sys = systemOf(system);
    if (!sys)
        return call.result(ORV_ERROR_INVALID_HANDLE);
    SimLibrary::fillTlInfo(sys->entry, info);
    return call.result(ORV_SUCCESS);
}

int OrvSystemUpdateInterfaceList(ORV_SYSTEM_HANDLE system, bool* changed, uint32_t timeoutMs)
{
    SimCall call("OrvSystemUpdateInterfaceList", system);
    call.arg("timeoutMs", timeoutMs);
    if (int rc = call.enter())
        return rc;
    auto sys = systemOf(system);
    if (!sys)
        return call.result(ORV_ERROR_INVALID_HANDLE);
    std::vector<std::string> ids;
    for (const SimInterfaceDesc& d : SimWorld::instance().producer(sys->entry.fileName).interfaces)
        ids.push_back(d.id);
    bool differs;
    {
        std::lock_guard<std::mutex> lock(sys->mutex);
        differs = sys->interfaceIds != ids;
        sys->interfaceIds = ids;
    }
    if (changed)
        *changed = differs;
    return call.result(ORV_SUCCESS);
}

int OrvSystemGetNumInterfaces(ORV_SYSTEM_HANDLE system, uint32_t* count)
{
    SimCall call("OrvSystemGetNumInterfaces", system);
    if (int rc = call.enter())
        return rc;
    auto sys = systemOf(system);
    if (!sys)
        return call.result(ORV_ERROR_INVALID_HANDLE);
    if (!count)
        return call.result(ORV_ERROR_INVALID_ARGUMENT);
    std::lock_guard<std::mutex> lock(sys->mutex);
    *count = static_cast<uint32_t>(sys->interfaceIds.size());
    return call.result(ORV_SUCCESS);
}

int OrvSystemGetInterfaceId(ORV_SYSTEM_HANDLE system, uint32_t index, char* id, size_t* size)
{
    SimCall call("OrvSystemGetInterfaceId", system);
    call.arg("index", index);
    if (int rc = call.enter())
        return rc;
    auto sys = systemOf(system);
    if (!sys)
        return call.result(ORV_ERROR_INVALID_HANDLE);
    std::string text;
    {
        std::lock_guard<std::mutex> lock(sys->mutex);
        if (index >= sys->interfaceIds.size())
            return call.result(ORV_ERROR_INVALID_ARGUMENT);
        text = sys->interfaceIds[index];
    }
    return call.result(copyOut(text, id, size));
}

int OrvSystemInterfaceGetInfo(ORV_SYSTEM_HANDLE system, const char* interfaceId, ORV_INTERFACE_INFO* info)
{
    SimCall call("OrvSystemInterfaceGetInfo", system);
    call.arg("interfaceId", interfaceId);
    if (int rc = call.enter())
        return rc;
    auto sys = systemOf(system);
    if (!sys)
        return call.result(ORV_ERROR_INVALID_HANDLE);
    if (!interfaceId || !info)
        return call.result(ORV_ERROR_INVALID_ARGUMENT);
    SimInterfaceDesc desc;
    int index = SimLibrary::interfaceIndex(sys->entry.fileName, interfaceId, &desc);
    if (index < 0)
        return call.result(ORV_ERROR_NOT_AVAILABLE);
    SimLibrary::fillInterfaceInfo(desc, static_cast<uint32_t>(index), info);
    return call.result(ORV_SUCCESS);
}

int OrvSystemInterfaceOpen(ORV_SYSTEM_HANDLE system, const char* interfaceId, ORV_INTERFACE_HANDLE* iface)
{
    SimCall call("OrvSystemInterfaceOpen", system);
    call.arg("interfaceId", interfaceId);
    if (int rc = call.enter())
        return rc;
    auto sys = systemOf(system);
    if (!sys)
        return call.result(ORV_ERROR_INVALID_HANDLE);
    if (!interfaceId || !iface)
        return call.result(ORV_ERROR_INVALID_ARGUMENT);
    if (call.nullHandle()) {
        *iface = 0;
        return call.result(ORV_SUCCESS);
    }
    SimInterfaceDesc desc;
    if (SimLibrary::interfaceIndex(sys->entry.fileName, interfaceId, &desc) < 0)
        return call.result(ORV_ERROR_NOT_AVAILABLE);
    std::lock_guard<std::mutex> lock(sys->mutex);
    for (const auto& [id, handle] : sys->openInterfaces) {
        if (id == desc.id && SimHandles::instance().isLive(handle)) {
            *iface = handle;
            return call.result(ORV_SUCCESS);
        }
    }
    uint32_t handle = SimHandles::instance().add(HandleKind::Interface,
                                                 std::make_shared<SimInterface>(system, sys->entry, desc), system);
    if (handle == 0)
        return call.result(ORV_ERROR_INVALID_HANDLE);
    sys->openInterfaces.erase(std::remove_if(sys->openInterfaces.begin(), sys->openInterfaces.end(),
                                             [&](const auto& e) { return e.first == desc.id; }),
                              sys->openInterfaces.end());
    sys->openInterfaces.emplace_back(desc.id, handle);
    *iface = handle;
    return call.result(ORV_SUCCESS);
}

int OrvSystemClose(ORV_SYSTEM_HANDLE system)
{
    SimCall call("OrvSystemClose", system);
    if (int rc = call.enter())
        return rc;
    return call.result(SimLibrary::instance().closeSystem(system));
}
