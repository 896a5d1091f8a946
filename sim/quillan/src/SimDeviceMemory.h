// Memory of one simulated camera as OrvDeviceRead/OrvDeviceWrite see it:
// the defect pixel correction registers and map words, the block shading
// grid offsets and the shading map memory.
//
// Words are kept in the camera's byte order (big-endian except USB3 Vision)
// and bytes move unchanged. The memory has no lock of its own: its owner
// calls it under the camera's lock.
#ifndef SIMDEVICEMEMORY_H
#define SIMDEVICEMEMORY_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quillan {

struct SimMemoryConfig {
    bool bigEndian = true;
    bool defect = false;            // defect pixel correction block
    int defectRevision = 4;         // map word layout (4: 14-bit x/y and value)
    uint32_t probeRevision = 0;     // value at 0x10004040; 0 = unmapped
    uint32_t capacity = 4096;       // map entries
    uint32_t sensorWidth = 1280, sensorHeight = 1024;
    bool shading = false;
    uint64_t shadingLength = 0;     // bytes of one shading map
    bool gridOffsets = false;       // block shading grid registers
    uint32_t gridX = 5, gridY = 3;
};

class SimDeviceMemory
{
public:
    static constexpr uint64_t kControl = 0x10004000;
    static constexpr uint64_t kMapSelect = 0x10004014;
    static constexpr uint64_t kMapClear = 0x10004018;
    static constexpr uint64_t kMapSize = 0x1000401C;
    static constexpr uint64_t kMapCapacity = 0x10004020;
    static constexpr uint64_t kProbeRevision = 0x10004040;
    static constexpr uint64_t kMapWords = 0x10025000;
    static constexpr uint64_t kGridX = 0x105FFFC4;
    static constexpr uint64_t kGridY = 0x105FFFC8;
    static constexpr uint64_t kShading = 0x10100000;
    static constexpr int kShadingMaps = 3;

    explicit SimDeviceMemory(SimMemoryConfig config = {});

    const SimMemoryConfig& config() const { return config_; }

    // Access rules applied; the names of twin features whose value changed
    // are appended to `changed`.
    int read(uint64_t address, void* data, size_t length);
    int write(uint64_t address, const void* data, size_t length, std::vector<std::string>* changed);
    // Test access: mapped memory as stored, without access rules or faults.
    int peek(uint64_t address, void* data, size_t length) const;
    int poke(uint64_t address, const void* data, size_t length, std::vector<std::string>* changed);

    // One-shot or repeated failure of accesses that touch the address (or,
    // for the start of the map or shading memory, any access inside it).
    void addFault(uint64_t address, size_t length, bool write, int code, int count, int after);
    void clearFaults();

    // Power-up state: factory defect map with three entries, bit 31 of the
    // control register set, custom map empty, shading maps zero.
    void reset();

    // Logical values behind the twin features.
    uint32_t control() const { return control_; }
    void setControl(uint32_t v) { control_ = v; }
    uint32_t mapSelect() const { return mapSelect_; }
    int setMapSelect(uint32_t v);
    // Map size and capacity as the camera reports them (feature and register).
    uint32_t mapSize() const { return reportedSize_ >= 0 ? uint32_t(reportedSize_) : mapSizes_[mapSelect_]; }
    uint32_t reportedCapacity() const
    {
        return reportedCapacity_ >= 0 ? uint32_t(reportedCapacity_) : config_.capacity;
    }
    // Test control: report these instead of the real values; -1 reports the
    // real one. The map memory keeps its real extent.
    void setReported(int64_t size, int64_t capacity)
    {
        reportedSize_ = size;
        reportedCapacity_ = capacity;
    }
    uint32_t mapSizeOf(int map) const { return mapSizes_[map]; }
    int shadingSelect() const { return shadingSelect_; }
    int setShadingSelect(int v);

    // Decoded entries (x, y) of a defect map up to its size or the end word.
    std::vector<std::pair<uint32_t, uint32_t>> defectEntries(int map) const;
    // Bytes of one shading map (empty while never written).
    const std::vector<uint8_t>& shadingMap(int map) const { return shading_[map]; }
    // Per 32-bit word of a shading map: written since power-up (empty while
    // never written).
    const std::vector<bool>& shadingWritten(int map) const { return shadingWritten_[map]; }

    uint32_t decodeWord(const uint8_t* bytes) const;
    void encodeWord(uint32_t v, uint8_t* bytes) const;

private:
    struct Fault {
        uint64_t address;
        size_t length;
        bool write;
        int code;
        int remaining;
        int after;
    };
    int access(uint64_t address, void* data, size_t length, bool write, bool rules,
               std::vector<std::string>* changed);
    int checkFault(uint64_t address, size_t length, bool write);
    uint32_t encodeEntry(uint32_t x, uint32_t y) const;

    SimMemoryConfig config_;
    uint32_t control_ = 0;
    uint32_t mapSelect_ = 0;
    uint32_t mapSizes_[2] = {0, 0};
    uint32_t mapWritten_[2] = {0, 0}; // words up to the highest written since the clear
    std::vector<uint8_t> maps_[2];
    int shadingSelect_ = 0;
    std::vector<uint8_t> shading_[kShadingMaps];
    std::vector<bool> shadingWritten_[kShadingMaps];
    std::vector<Fault> faults_;
    int64_t reportedSize_ = -1, reportedCapacity_ = -1;
};

} // namespace quillan

#endif
