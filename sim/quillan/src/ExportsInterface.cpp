// Interface exports: discovery of the devices behind one interface and
// opening them. Camera Link ports list a camera only after a probe that
// lasts at least the camera's probe time.
#include "QuillanExports.h"
#include "SimCall.h"
#include "SimCamera.h"
#include "SimLibrary.h"
#include "SimText.h"

#include <algorithm>
#include <chrono>
#include <thread>

using namespace quillan;

namespace {

std::shared_ptr<SimInterface> interfaceOf(ORV_INTERFACE_HANDLE handle)
{
    return SimHandles::instance().get<SimInterface>(handle, HandleKind::Interface);
}

std::vector<std::shared_ptr<SimCamera>> listed(const SimInterface& iface)
{
    std::vector<std::shared_ptr<SimCamera>> result;
    for (const auto& weak : iface.devices)
        if (auto camera = weak.lock())
            result.push_back(camera);
    return result;
}

// The listed camera of that ID (exact first, then ignoring case).
std::shared_ptr<SimCamera> findListed(SimInterface& iface, const std::string& id)
{
    std::lock_guard<std::mutex> lock(iface.mutex);
    auto cameras = listed(iface);
    for (const auto& camera : cameras)
        if (camera->deviceId() == id)
            return camera;
    for (const auto& camera : cameras)
        if (equalsIgnoreCase(camera->deviceId(), id))
            return camera;
    return nullptr;
}

} // namespace

int OrvInterfaceGetInfo(ORV_INTERFACE_HANDLE iface, ORV_INTERFACE_INFO* info)
{
    SimCall call("OrvInterfaceGetInfo", iface);
    if (int rc = call.enter())
        return rc;
    auto i = interfaceOf(iface);
    if (!i)
        return call.result(ORV_ERROR_INVALID_HANDLE);
    if (!info)
        return call.result(ORV_ERROR_INVALID_ARGUMENT);
    int index = SimLibrary::interfaceIndex(i->system.fileName, i->desc.id, nullptr);
    SimLibrary::fillInterfaceInfo(i->desc, static_cast<uint32_t>(std::max(index, 0)), info);
    return call.result(ORV_SUCCESS);
}

int OrvInterfaceUpdateDeviceList(ORV_INTERFACE_HANDLE iface, bool* changed, uint32_t timeoutMs)
{
    SimCall call("OrvInterfaceUpdateDeviceList", iface);
    call.arg("timeoutMs", timeoutMs);
    if (int rc = call.enter())
        return rc;
    auto i = interfaceOf(iface);
    if (!i)
        return call.result(ORV_ERROR_INVALID_HANDLE);
    // Address changes another process (the IP tool) wrote to the state file.
    SimWorld::instance().refreshIpState();
    const bool probed = SimWorld::instance().producer(i->system.fileName).probed();
    std::vector<std::shared_ptr<SimCamera>> found;
    uint32_t slowest = 0;
    SimInterfaceDesc still;
    if (SimWorld::instance().findInterface(i->system.fileName, i->desc.id, &still)) {
        for (const auto& camera : SimWorld::instance().camerasOn(i->system.fileName, i->desc.id)) {
            if (!camera->present())
                continue;
            uint32_t answer = probed ? camera->probeTimeMs() : camera->latencyMs();
            slowest = std::max(slowest, answer);
            if (answer <= timeoutMs)
                found.push_back(camera);
        }
    }
    // The update lasts as long as the slowest answer, never beyond the time-out.
    if (uint32_t wait = std::min(slowest, timeoutMs))
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
    // A camera that vanished during the wait is not listed.
    found.erase(std::remove_if(found.begin(), found.end(), [](const auto& c) { return !c->present(); }),
                found.end());
    bool differs;
    {
        std::lock_guard<std::mutex> lock(i->mutex);
        differs = listed(*i) != found;
        i->devices.assign(found.begin(), found.end());
    }
    if (changed)
        *changed = differs;
    return call.result(ORV_SUCCESS);
}

