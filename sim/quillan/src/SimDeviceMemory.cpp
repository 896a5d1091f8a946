#include "SimDeviceMemory.h"

#include "OrvSdk.h"

#include <algorithm>
#include <cstring>

namespace quillan {

namespace {
constexpr int kOk = ORV_SUCCESS;
constexpr int kInvalidArgument = ORV_ERROR_INVALID_ARGUMENT;
constexpr int kAccessDenied = ORV_ERROR_ACCESS_DENIED;
constexpr int kNotAvailable = ORV_ERROR_NOT_AVAILABLE;
constexpr int kOutOfRange = ORV_ERROR_OUT_OF_RANGE;
} // namespace

SimDeviceMemory::SimDeviceMemory(SimMemoryConfig config) : config_(config)
{
    reset();
}

uint32_t SimDeviceMemory::decodeWord(const uint8_t* b) const
{
    if (config_.bigEndian)
        return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
    return uint32_t(b[3]) << 24 | uint32_t(b[2]) << 16 | uint32_t(b[1]) << 8 | b[0];
}

void SimDeviceMemory::encodeWord(uint32_t v, uint8_t* b) const
{
    for (int i = 0; i < 4; ++i) {
        const int shift = config_.bigEndian ? 24 - 8 * i : 8 * i;
        b[i] = static_cast<uint8_t>(v >> shift);
    }
}

uint32_t SimDeviceMemory::encodeEntry(uint32_t x, uint32_t y) const
{
    if (config_.defectRevision == 4)
        return (x & 0x3FFF) | (y & 0x3FFF) << 14; // value − 100 = 0
    return (x & 0xFFFF) | (y & 0xFFFF) << 16;
}

void SimDeviceMemory::reset()
{
    control_ = 0x80000000u;
    mapSelect_ = 0;
    shadingSelect_ = 0;
    for (auto& m : maps_)
        m.assign(size_t(config_.capacity) * 4, 0xFF);
    mapSizes_[0] = mapSizes_[1] = 0;
    mapWritten_[0] = mapWritten_[1] = 0;
    reportedSize_ = reportedCapacity_ = -1;
    if (config_.defect) {
        const uint32_t w = config_.sensorWidth, h = config_.sensorHeight;
        const std::pair<uint32_t, uint32_t> factory[] = {{5, 7}, {100, 200}, {w - 1, h - 1}};
        for (const auto& e : factory)
            encodeWord(encodeEntry(e.first, e.second), &maps_[0][4 * mapSizes_[0]++]);
    }
    for (auto& s : shading_)
        s.clear();
    for (auto& w : shadingWritten_)
        w.clear();
}

int SimDeviceMemory::setMapSelect(uint32_t v)
{
    if (v > 1)
        return kOutOfRange;
    mapSelect_ = v;
    return kOk;
}

int SimDeviceMemory::setShadingSelect(int v)
{
    if (v < 0 || v >= kShadingMaps)
        return kOutOfRange;
    shadingSelect_ = v;
    return kOk;
}

std::vector<std::pair<uint32_t, uint32_t>> SimDeviceMemory::defectEntries(int map) const
{
    std::vector<std::pair<uint32_t, uint32_t>> entries;
    for (uint32_t i = 0; i < mapSizes_[map]; ++i) {
        const uint32_t w = decodeWord(&maps_[map][4 * i]);
        if (w == 0xFFFFFFFFu)
            break;
        if (config_.defectRevision == 4)
            entries.push_back({w & 0x3FFF, (w >> 14) & 0x3FFF});
        else
            entries.push_back({w & 0xFFFF, w >> 16});
    }
    return entries;
}

void SimDeviceMemory::addFault(uint64_t address, size_t length, bool write, int code, int count, int after)
{
    faults_.push_back({address, length, write, code, count, after});
}

void SimDeviceMemory::clearFaults()
{
    faults_.clear();
}

int SimDeviceMemory::checkFault(uint64_t address, size_t length, bool write)
{
    const uint64_t mapEnd = kMapWords + uint64_t(config_.capacity) * 4;
    const uint64_t shadingEnd = kShading + config_.shadingLength;
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        Fault& f = *it;
        if (f.write != write || (f.length && f.length != length))
            continue;
        bool hit = address <= f.address && f.address < address + length;
        if (f.address == kMapWords)
            hit = hit || (address >= kMapWords && address < mapEnd);
        if (f.address == kShading)
            hit = hit || (address >= kShading && address < shadingEnd);
        if (!hit)
            continue;
        if (f.after > 0) {
            --f.after;
            continue;
        }
        const int code = f.code;
        if (f.remaining > 0 && --f.remaining == 0)
            faults_.erase(it);
        return code;
    }
    return kOk;
}

int SimDeviceMemory::read(uint64_t address, void* data, size_t length)
{
    return access(address, data, length, false, true, nullptr);
}

int SimDeviceMemory::write(uint64_t address, const void* data, size_t length, std::vector<std::string>* changed)
{
    return access(address, const_cast<void*>(data), length, true, true, changed);
}

int SimDeviceMemory::peek(uint64_t address, void* data, size_t length) const
{
    return const_cast<SimDeviceMemory*>(this)->access(address, data, length, false, false, nullptr);
}

int SimDeviceMemory::poke(uint64_t address, const void* data, size_t length, std::vector<std::string>* changed)
{
    return access(address, const_cast<void*>(data), length, true, false, changed);
}

