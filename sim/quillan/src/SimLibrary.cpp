#include "SimLibrary.h"

#include "SimCamera.h"
#include "SimHooks.h"
#include "SimText.h"

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace quillan {

int resolveModule(uint32_t handle, SimModuleRef* ref)
{
    if (!SimLibrary::instance().initialised())
        return ORV_ERROR_NOT_INITIALISED;
    HandleKind kind;
    if (handle == 0 || !SimHandles::instance().kindOf(handle, &kind) || !isModuleKind(kind))
        return ORV_ERROR_INVALID_HANDLE;
    return resolveModule(handle, kind, ref);
}

int resolveModule(uint32_t handle, HandleKind kind, SimModuleRef* ref)
{
    if (!SimLibrary::instance().initialised())
        return ORV_ERROR_NOT_INITIALISED;
    auto module = SimHandles::instance().get<SimModule>(handle, kind);
    if (!module || !isModuleKind(kind))
        return ORV_ERROR_INVALID_HANDLE;
    SimModuleRef r;
    r.kind = kind;
    r.module = module;
    r.camera = module->camera.lock();
    if (r.camera && !r.camera->connected())
        return ORV_ERROR_IO;
    if (ref)
        *ref = std::move(r);
    return ORV_SUCCESS;
}

SimLibrary& SimLibrary::instance()
{
    static SimLibrary library;
    return library;
}

std::vector<SimSystemEntry> SimLibrary::scan(const std::string& searchPath)
{
    std::vector<SimSystemEntry> result;
    size_t start = 0;
    while (start <= searchPath.size()) {
        size_t end = searchPath.find(';', start);
        if (end == std::string::npos)
            end = searchPath.size();
        std::string folder = searchPath.substr(start, end - start);
        start = end + 1;
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        if (folder.empty())
            continue;
        DIR* dir = opendir(folder.c_str());
        if (!dir)
            continue;
        std::vector<std::string> names;
        while (dirent* e = readdir(dir)) {
            std::string name = e->d_name;
            if (name.size() <= 4 || name.compare(name.size() - 4, 4, ".cti") != 0)
                continue;
            struct stat st {};
            std::string path = folder + "/" + name;
            if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
                names.push_back(name);
        }
        closedir(dir);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            SimSystemEntry entry;
            entry.index = static_cast<uint32_t>(result.size());
            entry.fileName = name;
            entry.folder = folder;
            entry.fullPath = folder + "/" + name;
            result.push_back(entry);
        }
    }
    return result;
}

int SimLibrary::init(const InitArgs& args)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (initialised_)
        return ORV_ERROR_RESOURCE_IN_USE;
    lastInit_ = args;
    systems_ = scan(args.searchPath);
    SimWorld::instance().refreshIpState(true);
    initialised_ = true;
    return ORV_SUCCESS;
}

int SimLibrary::close()
{
    if (!initialised())
        return ORV_SUCCESS;
    SimHooks::instance().libraryClosing();
    for (uint32_t device : SimHandles::instance().handlesOf(HandleKind::Device))
        closeDevice(device);
    // Objects are released here, outside the registry's lock.
    auto removed = SimHandles::instance().clear();
    removed.clear();
    // A device opened by another thread while this close ran holds no live
    // handle any more: free the camera.
    for (const auto& camera : SimWorld::instance().cameras())
        if (uint32_t held = camera->openHandle(); held != 0 && !SimHandles::instance().isLive(held))
            camera->release(held);
    std::lock_guard<std::mutex> lock(mutex_);
    systems_.clear();
    initialised_ = false;
    return ORV_SUCCESS;
}

bool SimLibrary::initialised() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return initialised_;
}

SimLibrary::InitArgs SimLibrary::lastInit() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lastInit_;
}

std::vector<SimSystemEntry> SimLibrary::systems() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return systems_;
}

bool SimLibrary::system(uint32_t index, SimSystemEntry* entry) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (index >= systems_.size())
        return false;
    if (entry)
        *entry = systems_[index];
    return true;
}

int SimLibrary::interfaceIndex(const std::string& fileName, const std::string& interfaceId, SimInterfaceDesc* desc)
{
    auto interfaces = SimWorld::instance().producer(fileName).interfaces;
    for (size_t i = 0; i < interfaces.size(); ++i) {
        if (interfaces[i].id == interfaceId) {
            if (desc)
                *desc = interfaces[i];
            return static_cast<int>(i);
        }
    }
    return -1;
}

void SimLibrary::fillTlInfo(const SimSystemEntry& entry, ORV_TL_INFO* info)
{
    SimProducerDesc p = SimWorld::instance().producer(entry.fileName);
    *info = ORV_TL_INFO{};
    copyText(info->id, "TL:" + entry.fileName);
    copyText(info->vendor, p.vendor);
    copyText(info->model, p.model);
    copyText(info->version, p.version);
    copyText(info->tlType, p.tlType);
    copyText(info->name, entry.fileName);
    copyText(info->fullPath, entry.fullPath);
    copyText(info->displayName, p.model + " (" + entry.fileName + ")");
    info->genTLVersionMajor = 1;
    info->genTLVersionMinor = 5;
    info->systemIndex = entry.index;
}

void SimLibrary::fillInterfaceInfo(const SimInterfaceDesc& desc, uint32_t index, ORV_INTERFACE_INFO* info)
{
    *info = ORV_INTERFACE_INFO{};
    info->index = index;
    copyText(info->id, desc.id);
    copyText(info->displayName, desc.displayName);
    copyText(info->tlType, desc.tlType);
    copyText(info->ipAddress, desc.ipAddress);
    copyText(info->subnet, desc.subnetText());
    copyText(info->subnetMask, desc.subnetMask);
}

