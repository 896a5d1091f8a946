#include "U3vSim.h"

#include <algorithm>
#include <cstring>

namespace u3vsim {
namespace {

class SimHandle : public usb::Handle {
public:
    explicit SimHandle(std::shared_ptr<SimDevice> d) : device(std::move(d)) {}
    std::shared_ptr<SimDevice> device;
    std::set<int> claimed;
};

SimHandle* cast(usb::Handle* handle) { return static_cast<SimHandle*>(handle); }

} // namespace

World& World::instance()
{
    static World* world = new World;
    return *world;
}

World::World() { reset(); }

void World::reset()
{
    clear();
    std::string reply;
    DeviceSetup setup;
    setup.name = "cam0";
    add(setup, reply);
}

void World::clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& d : devices_)
        d->unplug();
    devices_.clear();
}

bool World::add(DeviceSetup setup, std::string& reply)
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& d : devices_) {
        if (d->setup().name == setup.name) {
            reply = "device " + setup.name + " exists";
            return false;
        }
    }
    devices_.push_back(std::make_shared<SimDevice>(std::move(setup)));
    return true;
}

bool World::remove(const std::string& name)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find_if(devices_.begin(), devices_.end(),
                           [&](const auto& d) { return d->setup().name == name; });
    if (it == devices_.end())
        return false;
    (*it)->unplug();
    devices_.erase(it);
    return true;
}

std::shared_ptr<SimDevice> World::device(const std::string& name) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& d : devices_) {
        if (d->setup().name == name)
            return d;
    }
    return nullptr;
}

int World::findDevices(std::vector<usb::DevicePtr>& out)
{
    std::lock_guard<std::mutex> lock(mutex_);
    out.insert(out.end(), devices_.begin(), devices_.end());
    return int(devices_.size());
}

usb::Handle* World::open(const usb::DevicePtr& device)
{
    auto sim = std::dynamic_pointer_cast<SimDevice>(device);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!sim || sim->gone || sim->setup().unopenable)
        return nullptr;
    return new SimHandle(sim);
}

int World::close(usb::Handle* handle)
{
    if (!handle)
        return usb::ErrorInvalid;
    SimHandle* h = cast(handle);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (int iface : h->claimed)
            h->device->claims.erase(iface);
    }
    delete h;
    return 0;
}

int World::getDescriptor(usb::Handle* handle, std::uint8_t type, std::uint8_t index,
                         void* buffer, int size)
{
    SimHandle* h = cast(handle);
    if (h->device->gone)
        return usb::ErrorNoDevice;
    if (type != 0x02 || index != 0 || size < 0 || h->device->setup().tree == "unreadable")
        return usb::ErrorPipe;
    const auto& bytes = h->device->configBytes();
    const std::size_t n = std::min(bytes.size(), std::size_t(size));
    std::memcpy(buffer, bytes.data(), n);
    return int(n);
}

int World::getStringSimple(usb::Handle* handle, int index, char* buffer, std::size_t size)
{
    SimHandle* h = cast(handle);
    return h->device->gone ? usb::ErrorNoDevice : h->device->string(index, buffer, size);
}

int World::claimInterface(usb::Handle* handle, int interfaceNumber)
{
    SimHandle* h = cast(handle);
    std::lock_guard<std::mutex> lock(mutex_);
    if (h->device->gone)
        return usb::ErrorNoDevice;
    if (h->claimed.count(interfaceNumber))
        return 0;
    if ((interfaceNumber == 0 && h->device->setup().claimedElsewhere)
        || h->device->claims.count(interfaceNumber))
        return usb::ErrorBusy;
    h->claimed.insert(interfaceNumber);
    h->device->claims.insert(interfaceNumber);
    return 0;
}

int World::releaseInterface(usb::Handle* handle, int interfaceNumber)
{
    SimHandle* h = cast(handle);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!h->claimed.erase(interfaceNumber))
        return usb::ErrorInvalid;
    h->device->claims.erase(interfaceNumber);
    return 0;
}

int World::clearHalt(usb::Handle* handle, unsigned endpoint)
{
    return cast(handle)->device->clearHalt(endpoint);
}

int World::bulkWrite(usb::Handle* handle, int endpoint, const void* data, int size,
                     int timeoutMs)
{
    return cast(handle)->device->bulkWrite(endpoint, static_cast<const std::uint8_t*>(data), size,
                                           timeoutMs);
}

int World::bulkRead(usb::Handle* handle, int endpoint, void* data, int size, int timeoutMs)
{
    return cast(handle)->device->bulkRead(endpoint, static_cast<std::uint8_t*>(data), size,
                                          timeoutMs);
}

usb::AsyncTransfer* World::setupAsync(usb::Handle* handle, int endpoint)
{
    SimHandle* h = handle ? cast(handle) : nullptr;
    if (!h || (endpoint | 0x80) != kStreamIn || !h->device->setup().streamInterface)
        return nullptr;
    return new SimAsync(h->device, endpoint);
}

int World::submitAsync(usb::AsyncTransfer* transfer, void* buffer, int size)
{
    auto* t = static_cast<SimAsync*>(transfer);
    return t ? t->device->submitAsync(t, static_cast<std::uint8_t*>(buffer), size)
             : usb::ErrorInvalid;
}

int World::reapAsync(usb::AsyncTransfer* transfer, int timeoutMs)
{
    auto* t = static_cast<SimAsync*>(transfer);
    return t ? t->device->reapAsync(t, timeoutMs) : usb::ErrorInvalid;
}

int World::cancelAsync(usb::AsyncTransfer* transfer)
{
    auto* t = static_cast<SimAsync*>(transfer);
    return t ? t->device->cancelAsync(t) : usb::ErrorInvalid;
}

int World::freeAsync(usb::AsyncTransfer* transfer)
{
    auto* t = static_cast<SimAsync*>(transfer);
    if (!t)
        return usb::ErrorInvalid;
    t->device->forgetAsync(t);
    delete t;
    return 0;
}

} // namespace u3vsim

pexlin::usb::Backend* PexlinUsbSimBackend()
{
    return &u3vsim::World::instance();
}
