// A simulated GigE GenTL producer. The same library is built under each
// producer file name; it serves the interfaces and cameras that the world
// gives its own file name, so the IP tool and the camera SDK see the same
// cameras. IP changes go to the state file named by QUILLAN_SIM_STATE; a
// camera that a camera SDK sharing that file holds open is refused.
#include "GenTLTypes.h"

#include "SimCall.h"
#include "SimCamera.h"
#include "SimFaults.h"
#include "SimHandles.h"
#include "SimOpenHolds.h"
#include "SimText.h"
#include "SimWorld.h"

#include <cstring>
#include <dlfcn.h>
#include <mutex>
#include <string>
#include <vector>

using namespace quillan;

namespace {

const char* const kImplemented[] = {
    "GCInitLib", "GCCloseLib", "TLOpen", "TLClose", "TLUpdateInterfaceList", "TLGetNumInterfaces",
    "TLGetInterfaceID", "TLOpenInterface", "IFClose", "IFGetInfo", "IFUpdateDeviceList", "IFGetNumDevices",
    "IFGetDeviceID", "IFGetDeviceInfo", "IFOpenDevice", "DevGetInfo", "DevClose", "OrvForceIPConfig",
    "OrvSetIPConfig",
};

struct Transport {
    std::mutex mutex;
    std::vector<std::string> interfaceIds;
};

struct Interface {
    std::string id;
    std::mutex mutex;
    std::vector<std::weak_ptr<SimCamera>> devices;
};

struct Device {
    std::shared_ptr<SimCamera> camera;
};

struct Producer {
    std::mutex mutex;
    bool initialised = false;
    std::string fileName;
};

Producer& producer()
{
    static Producer p;
    return p;
}

// The file name this library was loaded from.
std::string ownFileName()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ownFileName), &info) == 0 || !info.dli_fname)
        return std::string();
    std::string path = info.dli_fname;
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool initialised()
{
    std::lock_guard<std::mutex> lock(producer().mutex);
    return producer().initialised;
}

std::string fileName()
{
    std::lock_guard<std::mutex> lock(producer().mutex);
    return producer().fileName;
}

void* toHandle(uint32_t id)
{
    return reinterpret_cast<void*>(static_cast<uintptr_t>(id));
}

uint32_t fromHandle(void* handle)
{
    uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    return value > UINT32_MAX ? 0 : static_cast<uint32_t>(value);
}

template <class T>
std::shared_ptr<T> lookup(void* handle, HandleKind kind)
{
    return SimHandles::instance().get<T>(fromHandle(handle), kind);
}

// GenTL info answer: a null buffer asks for the size.
GC_ERROR answer(const void* data, size_t bytes, INFO_DATATYPE kind, INFO_DATATYPE* type, void* buffer, size_t* size)
{
    if (!size)
        return GC_ERR_INVALID_PARAMETER;
    if (type)
        *type = kind;
    if (!buffer) {
        *size = bytes;
        return GC_ERR_SUCCESS;
    }
    if (*size < bytes)
        return GC_ERR_BUFFER_TOO_SMALL;
    std::memcpy(buffer, data, bytes);
    *size = bytes;
    return GC_ERR_SUCCESS;
}

GC_ERROR answerText(const std::string& text, INFO_DATATYPE* type, void* buffer, size_t* size)
{
    return answer(text.c_str(), text.size() + 1, INFO_DATATYPE_STRING, type, buffer, size);
}

GC_ERROR answerUInt32(uint32_t value, INFO_DATATYPE* type, void* buffer, size_t* size)
{
    return answer(&value, sizeof value, INFO_DATATYPE_UINT32, type, buffer, size);
}

uint32_t ipValue(const std::string& text)
{
    uint32_t value = 0;
    parseIpv4(text, &value);
    return value;
}