int32_t SimLibrary::statusThrough(const std::shared_ptr<SimCamera>& camera, const std::string& systemPath)
{
    if (camera->openHandle() != 0 && !systemPath.empty() && camera->openSystemPath() != systemPath)
        return ORV_ACCESS_STATUS_NOT_ACCESSIBLE;
    return SimWorld::instance().listedStatus(camera);
}

void SimLibrary::fillDeviceInfo(const std::shared_ptr<SimCamera>& camera, const std::string& systemPath,
                                uint32_t index, ORV_DEVICE_INFO* info)
{
    const SimCameraConfig& c = camera->config();
    *info = ORV_DEVICE_INFO{};
    info->index = index;
    copyText(info->id, camera->deviceId());
    copyText(info->vendor, c.vendor);
    copyText(info->model, c.model);
    copyText(info->displayName, c.model + " (" + c.serialNumber + ")");
    copyText(info->tlType, c.tlType);
    info->accessStatus = statusThrough(camera, systemPath);
    copyText(info->serialNumber, c.serialNumber);
    copyText(info->version, camera->firmwareVersion());
    if (c.tlType == "GEV") {
        copyText(info->ipAddress, camera->ipAddress());
        for (int i = 0; i < 6; ++i)
            info->macAddress[i] = static_cast<uint8_t>(c.mac >> (8 * (5 - i)));
        copyText(info->gateway, camera->gateway());
    }
    copyText(info->subnet, camera->subnetText());
}

int SimLibrary::openSystem(uint32_t index, ORV_SYSTEM_HANDLE* handle)
{
    SimSystemEntry entry;
    if (!system(index, &entry))
        return ORV_ERROR_INVALID_ARGUMENT;
    uint32_t h = SimHandles::instance().add(HandleKind::System, std::make_shared<SimSystem>(entry));
    if (h == 0)
        return ORV_ERROR_BUSY;
    *handle = h;
    return ORV_SUCCESS;
}

int SimLibrary::closeSystem(ORV_SYSTEM_HANDLE handle)
{
    auto system = SimHandles::instance().get<SimSystem>(handle, HandleKind::System);
    if (!system)
        return ORV_ERROR_INVALID_HANDLE;
    for (uint32_t iface : SimHandles::instance().handlesOf(HandleKind::Interface, handle))
        for (uint32_t device : SimHandles::instance().handlesOf(HandleKind::Device, iface))
            closeDevice(device);
    auto removed = SimHandles::instance().remove(handle);
    return ORV_SUCCESS;
}

int SimLibrary::openDevice(ORV_INTERFACE_HANDLE ifaceHandle, const std::string& deviceId, uint32_t accessMode,
                           ORV_DEVICE_HANDLE* device, ORV_REMOTE_DEVICE_HANDLE* remote)
{
    auto iface = SimHandles::instance().get<SimInterface>(ifaceHandle, HandleKind::Interface);
    if (!iface)
        return ORV_ERROR_INVALID_HANDLE;
    if (accessMode < ORV_ACCESS_MODE_READ_ONLY || accessMode > ORV_ACCESS_MODE_EXCLUSIVE)
        return ORV_ERROR_INVALID_ARGUMENT;
    std::shared_ptr<SimCamera> camera;
    for (const auto& candidate : SimWorld::instance().camerasOn(iface->system.fileName, iface->desc.id))
        if (candidate->present() && equalsIgnoreCase(candidate->deviceId(), deviceId))
            camera = candidate;
    if (!camera)
        return ORV_ERROR_NOT_AVAILABLE;
    int32_t status = statusThrough(camera, iface->system.fullPath);
    if (status == ORV_ACCESS_STATUS_READ_ONLY && accessMode != ORV_ACCESS_MODE_READ_ONLY)
        return ORV_ERROR_BUSY;
    if (status != ORV_ACCESS_STATUS_READY && status != ORV_ACCESS_STATUS_READ_ONLY)
        return ORV_ERROR_BUSY;
    uint32_t d = SimHandles::instance().add(HandleKind::Device, camera->deviceModule(), ifaceHandle);
    if (d == 0)
        return ORV_ERROR_INVALID_HANDLE; // the interface closed meanwhile
    if (!camera->claim(d, iface->system.fullPath)) {
        SimHandles::instance().remove(d);
        return ORV_ERROR_BUSY;
    }
    camera->setReadOnlyOpen(accessMode == ORV_ACCESS_MODE_READ_ONLY);
    uint32_t r = SimHandles::instance().add(HandleKind::RemoteDevice, camera->remoteModule(), d);
    *device = d;
    *remote = r;
    SimHooks::instance().deviceOpened(camera, d);
    return ORV_SUCCESS;
}

int SimLibrary::closeDevice(ORV_DEVICE_HANDLE handle)
{
    auto module = SimHandles::instance().get<SimModule>(handle, HandleKind::Device);
    if (!module)
        return ORV_ERROR_INVALID_HANDLE;
    auto camera = module->camera.lock();
    if (camera)
        SimHooks::instance().deviceClosing(camera, handle);
    auto removed = SimHandles::instance().remove(handle);
    if (camera)
        camera->release(handle);
    return ORV_SUCCESS;
}

} // namespace quillan
