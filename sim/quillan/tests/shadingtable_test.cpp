// Block shading as the simulated cameras apply it: gains per 16 × 16 sensor
// block from the selected map, words never written count as 1.0.
#include "ShadingTable.h"
#include "SimCameraFeatures.h"

#include <gtest/gtest.h>

using namespace quillan;

namespace {

void putWord(std::vector<uint8_t>& bytes, size_t word, uint32_t value, bool bigEndian)
{
    for (int i = 0; i < 4; ++i)
        bytes[4 * word + size_t(i)] = uint8_t(value >> (bigEndian ? 24 - 8 * i : 8 * i));
}

} // namespace

TEST(ShadingTable, BlockGainsFollowTheGridAndTheByteOrder)
{
    for (bool big : {true, false}) {
        // 40 × 20 sensor, grid offset 11 × 13: 4 columns × 3 rows of blocks.
        std::vector<uint8_t> bytes(64, 0);
        std::vector<bool> written(16, false);
        putWord(bytes, 0, 0x10002000, big); // blocks 0 and 1: 1.0 and 2.0
        written[0] = true;
        putWord(bytes, 2, 0x40000800, big); // blocks 4 and 5: 4.0 and 0.5
        written[2] = true;
        putWord(bytes, 1, 0x00000000, big); // blocks 2 and 3: zero, never written
        const std::vector<float> gain = ShadingTable::decodeBlocks(bytes, written, big, 40, 20, 11, 13);
        ASSERT_EQ(gain.size(), 800u);
        auto at = [&](int x, int y) { return gain[size_t(y) * 40 + size_t(x)]; };
        EXPECT_FLOAT_EQ(at(0, 0), 1.0f) << big;   // block 0 covers x 0..4, y 0..2
        EXPECT_FLOAT_EQ(at(4, 2), 1.0f) << big;
        EXPECT_FLOAT_EQ(at(5, 0), 2.0f) << big;   // block 1 from x 5
        EXPECT_FLOAT_EQ(at(20, 2), 2.0f) << big;
        EXPECT_FLOAT_EQ(at(21, 0), 1.0f) << big;  // block 2: never written
        EXPECT_FLOAT_EQ(at(0, 3), 4.0f) << big;   // block 4: second row from y 3
        EXPECT_FLOAT_EQ(at(5, 18), 0.5f) << big;
        EXPECT_FLOAT_EQ(at(39, 19), 1.0f) << big; // beyond the written words
    }
}

TEST(ShadingTable, CamerasApplyTheirBlockMapsWhileTheCorrectionIsOn)
{
    // C2: revision 3 without grid registers, big-endian; G2: revision 5
    // with grid offsets 11 and 13.
    struct Case {
        const char* id;
        int revision;
        uint32_t offsetX, offsetY;
    } cases[] = {{"CL-C2-0402", 3, 0, 0}, {"GEV-G2-0002", 5, 11, 13}};
    for (const Case& c : cases) {
        SimCameraFeatures camera(SimCameraProfile::forDevice(c.id));
        SimFeatureStore& r = camera.remote();
        uint32_t id = 0;
        ASSERT_EQ(r.findByName("Shading_Revision", &id), 0) << c.id;
        SimValue revision;
        ASSERT_EQ(r.getValue(id, SimType::Integer, revision), 0);
        EXPECT_EQ(revision.i, c.revision);
        uint8_t grid[4];
        EXPECT_EQ(camera.readMemory(SimDeviceMemory::kGridX, grid, 4) == 0, c.revision == 5) << c.id;

        const uint8_t word[4] = {0x20, 0x00, 0x30, 0x00}; // big-endian 0x20003000: 2.0, 3.0
        ASSERT_EQ(camera.writeMemory(SimDeviceMemory::kShading, word, 4), 0);
        SimCameraFeatures::ShadingSnapshot snapshot = camera.shadingSnapshot();
        EXPECT_EQ(snapshot.offsetX, c.offsetX);
        EXPECT_EQ(snapshot.offsetY, c.offsetY);

        ShadingTable table;
        SimImageSettings off;
        table.apply(camera, off);
        EXPECT_FALSE(off.shadingCorrection) << c.id;

        ASSERT_EQ(r.findByName("Shading_Control", &id), 0);
        ASSERT_EQ(r.setValue(id, SimType::Integer, SimValue::ofInt(1), false), 0);
        SimImageSettings on;
        table.apply(camera, on);
        ASSERT_TRUE(on.shadingCorrection) << c.id;
        ASSERT_TRUE(on.shadingGain);
        EXPECT_FALSE(on.shadingOffset);
        const auto& gain = *on.shadingGain;
        const size_t w = size_t(camera.profile().widthMax);
        EXPECT_FLOAT_EQ(gain[0], 2.0f) << c.id;
        EXPECT_FLOAT_EQ(gain[16 - c.offsetX], 3.0f) << c.id;
        EXPECT_FLOAT_EQ(gain[(16 - c.offsetY) * w], 1.0f) << c.id;
        // The same map gives the same table, so the generator keeps its caches.
        SimImageSettings again;
        table.apply(camera, again);
        EXPECT_EQ(again.shadingGain, on.shadingGain);
    }
}

TEST(ShadingTable, WorldFileCameraKeepsItsProfilesShading)
{
    const SimCameraProfile g1 = SimCameraProfile::forCamera("G1", "GEV-G9-0009");
    EXPECT_EQ(g1.deviceId, "GEV-G9-0009");
    EXPECT_EQ(g1.shadingRevision, 4);
    EXPECT_TRUE(g1.shadingMapBuffer);
    EXPECT_EQ(SimCameraProfile::forCamera("U1", "U3V-U9-0309").shadingRevision, 4);
    EXPECT_EQ(SimCameraProfile::forCamera("GEV-G1-0001", "GEV-G1-0001").shadingRevision, 4);
    EXPECT_EQ(SimCameraProfile::forCamera("LAB-1", "LAB-1").shadingRevision, 0);
}
