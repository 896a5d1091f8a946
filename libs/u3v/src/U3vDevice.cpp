#include "U3vDevice.h"

#include <cstdio>
#include <cstring>

namespace pexlin {
namespace {

constexpr std::uint8_t kDescConfig = 0x02;
constexpr std::uint8_t kDescInterface = 0x04;
constexpr std::uint8_t kDescEndpoint = 0x05;
constexpr std::uint8_t kDescDeviceInfo = 0x24;
constexpr std::size_t kDeviceInfoLength = 20;

enum Kind { KindControl = 0, KindEvent = 1, KindStream = 2, KindNone = -1 };

bool isControlSetting(const usb::AltSettingDesc& s)
{
    return s.interfaceClass == 0xEF && s.interfaceSubClass == 0x05 && s.interfaceProtocol == 0x00;
}

std::uint32_t le32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16
         | std::uint32_t(p[3]) << 24;
}

void cutTrailingSpace(char* text)
{
    std::size_t n = std::strlen(text);
    while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\t' || text[n - 1] == '\r'
                     || text[n - 1] == '\n' || text[n - 1] == '\v' || text[n - 1] == '\f'))
        text[--n] = '\0';
}

// Reads the device's strings into the info; false when one cannot be read.
bool readStrings(usb::Backend* usb, usb::Handle* handle, const std::uint8_t* indices,
                 U3V_DEVICE_INFO& info)
{
    struct Field { char* text; std::size_t size; };
    const Field fields[] = {
        {info.guid, sizeof info.guid},
        {info.vendorName, sizeof info.vendorName},
        {info.modelName, sizeof info.modelName},
        {info.familyName, sizeof info.familyName},
        {info.deviceVersion, sizeof info.deviceVersion},
        {info.manufacturerInfo, sizeof info.manufacturerInfo},
        {info.serialNumber, sizeof info.serialNumber},
        {info.userDefinedName, sizeof info.userDefinedName},
    };
    for (int i = 0; i < 8; ++i) {
        std::memset(fields[i].text, 0, fields[i].size);
        if (usb->getStringSimple(handle, indices[i], fields[i].text, fields[i].size) < 0)
            return false;
        fields[i].text[fields[i].size - 1] = '\0';
    }
    return true;
}

} // namespace

