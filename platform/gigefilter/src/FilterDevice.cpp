#include "FilterDevice.h"

#include "UserSpaceDriver.h"

#include <map>
#include <mutex>

namespace gigefilter {

namespace {

struct DeviceTable {
    std::mutex lock;
    std::map<std::string, FilterDeviceFactory> factories;
};

// Lives for the process, so devices may be opened during static destruction.
// It starts with the user-space driver under the library's path.
DeviceTable& table()
{
    static DeviceTable* instance = [] {
        auto* t = new DeviceTable;
        t->factories[kFilterDevicePath] = [] { return makeUserSpaceDriver(); };
        return t;
    }();
    return *instance;
}

}  // namespace

void registerFilterDevice(const std::string& path, FilterDeviceFactory factory)
{
    DeviceTable& t = table();
    std::lock_guard<std::mutex> hold(t.lock);
    if (factory)
        t.factories[path] = std::move(factory);
    else
        t.factories.erase(path);
}

FilterDeviceFactory filterDeviceFactory(const std::string& path)
{
    DeviceTable& t = table();
    std::lock_guard<std::mutex> hold(t.lock);
    auto it = t.factories.find(path);
    return it == t.factories.end() ? FilterDeviceFactory() : it->second;
}

std::unique_ptr<FilterDevice> openFilterDevice(const std::string& path)
{
    FilterDeviceFactory factory;
    {
        DeviceTable& t = table();
        std::lock_guard<std::mutex> hold(t.lock);
        auto it = t.factories.find(path);
        if (it == t.factories.end())
            return nullptr;
        factory = it->second;
    }
    return factory();
}

}  // namespace gigefilter
