// Camera memory: byte order, register access rules, defect maps, shading
// memory and injected faults.
#include "SimDeviceMemory.h"

#include <gtest/gtest.h>

#include <vector>

using namespace quillan;

namespace {

SimMemoryConfig defectCamera(bool bigEndian)
{
    SimMemoryConfig c;
    c.bigEndian = bigEndian;
    c.defect = true;
    c.probeRevision = 3;
    c.shading = true;
    c.shadingLength = 64;
    return c;
}

std::vector<uint8_t> readBytes(SimDeviceMemory& m, uint64_t address, size_t length, int* rc = nullptr)
{
    std::vector<uint8_t> b(length, 0xAA);
    const int r = m.read(address, b.data(), length);
    if (rc)
        *rc = r;
    return r == 0 ? b : std::vector<uint8_t>{};
}

} // namespace

TEST(SimDeviceMemory, RegistersReadInTheCamerasByteOrder)
{
    struct Case {
        bool bigEndian;
        uint64_t address;
        std::vector<uint8_t> bytes;
    };
    const std::vector<Case> cases = {
        {true, SimDeviceMemory::kProbeRevision, {0, 0, 0, 3}},
        {false, SimDeviceMemory::kProbeRevision, {3, 0, 0, 0}},
        {true, SimDeviceMemory::kMapCapacity, {0, 0, 0x10, 0}},
        {false, SimDeviceMemory::kMapCapacity, {0, 0x10, 0, 0}},
        {true, SimDeviceMemory::kControl, {0x80, 0, 0, 0}},
        {false, SimDeviceMemory::kControl, {0, 0, 0, 0x80}},
        {true, SimDeviceMemory::kMapSize, {0, 0, 0, 3}},
    };
    for (const Case& c : cases) {
        SimDeviceMemory m(defectCamera(c.bigEndian));
        EXPECT_EQ(readBytes(m, c.address, 4), c.bytes) << std::hex << c.address << " big " << c.bigEndian;
    }
}

TEST(SimDeviceMemory, WritesStoreBytesAsGivenAndChangeTwins)
{
    for (bool big : {true, false}) {
        SimDeviceMemory m(defectCamera(big));
        uint8_t one[4];
        m.encodeWord(1, one);
        std::vector<std::string> changed;
        ASSERT_EQ(m.write(SimDeviceMemory::kMapSelect, one, 4, &changed), 0);
        EXPECT_EQ(m.mapSelect(), 1u);
        EXPECT_EQ(changed.front(), "DefectPixelCorrection_MapSelect");
        EXPECT_EQ(readBytes(m, SimDeviceMemory::kMapSelect, 4), std::vector<uint8_t>(one, one + 4));

        // Control keeps the bits it was given.
        uint8_t ctrl[4];
        m.encodeWord(0x80000001u, ctrl);
        ASSERT_EQ(m.write(SimDeviceMemory::kControl, ctrl, 4, &changed), 0);
        EXPECT_EQ(m.control(), 0x80000001u);
    }
}

TEST(SimDeviceMemory, RefusedAccesses)
{
    struct Case {
        const char* what;
        SimMemoryConfig config;
        uint64_t address;
        size_t length;
        bool write;
        int expected;
    };
    SimMemoryConfig plain; // no defect, no shading
    SimMemoryConfig big = defectCamera(true);
    const std::vector<Case> cases = {
        {"unmapped address", big, 0x20000000, 4, false, -1009},
        {"length leaves a register", big, SimDeviceMemory::kControl, 8, false, -1009},
        {"short register read", big, SimDeviceMemory::kControl, 2, false, -1009},
        {"read of the clear register", big, SimDeviceMemory::kMapClear, 4, false, -1007},
        {"write of a read-only register", big, SimDeviceMemory::kMapSize, 4, true, -1007},
        {"write of the probe register", big, SimDeviceMemory::kProbeRevision, 4, true, -1007},
        {"map words while factory map active", big, SimDeviceMemory::kMapWords, 8, true, -1007},
        {"beyond the map capacity", big, SimDeviceMemory::kMapWords + 4 * 4095, 8, false, -1009},
        {"shading piece crossing the end", big, SimDeviceMemory::kShading + 60, 8, true, -1010},
        {"grid offset without block shading", big, SimDeviceMemory::kGridX, 4, false, -1009},
        {"probe on a camera without correction", plain, SimDeviceMemory::kProbeRevision, 4, false, -1009},
        {"defect block on a camera without correction", plain, SimDeviceMemory::kControl, 4, false, -1009},
        {"shading on a camera without shading", plain, SimDeviceMemory::kShading, 4, false, -1009},
        {"zero length", big, SimDeviceMemory::kControl, 0, false, -1006},
    };
    for (const Case& c : cases) {
        SimDeviceMemory m(c.config);
        std::vector<uint8_t> buf(c.length + 1, 0);
        const int rc = c.write ? m.write(c.address, buf.data(), c.length, nullptr)
                               : m.read(c.address, buf.data(), c.length);
        EXPECT_EQ(rc, c.expected) << c.what;
    }
}

