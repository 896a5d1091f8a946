#include "SimModuleFeatures.h"

#include "SimLibrary.h"
#include "SimText.h"

#include <algorithm>

namespace quillan {

namespace {

SimFeature make(const std::string& name, SimType type, const std::string& category,
                SimAccess access = SimAccess::RO)
{
    return SimFeature::make(name, type, category, access);
}

SimFeature text(const std::string& name, const std::string& category, const std::string& value)
{
    SimFeature f = make(name, SimType::String, category);
    f.value.s = value;
    f.maxLength = 512;
    f.persistent = false;
    return f;
}

SimFeature number(const std::string& name, const std::string& category, int64_t value, int64_t max,
                  uint8_t representation = 0)
{
    SimFeature f = make(name, SimType::Integer, category);
    f.range.intMax = max;
    f.value.i = value;
    f.representation = representation;
    f.persistent = false;
    return f;
}

uint32_t ipOf(const std::string& text)
{
    uint32_t v = 0;
    parseIpv4(text, &v);
    return v;
}

std::vector<std::shared_ptr<SimCamera>> presentCameras(const std::string& file, const std::string& interfaceId)
{
    std::vector<std::shared_ptr<SimCamera>> list = SimWorld::instance().camerasOn(file, interfaceId);
    list.erase(std::remove_if(list.begin(), list.end(), [](const auto& c) { return !c->present(); }), list.end());
    return list;
}

} // namespace

std::shared_ptr<SimFeatureStore> SimModuleFeatures::buildSystem(const SimSystemEntry& entry,
                                                                const SimProducerDesc& producer)
{
    auto s = std::make_shared<SimFeatureStore>("system:" + entry.fileName);
    s->define(make("Root", SimType::Category, ""));
    s->define(make("SystemInformation", SimType::Category, "Root"));
    s->define(text("TLID", "SystemInformation", "TL:" + entry.fileName));
    s->define(text("TLVendorName", "SystemInformation", producer.vendor));
    s->define(text("TLModelName", "SystemInformation", producer.model));
    s->define(text("TLVersion", "SystemInformation", producer.version));
    s->define(text("TLFileName", "SystemInformation", entry.fileName));
    s->define(text("TLDisplayName", "SystemInformation", producer.model + " (" + entry.fileName + ")"));
    s->define(text("TLPath", "SystemInformation", entry.fullPath));
    s->define(text("TLType", "SystemInformation", producer.tlType));
    s->define(number("GenTLVersionMajor", "SystemInformation", 1, 1));
    s->define(number("GenTLVersionMinor", "SystemInformation", 5, 5));

    s->define(make("InterfaceEnumeration", SimType::Category, "Root"));
    s->define(make("InterfaceUpdateList", SimType::Command, "InterfaceEnumeration", SimAccess::WO));
    std::vector<std::string> ids;
    for (const SimInterfaceDesc& d : producer.interfaces)
        ids.push_back(d.id);
    SimFeature selector = number("InterfaceSelector", "InterfaceEnumeration", 0,
                                 std::max<int64_t>(static_cast<int64_t>(ids.size()) - 1, 0));
    selector.access = SimAccess::RW;
    s->define(selector);
    SimFeature id = text("InterfaceID", "InterfaceEnumeration", "");
    id.selectors = {"InterfaceSelector"};
    id.compute = [ids](const SimFeatureStore&, const SimSelection& sel) {
        const int64_t i = sel.values.empty() ? 0 : sel.values[0];
        return SimValue::ofString(i >= 0 && size_t(i) < ids.size() ? ids[size_t(i)] : std::string());
    };
    s->define(id);
    s->finalize();
    return s;
}

std::shared_ptr<SimFeatureStore> SimModuleFeatures::buildInterface(const std::string& producerFile,
                                                                   const SimInterfaceDesc& desc)
{
    auto s = std::make_shared<SimFeatureStore>("interface:" + desc.id);
    s->define(make("Root", SimType::Category, ""));
    s->define(make("InterfaceInformation", SimType::Category, "Root"));
    s->define(text("InterfaceID", "InterfaceInformation", desc.id));
    s->define(text("InterfaceDisplayName", "InterfaceInformation", desc.displayName));
    s->define(text("InterfaceType", "InterfaceInformation", desc.tlType));
    if (desc.tlType == "GEV") {
        const uint32_t ip = ipOf(desc.ipAddress), mask = ipOf(desc.subnetMask);
        s->define(number("GevInterfaceSubnetIPAddress", "InterfaceInformation", ip & mask, 0xFFFFFFFFll, 5));
        s->define(number("GevInterfaceSubnetMask", "InterfaceInformation", mask, 0xFFFFFFFFll, 5));
        s->define(number("GevInterfaceMACAddress", "InterfaceInformation", 0x00111C0000F0ll, 0xFFFFFFFFFFFFll, 6));
    }

    s->define(make("DeviceEnumeration", SimType::Category, "Root"));
    s->define(make("DeviceUpdateList", SimType::Command, "DeviceEnumeration", SimAccess::WO));
    SimFeature selector = number("DeviceSelector", "DeviceEnumeration", 0, 0);
    selector.access = SimAccess::RW;
    selector.rangeFn = [producerFile, id = desc.id](const SimFeatureStore&, const SimSelection&, SimRange& r) {
        r.intMax = std::max<int64_t>(static_cast<int64_t>(presentCameras(producerFile, id).size()) - 1, 0);
    };
    s->define(selector);
    // The selected camera's texts, as the interface lists it now.
    auto field = [&](const std::string& name, std::function<std::string(const SimCamera&)> get) {
        SimFeature f = text(name, "DeviceEnumeration", "");
        f.selectors = {"DeviceSelector"};
        f.isVolatile = true;
        f.compute = [producerFile, id = desc.id, get](const SimFeatureStore&, const SimSelection& sel) {
            const auto list = presentCameras(producerFile, id);
            const int64_t i = sel.values.empty() ? 0 : sel.values[0];
            return SimValue::ofString(i >= 0 && size_t(i) < list.size() ? get(*list[size_t(i)]) : std::string());
        };
        s->define(f);
    };
    field("DeviceID", [](const SimCamera& c) { return c.deviceId(); });
    field("DeviceVendorName", [](const SimCamera& c) { return c.config().vendor; });
    field("DeviceModelName", [](const SimCamera& c) { return c.config().model; });
    SimFeature status = make("DeviceAccessStatus", SimType::Enumeration, "DeviceEnumeration");
    status.entries = {{"Unknown", 0}, {"ReadWrite", 1}, {"ReadOnly", 2}, {"NoAccess", 3}};
    status.selectors = {"DeviceSelector"};
    status.isVolatile = true;
    status.persistent = false;
    status.compute = [producerFile, id = desc.id](const SimFeatureStore&, const SimSelection& sel) {
        const auto list = presentCameras(producerFile, id);
        const int64_t i = sel.values.empty() ? 0 : sel.values[0];
        if (i < 0 || size_t(i) >= list.size())
            return SimValue::ofInt(0);
        const int32_t st = SimWorld::instance().listedStatus(list[size_t(i)]);
        return SimValue::ofInt(st >= 0 && st <= 3 ? st : 0);
    };
    s->define(status);
    s->finalize();
    return s;
}

} // namespace quillan