GC_ERROR deviceInfo(const std::shared_ptr<SimCamera>& camera, int32_t command, bool opened, INFO_DATATYPE* type,
                    void* buffer, size_t* size)
{
    const SimCameraConfig& c = camera->config();
    SimCamera::PersistentIp persistent = camera->persistentIp();
    switch (command) {
    case DEVICE_INFO_ID: return answerText(camera->deviceId(), type, buffer, size);
    case DEVICE_INFO_VENDOR: return answerText(c.vendor, type, buffer, size);
    case DEVICE_INFO_MODEL: return answerText(c.model, type, buffer, size);
    case DEVICE_INFO_TLTYPE: return answerText(c.tlType, type, buffer, size);
    case DEVICE_INFO_DISPLAYNAME: return answerText(c.model + " (" + c.serialNumber + ")", type, buffer, size);
    case DEVICE_INFO_ACCESS_STATUS: {
        const int32_t status = SimOpenHolds::held(camera->key()) ? 3 : SimWorld::instance().listedStatus(camera);
        return answerUInt32(static_cast<uint32_t>(status), type, buffer, size);
    }
    case DEVICE_INFO_USER_DEFINED_NAME: return answerText(std::string(), type, buffer, size);
    case DEVICE_INFO_SERIAL_NUMBER: return answerText(c.serialNumber, type, buffer, size);
    case DEVICE_INFO_VERSION: return answerText(camera->firmwareVersion(), type, buffer, size);
    case DEVICE_INFO_MAC: return answer(&c.mac, sizeof c.mac, INFO_DATATYPE_UINT64, type, buffer, size);
    case DEVICE_INFO_IP: return answerUInt32(ipValue(camera->ipAddress()), type, buffer, size);
    case DEVICE_INFO_MASK: return answerUInt32(ipValue(camera->subnetMask()), type, buffer, size);
    case DEVICE_INFO_GATEWAY: return answerUInt32(ipValue(camera->gateway()), type, buffer, size);
    case DEVICE_INFO_IP_FLAGS: return answerUInt32(persistent.flags | 4u, type, buffer, size);
    case DEVICE_INFO_IP_FLAGS_SUPPORTED: return answerUInt32(7, type, buffer, size);
    }
    if (opened) {
        switch (command) {
        case DEVICE_INFO_PERSISTENT_IP: return answerUInt32(persistent.ip, type, buffer, size);
        case DEVICE_INFO_PERSISTENT_MASK: return answerUInt32(persistent.mask, type, buffer, size);
        case DEVICE_INFO_PERSISTENT_GATEWAY: return answerUInt32(persistent.gateway, type, buffer, size);
        }
    }
    return GC_ERR_INVALID_PARAMETER;
}

std::shared_ptr<SimCamera> cameraOn(const std::string& interfaceId, const char* deviceId)
{
    if (!deviceId)
        return nullptr;
    for (const auto& camera : SimWorld::instance().camerasOn(fileName(), interfaceId))
        if (camera->present() && camera->deviceId() == deviceId)
            return camera;
    return nullptr;
}

// Held by another application, or open in a camera SDK sharing the state file.
bool inUse(const std::shared_ptr<SimCamera>& camera)
{
    return camera->status() == 3 || SimOpenHolds::held(camera->key());
}

void saveState()
{
    std::string path = SimWorld::ipStatePath();
    if (!path.empty())
        SimWorld::instance().saveIpState(path);
}

// Frame of every call: injected faults and the initialised state.
#define GENTL_CALL(name) SimCall call(name, 0, SimCall::WorksWithoutLibrary)
#define GENTL_CHECK()                                       \
    if (int rc = call.enter())                              \
        return rc;                                          \
    if (!initialised())                                     \
        return call.result(GC_ERR_NOT_INITIALIZED)
#define GENTL_ENTER(name) \
    GENTL_CALL(name);     \
    GENTL_CHECK()

} // namespace

// Faults can be set on the producer's calls from its loading on, before
// GCInitLib.
[[maybe_unused]] const bool kNamesKnown = [] {
    for (const char* name : kImplemented)
        SimFaults::instance().addKnownFunction(name);
    return true;
}();

GC_ERROR GCInitLib(void)
{
    SimCall call("GCInitLib", 0, SimCall::WorksWithoutLibrary);
    if (int rc = call.enter())
        return rc;
    std::lock_guard<std::mutex> lock(producer().mutex);
    if (producer().initialised)
        return call.result(GC_ERR_RESOURCE_IN_USE);
    producer().initialised = true;
    producer().fileName = ownFileName();
    SimWorld::instance().refreshIpState(true);
    return call.result(GC_ERR_SUCCESS);
}

