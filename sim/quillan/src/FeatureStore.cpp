#include "FeatureStore.h"

#include "SimCamera.h"
#include "SimHandles.h"
#include "SimHooks.h"
#include "SimInvalidation.h"
#include "SimModuleFeatures.h"
#include "SimText.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace quillan {

namespace {

// Stores of the shared modules, by "system:<file>|<path>" and
// "interface:<id>|<system path>".
std::mutex& sharedMutex()
{
    static std::mutex m;
    return m;
}

std::map<std::string, std::shared_ptr<SimFeatureStore>>& sharedStores()
{
    static std::map<std::string, std::shared_ptr<SimFeatureStore>> stores;
    return stores;
}

template <class Build>
std::shared_ptr<SimFeatureStore> sharedStore(const std::string& key, Build build)
{
    std::lock_guard<std::mutex> lock(sharedMutex());
    auto& slot = sharedStores()[key];
    if (!slot)
        slot = build();
    return slot;
}

uint32_t ipOf(const std::string& text)
{
    uint32_t v = 0;
    parseIpv4(text, &v);
    return v;
}

SimCameraProfile profileFor(const SimCamera& camera)
{
    const SimCameraConfig& c = camera.config();
    SimCameraProfile p = SimCameraProfile::forCamera(c.key, c.deviceId);
    if (!c.vendor.empty() && p.hasVendorName)
        p.vendor = c.vendor;
    if (!c.model.empty())
        p.model = c.model;
    if (!c.serialNumber.empty())
        p.serial = c.serialNumber;
    if (!c.version.empty())
        p.version = p.firmware = c.version;
    if (!c.tlType.empty())
        p.tlType = c.tlType;
    if (c.width && c.height) {
        p.widthMax = c.width;
        p.heightMax = c.height;
    }
    if (!c.pixelFormats.empty())
        p.formats = c.pixelFormats;
    p.hasStream = c.hasStream;
    if (!c.ipAddress.empty()) {
        p.ip = ipOf(c.ipAddress);
        p.mask = ipOf(c.subnetMask);
        p.gateway = ipOf(c.gateway);
        p.mac = c.mac;
    }
    return p;
}

// Values that live in the camera object rather than in the feature lists.
void bindCamera(SimCameraFeatures& f, const std::shared_ptr<SimCamera>& camera)
{
    std::weak_ptr<SimCamera> weak = camera;
    auto idGetter = [weak](SimValue& v) {
        auto cam = weak.lock();
        if (!cam)
            return -1013;
        v.s = cam->deviceId();
        return 0;
    };
    f.remote().bindExternal("DeviceID", {idGetter, {}, {}});
    f.device().bindExternal("DeviceID", {idGetter, {}, {}});
    f.remote().bindExternal("DeviceReset", {{}, {}, [weak](uint32_t) {
                                                auto cam = weak.lock();
                                                if (!cam)
                                                    return -1013;
                                                SimWorld::instance().scheduleReset(cam);
                                                return 0;
                                            }});
    f.device().bindExternal("DeviceAccessStatus", {[weak](SimValue& v) {
                                                       auto cam = weak.lock();
                                                       if (!cam)
                                                           return -1013;
                                                       const int32_t s = cam->status();
                                                       v.i = s >= 0 && s <= 3 ? s : 0;
                                                       return 0;
                                                   },
                                                   {}, {}});
    auto address = [weak](bool mask) {
        return [weak, mask](SimValue& v) {
            auto cam = weak.lock();
            if (!cam)
                return -1013;
            v.i = ipOf(mask ? cam->subnetMask() : cam->ipAddress());
            return 0;
        };
    };
    SimCameraFeatures* self = &f;
    f.remote().bindExternal("DeviceFirmwareVersion", {[weak, self](SimValue& v) {
                                                          auto cam = weak.lock();
                                                          if (!cam)
                                                              return -1013;
                                                          v.s = cam->firmwareVersion() + self->firmwareSuffix();
                                                          return 0;
                                                      },
                                                      {}, {}});

    if (f.profile().gev) {
        f.remote().bindExternal("GevCurrentIPAddress", {address(false), {}, {}});
        f.remote().bindExternal("GevCurrentSubnetMask", {address(true), {}, {}});
        f.device().bindExternal("GevDeviceIPAddress", {address(false), {}, {}});
        f.device().bindExternal("GevDeviceSubnetMask", {address(true), {}, {}});
    }
}

// A camera back from a reset starts from its power-up state.
void onPowerUp(const std::shared_ptr<SimCamera>& camera)
{
    FeatureStore::ofCamera(camera)->powerUp();
}

// Registrations made through a closing device's handles go with it.
void onDeviceClosing(const std::shared_ptr<SimCamera>&, uint32_t device)
{
    auto& registry = SimInvalidation::instance();
    registry.removeModule(device);
    for (HandleKind kind : {HandleKind::RemoteDevice, HandleKind::Stream})
        for (uint32_t h : SimHandles::instance().handlesOf(kind, device))
            registry.removeModule(h);
}

void onWorldReset()
{
    std::lock_guard<std::mutex> lock(sharedMutex());
    sharedStores().clear();
}

const bool hooked = [] {
    SimHooks::instance().onPowerUp(&onPowerUp);
    SimHooks::instance().onDeviceClosing(&onDeviceClosing);
    SimHooks::instance().onWorldReset(&onWorldReset);
    SimInvalidation::instance().setModuleCheck([](uint32_t module) { return SimHandles::instance().isLive(module); });
    return true;
}();

} // namespace

