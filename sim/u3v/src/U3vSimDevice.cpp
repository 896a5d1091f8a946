#include "U3vSim.h"
#include "U3vSimBytes.h"

#include "MemZip.h"

#include <algorithm>
#include <cstring>

namespace u3vsim {
namespace {

constexpr std::uint32_t kPrefix = 0x43563355; // "U3VC"
constexpr std::uint64_t kPageSize = 4096;


std::vector<std::uint8_t> acknowledge(std::uint16_t status, std::uint16_t command,
                                      std::uint16_t id, const std::uint8_t* data,
                                      std::size_t size)
{
    std::vector<std::uint8_t> a(12 + size);
    put32(a.data(), kPrefix);
    put16(a.data() + 4, status);
    put16(a.data() + 6, command);
    put16(a.data() + 8, std::uint16_t(size));
    put16(a.data() + 10, id);
    if (size > 0)
        std::memcpy(a.data() + 12, data, size);
    return a;
}

// The next packet of an IN endpoint; one longer than the read overflows it.
int takePacket(std::deque<std::vector<std::uint8_t>>& queue, std::uint8_t* data, int size)
{
    if (queue.empty())
        return usb::ErrorTimeout;
    std::vector<std::uint8_t> packet = std::move(queue.front());
    queue.pop_front();
    if (int(packet.size()) > size)
        return usb::ErrorOverflow;
    std::memcpy(data, packet.data(), packet.size());
    return int(packet.size());
}

void appendInterface(std::vector<std::uint8_t>& out, std::uint8_t number, std::uint8_t alt,
                     std::uint8_t endpoints, std::uint8_t cls, std::uint8_t sub,
                     std::uint8_t proto)
{
    out.insert(out.end(), {9, 0x04, number, alt, endpoints, cls, sub, proto, 0});
}

void appendEndpoint(std::vector<std::uint8_t>& out, std::uint8_t address)
{
    out.insert(out.end(), {7, 0x05, address, 0x02, 0x00, 0x04, 0});
    out.insert(out.end(), {6, 0x30, 15, 0, 0, 0}); // SuperSpeed companion
}

std::string genicamXml(const DeviceSetup& s)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<RegisterDescription ModelName=\"" + s.model + "\" VendorName=\"" + s.vendor
         + "\" StandardNameSpace=\"None\" SchemaMajorVersion=\"1\" SchemaMinorVersion=\"1\""
           " SchemaSubMinorVersion=\"0\" MajorVersion=\"1\" MinorVersion=\"0\""
           " SubMinorVersion=\"0\" ProductGuid=\"" + s.guid + "\" VersionGuid=\"" + s.guid
         + "\" xmlns=\"http://www.genicam.org/GenApi/Version_1_1\">\n"
           "  <Category Name=\"Root\">\n"
           "    <pFeature>DeviceVendorName</pFeature>\n"
           "    <pFeature>DeviceModelName</pFeature>\n"
           "  </Category>\n"
           "  <StringReg Name=\"DeviceVendorName\">\n"
           "    <Address>0x0004</Address>\n    <Length>64</Length>\n"
           "    <AccessMode>RO</AccessMode>\n    <pPort>Device</pPort>\n"
           "  </StringReg>\n"
           "  <StringReg Name=\"DeviceModelName\">\n"
           "    <Address>0x0044</Address>\n    <Length>64</Length>\n"
           "    <AccessMode>RO</AccessMode>\n    <pPort>Device</pPort>\n"
           "  </StringReg>\n"
           "  <Port Name=\"Device\"/>\n"
           "</RegisterDescription>\n";
}

} // namespace