GC_ERROR GCCloseLib(void)
{
    GENTL_ENTER("GCCloseLib");
    auto removed = SimHandles::instance().clear();
    std::lock_guard<std::mutex> lock(producer().mutex);
    producer().initialised = false;
    return call.result(GC_ERR_SUCCESS);
}

GC_ERROR TLOpen(TL_HANDLE* tl)
{
    GENTL_ENTER("TLOpen");
    if (!tl)
        return call.result(GC_ERR_INVALID_PARAMETER);
    uint32_t id = SimHandles::instance().add(HandleKind::System, std::make_shared<Transport>());
    *tl = toHandle(id);
    return call.result(id ? GC_ERR_SUCCESS : GC_ERR_ERROR);
}

GC_ERROR TLClose(TL_HANDLE tl)
{
    GENTL_ENTER("TLClose");
    if (!lookup<Transport>(tl, HandleKind::System))
        return call.result(GC_ERR_INVALID_HANDLE);
    SimHandles::instance().remove(fromHandle(tl));
    return call.result(GC_ERR_SUCCESS);
}

GC_ERROR TLUpdateInterfaceList(TL_HANDLE tl, bool8_t* changed, uint64_t timeoutMs)
{
    GENTL_ENTER("TLUpdateInterfaceList");
    (void)timeoutMs;
    auto t = lookup<Transport>(tl, HandleKind::System);
    if (!t)
        return call.result(GC_ERR_INVALID_HANDLE);
    std::vector<std::string> ids;
    for (const SimInterfaceDesc& d : SimWorld::instance().producer(fileName()).interfaces)
        ids.push_back(d.id);
    std::lock_guard<std::mutex> lock(t->mutex);
    if (changed)
        *changed = t->interfaceIds != ids;
    t->interfaceIds = ids;
    return call.result(GC_ERR_SUCCESS);
}

GC_ERROR TLGetNumInterfaces(TL_HANDLE tl, uint32_t* count)
{
    GENTL_ENTER("TLGetNumInterfaces");
    auto t = lookup<Transport>(tl, HandleKind::System);
    if (!t)
        return call.result(GC_ERR_INVALID_HANDLE);
    if (!count)
        return call.result(GC_ERR_INVALID_PARAMETER);
    std::lock_guard<std::mutex> lock(t->mutex);
    *count = static_cast<uint32_t>(t->interfaceIds.size());
    return call.result(GC_ERR_SUCCESS);
}

GC_ERROR TLGetInterfaceID(TL_HANDLE tl, uint32_t index, char* id, size_t* size)
{
    GENTL_ENTER("TLGetInterfaceID");
    auto t = lookup<Transport>(tl, HandleKind::System);
    if (!t)
        return call.result(GC_ERR_INVALID_HANDLE);
    std::string text;
    {
        std::lock_guard<std::mutex> lock(t->mutex);
        if (index >= t->interfaceIds.size())
            return call.result(GC_ERR_INVALID_PARAMETER);
        text = t->interfaceIds[index];
    }
    return call.result(answerText(text, nullptr, id, size));
}

GC_ERROR TLOpenInterface(TL_HANDLE tl, const char* id, IF_HANDLE* iface)
{
    GENTL_ENTER("TLOpenInterface");
    if (!lookup<Transport>(tl, HandleKind::System))
        return call.result(GC_ERR_INVALID_HANDLE);
    if (!id || !iface)
        return call.result(GC_ERR_INVALID_PARAMETER);
    if (!SimWorld::instance().findInterface(fileName(), id, nullptr))
        return call.result(GC_ERR_INVALID_ID);
    auto object = std::make_shared<Interface>();
    object->id = id;
    uint32_t handle = SimHandles::instance().add(HandleKind::Interface, object, fromHandle(tl));
    *iface = toHandle(handle);
    return call.result(handle ? GC_ERR_SUCCESS : GC_ERR_ERROR);
}