int SimDeviceMemory::access(uint64_t address, void* data, size_t length, bool write, bool rules,
                            std::vector<std::string>* changed)
{
    if (!data || length == 0)
        return kInvalidArgument;
    auto* bytes = static_cast<uint8_t*>(data);
    auto note = [&](const char* name) {
        if (changed)
            changed->push_back(name);
    };

    // Shading map memory: any piece inside the map, in bytes as given.
    if (config_.shading && address >= kShading && address < kShading + config_.shadingLength) {
        if (length > kShading + config_.shadingLength - address)
            return kOutOfRange;
        if (rules)
            if (int rc = checkFault(address, length, write))
                return rc;
        std::vector<uint8_t>& map = shading_[shadingSelect_];
        const size_t offset = size_t(address - kShading);
        if (write) {
            if (map.empty())
                map.assign(size_t(config_.shadingLength), 0);
            std::memcpy(map.data() + offset, bytes, length);
            std::vector<bool>& written = shadingWritten_[shadingSelect_];
            if (written.empty())
                written.assign(size_t((config_.shadingLength + 3) / 4), false);
            std::fill(written.begin() + long(offset / 4), written.begin() + long((offset + length + 3) / 4), true);
            note("Shading_MapBuffer");
        } else if (map.empty()) {
            std::memset(bytes, 0, length);
        } else {
            std::memcpy(bytes, map.data() + offset, length);
        }
        return kOk;
    }

    // Defect map words of the active map.
    const uint64_t mapEnd = kMapWords + uint64_t(config_.capacity) * 4;
    if (config_.defect && address >= kMapWords && address < mapEnd) {
        if (length > mapEnd - address)
            return kNotAvailable;
        if (rules && write && mapSelect_ == 0)
            return kAccessDenied; // factory map is protected
        if (rules)
            if (int rc = checkFault(address, length, write))
                return rc;
        std::vector<uint8_t>& map = maps_[mapSelect_];
        const size_t offset = size_t(address - kMapWords);
        if (write) {
            std::memcpy(map.data() + offset, bytes, length);
            const uint32_t words = uint32_t((offset + length + 3) / 4);
            if (rules) {
                // The camera counts the words written since the last clear,
                // up to the end marker.
                uint32_t& written = mapWritten_[mapSelect_];
                written = std::max(written, words);
                uint32_t size = 0;
                while (size < written && decodeWord(&map[4 * size]) != 0xFFFFFFFFu)
                    ++size;
                mapSizes_[mapSelect_] = size;
            } else {
                mapSizes_[mapSelect_] = std::max(words, mapSizes_[mapSelect_]); // a test poke only extends it
            }
            note("DefectPixelCorrection_MapSize");
        } else {
            std::memcpy(bytes, map.data() + offset, length);
        }
        return kOk;
    }

    // 32-bit registers: exactly one register per access.
    enum class Reg { None, Control, Select, Clear, Size, Capacity, Probe, GridX, GridY };
    Reg reg = Reg::None;
    if (config_.defect && address >= kControl && address < kControl + 0x44) {
        switch (address) {
        case kControl: reg = Reg::Control; break;
        case kMapSelect: reg = Reg::Select; break;
        case kMapClear: reg = Reg::Clear; break;
        case kMapSize: reg = Reg::Size; break;
        case kMapCapacity: reg = Reg::Capacity; break;
        default: break;
        }
    }
    if (address == kProbeRevision && config_.probeRevision != 0)
        reg = Reg::Probe;
    if (config_.gridOffsets && address == kGridX)
        reg = Reg::GridX;
    if (config_.gridOffsets && address == kGridY)
        reg = Reg::GridY;
    if (reg == Reg::None || length != 4)
        return kNotAvailable;

    if (rules) {
        const bool readOnlyReg = reg == Reg::Size || reg == Reg::Capacity || reg == Reg::Probe
                                 || reg == Reg::GridX || reg == Reg::GridY;
        if ((write && readOnlyReg) || (!write && reg == Reg::Clear))
            return kAccessDenied;
        if (int rc = checkFault(address, length, write))
            return rc;
    }

    if (!write) {
        uint32_t v = 0;
        switch (reg) {
        case Reg::Control: v = control_; break;
        case Reg::Select: v = mapSelect_; break;
        case Reg::Size: v = mapSize(); break;
        case Reg::Capacity: v = reportedCapacity(); break;
        case Reg::Probe: v = config_.probeRevision; break;
        case Reg::GridX: v = config_.gridX; break;
        case Reg::GridY: v = config_.gridY; break;
        default: break;
        }
        encodeWord(v, bytes);
        return kOk;
    }

    const uint32_t v = decodeWord(bytes);
    switch (reg) {
    case Reg::Control:
        control_ = v;
        note("DefectPixelCorrectionEnable_Control");
        return kOk;
    case Reg::Select:
        if (int rc = setMapSelect(v))
            return rc;
        note("DefectPixelCorrection_MapSelect");
        note("DefectPixelCorrection_MapSize");
        return kOk;
    case Reg::Clear:
        if (v == 0)
            return kAccessDenied;
        if (v != 1)
            return kOutOfRange;
        std::fill(maps_[1].begin(), maps_[1].end(), 0xFF);
        mapSizes_[1] = mapWritten_[1] = 0;
        note("DefectPixelCorrection_MapSize");
        return kOk;
    default:
        // Test pokes of read-only registers change nothing.
        return kOk;
    }
}

} // namespace quillan