SimDevice::SimDevice(DeviceSetup setup)
    : setup_(std::move(setup)), xml_(genicamXml(setup_)), fps_(setup_.fps), fill_(setup_.fill)
{
    buildTree();
    // ABRM: versions, the text registers, and the bootstrap addresses.
    std::uint8_t b[8];
    put32(b, 0x00010000);
    writeMemory(0x0000, b, 4);
    const std::string* texts[] = {&setup_.vendor, &setup_.model, &setup_.family, &setup_.version,
                                  &setup_.info, &setup_.serial, &setup_.user};
    for (std::size_t i = 0; i < 7; ++i) {
        std::uint8_t field[64] = {};
        std::memcpy(field, texts[i]->data(), std::min<std::size_t>(63, texts[i]->size()));
        writeMemory(0x0004 + 0x40 * i, field, sizeof field);
    }
    put32(b, setup_.capabilities);
    writeMemory(0x01C4, b, 4);
    put32(b, setup_.responseMs);
    writeMemory(0x01CC, b, 4);
    put64(b, kManifestAddress);
    writeMemory(0x01D0, b, 8);
    put64(b, kSbrmAddress);
    writeMemory(0x01D8, b, 8);
    put32(b, 1024);
    writeMemory(kSbrmAddress + 0x14, b, 4);
    writeMemory(kSbrmAddress + 0x18, b, 4);
    put32(b, setup_.streamInterface ? 1 : 0);
    writeMemory(kSbrmAddress + 0x1C, b, 4);
    put64(b, (setup_.sirm ? 1u : 0u) | (setup_.eirm ? 2u : 0u));
    writeMemory(kSbrmAddress + 0x04, b, 8);
    put64(b, kSirmAddress);
    writeMemory(kSbrmAddress + 0x20, b, 8);
    put32(b, 0x44);
    writeMemory(kSbrmAddress + 0x28, b, 4);
    put64(b, kEirmAddress);
    writeMemory(kSbrmAddress + 0x2C, b, 8);
    put32(b, 0x20);
    writeMemory(kSbrmAddress + 0x34, b, 4);
    // SIRM: alignment, required sizes; the layout registers start at zero.
    put32(b, setup_.alignExponent << 24);
    writeMemory(kSirmAddress + 0x00, b, 4);
    const std::uint64_t payload = setup_.payload != 0
        ? setup_.payload
        : std::uint64_t(setup_.width) * setup_.height * ((setup_.pixelFormat >> 16) & 0xFF) / 8;
    put64(b, payload);
    writeMemory(kSirmAddress + 0x08, b, 8);
    put32(b, setup_.leaderSize);
    writeMemory(kSirmAddress + 0x10, b, 4);
    put32(b, setup_.trailerSize);
    writeMemory(kSirmAddress + 0x14, b, 4);
    put32(b, 1); // event enable, set at power-up
    writeMemory(kEirmAddress + 0x00, b, 4);
    put32(b, setup_.eventTransfer);
    writeMemory(kEirmAddress + 0x04, b, 4);
    placeFile();
}

void SimDevice::placeFile()
{
    std::vector<std::uint8_t> file(xml_.begin(), xml_.end());
    if (setup_.zipped) {
        std::vector<std::uint8_t> zip;
        memzip::createSingle("device.xml", xml_.data(), xml_.size(), zip);
        file = std::move(zip);
    }
    writeMemory(kFileAddress, file.data(), file.size());
    std::uint8_t manifest[72] = {};
    put64(manifest, 1);
    put32(manifest + 8, 0x00010000);
    put32(manifest + 12, (setup_.zipped ? 0x0400u : 0u) | 0x00010000u);
    put64(manifest + 16, kFileAddress);
    put64(manifest + 24, file.size());
    writeMemory(kManifestAddress, manifest, sizeof manifest);
}