void debugPrint(const char* format, ...)
{
    char line[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    cutTrailingSpace(line);
    std::fprintf(stderr, "%s\r\n", line);
}

bool parseConfiguration(const std::uint8_t* bytes, std::size_t size, U3V_DeviceEntry& entry,
                        std::uint8_t stringIndices[8])
{
    int kind = KindNone;
    const std::uint8_t* info = nullptr;
    std::size_t pos = 0;
    // A length below 2 or one reaching past the bytes read ends the walk.
    while (pos + 2 <= size) {
        const std::size_t length = bytes[pos];
        if (length < 2 || length > size - pos)
            break;
        const std::uint8_t* d = bytes + pos;
        switch (d[1]) {
        case kDescInterface:
            if (length >= 9) {
                kind = d[7] <= 2 ? int(d[7]) : int(KindNone);
                if (kind == KindControl)
                    entry.controlInterface = d[2];
                else if (kind == KindEvent)
                    entry.eventInterface = d[2];
                else if (kind == KindStream)
                    entry.streamInterface = d[2];
            }
            break;
        case kDescEndpoint:
            if (length >= 7) {
                const std::uint8_t address = d[2];
                debugPrint("Endpoint found (%d)-> %02X, %02X, max: %d\n", kind, address, d[3],
                           d[4] | d[5] << 8);
                if (kind == KindControl) {
                    if (address & 0x80)
                        entry.controlIn = address;
                    else
                        entry.controlOut = address;
                } else if (kind == KindEvent) {
                    entry.eventIn = address;
                } else if (kind == KindStream) {
                    entry.streamIn = address;
                }
            }
            break;
        case kDescDeviceInfo:
            if (length >= kDeviceInfoLength)
                info = d;
            break;
        default:
            break;
        }
        pos += length;
    }
    if (!info)
        return false;
    entry.info.genCpVersion = le32(info + 3);
    entry.info.u3vVersion = le32(info + 7);
    entry.info.speedSupport = info[19];
    std::memcpy(stringIndices, info + 11, 8);
    return true;
}

U3V_STATUS U3V_DeviceList::discover(usb::Backend* usb)
{
    std::vector<EntryPtr> found;
    U3V_STATUS failure = 0;
    auto fail = [&failure](U3V_STATUS status) {
        if (failure == 0)
            failure = status;
    };
    std::vector<usb::DevicePtr> devices;
    if (usb && usb->findDevices(devices) < 0)
        devices.clear();

    for (const usb::DevicePtr& device : devices) {
        const usb::DeviceDesc& desc = device->descriptor();
        if (desc.deviceClass != 0xEF || desc.deviceSubClass != 0x02 || desc.deviceProtocol != 0x01)
            continue;
        // A device that cannot be opened or read is skipped: many devices
        // that are no camera share these class codes.
        usb::Handle* handle = usb->open(device);
        if (!handle) {
            fail(U3V_STATUS_OPEN_FAILED);
            continue;
        }
        if (desc.configs.empty()) {
            fail(U3V_STATUS_NO_CONFIGURATION);
        } else if (desc.configs[0].interfaces.empty()) {
            fail(U3V_STATUS_NO_INTERFACES);
        } else {
            const usb::ConfigDesc& config = desc.configs[0];
            for (const usb::InterfaceDesc& iface : config.interfaces) {
                for (const usb::AltSettingDesc& setting : iface.altSettings) {
                    if (!isControlSetting(setting))
                        continue;
                    auto entry = std::make_shared<U3V_DeviceEntry>();
                    entry->device = device;
                    std::vector<std::uint8_t> bytes(config.totalLength);
                    const int got = bytes.empty() ? -1
                        : usb->getDescriptor(handle, kDescConfig, 0, bytes.data(),
                                             int(bytes.size()));
                    if (got < 0) {
                        fail(U3V_STATUS_CONFIG_DESCRIPTOR);
                        continue;
                    }
                    std::uint8_t indices[8] = {};
                    const std::size_t read = std::min<std::size_t>(std::size_t(got), bytes.size());
                    if (!parseConfiguration(bytes.data(), read, *entry, indices)) {
                        fail(U3V_STATUS_STRING_DESCRIPTOR);
                        continue;
                    }
                    if (!readStrings(usb, handle, indices, entry->info)) {
                        fail(U3V_STATUS_STRING_DESCRIPTOR);
                        continue;
                    }
                    if (usb->claimInterface(handle, entry->controlInterface) < 0)
                        entry->info.inUse = 1;
                    else
                        usb->releaseInterface(handle, entry->controlInterface);
                    found.push_back(entry);
                }
            }
        }
        usb->close(handle);
    }

    std::lock_guard<std::mutex> lock(mutex_);
    // Entries of the earlier discovery go unless an open device holds them.
    entries_ = std::move(found);
    return entries_.empty() ? failure : 0;
}

std::size_t U3V_DeviceList::count() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
}

EntryPtr U3V_DeviceList::at(std::size_t position) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return position < entries_.size() ? entries_[position] : nullptr;
}

EntryPtr U3V_DeviceList::findGuid(const char* guid) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (const EntryPtr& entry : entries_) {
        if (std::strncmp(entry->info.guid, guid, sizeof entry->info.guid) == 0
            && std::strlen(guid) < sizeof entry->info.guid)
            return entry;
    }
    return nullptr;
}

void U3V_DeviceList::clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
}

} // namespace pexlin

U3V_Device::~U3V_Device()
{
    if (handle) {
        if (pexlin::usb::Backend* usb = pexlin::usb::backend())
            usb->close(handle);
        handle = nullptr;
    }
    if (entry)
        entry->info.inUse = 0;
}

U3V_STATUS U3V_Device::open(const pexlin::EntryPtr& found)
{
    pexlin::usb::Backend* usb = pexlin::usb::backend();
    handle = usb ? usb->open(found->device) : nullptr;
    if (!handle)
        return U3V_STATUS_OPEN_FAILED;
    entry = found;
    static_cast<pexlin::U3vPipes&>(*this) = *found;
    Log(U3V_LOG_INFO, "Control Interface available. Out pipe -> %02X. In pipe -> %02X",
        controlOut, controlIn);
    if (eventInterface != 0)
        Log(U3V_LOG_INFO, "Event interface available. In pipe -> %02X", eventIn);
    else
        Log(U3V_LOG_INFO, "No Device Event Interface available.");
    if (streamInterface != 0) {
        Log(U3V_LOG_INFO, "Stream interface available. In pipe -> %02X", streamIn);
    } else {
        Log(U3V_LOG_INFO, "No Device Stream Interface available.");
    }
    Log(U3V_LOG_INFO, "Device U3V %s opened successfully.", found->info.guid);
    found->info.inUse = 1;
    return 0;
}

void U3V_Device::Log(int level, const char* format, ...)
{
    if (logMask == 0 || !logCallback || (level & logMask) != level)
        return;
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    pexlin::cutTrailingSpace(text);
    logCallback(level, text);
}