std::shared_ptr<SimCameraFeatures> FeatureStore::ofCamera(const std::shared_ptr<SimCamera>& camera)
{
    auto slot = camera->deviceModule()->featureStore([&] {
        auto fs = std::make_shared<FeatureStore>();
        fs->camera = std::make_shared<SimCameraFeatures>(profileFor(*camera));
        bindCamera(*fs->camera, camera);
        fs->store = &fs->camera->device();
        return fs;
    });
    return slot->camera;
}

std::shared_ptr<FeatureStore> FeatureStore::of(const SimModuleRef& ref)
{
    switch (ref.kind) {
    case HandleKind::Device:
        ofCamera(ref.camera);
        return ref.module->featureStore([] { return std::shared_ptr<FeatureStore>(); });
    case HandleKind::RemoteDevice:
    case HandleKind::Stream: {
        auto features = ofCamera(ref.camera);
        const bool remote = ref.kind == HandleKind::RemoteDevice;
        return ref.module->featureStore([&] {
            auto fs = std::make_shared<FeatureStore>();
            fs->camera = features;
            fs->store = remote ? &features->remote() : features->stream();
            return fs;
        });
    }
    case HandleKind::System: {
        auto* system = static_cast<SimSystem*>(ref.module.get());
        return ref.module->featureStore([&] {
            auto fs = std::make_shared<FeatureStore>();
            const SimSystemEntry& e = system->entry;
            fs->shared = sharedStore("system:" + e.fileName + "|" + e.fullPath, [&] {
                return SimModuleFeatures::buildSystem(e, SimWorld::instance().producer(e.fileName));
            });
            fs->store = fs->shared.get();
            return fs;
        });
    }
    case HandleKind::Interface: {
        auto* iface = static_cast<SimInterface*>(ref.module.get());
        return ref.module->featureStore([&] {
            auto fs = std::make_shared<FeatureStore>();
            fs->shared = sharedStore("interface:" + iface->desc.id + "|" + iface->system.fullPath, [&] {
                return SimModuleFeatures::buildInterface(iface->system.fileName, iface->desc);
            });
            fs->store = fs->shared.get();
            return fs;
        });
    }
    default:
        return nullptr;
    }
}

SimFeatureStore* FeatureStore::byAddress(const std::string& address, std::string& reply,
                                         std::shared_ptr<SimCameraFeatures>* camera)
{
    const size_t colon = address.find(':');
    if (colon == std::string::npos) {
        reply = "module address must be kind:name: " + address;
        return nullptr;
    }
    const std::string kind = address.substr(0, colon);
    const std::string name = address.substr(colon + 1);
    if (kind == "device" || kind == "remote" || kind == "stream") {
        auto cam = SimWorld::instance().findCamera(name);
        if (!cam) {
            reply = "no such camera: " + name;
            return nullptr;
        }
        auto features = ofCamera(cam);
        if (camera)
            *camera = features;
        SimFeatureStore* s = kind == "device" ? &features->device()
                             : kind == "remote" ? &features->remote()
                                                : features->stream();
        if (!s)
            reply = "camera has no stream: " + name;
        return s;
    }
    if (kind == "system" || kind == "interface") {
        std::lock_guard<std::mutex> lock(sharedMutex());
        const std::string prefix = kind + ":" + name + "|";
        for (auto& [key, store] : sharedStores())
            if (key.rfind(prefix, 0) == 0)
                return store.get();
        reply = "no open module " + address;
        return nullptr;
    }
    reply = "unknown module kind: " + kind;
    return nullptr;
}

void FeatureStore::clearSharedFaults()
{
    std::lock_guard<std::mutex> lock(sharedMutex());
    for (auto& entry : sharedStores())
        entry.second->clearFaults();
}

} // namespace quillan