void SimDevice::buildTree()
{
    desc_.deviceClass = setup_.cls;
    desc_.deviceSubClass = setup_.subClass;
    desc_.deviceProtocol = setup_.protocol;
    desc_.vendorId = 0x1D6B;
    desc_.productId = 0x0300;
    const std::string& t = setup_.tree;
    const std::uint8_t controlClass = t == "no-control" ? 0xFF : 0xEF;

    std::vector<std::uint8_t> c = {9, 0x02, 0, 0, 0, 1, 0, 0x80, 0x32};
    c.insert(c.end(), {8, 0x0B, 0, std::uint8_t(1 + setup_.eventInterface + setup_.streamInterface),
                       0xEF, 0x05, 0x00, 0});
    usb::ConfigDesc config;
    auto addSetting = [&](std::uint8_t number, std::uint8_t alt, std::uint8_t cls,
                          std::uint8_t proto, std::vector<std::uint8_t> endpoints) {
        appendInterface(c, number, alt, std::uint8_t(endpoints.size()), cls, 0x05, proto);
        usb::AltSettingDesc s;
        s.interfaceNumber = number;
        s.alternateSetting = alt;
        s.interfaceClass = cls;
        s.interfaceSubClass = 0x05;
        s.interfaceProtocol = proto;
        if (proto == 0) {
            std::vector<std::uint8_t> info = {20, 0x24, 0x01};
            const std::uint8_t v[8] = {0, 0, 1, 0, 0, 0, 1, 0};
            info.insert(info.end(), v, v + 8);
            for (std::uint8_t i = 1; i <= 8; ++i)
                info.push_back(i);
            info.push_back(setup_.speed);
            if (t == "short-info") {
                info.resize(19);
                info[0] = 19;
            }
            c.insert(c.end(), info.begin(), info.end());
        }
        for (std::uint8_t address : endpoints) {
            appendEndpoint(c, address);
            s.endpoints.push_back({address, 0x02, 1024});
        }
        if (alt == 0)
            config.interfaces.emplace_back();
        config.interfaces.back().altSettings.push_back(std::move(s));
    };
    addSetting(0, 0, controlClass, 0x00, {kControlOut, kControlIn});
    if (t == "two-alts")
        addSetting(0, 1, controlClass, 0x00, {kControlOut, kControlIn});
    if (setup_.eventInterface)
        addSetting(1, 0, 0xEF, 0x01, {kEventIn});
    if (setup_.streamInterface)
        addSetting(2, 0, 0xEF, 0x02, {kStreamIn});
    if (t == "zero-length")
        c.insert(c.end(), {0, 0x30, 0, 0});
    if (t == "overlong")
        c.insert(c.end(), {64, 0x30, 0, 0});
    put16(&c[2], std::uint16_t(c.size()));
    c[4] = std::uint8_t(config.interfaces.size());
    config.totalLength = std::uint16_t(c.size());
    if (t == "no-interfaces")
        config.interfaces.clear();
    if (t != "no-config")
        desc_.configs.push_back(std::move(config));
    config_ = std::move(c);
}

void SimDevice::writeMemory(std::uint64_t address, const void* data, std::size_t size)
{
    std::lock_guard<std::mutex> lock(mutex_);
    writeLocked(address, data, size);
}

void SimDevice::readMemory(std::uint64_t address, void* data, std::size_t size) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    readLocked(address, data, size);
}

void SimDevice::writeLocked(std::uint64_t address, const void* data, std::size_t size)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        auto& page = pages_[(address + i) / kPageSize];
        if (page.empty())
            page.resize(kPageSize);
        page[(address + i) % kPageSize] = p[i];
    }
}

void SimDevice::readLocked(std::uint64_t address, void* data, std::size_t size) const
{
    auto* p = static_cast<std::uint8_t*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        auto it = pages_.find((address + i) / kPageSize);
        p[i] = it == pages_.end() ? 0 : it->second[(address + i) % kPageSize];
    }
}

bool SimDevice::takeFault(const std::string& kind, bool isRead, std::uint64_t address, Fault* hit)
{
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if (it->kind != kind || address < it->from)
            continue;
        if ((it->on == "read" && !isRead) || (it->on == "write" && isRead))
            continue;
        if (it->after > 0) {
            --it->after;
            continue;
        }
        *hit = *it;
        if (it->remaining > 0 && --it->remaining == 0)
            faults_.erase(it);
        return true;
    }
    return false;
}