TEST(SimDeviceMemory, DefectMapsClearUploadAndDecode)
{
    SimDeviceMemory m(defectCamera(true));
    // Factory map: three entries, then the end word.
    auto factory = m.defectEntries(0);
    ASSERT_EQ(factory.size(), 3u);
    EXPECT_EQ(factory[2], std::make_pair(1279u, 1023u));
    EXPECT_EQ(readBytes(m, SimDeviceMemory::kMapWords + 12, 4), std::vector<uint8_t>(4, 0xFF));

    uint8_t word[4];
    m.encodeWord(0, word);
    EXPECT_EQ(m.write(SimDeviceMemory::kMapClear, word, 4, nullptr), -1007); // factory protected
    m.encodeWord(1, word);
    ASSERT_EQ(m.write(SimDeviceMemory::kMapSelect, word, 4, nullptr), 0);
    ASSERT_EQ(m.write(SimDeviceMemory::kMapClear, word, 4, nullptr), 0);
    EXPECT_EQ(m.mapSize(), 0u);

    // Upload two entries in one block: size = highest word + 1.
    std::vector<uint8_t> block(8);
    m.encodeWord(10 | 20u << 14, block.data());
    m.encodeWord(30 | 40u << 14, block.data() + 4);
    std::vector<std::string> changed;
    ASSERT_EQ(m.write(SimDeviceMemory::kMapWords, block.data(), block.size(), &changed), 0);
    EXPECT_EQ(m.mapSize(), 2u);
    EXPECT_EQ(changed.back(), "DefectPixelCorrection_MapSize");
    auto custom = m.defectEntries(1);
    ASSERT_EQ(custom.size(), 2u);
    EXPECT_EQ(custom[1], std::make_pair(30u, 40u));

    // The download reads exactly what was stored.
    EXPECT_EQ(readBytes(m, SimDeviceMemory::kMapWords, 8), block);
}

TEST(SimDeviceMemory, MapSizeCountsTheWordsWrittenSinceTheClearUpToTheEndMarker)
{
    SimDeviceMemory m(defectCamera(true));
    uint8_t word[4];
    m.encodeWord(1, word);
    ASSERT_EQ(m.write(SimDeviceMemory::kMapSelect, word, 4, nullptr), 0);
    ASSERT_EQ(m.write(SimDeviceMemory::kMapClear, word, 4, nullptr), 0);

    struct Case {
        const char* what;
        uint32_t index;     // word written
        uint32_t value;
        uint32_t size;      // reported afterwards
    };
    const Case cases[] = {
        {"a word after a gap counts nothing", 2, 0x00010002, 0},
        {"the gap filled", 0, 0x00010001, 1},
        {"the map runs on to the word after the gap", 1, 0x00020002, 3},
        {"an end marker in the middle ends the map", 1, 0xFFFFFFFF, 1},
        {"a smaller write after that keeps the size", 0, 0x00000005, 1},
    };
    for (const Case& c : cases) {
        m.encodeWord(c.value, word);
        ASSERT_EQ(m.write(SimDeviceMemory::kMapWords + 4 * c.index, word, 4, nullptr), 0) << c.what;
        EXPECT_EQ(m.mapSize(), c.size) << c.what;
    }
    m.encodeWord(1, word);
    ASSERT_EQ(m.write(SimDeviceMemory::kMapClear, word, 4, nullptr), 0);
    EXPECT_EQ(m.mapSize(), 0u);
}