int OrvInterfaceGetNumDevices(ORV_INTERFACE_HANDLE iface, uint32_t* count)
{
    SimCall call("OrvInterfaceGetNumDevices", iface);
    if (int rc = call.enter())
        return rc;
    auto i = interfaceOf(iface);
    if (!i)
        return call.result(ORV_ERROR_INVALID_HANDLE);
    if (!count)
        return call.result(ORV_ERROR_INVALID_ARGUMENT);
    std::lock_guard<std::mutex> lock(i->mutex);
    *count = static_cast<uint32_t>(i->devices.size());
    return call.result(ORV_SUCCESS);
}

int OrvInterfaceGetDeviceId(ORV_INTERFACE_HANDLE iface, uint32_t index, char* id, size_t* size)
{
    SimCall call("OrvInterfaceGetDeviceId", iface);
    call.arg("index", index);
    if (int rc = call.enter())
        return rc;
    auto i = interfaceOf(iface);
    if (!i)
        return call.result(ORV_ERROR_INVALID_HANDLE);
    std::shared_ptr<SimCamera> camera;
    {
        std::lock_guard<std::mutex> lock(i->mutex);
        if (index >= i->devices.size())
            return call.result(ORV_ERROR_INVALID_ARGUMENT);
        camera = i->devices[index].lock();
    }
    if (!camera)
        return call.result(ORV_ERROR_NOT_AVAILABLE);
    return call.result(copyOut(camera->deviceId(), id, size));
}

int OrvInterfaceDeviceGetInfo(ORV_INTERFACE_HANDLE iface, const char* deviceId, ORV_DEVICE_INFO* info)
{
    SimCall call("OrvInterfaceDeviceGetInfo", iface);
    call.arg("deviceId", deviceId);
    if (int rc = call.enter())
        return rc;
    auto i = interfaceOf(iface);
    if (!i)
        return call.result(ORV_ERROR_INVALID_HANDLE);
    if (!deviceId || !info)
        return call.result(ORV_ERROR_INVALID_ARGUMENT);
    auto camera = findListed(*i, deviceId);
    if (!camera)
        return call.result(ORV_ERROR_NOT_AVAILABLE);
    uint32_t index = 0;
    {
        std::lock_guard<std::mutex> lock(i->mutex);
        auto cameras = listed(*i);
        index = static_cast<uint32_t>(std::find(cameras.begin(), cameras.end(), camera) - cameras.begin());
    }
    SimLibrary::fillDeviceInfo(camera, i->system.fullPath, index, info);
    return call.result(ORV_SUCCESS);
}

int OrvInterfaceDeviceOpen(ORV_INTERFACE_HANDLE iface, const char* deviceId, uint32_t accessMode,
                           ORV_DEVICE_HANDLE* device, ORV_REMOTE_DEVICE_HANDLE* remoteDevice)
{
    SimCall call("OrvInterfaceDeviceOpen", iface);
    call.arg("deviceId", deviceId).arg("accessMode", accessMode);
    if (int rc = call.enter())
        return rc;
    if (!interfaceOf(iface))
        return call.result(ORV_ERROR_INVALID_HANDLE);
    if (!deviceId || !device || !remoteDevice)
        return call.result(ORV_ERROR_INVALID_ARGUMENT);
    if (call.nullHandle()) {
        *device = 0;
        *remoteDevice = 0;
        return call.result(ORV_SUCCESS);
    }
    return call.result(SimLibrary::instance().openDevice(iface, deviceId, accessMode, device, remoteDevice));
}

int OrvInterfaceClose(ORV_INTERFACE_HANDLE iface)
{
    SimCall call("OrvInterfaceClose", iface);
    if (int rc = call.enter())
        return rc;
    if (!interfaceOf(iface))
        return call.result(ORV_ERROR_INVALID_HANDLE);
    for (uint32_t device : SimHandles::instance().handlesOf(HandleKind::Device, iface))
        SimLibrary::instance().closeDevice(device);
    SimHandles::instance().remove(iface);
    return call.result(ORV_SUCCESS);
}