bool SimDevice::takeTransferFault(const std::string& kind)
{
    Fault hit;
    return takeFault(kind, true, ~0ull, &hit);
}

void SimDevice::respond(const std::uint8_t* command, int size)
{
    if (size < 12 || get32(command) != kPrefix)
        return;
    const std::uint16_t code = get16(command + 6);
    const std::uint16_t id = get16(command + 10);
    const bool isRead = code == 0x0800;
    if (!isRead && code != 0x0802)
        return;
    if (size < 20 || (isRead && size < 24))
        return;
    const std::uint64_t address = get64(command + 12);

    std::vector<std::vector<std::uint8_t>> out;
    Fault f;
    const std::uint16_t ackCode = isRead ? 0x0801 : 0x0803;
    if (takeFault("pending", isRead, address, &f)) {
        std::uint8_t p[4] = {};
        put16(p + 2, std::uint16_t(f.value));
        out.push_back(acknowledge(0, 0x0805, id, p, 4));
    }
    if (takeFault("status", isRead, address, &f)) {
        out.push_back(acknowledge(std::uint16_t(f.value), ackCode, id, nullptr, 0));
    } else if (isRead) {
        std::uint16_t count = get16(command + 22);
        std::vector<std::uint8_t> data(count);
        readLocked(address, data.data(), count);
        if (takeFault("short", isRead, address, &f) && !data.empty())
            data.pop_back();
        out.push_back(acknowledge(0, ackCode, id, data.data(), data.size()));
    } else {
        const std::size_t count = std::size_t(size - 20);
        writeLocked(address, command + 20, count);
        if (address == kEirmAddress + 0x08 && count >= 4 && get32(command + 20) != 0)
            queueEventLocked(eventPacket(kTestEventId, clock_++, {}));
        if (address >= kSirmAddress && address < kSirmAddress + 0x44)
            writeSirm(address, command + 20, count);
        std::uint16_t written = std::uint16_t(count);
        if (takeFault("short-written", isRead, address, &f))
            written = std::uint16_t(written - 1);
        if (setup_.capabilities & 0x800) {
            std::uint8_t w[4] = {};
            put16(w + 2, written);
            out.push_back(acknowledge(0, ackCode, id, w, 4));
        } else {
            out.push_back(acknowledge(0, ackCode, id, nullptr, 0));
        }
    }
    std::vector<std::uint8_t>& final = out.back();
    if (takeFault("prefix", isRead, address, &f))
        final[3] = 'X';
    if (takeFault("command", isRead, address, &f))
        put16(final.data() + 6, std::uint16_t(ackCode + 0x10));
    if (takeFault("id", isRead, address, &f))
        put16(final.data() + 10, std::uint16_t(id + 0x100));
    if (takeFault("silent", isRead, address, &f))
        return;
    if (takeFault("late", isRead, address, &f)) {
        held_.insert(held_.end(), out.begin(), out.end());
        return;
    }
    controlQueue_.insert(controlQueue_.end(), out.begin(), out.end());
}

int SimDevice::bulkWrite(int endpoint, const std::uint8_t* data, int size, int timeoutMs)
{
    std::lock_guard<std::mutex> lock(mutex_);
    int result = size;
    if (gone) {
        result = usb::ErrorNoDevice;
    } else if (endpoint != kControlOut) {
        result = usb::ErrorInvalid;
    } else if (halted_.count(endpoint)) {
        result = usb::ErrorPipe;
    } else if (takeTransferFault("write-fail")) {
        halted_.insert(endpoint);
        result = usb::ErrorIo;
    }
    transfers_.push_back({endpoint, size, timeoutMs, result});
    if (result < 0)
        return result;
    commands_.emplace_back(data, data + size);
    // A late answer arrives once the next command is on its way.
    controlQueue_.insert(controlQueue_.end(), held_.begin(), held_.end());
    held_.clear();
    respond(data, size);
    return size;
}