GC_ERROR IFClose(IF_HANDLE iface)
{
    GENTL_ENTER("IFClose");
    if (!lookup<Interface>(iface, HandleKind::Interface))
        return call.result(GC_ERR_INVALID_HANDLE);
    SimHandles::instance().remove(fromHandle(iface));
    return call.result(GC_ERR_SUCCESS);
}

GC_ERROR IFGetInfo(IF_HANDLE iface, int32_t command, INFO_DATATYPE* type, void* buffer, size_t* size)
{
    GENTL_ENTER("IFGetInfo");
    auto i = lookup<Interface>(iface, HandleKind::Interface);
    if (!i)
        return call.result(GC_ERR_INVALID_HANDLE);
    SimInterfaceDesc d;
    if (!SimWorld::instance().findInterface(fileName(), i->id, &d))
        return call.result(GC_ERR_NOT_AVAILABLE);
    switch (command) {
    case INTERFACE_INFO_ID: return call.result(answerText(d.id, type, buffer, size));
    case INTERFACE_INFO_DISPLAYNAME: return call.result(answerText(d.displayName, type, buffer, size));
    case INTERFACE_INFO_TLTYPE: return call.result(answerText(d.tlType, type, buffer, size));
    case INTERFACE_INFO_MAC_TEXT: return call.result(answerText("00-11-1C-FF-00-01", type, buffer, size));
    case INTERFACE_INFO_IP_TEXT: return call.result(answerText(d.ipAddress, type, buffer, size));
    case INTERFACE_INFO_MASK_TEXT: return call.result(answerText(d.subnetMask, type, buffer, size));
    case INTERFACE_INFO_GATEWAY_TEXT: return call.result(answerText(d.gateway, type, buffer, size));
    }
    return call.result(GC_ERR_INVALID_PARAMETER);
}

GC_ERROR IFUpdateDeviceList(IF_HANDLE iface, bool8_t* changed, uint64_t timeoutMs)
{
    GENTL_ENTER("IFUpdateDeviceList");
    (void)timeoutMs;
    auto i = lookup<Interface>(iface, HandleKind::Interface);
    if (!i)
        return call.result(GC_ERR_INVALID_HANDLE);
    std::vector<std::weak_ptr<SimCamera>> found;
    for (const auto& camera : SimWorld::instance().camerasOn(fileName(), i->id))
        if (camera->present())
            found.push_back(camera);
    std::lock_guard<std::mutex> lock(i->mutex);
    if (changed)
        *changed = found.size() != i->devices.size();
    i->devices = found;
    return call.result(GC_ERR_SUCCESS);
}

GC_ERROR IFGetNumDevices(IF_HANDLE iface, uint32_t* count)
{
    GENTL_ENTER("IFGetNumDevices");
    auto i = lookup<Interface>(iface, HandleKind::Interface);
    if (!i)
        return call.result(GC_ERR_INVALID_HANDLE);
    if (!count)
        return call.result(GC_ERR_INVALID_PARAMETER);
    std::lock_guard<std::mutex> lock(i->mutex);
    *count = static_cast<uint32_t>(i->devices.size());
    return call.result(GC_ERR_SUCCESS);
}

GC_ERROR IFGetDeviceID(IF_HANDLE iface, uint32_t index, char* id, size_t* size)
{
    GENTL_ENTER("IFGetDeviceID");
    auto i = lookup<Interface>(iface, HandleKind::Interface);
    if (!i)
        return call.result(GC_ERR_INVALID_HANDLE);
    std::shared_ptr<SimCamera> camera;
    {
        std::lock_guard<std::mutex> lock(i->mutex);
        if (index >= i->devices.size())
            return call.result(GC_ERR_INVALID_PARAMETER);
        camera = i->devices[index].lock();
    }
    if (!camera)
        return call.result(GC_ERR_NOT_AVAILABLE);
    return call.result(answerText(camera->deviceId(), nullptr, id, size));
}

GC_ERROR IFGetDeviceInfo(IF_HANDLE iface, const char* deviceId, int32_t command, INFO_DATATYPE* type, void* buffer,
                         size_t* size)
{
    GENTL_ENTER("IFGetDeviceInfo");
    auto i = lookup<Interface>(iface, HandleKind::Interface);
    if (!i)
        return call.result(GC_ERR_INVALID_HANDLE);
    auto camera = cameraOn(i->id, deviceId);
    if (!camera)
        return call.result(GC_ERR_INVALID_ID);
    return call.result(deviceInfo(camera, command, false, type, buffer, size));
}