TEST(SimDeviceMemory, ReportedMapSizeAndCapacityCanBeAnything)
{
    SimDeviceMemory m(defectCamera(true));
    m.setReported(0xFFFFFFFFll, 5000000);
    EXPECT_EQ(readBytes(m, SimDeviceMemory::kMapSize, 4), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(readBytes(m, SimDeviceMemory::kMapCapacity, 4), (std::vector<uint8_t>{0x00, 0x4C, 0x4B, 0x40}));
    // The memory keeps its real extent.
    int rc = 0;
    readBytes(m, SimDeviceMemory::kMapWords + 4 * 4096, 4, &rc);
    EXPECT_EQ(rc, -1009);
    m.setReported(-1, -1);
    EXPECT_EQ(readBytes(m, SimDeviceMemory::kMapSize, 4), (std::vector<uint8_t>{0, 0, 0, 3}));
    m.setReported(7, -1);
    m.reset();
    EXPECT_EQ(m.mapSize(), 3u);
    EXPECT_EQ(m.reportedCapacity(), 4096u);
}

TEST(SimDeviceMemory, ShadingMemoryFollowsTheSelectedMap)
{
    SimDeviceMemory m(defectCamera(false));
    const std::vector<uint8_t> piece = {1, 2, 3, 4, 5};
    ASSERT_EQ(m.write(SimDeviceMemory::kShading + 10, piece.data(), piece.size(), nullptr), 0);
    EXPECT_EQ(readBytes(m, SimDeviceMemory::kShading + 10, 5), piece);
    ASSERT_EQ(m.setShadingSelect(2), 0);
    EXPECT_EQ(readBytes(m, SimDeviceMemory::kShading + 10, 5), std::vector<uint8_t>(5, 0));
    EXPECT_EQ(m.setShadingSelect(3), -1010);
    EXPECT_EQ(m.shadingMap(0)[12], 3);
}

TEST(SimDeviceMemory, InjectedFaultsHitTheChosenAccess)
{
    SimDeviceMemory m(defectCamera(true));
    std::vector<uint8_t> chunk(16, 0);
    // Third chunk of an upload into the shading memory fails once.
    m.addFault(SimDeviceMemory::kShading, 0, true, -1013, 1, 2);
    EXPECT_EQ(m.write(SimDeviceMemory::kShading, chunk.data(), 16, nullptr), 0);
    EXPECT_EQ(m.write(SimDeviceMemory::kShading + 16, chunk.data(), 16, nullptr), 0);
    EXPECT_EQ(m.write(SimDeviceMemory::kShading + 32, chunk.data(), 16, nullptr), -1013);
    EXPECT_EQ(m.write(SimDeviceMemory::kShading + 32, chunk.data(), 16, nullptr), 0);

    // A read fault on one register leaves writes and other registers alone.
    m.addFault(SimDeviceMemory::kProbeRevision, 4, false, -1009, -1, 0);
    int rc = 0;
    readBytes(m, SimDeviceMemory::kProbeRevision, 4, &rc);
    EXPECT_EQ(rc, -1009);
    readBytes(m, SimDeviceMemory::kMapCapacity, 4, &rc);
    EXPECT_EQ(rc, 0);
    m.clearFaults();
    readBytes(m, SimDeviceMemory::kProbeRevision, 4, &rc);
    EXPECT_EQ(rc, 0);

    // Test access bypasses the rules.
    uint8_t w[4] = {0, 0, 0, 7};
    EXPECT_EQ(m.poke(SimDeviceMemory::kMapWords, w, 4, nullptr), 0);
    uint8_t back[4] = {};
    EXPECT_EQ(m.peek(SimDeviceMemory::kMapWords, back, 4), 0);
    EXPECT_EQ(back[3], 7);
}