int SimDevice::bulkRead(int endpoint, std::uint8_t* data, int size, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    int result = 0;
    if (endpoint == kEventIn && setup_.eventInterface) {
        // The event endpoint answers when a packet comes, or times out.
        ++eventReads_;
        eventArrived_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 1)),
                               [this] { return gone || !eventQueue_.empty(); });
        result = gone ? int(usb::ErrorNoDevice) : takePacket(eventQueue_, data, size);
        transfers_.push_back({endpoint, size, timeoutMs, result});
        return result;
    }
    if (gone) {
        result = usb::ErrorNoDevice;
    } else if (endpoint != kControlIn) {
        result = usb::ErrorTimeout;
    } else if (halted_.count(endpoint)) {
        result = usb::ErrorPipe;
    } else if (takeTransferFault("read-fail")) {
        halted_.insert(endpoint);
        result = usb::ErrorIo;
    } else {
        result = takePacket(controlQueue_, data, size);
    }
    transfers_.push_back({endpoint, size, timeoutMs, result});
    return result;
}

int SimDevice::clearHalt(unsigned endpoint)
{
    std::lock_guard<std::mutex> lock(mutex_);
    halts_.push_back(endpoint);
    halted_.erase(int(endpoint));
    return gone ? usb::ErrorNoDevice : 0;
}

int SimDevice::string(int index, char* buffer, std::size_t size) const
{
    if (index < 1 || index > 8 || index == setup_.missingString || size == 0)
        return usb::ErrorPipe;
    const std::string* texts[] = {&setup_.guid, &setup_.vendor, &setup_.model, &setup_.family,
                                  &setup_.version, &setup_.info, &setup_.serial, &setup_.user};
    const std::string& text = *texts[index - 1];
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return int(n);
}

std::vector<std::uint8_t> SimDevice::eventPacket(std::uint16_t id, std::uint64_t timestamp,
                                                 const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> p(24 + data.size());
    put32(p.data(), 0x45563355); // "U3VE"
    put16(p.data() + 6, 0x0C00);
    put16(p.data() + 8, std::uint16_t(12 + data.size()));
    put16(p.data() + 14, id);
    put64(p.data() + 16, timestamp);
    if (!data.empty())
        std::memcpy(p.data() + 24, data.data(), data.size());
    return p;
}

void SimDevice::sendEvent(std::vector<std::uint8_t> packet)
{
    std::lock_guard<std::mutex> lock(mutex_);
    queueEventLocked(std::move(packet));
}

void SimDevice::queueEventLocked(std::vector<std::uint8_t> packet)
{
    lastEvent_ = packet;
    eventQueue_.push_back(std::move(packet));
    eventArrived_.notify_all();
}

std::vector<std::uint8_t> SimDevice::lastEvent() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lastEvent_;
}

std::uint64_t SimDevice::eventReads() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return eventReads_;
}

void SimDevice::unplug()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        gone = true;
        // Submitted transfers fail at once.
        for (SimAsync* t : pending_) {
            t->state = SimAsync::Done;
            t->result = usb::ErrorNoDevice;
        }
        pending_.clear();
    }
    eventArrived_.notify_all();
    streamChanged_.notify_all();
}

void SimDevice::addFault(const Fault& fault)
{
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.push_back(fault);
}

void SimDevice::clearFaults()
{
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.clear();
    halted_.clear();
    held_.clear();
}

std::vector<std::vector<std::uint8_t>> SimDevice::commands() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
}

std::vector<Transfer> SimDevice::transfers() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return transfers_;
}

std::vector<unsigned> SimDevice::clearedHalts() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return halts_;
}

void SimDevice::clearRecords()
{
    std::lock_guard<std::mutex> lock(mutex_);
    commands_.clear();
    transfers_.clear();
    halts_.clear();
}

} // namespace u3vsim