GC_ERROR IFOpenDevice(IF_HANDLE iface, const char* deviceId, int32_t access, DEV_HANDLE* device)
{
    GENTL_ENTER("IFOpenDevice");
    (void)access;
    auto i = lookup<Interface>(iface, HandleKind::Interface);
    if (!i)
        return call.result(GC_ERR_INVALID_HANDLE);
    if (!device)
        return call.result(GC_ERR_INVALID_PARAMETER);
    auto camera = cameraOn(i->id, deviceId);
    if (!camera)
        return call.result(GC_ERR_INVALID_ID);
    if (inUse(camera))
        return call.result(GC_ERR_ACCESS_DENIED);
    uint32_t handle = SimHandles::instance().add(HandleKind::Device, std::make_shared<Device>(Device{camera}),
                                                 fromHandle(iface));
    *device = toHandle(handle);
    return call.result(handle ? GC_ERR_SUCCESS : GC_ERR_ERROR);
}

GC_ERROR DevGetInfo(DEV_HANDLE device, int32_t command, INFO_DATATYPE* type, void* buffer, size_t* size)
{
    GENTL_ENTER("DevGetInfo");
    auto d = lookup<Device>(device, HandleKind::Device);
    if (!d)
        return call.result(GC_ERR_INVALID_HANDLE);
    return call.result(deviceInfo(d->camera, command, true, type, buffer, size));
}

GC_ERROR DevClose(DEV_HANDLE device)
{
    GENTL_ENTER("DevClose");
    if (!lookup<Device>(device, HandleKind::Device))
        return call.result(GC_ERR_INVALID_HANDLE);
    SimHandles::instance().remove(fromHandle(device));
    return call.result(GC_ERR_SUCCESS);
}

GC_ERROR OrvForceIPConfig(IF_HANDLE iface, const char* deviceId, uint32_t ip, uint32_t mask, uint32_t gateway)
{
    GENTL_CALL("OrvForceIPConfig");
    call.arg("deviceId", deviceId).arg("ip", formatIpv4(ip)).arg("mask", formatIpv4(mask));
    call.arg("gateway", formatIpv4(gateway));
    GENTL_CHECK();
    auto i = lookup<Interface>(iface, HandleKind::Interface);
    if (!i)
        return call.result(GC_ERR_INVALID_HANDLE);
    auto camera = cameraOn(i->id, deviceId);
    if (!camera)
        return call.result(GC_ERR_INVALID_ID);
    if (inUse(camera))
        return call.result(GC_ERR_ACCESS_DENIED);
    if (ip == 0 && mask != 0)
        return call.result(GC_ERR_INVALID_PARAMETER);
    if (ip == 0) {
        // Automatic: the first free host from .100 upward in the adapter's subnet.
        SimInterfaceDesc d;
        SimWorld::instance().findInterface(fileName(), i->id, &d);
        uint32_t adapter = ipValue(d.ipAddress);
        mask = ipValue(d.subnetMask);
        gateway = 0;
        uint32_t network = adapter & mask;
        uint32_t candidate = 0;
        for (uint32_t host = 100; host < 255 && candidate == 0; ++host) {
            uint32_t address = network | host;
            if (address == adapter)
                continue;
            bool used = false;
            for (const auto& other : SimWorld::instance().cameras())
                if (other != camera && ipValue(other->ipAddress()) == address)
                    used = true;
            if (!used)
                candidate = address;
        }
        if (candidate == 0)
            return call.result(GC_ERR_ERROR);
        ip = candidate;
    }
    camera->setIp(formatIpv4(ip), formatIpv4(mask));
    camera->setGateway(formatIpv4(gateway));
    saveState();
    return call.result(GC_ERR_SUCCESS);
}

GC_ERROR OrvSetIPConfig(DEV_HANDLE device, bool8_t dhcp, bool8_t persistentIp, uint32_t ip, uint32_t mask,
                        uint32_t gateway)
{
    GENTL_CALL("OrvSetIPConfig");
    call.arg("dhcp", dhcp != 0).arg("persistentIp", persistentIp != 0).arg("ip", formatIpv4(ip));
    call.arg("mask", formatIpv4(mask)).arg("gateway", formatIpv4(gateway));
    GENTL_CHECK();
    auto d = lookup<Device>(device, HandleKind::Device);
    if (!d)
        return call.result(GC_ERR_INVALID_HANDLE);
    if (persistentIp && ip == 0)
        return call.result(GC_ERR_INVALID_PARAMETER);
    SimCamera::PersistentIp p;
    p.flags = 4u | (persistentIp ? 1u : 0u) | (dhcp ? 2u : 0u);
    p.ip = ip;
    p.mask = mask;
    p.gateway = gateway;
    d->camera->setPersistentIp(p);
    saveState();
    return call.result(GC_ERR_SUCCESS);
}

// The producer table's other names. The IP tool binds them but never calls
// them; they take no arguments here and answer "not implemented".
#define GENTL_NOT_IMPLEMENTED(name) \
    GENTL_EXPORT GC_ERROR name() { return GC_ERR_NOT_IMPLEMENTED; }
GENTL_NOT_IMPLEMENTED(GCGetInfo)
GENTL_NOT_IMPLEMENTED(GCGetLastError)
GENTL_NOT_IMPLEMENTED(GCReadPort)
GENTL_NOT_IMPLEMENTED(GCWritePort)
GENTL_NOT_IMPLEMENTED(GCGetPortURL)
GENTL_NOT_IMPLEMENTED(GCGetPortInfo)
GENTL_NOT_IMPLEMENTED(GCRegisterEvent)
GENTL_NOT_IMPLEMENTED(GCUnregisterEvent)
GENTL_NOT_IMPLEMENTED(EventGetData)
GENTL_NOT_IMPLEMENTED(EventGetDataInfo)
GENTL_NOT_IMPLEMENTED(EventGetInfo)
GENTL_NOT_IMPLEMENTED(EventFlush)
GENTL_NOT_IMPLEMENTED(EventKill)
GENTL_NOT_IMPLEMENTED(TLGetInfo)
GENTL_NOT_IMPLEMENTED(TLGetInterfaceInfo)
GENTL_NOT_IMPLEMENTED(DevGetPort)
GENTL_NOT_IMPLEMENTED(DevGetNumDataStreams)
GENTL_NOT_IMPLEMENTED(DevGetDataStreamID)
GENTL_NOT_IMPLEMENTED(DevOpenDataStream)
GENTL_NOT_IMPLEMENTED(DSAnnounceBuffer)
GENTL_NOT_IMPLEMENTED(DSAllocAndAnnounceBuffer)
GENTL_NOT_IMPLEMENTED(DSFlushQueue)
GENTL_NOT_IMPLEMENTED(DSStartAcquisition)
GENTL_NOT_IMPLEMENTED(DSStopAcquisition)
GENTL_NOT_IMPLEMENTED(DSGetInfo)
GENTL_NOT_IMPLEMENTED(DSGetBufferID)
GENTL_NOT_IMPLEMENTED(DSClose)
GENTL_NOT_IMPLEMENTED(DSRevokeBuffer)
GENTL_NOT_IMPLEMENTED(DSQueueBuffer)
GENTL_NOT_IMPLEMENTED(DSGetBufferInfo)
GENTL_NOT_IMPLEMENTED(GCGetNumPortURLs)
GENTL_NOT_IMPLEMENTED(GCGetPortURLInfo)
GENTL_NOT_IMPLEMENTED(GCReadPortStacked)
GENTL_NOT_IMPLEMENTED(GCWritePortStacked)
GENTL_NOT_IMPLEMENTED(DSGetBufferChunkData)
GENTL_NOT_IMPLEMENTED(IFGetParentTL)
GENTL_NOT_IMPLEMENTED(DevGetParentIF)
GENTL_NOT_IMPLEMENTED(DSGetParentDev)
GENTL_NOT_IMPLEMENTED(DSGetNumBufferParts)
GENTL_NOT_IMPLEMENTED(DSGetBufferPartInfo)
#undef GENTL_NOT_IMPLEMENTED
